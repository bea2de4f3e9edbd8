#pragma once
// Floats as their bits and back, for the tools that compare builds bit for bit.
#include <cstdint>
#include <cstring>

namespace pyrelle::tools {

inline std::uint32_t bits_of(float v) {
    std::uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}

inline float float_of(std::uint32_t u) {
    float v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

// The bits of a result, every NaN as one (their payloads differ from one machine to the next
// and mean nothing to the game).
inline std::uint32_t canonical_bits(float v) {
    return v != v ? 0x7fc00000u : bits_of(v);
}

}  // namespace pyrelle::tools
