#pragma once
// Floats as their bits and back, for the tools that compare builds bit for bit.
#include <bit>
#include <cstdint>

namespace pyrelle::tools {

inline std::uint32_t bits_of(float v) {
    return std::bit_cast<std::uint32_t>(v);
}

inline float float_of(std::uint32_t u) {
    return std::bit_cast<float>(u);
}

// The bits of a result, every NaN as one (their payloads differ from one machine to the next
// and mean nothing to the game).
inline std::uint32_t canonical_bits(float v) {
    return v != v ? 0x7fc00000u : bits_of(v);
}

}  // namespace pyrelle::tools
