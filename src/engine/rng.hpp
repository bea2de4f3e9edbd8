#pragma once
#include <cstdint>

namespace pyrelle {

// Seeded xorshift64* stream. A plain value: copying it forks the stream, so a level
// can take over the placement stream exactly where generation left it.
struct Rng {
    std::uint64_t state = 1;  // never 0: seeding sets the low bit, xorshift keeps it non-zero

    static Rng seeded(std::uint64_t seed);  // splitmix64 finaliser, low bit forced to 1
    // Inline, like cell_hash: generation draws and hashes per cell and the background per
    // pixel.
    std::uint64_t next_u64() {
        std::uint64_t x = state;
        x ^= x >> 12;
        x ^= x << 25;
        x ^= x >> 27;
        state = x;
        return x * 0x2545F4914F6CDD1Dull;
    }
    // [0, 1), one draw. The top 24 bits fit a float exactly; 2^-24 keeps it below 1.
    float next_f32() { return static_cast<float>(next_u64() >> 40) * (1.0f / 16777216.0f); }
    std::int32_t range(std::int32_t lo, std::int32_t hi);  // [lo, hi), one draw; aborts if hi <= lo

    friend bool operator==(const Rng&, const Rng&) = default;
};

// Stateless 32-bit hash of a cell and a salt, for values fixed per cell.
inline std::uint32_t cell_hash(std::int32_t x, std::int32_t y, std::uint32_t salt) {
    std::uint32_t h = (static_cast<std::uint32_t>(x) * 0x8DA6B343u) ^
                      (static_cast<std::uint32_t>(y) * 0xD8163841u) ^ salt;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return h;
}

}  // namespace pyrelle
