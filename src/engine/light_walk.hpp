#pragma once
#include <climits>
#include <cstdint>
#include <span>
#include <vector>

namespace pyrelle {

// The cave as the light map sees it: row-major tile bytes, 0 open, anything else rock.
// Cells outside the grid count as rock.
struct CaveTiles {
    std::span<const std::uint8_t> tiles;
    std::int32_t width = 0;
    std::int32_t height = 0;

    bool open(std::int64_t x, std::int64_t y) const {
        return x >= 0 && y >= 0 && x < width && y < height &&
               tiles[static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * width] == 0;
    }
};

// floor() to a cell index, saturating (NaN gives 0); inline for the hot loops.
inline std::int32_t cell_of(float v) {
    const float f = __builtin_floorf(v);
    if (!(f >= -2147483648.0f)) return f != f ? 0 : INT32_MIN;
    if (f >= 2147483647.0f) return INT32_MAX;
    return static_cast<std::int32_t>(f);
}

// One axis of the walk from `from` towards `to` (pixels): the walk parameter of the next
// cell border, the parameter between borders, and the step (+1 or -1; no step when the
// direction is 0, whose parameters are infinite).
struct WalkAxis {
    float t;
    float dt;
    std::int32_t step;
};
WalkAxis walk_axis(float from, float to, float cave_cell);

// The walk of light from (x, y) to (tx, ty) through cells of `cave_cell` pixels: true when
// it reaches the target's cell, or takes as many steps as the cells are apart, without
// entering rock or leaving the cave. Neither end cell is tested; vertical steps win ties.
bool cave_path_clear(CaveTiles cave, float x, float y, float tx, float ty, float cave_cell);

// For one source cell: which cells a staircase of open cells reaches, moving only away
// from the source along x and y (one answer per quadrant). Every walk is such a
// staircase, so a walk whose every possible end is unreachable is surely blocked.
class StaircaseReach {
  public:
    // Room for every reach up to `most` cells, so that build() allocates nothing.
    explicit StaircaseReach(std::int32_t most = 64);

    // Covers cells up to `reach` apart from (sx, sy) along each axis.
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
