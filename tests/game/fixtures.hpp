#pragma once
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "file_fixtures.hpp"
#include "game/cave.hpp"
#include "game/level.hpp"

namespace pyrelle::fixtures {

// Hand-drawn grids: '#' rock, anything else open. '~' also marks lake cells.
inline Cave cave_from(const std::vector<std::string>& rows) {
    Cave cave;
    cave.height = static_cast<std::int32_t>(rows.size());
    cave.width = rows.empty() ? 0 : static_cast<std::int32_t>(rows[0].size());
    for (const std::string& row : rows)
        for (char c : row)
            cave.tiles.push_back(c == '#' ? 1 : 0);
    return cave;
}

inline WaterMask water_from(const std::vector<std::string>& rows) {
    WaterMask mask;
    for (const std::string& row : rows)
        for (char c : row)
            mask.cells.push_back(c == '~' ? 1 : 0);
    return mask;
}

inline Vec2 centre_of(std::int32_t x, std::int32_t y) {
    return Vec2{x * 8.0f + 4.0f, y * 8.0f + 4.0f};
}

// A bare level on a hand-drawn cave: full energy, nothing placed, the firefly at the centre
// of the cell marked 'F' (or of cell (0, 0)), the distance field from there.
inline Level level_from(const std::vector<std::string>& rows, std::uint32_t depth = 1) {
    Level level;
    level.cave = cave_from(rows);
    level.water_mask = water_from(rows);
    level.depth = depth;
    level.energy = 1.0f;
    level.rng = Rng::seeded(12345);
    for (std::int32_t y = 0; y < level.cave.height; ++y)
        for (std::int32_t x = 0; x < level.cave.width; ++x)
            if (rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == 'F')
                level.firefly_pos = centre_of(x, y);
    const Cell f = cell_of(level.firefly_pos);
    level.distance = distance_field(level.cave, f.x, f.y);
    level.distance_timer = 0.3f;
    return level;
}

// An open room of w x h cells inside a rock frame, firefly at the centre of (fx, fy).
inline Level open_room(std::int32_t w, std::int32_t h, std::int32_t fx, std::int32_t fy) {
    std::vector<std::string> rows(static_cast<std::size_t>(h + 2),
                                  std::string(static_cast<std::size_t>(w + 2), '.'));
    for (auto& row : rows) {
        row.front() = '#';
        row.back() = '#';
    }
    rows.front() = std::string(static_cast<std::size_t>(w + 2), '#');
    rows.back() = rows.front();
    rows[static_cast<std::size_t>(fy)][static_cast<std::size_t>(fx)] = 'F';
    return level_from(rows);
}

// A level with no lantern counts as fully lit and opens its exit, which draws from the
// generator; an unlit lantern far outside the cave keeps it shut.
inline void keep_exit_closed(Level& level) {
    level.lanterns.push_back(Lantern{-10000.0f, -10000.0f, 0.0f, false});
}

constexpr float kDt = 0.016666668f;

inline Shade shade_at(float x, float y) {
    Shade s;
    s.x = x;
    s.y = y;
    return s;
}

inline Moth moth_at(float x, float y, float orbit_dir = 1.0f) {
    Moth m;
    m.x = x;
    m.y = y;
    m.orbit_dir = orbit_dir;
    return m;
}

}  // namespace pyrelle::fixtures
