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

// Where a walk stands: a cell by its coordinates. A caller may keep its own cursor (the
// light map keeps an index into its window) with the same three operations.
struct CellCursor {
    std::int64_t x;
    std::int64_t y;

    // One step along y (vertical) or x, by the axis's step; branch-free.
    void advance(bool vertical, std::int32_t step_x, std::int32_t step_y) {
        x += vertical ? 0 : step_x;
        y += vertical ? step_y : 0;
    }
    friend bool operator==(const CellCursor&, const CellCursor&) = default;
};

// The cell walk of light and of sight, the one rule both follow. From cell `at` towards
// cell `end`, `steps` apart (the sum of their distances along x and y), it steps along the
// axis whose next cell border the segment crosses first, vertically on ties. It succeeds
// on reaching the end cell, or after `steps` steps (a rounding step past a target on a
// border uses one up); it fails on entering a cell `enter` finds Blocked. The start and end
// cells are never entered. `enter(cursor, steps_so_far)` judges every other cell.
template <typename Cursor, typename Enter>
bool walk_cells(Cursor at, const Cursor& end, std::int64_t steps, WalkAxis ax, WalkAxis ay,
                Enter&& enter) {
    if (at == end) return true;
    for (std::int64_t i = 1; i <= steps; ++i) {
        // Branch-free: adding 0 leaves a parameter as it was.
        const bool vertical = ay.t <= ax.t;
        at.advance(vertical, ax.step, ay.step);
        ay.t += vertical ? ay.dt : 0.0f;
        ax.t += vertical ? 0.0f : ax.dt;
        if (at == end) return true;
        const WalkCell cell = enter(at, i);
        if (cell != WalkCell::Open) return cell == WalkCell::ClearBeyond;
    }
    return true;
}

// The walk from the cell of (x, y) to the cell of (tx, ty) (pixels) through the cave's
// open cells: line of sight for the game, and the test of every light cell of the map.
bool cave_path_clear(CaveTiles cave, float x, float y, float tx, float ty, float cell_size);

}  // namespace pyrelle
