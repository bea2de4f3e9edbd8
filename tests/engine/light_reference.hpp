#pragma once
// A plain, literal light map used only to check the fast one: every light cell of every
// source walks its own line of sight, and apply() samples each pixel on its own.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/canvas.hpp"
#include "engine/light/falloff.hpp"
#include "engine/light/light_map.hpp"

namespace pyrelle::reference {

struct Light {
    std::vector<LightRgb> light;
    std::vector<std::uint8_t> rock;
    std::uint32_t gw = 0, gh = 0, cell = 0;
    LightRgb ambient;
};

inline bool open_cell(const CaveTiles& cave, long long x, long long y) {
    if (x < 0 || y < 0 || x >= cave.width || y >= cave.height) return false;
    return cave.tiles[static_cast<std::size_t>(x + y * cave.width)] == 0;
}

// The grid walk from the source's cave cell towards the target's, vertical step on ties.
inline bool walk(const CaveTiles& cave, float sx, float sy, float tx, float ty, float size) {
    long long x = static_cast<long long>(std::floor(sx / size));
    long long y = static_cast<long long>(std::floor(sy / size));
    const long long end_x = static_cast<long long>(std::floor(tx / size));
    const long long end_y = static_cast<long long>(std::floor(ty / size));
    const float dir_x = (tx - sx) / size;
    const float dir_y = (ty - sy) / size;
    const float inf = std::numeric_limits<float>::infinity();
    const float px = sx / size, py = sy / size;
    float t_x = inf, t_y = inf;
    if (dir_x > 0) t_x = (static_cast<float>(x) + 1.0f - px) / dir_x;
    if (dir_x < 0) t_x = (px - static_cast<float>(x)) / -dir_x;
    if (dir_y > 0) t_y = (static_cast<float>(y) + 1.0f - py) / dir_y;
    if (dir_y < 0) t_y = (py - static_cast<float>(y)) / -dir_y;
    const float step_x = dir_x != 0 ? std::fabs(1.0f / dir_x) : inf;
    const float step_y = dir_y != 0 ? std::fabs(1.0f / dir_y) : inf;
    const long long steps = std::llabs(end_x - x) + std::llabs(end_y - y);
    for (long long i = 0; i < steps; ++i) {
        if (x == end_x && y == end_y) return true;
        if (t_y <= t_x) {
            y += dir_y > 0 ? 1 : -1;
            t_y += step_y;
        } else {
            x += dir_x > 0 ? 1 : -1;
            t_x += step_x;
        }
        if (x == end_x && y == end_y) return true;
        if (!open_cell(cave, x, y)) return false;
    }
    return true;
}

inline Light compute(std::uint32_t view_w, std::uint32_t view_h, std::uint32_t cell,
                     const std::vector<LightSource>& lights, LightRgb ambient, CaveTiles cave,
                     float cam_x, float cam_y, float size) {
    Light m;
    m.gw = view_w / cell + 9;
    m.gh = view_h / cell + 9;
    m.cell = cell;
    m.ambient = ambient;
    m.light.assign(static_cast<std::size_t>(m.gw) * m.gh, LightRgb{});
    m.rock.assign(m.light.size(), 0);
    const float c = static_cast<float>(cell);
    const float ox = std::floor(cam_x) - 4 * c;
    const float oy = std::floor(cam_y) - 4 * c;
    const auto centre_x = [&](long long k) { return ox + (static_cast<float>(k) + 0.5f) * c; };
    const auto centre_y = [&](long long j) { return oy + (static_cast<float>(j) + 0.5f) * c; };
    for (std::uint32_t j = 0; j < m.gh; ++j) {
        for (std::uint32_t k = 0; k < m.gw; ++k) {
            const long long x = static_cast<long long>(std::floor(centre_x(k) / size));
            const long long y = static_cast<long long>(std::floor(centre_y(j) / size));
            const bool inside = x >= 0 && y >= 0 && x < cave.width && y < cave.height;
            m.rock[k + j * m.gw] =
                inside ? cave.tiles[static_cast<std::size_t>(x + y * cave.width)] : 1;
        }
    }
    for (const LightSource& s : lights) {
        const long long k0 =
            std::max<long long>(static_cast<long long>(std::floor((s.x - ox - s.radius) / c)), 0);
        const long long k1 = std::min<long long>(
            static_cast<long long>(std::ceil((s.x - ox + s.radius) / c)), m.gw - 1);
        const long long j0 =
            std::max<long long>(static_cast<long long>(std::floor((s.y - oy - s.radius) / c)), 0);
        const long long j1 = std::min<long long>(
            static_cast<long long>(std::ceil((s.y - oy + s.radius) / c)), m.gh - 1);
        for (long long j = j0; j <= j1; ++j) {
            for (long long k = k0; k <= k1; ++k) {
                const std::size_t i = static_cast<std::size_t>(k + j * m.gw);
                if (m.rock[i] != 0) continue;
                const float cx = centre_x(k), cy = centre_y(j);
                const float d = std::sqrt((cx - s.x) * (cx - s.x) + (cy - s.y) * (cy - s.y));
                const float f = light_falloff(d, s.radius);
                if (f <= 0) continue;
                if (!walk(cave, s.x, s.y, cx, cy, size)) continue;
                m.light[i].r += f * s.intensity * s.r;
                m.light[i].g += f * s.intensity * s.g;
                m.light[i].b += f * s.intensity * s.b;
            }
        }
    }
    const std::vector<LightRgb> direct = m.light;
    for (long long j = 0; j < m.gh; ++j) {
        for (long long k = 0; k < m.gw; ++k) {
            const std::size_t i = static_cast<std::size_t>(k + j * m.gw);
            if (m.rock[i] != 1) continue;
            bool found = false;
            float best = 0, best_w = 0;
            LightRgb best_light;
            for (int dy = -3; dy <= 3; ++dy) {
                for (int dx = -3; dx <= 3; ++dx) {
                    if (dx == 0 && dy == 0) continue;
                    const float w = std::clamp(
                        1.0f - (std::sqrt(static_cast<float>(dx * dx + dy * dy)) - 1.0f) / 2.5f,
                        0.0f, 1.0f);
                    if (!(w > 0)) continue;
                    const long long nk = k + dx, nj = j + dy;
                    if (nk < 0 || nj < 0 || nk >= m.gw || nj >= m.gh) continue;
                    const std::size_t n = static_cast<std::size_t>(nk + nj * m.gw);
                    if (m.rock[n] != 0) continue;
                    const LightRgb& l = direct[n];
                    const float score = (l.r + l.g + l.b) * w;
                    if (!found || score > best) {
                        found = true;
                        best = score;
                        best_w = w;
                        best_light = l;
                    }
                }
            }
            if (found)
                m.light[i] = {best_w * best_light.r, best_w * best_light.g, best_w * best_light.b};
        }
    }
    return m;
}

inline LightRgb sample(const Light& m, float px, float py) {
    const float c = static_cast<float>(m.cell);
    const float u = (px + 0.5f) / c - 0.5f + 4.0f;
    const float v = (py + 0.5f) / c - 0.5f + 4.0f;
    const std::uint32_t k = u < 0 ? 0u : static_cast<std::uint32_t>(std::floor(u));
    const std::uint32_t j = v < 0 ? 0u : static_cast<std::uint32_t>(std::floor(v));
    const float fx = u - static_cast<float>(k), fy = v - static_cast<float>(j);
    const auto at = [&](std::uint32_t kk, std::uint32_t jj) { return m.light[kk + jj * m.gw]; };
    const auto lerp = [](float a, float b, float t) { return a + (b - a) * t; };
    const LightRgb a = at(k, j), b = at(k + 1, j), cc = at(k, j + 1), d = at(k + 1, j + 1);
    const LightRgb top{lerp(a.r, b.r, fx), lerp(a.g, b.g, fx), lerp(a.b, b.b, fx)};
    const LightRgb bottom{lerp(cc.r, d.r, fx), lerp(cc.g, d.g, fx), lerp(cc.b, d.b, fx)};
    return {lerp(top.r, bottom.r, fy), lerp(top.g, bottom.g, fy), lerp(top.b, bottom.b, fy)};
}

inline void apply(const Light& m, Canvas& canvas) {
    static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    for (std::uint32_t y = 0; y < canvas.height; ++y) {
        for (std::uint32_t x = 0; x < canvas.width; ++x) {
            const LightRgb l = sample(m, static_cast<float>(x), static_cast<float>(y));
            const float t = (static_cast<float>(bayer[y % 4][x % 4]) + 0.5f) * 0.0625f;
            const float lc[3] = {l.r, l.g, l.b};
            const float amb[3] = {m.ambient.r, m.ambient.g, m.ambient.b};
            std::uint32_t& p = canvas.pixels[x + y * canvas.width];
            const std::uint32_t old[3] = {(p >> 16) & 255, (p >> 8) & 255, p & 255};
            std::uint32_t out[3];
            for (int ch = 0; ch < 3; ++ch) {
                const float level = std::floor(std::min(lc[ch], 1.8f) * 7.0f + t) / 7.0f;
                const float factor = std::max(level, 0.0f) + amb[ch];
                const float v = static_cast<float>(old[ch]) * factor;
                out[ch] = v > 255.0f ? 255u : v > 0.0f ? static_cast<std::uint32_t>(v) : 0u;
            }
            p = (out[0] << 16) | (out[1] << 8) | out[2];
        }
    }
}

}  // namespace pyrelle::reference
