// The pieces of the world picture that several drawing steps share: the water outline,
// the crystal shards and the glowing insects.
#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/float_math.hpp"
#include "engine/rng.hpp"
#include "game/biome.hpp"
#include "game/cave.hpp"
#include "game/render.hpp"

namespace pyrelle {
namespace {

bool open_cell(const Cave& cave, std::int32_t x, std::int32_t y) {
    return is_open(cave, x, y);
}

Vec2 normalise(float x, float y) {
    const float length = std::sqrt(x * x + y * y);
    if (length <= 1e-6f) return {0.0f, 0.0f};
    return {x / length, y / length};
}

}  // namespace

namespace {

// The lake's level at a pixel, from the four cells around it.
float smoothed_level(const Level& level, float px, float py) {
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
    return (1.0f - fy) * ((1.0f - fx) * w(ix, iy) + fx * w(ix + 1, iy)) +
           fy * ((1.0f - fx) * w(ix, iy + 1) + fx * w(ix + 1, iy + 1));
}

float wave_along_x(float px, float t) {
    return fmath::sin(0.5f * px + 1.5f * t);
}
float wave_along_y(float py, float t) {
    return fmath::sin(0.4f * py - 1.1f * t);
}
float ripple_threshold(float along_x, float along_y) {
    return 0.5f + 0.06f * along_x * along_y;
}

}  // namespace

void SurfaceWaves::update(float t, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    x0 = x;
    y0 = y;
    along_x.resize(static_cast<std::size_t>(std::max(w, 0)));
    along_y.resize(static_cast<std::size_t>(std::max(h, 0)));
    for (std::size_t i = 0; i < along_x.size(); ++i)
        along_x[i] = wave_along_x(static_cast<float>(x0 + static_cast<std::int32_t>(i)), t);
    for (std::size_t j = 0; j < along_y.size(); ++j)
        along_y[j] = wave_along_y(static_cast<float>(y0 + static_cast<std::int32_t>(j)), t);
}

bool SurfaceWaves::covers(std::int32_t px, std::int32_t py) const {
    const std::int64_t i = std::int64_t{px} - x0;
    const std::int64_t j = std::int64_t{py} - y0;
    return i >= 0 && j >= 0 && i < static_cast<std::int64_t>(along_x.size()) &&
           j < static_cast<std::int64_t>(along_y.size());
}

WaterSample water_surface(const Level& level, float px, float py) {
    return {smoothed_level(level, px, py),
            ripple_threshold(wave_along_x(px, level.time), wave_along_y(py, level.time))};
}

WaterSample water_surface(const Level& level, std::int32_t px, std::int32_t py,
                          const SurfaceWaves& waves) {
    const float fx = static_cast<float>(px);
    const float fy = static_cast<float>(py);
    if (!waves.covers(px, py)) return water_surface(level, fx, fy);
    return {smoothed_level(level, fx, fy),
            ripple_threshold(waves.along_x[static_cast<std::size_t>(px - waves.x0)],
                             waves.along_y[static_cast<std::size_t>(py - waves.y0)])};
}

bool is_water_pixel(const Level& level, std::int32_t px, std::int32_t py) {
    const WaterSample s = water_surface(level, static_cast<float>(px), static_cast<float>(py));
    return s.v > s.thr;
}

bool is_air_pixel(const Level& level, std::int32_t x, std::int32_t y) {
    return open_cell(level.cave, x >> 3, y >> 3) && !is_water_pixel(level, x, y);
}

bool is_air_pixel(const Level& level, std::int32_t x, std::int32_t y, const SurfaceWaves& waves) {
    if (!open_cell(level.cave, x >> 3, y >> 3)) return false;
    const WaterSample s = water_surface(level, x, y, waves);
    return !(s.v > s.thr);
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

WorldRenderer::WorldRenderer(const Level& level)
    : light_map(LightMap::create(kViewWidth, kViewHeight, 2)),
      lantern_sprite(::pyrelle::lantern_sprite()) {
    reset(level);
}

void WorldRenderer::reset(const Level& level) {
    background.reset(level);
    has_water = std::find(level.water_mask.cells.begin(), level.water_mask.cells.end(), 1) !=
                level.water_mask.cells.end();
}

}  // namespace pyrelle
