#pragma once
#include "cli.hpp"
#include "game/game.hpp"

namespace pyrelle {

// The start-up options applied to a freshly built game, in their fixed order: later
// placements use the firefly position left by earlier ones.
void apply_start_options(Game& game, const Options& options);

// Development placements of the firefly on the current level.
void warp_near(Level& level, Vec2 target);  // first cell three steps from target
void warp_to_deep_water(Level& level);

}  // namespace pyrelle
