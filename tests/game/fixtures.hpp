#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "game/cave.hpp"

namespace pyrelle::testing {

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

}  // namespace pyrelle::testing
