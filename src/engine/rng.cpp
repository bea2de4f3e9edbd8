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

std::uint64_t Rng::next_u64() {
    std::uint64_t x = state;
    x ^= x >> 12;
    x ^= x << 25;
    x ^= x >> 27;
    state = x;
    return x * 0x2545F4914F6CDD1Dull;
}

float Rng::next_f32() {
    // The top 24 bits fit a float exactly; 2^-24 keeps the result below 1.
    constexpr float kScale = 1.0f / 16777216.0f;
    return static_cast<float>(next_u64() >> 40) * kScale;
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

std::uint32_t cell_hash(std::int32_t x, std::int32_t y, std::uint32_t salt) {
    std::uint32_t h = (static_cast<std::uint32_t>(x) * 0x8DA6B343u) ^
                      (static_cast<std::uint32_t>(y) * 0xD8163841u) ^ salt;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return h;
}

}  // namespace pyrelle
