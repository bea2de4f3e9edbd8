#include "engine/rng.hpp"

#include <cstdio>
#include <cstdlib>

namespace pyrelle {

Rng Rng::seeded(std::uint64_t seed) {
    std::uint64_t z = seed + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z = z ^ (z >> 31);
    return Rng{z | 1u};
}

std::int32_t Rng::range(std::int32_t lo, std::int32_t hi) {
    if (hi <= lo) {
        std::fputs("assertion failed: hi > lo\n", stderr);
        std::abort();
    }
    const std::uint64_t span =
        static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - static_cast<std::int64_t>(lo));
    return static_cast<std::int32_t>(static_cast<std::int64_t>(lo) +
                                     static_cast<std::int64_t>(next_u64() % span));
}

}  // namespace pyrelle
