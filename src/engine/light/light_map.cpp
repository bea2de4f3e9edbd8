#include "engine/light/light_map.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "engine/light/layout.hpp"

namespace pyrelle {

namespace {

using light_layout::kGlowPadding;
using light_layout::kGlowReach;
using light_layout::kGridPadding;
using light_layout::kMargin;
constexpr float kInf = std::numeric_limits<float>::infinity();

}  // namespace

LightMap LightMap::create(std::uint32_t view_width, std::uint32_t view_height, std::uint32_t cell) {
    if (cell == 0) {
        std::fprintf(stderr, "cellule de lumière nulle\n");
        std::abort();
    }
    LightMap m;
    m.cell = cell;
    m.gw = view_width / cell + static_cast<std::uint32_t>(kGridPadding);
    m.gh = view_height / cell + static_cast<std::uint32_t>(kGridPadding);
    const std::size_t n = static_cast<std::size_t>(m.gw) * m.gh;
    m.light.assign(n, LightRgb{});
    m.rock.assign(n, 0);
    // The weight runs out at a distance of 3.5: kGlowReach cells along each axis.
    for (std::int32_t dy = -kGlowReach; dy <= kGlowReach; ++dy) {
        for (std::int32_t dx = -kGlowReach; dx <= kGlowReach; ++dx) {
            if (dx == 0 && dy == 0) continue;
            const float d = std::sqrt(static_cast<float>(dx * dx + dy * dy));
            const float w = std::clamp(1.0f - (d - 1.0f) / 2.5f, 0.0f, 1.0f);
            if (w > 0.0f) m.spread.push_back({dx, dy, w});
        }
    }
    m.cells_.cave_col.resize(m.gw);
    m.cells_.cave_row.resize(m.gh);
    m.cells_.centre_x.resize(m.gw);
    m.cells_.centre_y.resize(m.gh);
    const std::size_t padded = static_cast<std::size_t>(m.gw + kGlowPadding) *
                               static_cast<std::size_t>(m.gh + 2 * kGlowReach);
    m.glow_.padded_score.assign(padded, -kInf);
    m.glow_.near_lit.assign(n, 0);
    m.glow_.run.assign(n, 0);
    m.glow_.dilate_row.assign(m.gw + 2 * kGlowReach, 0);
    m.source_.falloff.assign(m.gw, 0.0f);
    m.source_.shares.assign(m.gw, 0.0f);
    m.source_.col_walk.resize(m.gw);
    m.source_.col_overshoot.resize(m.gw);
    m.source_.runs.resize(m.gw);
    m.source_.run_sight.resize(m.gw);
    m.hull_.sight.resize(n);
    m.apply_.soa.resize(3 * static_cast<std::size_t>(m.gw));
    return m;
}

// Light rows over the same cave row have the same mask: each such row copies the one above.
void LightMap::build_rock_mask(CaveTiles cave) {
    for (std::uint32_t j = 0; j < gh; ++j) {
        std::uint8_t* out = &rock[static_cast<std::size_t>(j) * gw];
        const std::int32_t cy = cells_.cave_row[j];
        if (j > 0 && cy == cells_.cave_row[j - 1]) {
            std::memcpy(out, out - gw, gw);
            continue;
        }
        for (std::uint32_t k = 0; k < gw; ++k) {
            const std::int32_t cx = cells_.cave_col[k];
            const bool inside = cx >= 0 && cy >= 0 && cx < cave.width && cy < cave.height;
            out[k] = inside ? cave.tiles[static_cast<std::size_t>(cx) +
                                         static_cast<std::size_t>(cy) * cave.width]
                            : 1;
        }
    }
}

void LightMap::compute(const std::vector<LightSource>& lights, LightRgb ambient_light,
                       CaveTiles cave, float camera_x, float camera_y, float cave_cell) {
    std::fill(light.begin(), light.end(), LightRgb{});
    ambient = ambient_light;
    const float cellf = static_cast<float>(cell);
    const float margin = static_cast<float>(kMargin);
    const float ox = std::floor(camera_x) - margin * cellf;
    const float oy = std::floor(camera_y) - margin * cellf;
    for (std::uint32_t k = 0; k < gw; ++k) {
        cells_.centre_x[k] = ox + (static_cast<float>(k) + 0.5f) * cellf;
        cells_.cave_col[k] = floor_i32(cells_.centre_x[k] / cave_cell);
    }
    for (std::uint32_t j = 0; j < gh; ++j) {
        cells_.centre_y[j] = oy + (static_cast<float>(j) + 0.5f) * cellf;
        cells_.cave_row[j] = floor_i32(cells_.centre_y[j] / cave_cell);
    }
    build_rock_mask(cave);
    build_blocked_table(cave);
    begin_memos(cave, cave_cell);
    for (const LightSource& s : lights)
        add_source(s, cave, ox, oy, cave_cell);
    end_memos();
    glow_rock();
}

}  // namespace pyrelle
