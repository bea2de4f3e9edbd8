#pragma once

#include "game/level.hpp"

namespace pyrelle {

// Steering, collision, drain and the trail spark of one frame.
void step_firefly(Level& level, float input_x, float input_y, float dt);

// The light burst's cooldown runs down, and its flash ages until it is over.
void age_burst(Level& level, float dt);

}  // namespace pyrelle
