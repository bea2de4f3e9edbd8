#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/cell_walk.hpp"
#include "game/vec2.hpp"
#include "game/world.hpp"

namespace pyrelle {

enum class Tile : std::uint8_t { Open = 0, Rock = 1 };

// A cell coordinate pair.
struct Cell {
    std::int32_t x = 0;
    std::int32_t y = 0;

    friend bool operator==(const Cell&, const Cell&) = default;
};

// The solid/free grid of one level, row-major (index = x + y * width).
struct Cave {
    std::vector<std::uint8_t> tiles;
    std::int32_t width = 0;
    std::int32_t height = 0;

    bool in_range(std::int32_t x, std::int32_t y) const {
        return x >= 0 && y >= 0 && x < width && y < height;
    }
    // Caller checks in_range first.
    std::size_t index(std::int32_t x, std::int32_t y) const {
        return static_cast<std::size_t>(x) +
               static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    }

    friend bool operator==(const Cave&, const Cave&) = default;
};

// The cave as the engine's cell walk reads it; valid while the cave lives.
inline CaveTiles tiles_of(const Cave& cave) {
    return CaveTiles{cave.tiles, cave.width, cave.height};
}

// Steps over open cells from a source cell; -1 where no path exists.
struct DistanceField {
    std::vector<std::int32_t> values;
    std::int32_t width = 0;
    std::int32_t height = 0;

    // -1 outside the grid (and for an empty field).
    std::int32_t at(std::int32_t x, std::int32_t y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) return -1;
        return values[static_cast<std::size_t>(x) +
                      static_cast<std::size_t>(y) * static_cast<std::size_t>(width)];
    }

    friend bool operator==(const DistanceField&, const DistanceField&) = default;
};

// One byte per cave cell, 1 where a lake covers it; same indexing as the cave.
struct WaterMask {
    std::vector<std::uint8_t> cells;

    friend bool operator==(const WaterMask&, const WaterMask&) = default;
};

inline std::int64_t squared_distance(Cell a, Cell b) {
    const std::int64_t dx = std::int64_t{a.x} - b.x;
    const std::int64_t dy = std::int64_t{a.y} - b.y;
    return dx * dx + dy * dy;
}

// The eight neighbours in the order every step search examines them.
inline constexpr Cell kNeighbourOffsets[8] = {{1, 0}, {-1, 0}, {0, 1},  {0, -1},
                                              {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};

// The cell a world position lies in (floor of position / 8, saturating).
Cell cell_of(Vec2 position);
// World position of a cell's centre.
Vec2 cell_centre(std::int32_t x, std::int32_t y);

// Where the view's top-left corner heads for: centred on the firefly, kept inside the cave.
Vec2 camera_target(const Cave& cave, Vec2 firefly);

// In range and tile Open. Everything outside the grid is rock.
bool is_open(const Cave& cave, std::int32_t x, std::int32_t y);

// Breadth-first flood from (sx, sy); all -1 when the source is rock or outside.
DistanceField distance_field(const Cave& cave, std::int32_t sx, std::int32_t sy);
// The same flood into existing storage, for callers that refresh a field during play.
// `queue` is scratch space; both keep their capacity between calls.
void fill_distance_field(const Cave& cave, std::int32_t sx, std::int32_t sy, DistanceField& out,
                         std::vector<std::int32_t>& queue);

// Largest r in 0..=max whose (2r+1)^2 block around (x, y) is open; -1 if (x, y) is not open.
std::int32_t clearance(const Cave& cave, std::int32_t x, std::int32_t y, std::int32_t max);

// Weighted 3x3 average of the mask (1 2 1 / 2 4 2 / 1 2 1) / 16; outside cells count 0.
float water_level(const Cave& cave, const WaterMask& mask, std::int32_t x, std::int32_t y);
bool is_water(const Cave& cave, const WaterMask& mask, std::int32_t x, std::int32_t y);
// Open, and water on the cell and its four side neighbours.
bool is_deep_water(const Cave& cave, const WaterMask& mask, std::int32_t x, std::int32_t y);

// One step down (toward) or up the field from a world position, avoiding rock, water and
// rock corners. Returns a unit vector (or zero at the target centre), or nothing.
std::optional<Vec2> steer_step(const Cave& cave, const WaterMask& mask, Vec2 position,
                               const DistanceField& field, bool toward);

}  // namespace pyrelle
