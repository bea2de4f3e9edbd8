#pragma once
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/rng.hpp"
#include "game/cave.hpp"

namespace pyrelle {

enum class Biome : std::uint8_t { Grotte = 0, Cristaux = 1, Lac = 2, Source = 3 };

// 1-3 Grotte, 4-6 Cristaux, 7-9 Lac, 10 and deeper Source (0 counts as Grotte).
Biome biome_of_depth(std::uint32_t depth);

std::string_view biome_name(Biome biome);  // shown on the HUD
std::string_view biome_hint(Biome biome);  // arrival banner
// The five rock colours (0xRRGGBB) in the order the renderer gives them roles.
const std::array<std::uint32_t, 5>& rock_colours(Biome biome);

struct AmbientLight {
    float r = 0;
    float g = 0;
    float b = 0;
};
AmbientLight ambient_light(Biome biome);

// A crystal on a cave wall; (dx, dy) points from its cell toward the rock it sits on.
struct Crystal {
    float x = 0;
    float y = 0;
    float dx = 0;
    float dy = 0;
    float glow = 0;
    bool lit = false;

    friend bool operator==(const Crystal&, const Crystal&) = default;
};

// Crystals on walls away from the avoid points and from each other. Draws nothing when
// no crystal can be placed.
std::vector<Crystal> place_crystals(const Cave& cave, Rng& rng, const std::vector<Cell>& avoid,
                                    std::int32_t target);

// Lakes of wobbly circles in roomy cells away from the avoid points. Draws nothing when
// no lake can be placed.
WaterMask place_lakes(const Cave& cave, Rng& rng, const std::vector<Cell>& avoid,
                      std::int32_t lake_count);

}  // namespace pyrelle
