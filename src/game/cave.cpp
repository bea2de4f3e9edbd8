#include "game/cave.hpp"

#include <algorithm>
#include <cmath>

#include "engine/saturating.hpp"
#include "game/world.hpp"

namespace pyrelle {

Cell cell_of(Vec2 position) {
    return Cell{floor_i32(position.x * 0.125f), floor_i32(position.y * 0.125f)};
}

Vec2 cell_centre(std::int32_t x, std::int32_t y) {
    return Vec2{(static_cast<float>(x) + 0.5f) * kCellSizeF,
                (static_cast<float>(y) + 0.5f) * kCellSizeF};
}

Vec2 camera_target(const Cave& cave, Vec2 firefly) {
    const float max_x = std::max(static_cast<float>(cave.width * kCellSize) - kViewWidthF, 0.0f);
    const float max_y = std::max(static_cast<float>(cave.height * kCellSize) - kViewHeightF, 0.0f);
    return Vec2{std::min(std::max(firefly.x - kViewWidthF / 2.0f, 0.0f), max_x),
                std::min(std::max(firefly.y - kViewHeightF / 2.0f, 0.0f), max_y)};
}

bool is_open(const Cave& cave, std::int32_t x, std::int32_t y) {
    return cave.in_range(x, y) &&
           cave.tiles[cave.index(x, y)] == static_cast<std::uint8_t>(Tile::Open);
}

DistanceField distance_field(const Cave& cave, std::int32_t sx, std::int32_t sy) {
    DistanceField field;
    std::vector<std::int32_t> queue;
    fill_distance_field(cave, sx, sy, field, queue);
    return field;
}

void fill_distance_field(const Cave& cave, std::int32_t sx, std::int32_t sy, DistanceField& out,
                         std::vector<std::int32_t>& queue) {
    const std::size_t cells = cave.tiles.size();
    out.width = cave.width;
    out.height = cave.height;
    out.values.assign(cells, -1);
    if (!is_open(cave, sx, sy)) return;
    // Every cell enters the queue at most once, so a flat array with a read index will do.
    queue.resize(cells);
    std::size_t read = 0;
    std::size_t write = 0;
    const std::int32_t start = static_cast<std::int32_t>(cave.index(sx, sy));
    out.values[static_cast<std::size_t>(start)] = 0;
    queue[write++] = start;
    const std::int32_t w = cave.width;
    while (read < write) {
        const std::int32_t i = queue[read++];
        const std::int32_t x = i % w;
        const std::int32_t y = i / w;
        const std::int32_t next = out.values[static_cast<std::size_t>(i)] + 1;
        const Cell neighbours[4] = {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}};
        for (const Cell& n : neighbours) {
            if (!is_open(cave, n.x, n.y)) continue;
            const std::size_t j = cave.index(n.x, n.y);
            if (out.values[j] != -1) continue;
            out.values[j] = next;
            queue[write++] = static_cast<std::int32_t>(j);
        }
    }
}

std::int32_t clearance(const Cave& cave, std::int32_t x, std::int32_t y, std::int32_t max) {
    if (!is_open(cave, x, y)) return -1;
    for (std::int32_t r = 1; r <= max; ++r) {
        // The ring at Chebyshev distance r; the grid is small, so 64-bit keeps x +- r safe.
        for (std::int64_t dy = -r; dy <= r; ++dy) {
            const bool edge_row = dy == -r || dy == r;
            for (std::int64_t dx = -r; dx <= r; dx += edge_row ? 1 : 2 * r) {
                const std::int64_t cx = x + dx;
                const std::int64_t cy = y + dy;
                if (cx < 0 || cy < 0 || cx >= cave.width || cy >= cave.height ||
                    !is_open(cave, static_cast<std::int32_t>(cx), static_cast<std::int32_t>(cy)))
                    return r - 1;
            }
        }
    }
    return max < 0 ? 0 : max;
}

float water_level(const Cave& cave, const WaterMask& mask, std::int32_t x, std::int32_t y) {
    static constexpr std::int32_t kWeights[3][3] = {{1, 2, 1}, {2, 4, 2}, {1, 2, 1}};
    std::int32_t sum = 0;
    for (std::int32_t dy = -1; dy <= 1; ++dy) {
        for (std::int32_t dx = -1; dx <= 1; ++dx) {
            const std::int64_t cx = static_cast<std::int64_t>(x) + dx;
            const std::int64_t cy = static_cast<std::int64_t>(y) + dy;
            if (cx < 0 || cy < 0 || cx >= cave.width || cy >= cave.height) continue;
            const std::size_t i =
                cave.index(static_cast<std::int32_t>(cx), static_cast<std::int32_t>(cy));
            if (i < mask.cells.size() && mask.cells[i] != 0) sum += kWeights[dy + 1][dx + 1];
        }
    }
    return static_cast<float>(sum) * 0.0625f;
}

bool is_water(const Cave& cave, const WaterMask& mask, std::int32_t x, std::int32_t y) {
    return is_open(cave, x, y) && water_level(cave, mask, x, y) > 0.5f;
}

bool is_deep_water(const Cave& cave, const WaterMask& mask, std::int32_t x, std::int32_t y) {
    if (!is_open(cave, x, y)) return false;
    // Being open, (x, y) is inside the grid, so its neighbours' coordinates cannot overflow.
    return is_water(cave, mask, x - 1, y) && is_water(cave, mask, x, y - 1) &&
           is_water(cave, mask, x, y) && is_water(cave, mask, x + 1, y) &&
           is_water(cave, mask, x, y + 1);
}

namespace {

bool is_dry_open(const Cave& cave, const WaterMask& mask, std::int32_t x, std::int32_t y) {
    return is_open(cave, x, y) && !is_water(cave, mask, x, y);
}

}  // namespace

std::optional<Vec2> steer_step(const Cave& cave, const WaterMask& mask, Vec2 position,
                               const DistanceField& field, bool toward) {
    const Cell c = cell_of(position);
    // From outside the grid every offset needs a cell in the entity's own row or column,
    // which is outside too; leaving early also keeps c + offset from overflowing.
    if (!cave.in_range(c.x, c.y)) return std::nullopt;
    std::optional<Cell> best;
    std::int32_t best_value = 0;
    for (const Cell& o : kNeighbourOffsets) {
        const std::int32_t nx = c.x + o.x;
        const std::int32_t ny = c.y + o.y;
        if (!is_dry_open(cave, mask, nx, ny) || !is_dry_open(cave, mask, nx, c.y) ||
            !is_dry_open(cave, mask, c.x, ny))
            continue;
        const std::int32_t value = field.at(nx, ny);
        if (value < 0) continue;
        if (!best || (toward ? value < best_value : value > best_value)) {
            best = Cell{nx, ny};
            best_value = value;
        }
    }
    if (!best) return std::nullopt;
    const Vec2 target = cell_centre(best->x, best->y);
    const float dx = target.x - position.x;
    const float dy = target.y - position.y;
    const float len = std::sqrt(dx * dx + dy * dy);
    if (len > 1e-6f) return Vec2{dx / len, dy / len};
    return Vec2{};
}

}  // namespace pyrelle
