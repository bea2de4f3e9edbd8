#pragma once
#include <cstdint>

namespace pyrelle {

// Seeded xorshift64* stream. A plain value: copying it forks the stream, so a level
// can take over the placement stream exactly where generation left it.
struct Rng {
    std::uint64_t state = 1;  // never 0: seeding sets the low bit, xorshift keeps it non-zero

    static Rng seeded(std::uint64_t seed);  // splitmix64 finaliser, low bit forced to 1
    std::uint64_t next_u64();
    float next_f32();                                      // [0, 1), one draw
    std::int32_t range(std::int32_t lo, std::int32_t hi);  // [lo, hi), one draw; aborts if hi <= lo

    friend bool operator==(const Rng&, const Rng&) = default;
};

// Stateless 32-bit hash of a cell and a salt, for values fixed per cell.
std::uint32_t cell_hash(std::int32_t x, std::int32_t y, std::uint32_t salt);

}  // namespace pyrelle
