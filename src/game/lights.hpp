#pragma once
#include <cstdint>
#include <vector>

#include "engine/light/source.hpp"
#include "game/cave.hpp"
#include "game/vec2.hpp"

namespace pyrelle {

struct Level;

// Which light groups build_lights appends, in this fixed order.
using LightGroups = std::uint32_t;
inline constexpr LightGroups kLanternLights = 1u << 0;
inline constexpr LightGroups kExitLight = 1u << 1;
inline constexpr LightGroups kCrystalLights = 1u << 2;
inline constexpr LightGroups kFireflyLight = 1u << 3;
inline constexpr LightGroups kBurstLight = 1u << 4;
inline constexpr LightGroups kCompanionLights = 1u << 5;
inline constexpr LightGroups kLostCompanionLight = 1u << 6;
inline constexpr LightGroups kPollenLights = 1u << 7;
inline constexpr LightGroups kAllLights = 0xFFu;

// Appends (does not clear) the lights of the chosen groups, lanterns first, pollen last.
void build_lights(const Level& level, LightGroups groups, std::vector<LightSource>& out);
// Light reaching (x, y) from the sources that see it; colours play no part.
float light_at(const std::vector<LightSource>& lights, const Cave& cave, float x, float y);
// Grid walk from a's cell to b's cell through open cells; ties step vertically.
bool line_of_sight(const Cave& cave, Vec2 a, Vec2 b);

}  // namespace pyrelle
