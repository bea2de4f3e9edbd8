#pragma once

#include "game/level.hpp"

namespace pyrelle {

// Every shade wanders, chases or flees, moves and may strike the firefly.
void step_shades(Level& level, float dt);

}  // namespace pyrelle
