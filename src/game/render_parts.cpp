// The pieces of the world picture that several drawing steps share: the rock texture,
// the water outline, the crystal shards and the glowing insects.
#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/rng.hpp"
#include "game/biome.hpp"
#include "game/cave.hpp"
#include "game/render.hpp"

namespace pyrelle {
namespace {

bool open_cell(const Cave& cave, std::int32_t x, std::int32_t y) {
    return is_open(cave, x, y);
}

// Distance from the pixel centre to the nearest open cell square within two cells.
float distance_to_open(const Cave& cave, std::int32_t px, std::int32_t py) {
    const std::int32_t cx = px >> 3;
    const std::int32_t cy = py >> 3;
    const float x = static_cast<float>(px) + 0.5f;
    const float y = static_cast<float>(py) + 0.5f;
    float best = std::numeric_limits<float>::max();
    for (std::int32_t oy = cy - 2; oy <= cy + 2; ++oy) {
        for (std::int32_t ox = cx - 2; ox <= cx + 2; ++ox) {
            if (!open_cell(cave, ox, oy)) continue;
            const float left = static_cast<float>(8 * ox);
            const float top = static_cast<float>(8 * oy);
            const float dx = std::clamp(x, left, left + 8.0f) - x;
            const float dy = std::clamp(y, top, top + 8.0f) - y;
            best = std::min(best, std::sqrt(dx * dx + dy * dy));
        }
    }
    return best;
}

Vec2 normalise(float x, float y) {
    const float length = std::sqrt(x * x + y * y);
    if (length <= 1e-6f) return {0.0f, 0.0f};
    return {x / length, y / length};
}

}  // namespace

std::uint32_t background_pixel(const Level& level, std::int32_t px, std::int32_t py) {
    const std::uint32_t s = static_cast<std::uint32_t>(level.seed);
    const std::uint32_t s1 = s * 0xCB1AB31Fu;
    const std::uint32_t s2 = (s ^ 0x4Du) * 0xCB1AB31Fu;
    const auto colours = rock_colours(level.biome);
    const std::uint32_t n = cell_hash(px, py, s1);
    const float k = static_cast<float>(n & 15u) / 75.0f + 0.9f;
    const std::int32_t cx = px >> 3;
    const std::int32_t cy = py >> 3;
    if (open_cell(level.cave, cx, cy)) {
        if (n % 61 == 0) return colours[3];
        const float m = static_cast<float>(cell_hash(cx, cy, s2) & 7u) / 60.0f + 0.94f;
        return scale_colour(colours[4], k * m);
    }
    const float t = distance_to_open(level.cave, px, py);
    std::uint32_t base = colours[0];
    if (t <= 1.5f) {
        base = colours[2];
    } else if (t <= 10.0f) {
        base = mix_colour(colours[1], colours[0], std::clamp((t - 1.5f) / 8.5f, 0.0f, 1.0f));
    }
    return scale_colour(base, k);
}

WaterSample water_surface(const Level& level, float px, float py) {
    const float gx = px * 0.125f - 0.5f;
    const float gy = py * 0.125f - 0.5f;
    const float fgx = std::floor(gx);
    const float fgy = std::floor(gy);
    const std::int32_t ix = saturating_i32(fgx);
    const std::int32_t iy = saturating_i32(fgy);
    const float fx = gx - fgx;
    const float fy = gy - fgy;
    const auto w = [&](std::int32_t x, std::int32_t y) {
        return water_level(level.cave, level.water_mask, x, y);
    };
    const float v = (1.0f - fy) * ((1.0f - fx) * w(ix, iy) + fx * w(ix + 1, iy)) +
                    fy * ((1.0f - fx) * w(ix, iy + 1) + fx * w(ix + 1, iy + 1));
    const float t = level.time;
    const float thr =
        0.5f + 0.06f * std::sin(0.5f * px + 1.5f * t) * std::sin(0.4f * py - 1.1f * t);
    return {v, thr};
}

bool is_water_pixel(const Level& level, std::int32_t px, std::int32_t py) {
    const WaterSample s = water_surface(level, static_cast<float>(px), static_cast<float>(py));
    return s.v > s.thr;
}

bool is_air_pixel(const Level& level, std::int32_t x, std::int32_t y) {
    return open_cell(level.cave, x >> 3, y >> 3) && !is_water_pixel(level, x, y);
}

std::array<ScreenPoint, 11> crystal_points(const Crystal& crystal) {
    const float a = crystal.dx;
    const float b = crystal.dy;
    const Vec2 base{crystal.x + 1.5f * a, crystal.y + 1.5f * b};
    struct Shard {
        Vec2 start;
        Vec2 direction;
        int count;
    };
    const Shard shards[3] = {
        {{base.x + 1.6f * b, base.y + 1.6f * -a}, normalise(0.35f * b - a, -0.35f * a - b), 3},
        {base, normalise(-a, -b), 5},
        {{base.x + 1.6f * -b, base.y + 1.6f * a}, normalise(-0.35f * b - a, 0.35f * a - b), 3},
    };
    std::array<ScreenPoint, 11> points{};
    std::size_t n = 0;
    for (const Shard& shard : shards) {
        for (int k = 0; k < shard.count; ++k) {
            const float fk = static_cast<float>(k);
            points[n++] = {floor_i32(shard.start.x + fk * shard.direction.x),
                           floor_i32(shard.start.y + fk * shard.direction.y)};
        }
    }
    return points;
}

void draw_firefly(Canvas& canvas, std::uint32_t colour, float x, float y, float radius,
                  float intensity, float phase) {
    if (intensity > 0.02f) canvas.glow(scale_colour(colour, 0.7f), x, y, radius, intensity);
    const std::int32_t ix = floor_i32(x);
    const std::int32_t iy = floor_i32(y);
    const float k = std::clamp(0.75f * intensity + 0.25f, 0.0f, 1.0f);
    const std::uint32_t body =
        pack_rgb(round_channel(70.0f + (static_cast<float>(red_of(colour)) - 70.0f) * k),
                 round_channel(60.0f + (static_cast<float>(green_of(colour)) - 60.0f) * k),
                 round_channel(40.0f + (static_cast<float>(blue_of(colour)) - 40.0f) * k));
    const float beat = 24.0f * phase;
    const std::int32_t wing_y = beat - std::trunc(beat) < 0.5f ? iy - 2 : iy - 1;
    canvas.blend(ix - 2, wing_y, 0xAAB4C8, 0.7f);
    canvas.blend(ix + 2, wing_y, 0xAAB4C8, 0.7f);
    canvas.set(ix, iy - 1, 0x3C3228);
    canvas.set(ix, iy, body);
    canvas.set(ix, iy + 1, body);
    const std::uint32_t side = scale_colour(body, 0.6f);
    canvas.set(ix - 1, iy, side);
    canvas.set(ix + 1, iy, side);
}

namespace {

// The open cells around a rock cell that can be within 10 pixels of its pixels.
struct OpenNeighbours {
    std::int32_t count = 0;
    float left[25];
    float top[25];
};

OpenNeighbours open_neighbours(const Cave& cave, std::int32_t cx, std::int32_t cy) {
    OpenNeighbours n;
    for (std::int32_t oy = cy - 2; oy <= cy + 2; ++oy) {
        for (std::int32_t ox = cx - 2; ox <= cx + 2; ++ox) {
            if (!open_cell(cave, ox, oy)) continue;
            n.left[n.count] = static_cast<float>(8 * ox);
            n.top[n.count] = static_cast<float>(8 * oy);
            ++n.count;
        }
    }
    return n;
}

// The same texture as background_pixel, a cell at a time: rock far from open space
// skips the distance search.
void paint_background_cell(const Level& level, Canvas& background, std::int32_t cx,
                           std::int32_t cy) {
    const std::uint32_t s = static_cast<std::uint32_t>(level.seed);
    const std::uint32_t s1 = s * 0xCB1AB31Fu;
    const std::uint32_t s2 = (s ^ 0x4Du) * 0xCB1AB31Fu;
    const auto& colours = rock_colours(level.biome);
    const bool open = open_cell(level.cave, cx, cy);
    const float m = static_cast<float>(cell_hash(cx, cy, s2) & 7u) / 60.0f + 0.94f;
    const OpenNeighbours near = open ? OpenNeighbours{} : open_neighbours(level.cave, cx, cy);
    for (std::int32_t py = 8 * cy; py < 8 * cy + 8; ++py) {
        std::uint32_t* row = &background.pixels[static_cast<std::size_t>(py) * background.width];
        for (std::int32_t px = 8 * cx; px < 8 * cx + 8; ++px) {
            const std::uint32_t n = cell_hash(px, py, s1);
            const float k = static_cast<float>(n & 15u) / 75.0f + 0.9f;
            std::uint32_t colour;
            if (open) {
                colour = n % 61 == 0 ? colours[3] : scale_colour(colours[4], k * m);
            } else {
                const float x = static_cast<float>(px) + 0.5f;
                const float y = static_cast<float>(py) + 0.5f;
                float t = std::numeric_limits<float>::max();
                for (std::int32_t i = 0; i < near.count; ++i) {
                    const float dx = std::clamp(x, near.left[i], near.left[i] + 8.0f) - x;
                    const float dy = std::clamp(y, near.top[i], near.top[i] + 8.0f) - y;
                    t = std::min(t, std::sqrt(dx * dx + dy * dy));
                }
                std::uint32_t base = colours[0];
                if (t <= 1.5f) {
                    base = colours[2];
                } else if (t <= 10.0f) {
                    base = mix_colour(colours[1], colours[0],
                                      std::clamp((t - 1.5f) / 8.5f, 0.0f, 1.0f));
                }
                colour = scale_colour(base, k);
            }
            row[px] = colour;
        }
    }
}

}  // namespace

WorldRenderer::WorldRenderer(const Level& level)
    : background(static_cast<std::uint32_t>(level.cave.width) * 8,
                 static_cast<std::uint32_t>(level.cave.height) * 8),
      light_map(LightMap::create(320, 180, 2)),
      lantern_sprite(::pyrelle::lantern_sprite()) {
    for (std::int32_t cy = 0; cy < level.cave.height; ++cy) {
        for (std::int32_t cx = 0; cx < level.cave.width; ++cx)
            paint_background_cell(level, background, cx, cy);
    }
    has_water = std::find(level.water_mask.cells.begin(), level.water_mask.cells.end(), 1) !=
                level.water_mask.cells.end();
}

}  // namespace pyrelle
