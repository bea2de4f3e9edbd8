#pragma once
// Where the light grid lies around the view, and how far the rock glow reaches: the numbers
// that the map's set-up, its glow and its apply must agree on.
#include <cstdint>

namespace pyrelle::light_layout {

// Light cells before the view's first pixel, along each axis.
inline constexpr std::int32_t kMargin = 4;

// Largest offset, along each axis, of a rock cell's neighbours in the glow.
inline constexpr std::int32_t kGlowReach = 3;

// Light cells the grid has beyond view / cell along each axis (gw = view / cell + this).
inline constexpr std::int32_t kGridPadding = 9;

// The margins are there so that every cell the view reads has its whole glow neighbourhood on
// the grid, and so glows as it would on a grid without edges. A pixel reads its tap's cell and
// the next one: the first pixel reads from cell kMargin - 1 on (kMargin with cells of one
// pixel), the last pixel up to cell view / cell + kMargin + 1 (when the view is not a whole
// number of cells).
static_assert(kMargin - 1 - kGlowReach >= 0, "the first cell read glows from on-grid cells");
static_assert(kGridPadding - 1 >= kMargin + 1 + kGlowReach,
              "the last cell read glows from on-grid cells");

// The glow keeps its scores with a border of cells scoring -inf: kGlowReach columns on the
// left and, on the right, kGlowReach and one more for the eighth lane it reads per kernel row
// (see glow.cpp), and kGlowReach rows above and below.
inline constexpr std::int32_t kGlowLeft = kGlowReach;
inline constexpr std::int32_t kGlowPadding = kGlowLeft + kGlowReach + 1;

}  // namespace pyrelle::light_layout
