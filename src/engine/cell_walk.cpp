#include "engine/cell_walk.hpp"

#include <cstdlib>
#include <limits>

#include "engine/saturating.hpp"

namespace pyrelle {

WalkAxis walk_axis(float from, float to, float cell_size) {
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const float p = from / cell_size;
    const float c = static_cast<float>(floor_i32(p));
    const float d = (to - from) / cell_size;
    if (d > 0.0f) return {(c + 1.0f - p) / d, 1.0f / d, 1};
    if (d < 0.0f) return {(p - c) / -d, 1.0f / -d, -1};
    return {kInf, kInf, 0};
}

bool cave_path_clear(CaveTiles cave, float x, float y, float tx, float ty, float cell_size) {
    const CellCursor from{floor_i32(x / cell_size), floor_i32(y / cell_size)};
    const CellCursor to{floor_i32(tx / cell_size), floor_i32(ty / cell_size)};
    const std::int64_t steps = std::llabs(to.x - from.x) + std::llabs(to.y - from.y);
    return walk_cells(from, to, steps, walk_axis(x, tx, cell_size), walk_axis(y, ty, cell_size),
                      [&](const CellCursor& c, std::int64_t) {
                          return cave.open(c.x, c.y) ? WalkCell::Open : WalkCell::Blocked;
                      });
}

}  // namespace pyrelle
