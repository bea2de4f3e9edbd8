#pragma once

#include "game/level.hpp"

namespace pyrelle {

// Steering, collision, drain and the trail spark of one frame.
void step_firefly(Level& level, float input_x, float input_y, float dt);

}  // namespace pyrelle
