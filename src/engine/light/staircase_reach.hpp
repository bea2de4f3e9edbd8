#pragma once
#include <cstdint>
#include <vector>

#include "engine/cell_walk.hpp"

namespace pyrelle {

// For one source cell: which cells a staircase of open cells reaches, moving only away
// from the source along x and y (one answer per quadrant). Every walk is such a
// staircase, so a walk whose every possible end is unreachable is surely blocked.
class StaircaseReach {
  public:
    // Room for every reach up to `most` cells, so that build() allocates nothing.
    explicit StaircaseReach(std::int32_t most = 64);

    // Covers cells up to `reach` apart from (sx, sy) along each axis; a negative reach
    // covers nothing.
    void build(CaveTiles cave, std::int32_t sx, std::int32_t sy, std::int32_t reach);

    // False only when no staircase of open cells leads from the source cell to (x, y)
    // moving by (ex, ey) steps (each ±1); cells beyond the covered square answer true.
    bool maybe(std::int64_t x, std::int64_t y, std::int32_t ex, std::int32_t ey) const;

    // False when the walk from the source towards target cell (tx, ty), with direction
    // signs of (dx, dy), is sure to be blocked. over_x, over_y: nonzero where its last
    // step may overshoot the target cell along that axis.
    bool walk_may_pass(std::int32_t tx, std::int32_t ty, float dx, float dy, std::int32_t over_x,
                       std::int32_t over_y) const;

  private:
    std::int32_t sx_ = 0, sy_ = 0, reach_ = -1;
    std::vector<std::uint8_t> bits_;  // one bit per quadrant, square of side 2 × reach + 1
};

}  // namespace pyrelle
