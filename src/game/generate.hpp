#pragma once
#include <cstdint>

#include "game/cave.hpp"
#include "game/level.hpp"

namespace pyrelle {

// A complete, ready-to-play level; the same (depth, seed) always gives the same Level,
// its generator included. Any depth is accepted: from 10 on every depth is the Source.
Level generate_level(std::uint32_t depth, std::uint64_t seed);

// Cellular cave with one open region of at least 32 % of the cells; retries with the
// next attempt seed until one passes.
Cave carve_cave(std::int32_t width, std::int32_t height, std::uint64_t seed);

}  // namespace pyrelle
