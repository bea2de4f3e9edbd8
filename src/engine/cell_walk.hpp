#pragma once
#include <cstdint>
#include <cstdlib>
#include <span>

namespace pyrelle {

// The cave as the walk sees it: row-major tile bytes, 0 open, anything else rock.
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

// One axis of the walk from `from` towards `to` (pixels), in cells of `cell_size` pixels:
// the walk parameter of the next cell border, the parameter between borders, and the step.
// An axis without direction (0, or NaN) never steps: step 0, parameters infinite.
struct WalkAxis {
    float t;
    float dt;
    std::int32_t step;
};
WalkAxis walk_axis(float from, float to, float cell_size);

// What a walk finds in a cell it enters. `ClearBeyond` lets a caller that knows the rest
// of the way is open end the walk early with the same answer.
enum class WalkCell : std::uint8_t { Open, Blocked, ClearBeyond };

// The cell walk of light and of sight, the one rule both follow. From cell (x, y) towards
// (end_x, end_y) it steps along the axis whose next cell border the segment crosses first,
// vertically on ties. It succeeds on reaching the end cell, or after as many steps as the
// two cells are apart (a rounding step past a target on a border uses one up); it fails
// on entering a cell `enter` finds Blocked. The start and end cells are never entered.
// `enter(x, y, steps_so_far)` judges every other cell.
template <typename Enter>
bool walk_cells(std::int64_t x, std::int64_t y, std::int64_t end_x, std::int64_t end_y, WalkAxis ax,
                WalkAxis ay, Enter&& enter) {
    if (x == end_x && y == end_y) return true;
    const std::int64_t steps = std::llabs(end_x - x) + std::llabs(end_y - y);
    for (std::int64_t i = 1; i <= steps; ++i) {
        // Branch-free: adding 0 leaves a parameter as it was.
        const bool vertical = ay.t <= ax.t;
        x += vertical ? 0 : ax.step;
        y += vertical ? ay.step : 0;
        ay.t += vertical ? ay.dt : 0.0f;
        ax.t += vertical ? 0.0f : ax.dt;
        if (x == end_x && y == end_y) return true;
        const WalkCell cell = enter(x, y, i);
        if (cell != WalkCell::Open) return cell == WalkCell::ClearBeyond;
    }
    return true;
}

// The walk from the cell of (x, y) to the cell of (tx, ty) (pixels) through the cave's
// open cells: line of sight for the game, and the test of every light cell of the map.
bool cave_path_clear(CaveTiles cave, float x, float y, float tx, float ty, float cell_size);

}  // namespace pyrelle
