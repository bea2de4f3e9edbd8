#pragma once
#include <optional>

#include "game/level.hpp"

namespace pyrelle {

// Every moth picks a light, circles it or hunts, wanders when it sees none, and those
// hovering near the firefly drink its light.
void step_moths(Level& level, float dt);

// One step down the firefly's distance field for a moth at `at`: a unit vector toward the
// best neighbour cell, ignoring water. Nothing when outside the grid or no neighbour is closer.
std::optional<Vec2> moth_path_step(const Level& level, Vec2 at);

}  // namespace pyrelle
