#include "engine/light.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace pyrelle {

namespace {

constexpr std::int32_t kMargin = 4;  // light cells before the view's top-left corner
constexpr std::int32_t kReach = 3;   // largest offset of the rock glow
constexpr float kInf = std::numeric_limits<float>::infinity();

}  // namespace

LightMap LightMap::create(std::uint32_t view_width, std::uint32_t view_height, std::uint32_t cell) {
    if (cell == 0) {
        std::fprintf(stderr, "cellule de lumière nulle\n");
        std::abort();
    }
    LightMap m;
    m.cell = cell;
    m.gw = view_width / cell + 9;
    m.gh = view_height / cell + 9;
    const std::size_t n = static_cast<std::size_t>(m.gw) * m.gh;
    m.light.assign(n, LightRgb{});
    m.rock.assign(n, 0);
    for (std::int32_t dy = -kReach; dy <= kReach; ++dy) {
        for (std::int32_t dx = -kReach; dx <= kReach; ++dx) {
            if (dx == 0 && dy == 0) continue;
            const float d = std::sqrt(static_cast<float>(dx * dx + dy * dy));
            const float w = std::clamp(1.0f - (d - 1.0f) / 2.5f, 0.0f, 1.0f);
            if (w > 0.0f) m.spread.push_back({dx, dy, w});
        }
    }
    m.cave_col_.resize(m.gw);
    m.cave_row_.resize(m.gh);
    m.centre_x_.resize(m.gw);
    m.centre_y_.resize(m.gh);
    const std::size_t padded = static_cast<std::size_t>(m.gw + 2 * kReach) * (m.gh + 2 * kReach);
    m.padded_score_.assign(padded, -kInf);
    m.near_lit_.assign(n, 0);
    m.run_.assign(n, 0);
    m.falloff_.assign(m.gw, 0.0f);
    m.col_walk_.resize(m.gw);
    m.col_overshoot_.resize(m.gw);
    return m;
}

void LightMap::build_rock_mask(CaveTiles cave) {
    for (std::uint32_t j = 0; j < gh; ++j) {
        for (std::uint32_t k = 0; k < gw; ++k) {
            const std::int32_t cx = cave_col_[k];
            const std::int32_t cy = cave_row_[j];
            const bool inside = cx >= 0 && cy >= 0 && cx < cave.width && cy < cave.height;
            rock[k + j * gw] = inside ? cave.tiles[static_cast<std::size_t>(cx) +
                                                   static_cast<std::size_t>(cy) * cave.width]
                                      : 1;
        }
    }
}

// Each rock cell copies the weighted light of its best-scoring open neighbour. Cells with
// no lit open cell in their 7 × 7 neighbourhood stay dark, so only rock faces are scanned.
void LightMap::glow_rock() {
    const std::size_t pw = gw + 2 * kReach;
    for (std::uint32_t j = 0; j < gh; ++j) {
        for (std::uint32_t k = 0; k < gw; ++k) {
            const std::size_t i = k + static_cast<std::size_t>(j) * gw;
            const LightRgb& l = light[i];
            const bool open = rock[i] == 0;
            padded_score_[(k + kReach) + (j + kReach) * pw] = open ? l.r + l.g + l.b : -kInf;
            near_lit_[i] = open && (l.r != 0.0f || l.g != 0.0f || l.b != 0.0f);
        }
    }
    // Dilate the lit mask by kReach cells: first along rows into run_, then along columns.
    for (std::uint32_t j = 0; j < gh; ++j) {
        const std::uint8_t* lit = &near_lit_[static_cast<std::size_t>(j) * gw];
        std::uint8_t* out = &run_[static_cast<std::size_t>(j) * gw];
        std::int32_t last_lit = -1000;  // last lit column seen so far
        for (std::int32_t k = 0; k < static_cast<std::int32_t>(gw) + kReach; ++k) {
            if (k < static_cast<std::int32_t>(gw) && lit[k]) last_lit = k;
            const std::int32_t centre = k - kReach;  // its window ends at k
            if (centre >= 0) out[centre] = last_lit >= centre - kReach;
        }
    }
    for (std::uint32_t k = 0; k < gw; ++k) {
        std::int32_t last = -1000;
        for (std::int32_t j = 0; j < static_cast<std::int32_t>(gh) + kReach; ++j) {
            if (j < static_cast<std::int32_t>(gh) && run_[k + static_cast<std::size_t>(j) * gw])
                last = j;
            const std::int32_t centre = j - kReach;
            if (centre >= 0)
                near_lit_[k + static_cast<std::size_t>(centre) * gw] = last >= centre - kReach;
        }
    }
    std::int64_t offsets[64];
    for (std::size_t e = 0; e < spread.size(); ++e)
        offsets[e] = spread[e].dx + spread[e].dy * static_cast<std::int64_t>(pw);
    for (std::uint32_t j = 0; j < gh; ++j) {
        for (std::uint32_t k = 0; k < gw; ++k) {
            const std::size_t i = k + static_cast<std::size_t>(j) * gw;
            if (rock[i] == 0 || !near_lit_[i]) continue;
            const float* centre = &padded_score_[(k + kReach) + (j + kReach) * pw];
            float best = -kInf;
            std::size_t best_e = spread.size();
            for (std::size_t e = 0; e < spread.size(); ++e) {
                const float score = centre[offsets[e]] * spread[e].weight;
                if (score > best) {
                    best = score;
                    best_e = e;
                }
            }
            if (best_e == spread.size()) continue;
            const SpreadEntry& s = spread[best_e];
            const LightRgb& from = light[static_cast<std::size_t>(
                static_cast<std::int64_t>(i) + s.dx + s.dy * static_cast<std::int64_t>(gw))];
            light[i] = {s.weight * from.r, s.weight * from.g, s.weight * from.b};
        }
    }
}

void LightMap::compute(const std::vector<LightSource>& lights, LightRgb ambient_light,
                       CaveTiles cave, float camera_x, float camera_y, float cave_cell) {
    std::fill(light.begin(), light.end(), LightRgb{});
    ambient = ambient_light;
    const float cellf = static_cast<float>(cell);
    const float ox = std::floor(camera_x) - 4.0f * cellf;
    const float oy = std::floor(camera_y) - 4.0f * cellf;
    for (std::uint32_t k = 0; k < gw; ++k) {
        centre_x_[k] = ox + (static_cast<float>(k) + 0.5f) * cellf;
        cave_col_[k] = floor_i32(centre_x_[k] / cave_cell);
    }
    for (std::uint32_t j = 0; j < gh; ++j) {
        centre_y_[j] = oy + (static_cast<float>(j) + 0.5f) * cellf;
        cave_row_[j] = floor_i32(centre_y_[j] / cave_cell);
    }
    build_rock_mask(cave);
    build_blocked_table(cave);
    for (const LightSource& s : lights)
        add_source(s, cave, ox, oy, cave_cell);
    glow_rock();
}

}  // namespace pyrelle
