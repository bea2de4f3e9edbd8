// One frame of the world: the pre-rendered rock, water, objects and creatures, then the
// light multiplied in, then everything that glows added on top.
#include <algorithm>
#include <cmath>

#include "engine/float_math.hpp"
#include "game/biome.hpp"
#include "game/cave.hpp"
#include "game/lights.hpp"
#include "game/render.hpp"
#include "game/world.hpp"

namespace pyrelle {
namespace {

constexpr float kTau = 6.2831855f;
constexpr float kPi = 3.1415927f;

struct View {
    std::int32_t cam_x;
    std::int32_t cam_y;
    float t;
    const SurfaceWaves& waves;  // the water's, at t
    // Screen pixel of a world position: floor(x - cam_x).
    std::int32_t sx(float x) const { return floor_i32(x - static_cast<float>(cam_x)); }
    std::int32_t sy(float y) const { return floor_i32(y - static_cast<float>(cam_y)); }
};

std::uint32_t nearest_rgb(float r, float g, float b) {
    return pack_rgb(round_channel(r), round_channel(g), round_channel(b));
}

bool open_cell(const Cave& cave, std::int32_t x, std::int32_t y) {
    return is_open(cave, x, y);
}

std::uint32_t water_colour(const Level& level, const View& view, std::int32_t px, std::int32_t py,
                           WaterSample s, std::vector<ScreenPoint>& glints) {
    const auto air = [&](std::int32_t x, std::int32_t y) {
        return is_air_pixel(level, x, y, view.waves);
    };
    if (air(px - 1, py) || air(px + 1, py) || air(px, py - 1) || air(px, py + 1) ||
        s.v - s.thr < 0.05f) {
        return 0x567C80;
    }
    const float fx = static_cast<float>(px);
    const float fy = static_cast<float>(py);
    const float t = view.t;
    // A glint needs both waves high. The second wave takes one sine, the first two, so the
    // first is worked out only where the second is high: the same colours, fewer sines.
    const float g2 = fmath::sin(0.31f * fx + 1.7f * fy + 1.1f * t);
    if (g2 > 0.3f) {
        const float g1 =
            fmath::sin(0.9f * fy + 1.2f * fmath::sin(0.17f * fx + 0.7f * t) - 0.5f * t);
        if (g1 > 0.88f) {
            const std::int32_t x = px - view.cam_x;
            const std::int32_t y = py - view.cam_y;
            if (x >= 0 && x <= 319 && y >= 0 && y <= 179) glints.push_back({x, y});
            return 0x3C6A86;
        }
    }
    const float k = std::clamp((s.v - 0.55f) * 2.5f, 0.0f, 1.0f);
    return nearest_rgb(30.0f - 16.0f * k, 62.0f - 30.0f * k, 80.0f - 32.0f * k);
}

void draw_water(const Level& level, const View& view, Canvas& canvas,
                std::vector<ScreenPoint>& glints) {
    const Cave& cave = level.cave;
    const std::int32_t row0 = view.cam_y >> 3;
    const std::int32_t col0 = view.cam_x >> 3;
    for (std::int32_t cy = row0; cy <= row0 + 23; ++cy) {
        for (std::int32_t cx = col0; cx <= col0 + 41; ++cx) {
            if (!open_cell(cave, cx, cy) || !(water_level(cave, level.water_mask, cx, cy) > 0.0f))
                continue;
            for (std::int32_t py = 8 * cy; py < 8 * cy + 8; ++py) {
                for (std::int32_t px = 8 * cx; px < 8 * cx + 8; ++px) {
                    const WaterSample s = water_surface(level, px, py, view.waves);
                    if (!(s.v > s.thr)) continue;
                    canvas.set(px - view.cam_x, py - view.cam_y,
                               water_colour(level, view, px, py, s, glints));
                }
            }
        }
    }
}

void draw_crystal_points(const Crystal& crystal, const View& view, Canvas& canvas,
                         std::uint32_t colour, bool additive) {
    for (const ScreenPoint& p : crystal_points(crystal)) {
        if (additive) {
            canvas.add(p.x - view.cam_x, p.y - view.cam_y, colour);
        } else {
            canvas.set(p.x - view.cam_x, p.y - view.cam_y, colour);
        }
    }
}

std::int32_t rift_offset(std::int32_t i) {
    return saturating_i32(fmath::sin(0.9f * static_cast<float>(i)) * 1.2f);
}

void draw_exit(const Level& level, const View& view, Canvas& canvas) {
    const std::int32_t sx = view.sx(level.exit_pos.x);
    const std::int32_t sy = view.sy(level.exit_pos.y);
    if (level.depth < kSourceDepth) {
        for (std::int32_t i = -7; i <= 6; ++i) {
            const std::int32_t d = rift_offset(i);
            canvas.set(sx + d, sy + i, 0x0C0A12);
            canvas.set(sx + d + 1, sy + i, 0x282434);
        }
        return;
    }
    for (std::int32_t i = -6; i <= 6; ++i) {
        for (std::int32_t j = -6; j <= 6; ++j) {
            if (i * i + j * j > 36) continue;
            const float f = 1.0f - 0.0625f * static_cast<float>(i + j);
            canvas.set(sx + j, sy + i, rgb(120.0f * f, 116.0f * f, 130.0f * f));
        }
    }
}

void draw_shade_bodies(const Level& level, const View& view, Canvas& canvas) {
    for (const Shade& shade : level.shades) {
        const std::int32_t sx = view.sx(shade.x);
        const std::int32_t sy = view.sy(shade.y);
        for (std::int32_t j = -4; j <= 4; ++j) {
            const std::int32_t hem =
                4 + saturating_i32(1.5f * fmath::sin(1.3f * static_cast<float>(j) +
                                                     6.0f * (shade.t + view.t)));
            for (std::int32_t i = -5; i <= 5; ++i) {
                if ((i < 2 && i * i + j * j <= 22) || (i >= 2 && i <= hem)) {
                    canvas.set(sx + j, sy + i, 0x2E1E3E);
                }
            }
        }
    }
}

void draw_moths(const Level& level, const View& view, Canvas& canvas) {
    static constexpr std::int32_t kOpen[8][2] = {{-1, 0}, {-2, 0}, {-2, -1}, {-1, 1},
                                                 {1, 0},  {2, 0},  {2, -1},  {1, 1}};
    static constexpr std::int32_t kFolded[4][2] = {{-1, -1}, {1, -1}, {-1, 0}, {1, 0}};
    for (const Moth& moth : level.moths) {
        const std::int32_t sx = view.sx(moth.x);
        const std::int32_t sy = view.sy(moth.y);
        const float flap = fmath::sin(28.0f * (moth.t + view.t));
        canvas.set(sx, sy, 0x46382C);
        canvas.set(sx, sy + 1, 0x46382C);
        if (flap > -0.2f) {
            for (const auto& w : kOpen)
                canvas.set(sx + w[0], sy + w[1], 0x968C80);
        } else {
            for (const auto& w : kFolded)
                canvas.set(sx + w[0], sy + w[1], 0x968C80);
        }
    }
}

void draw_glints(const LightMap& light_map, const std::vector<ScreenPoint>& glints,
                 Canvas& canvas) {
    for (const ScreenPoint& g : glints) {
        const LightRgb light = light_map.sample(static_cast<float>(g.x), static_cast<float>(g.y));
        const float l = (light.r + light.g + light.b) / 3.0f;
        if (!(l > 0.05f)) continue;
        const float l2 = 0.7f * l;
        canvas.add(g.x, g.y, rgb(140.0f * l2, 190.0f * l2, 230.0f * l2));
    }
}

void draw_ripples(const Level& level, const View& view, Canvas& canvas) {
    for (const Ripple& ripple : level.ripples) {
        const float r = ripple.age / 1.3f;
        const float radius = 14.0f * r + 2.0f;
        const std::int32_t n = saturating_i32(7.0f * radius);
        if (n <= 0) continue;
        const float k = fmath::pow(1.0f - r, 1.5f) * 0.6f;
        const std::uint32_t colour = rgb(170.0f * k, 215.0f * k, 240.0f * k);
        for (std::int32_t i = 0; i < n; ++i) {
            const float theta = kTau * static_cast<float>(i) / static_cast<float>(n);
            const std::int32_t px = floor_i32(ripple.x + fmath::cos(theta) * radius);
            const std::int32_t py = floor_i32(ripple.y + fmath::sin(theta) * radius);
            if (open_cell(level.cave, px >> 3, py >> 3) && is_water_pixel(level, px, py)) {
                canvas.add(px - view.cam_x, py - view.cam_y, colour);
            }
        }
    }
}

void draw_reflection(const Level& level, const View& view, Canvas& canvas) {
    if (!level.in_water) return;
    const float e = std::clamp(1.3f * level.energy, 0.0f, 1.0f);
    const float green = std::round(140.0f + 85.0f * e);
    const float blue = std::round(70.0f + 80.0f * e);
    const std::int32_t fx = floor_i32(level.firefly_pos.x);
    const std::int32_t fy = floor_i32(level.firefly_pos.y);
    const float t = view.t;
    for (std::int32_t i = -9; i <= 9; ++i) {
        const float sway = 1.5f * fmath::sin(1.3f * static_cast<float>(fy + i) + 5.0f * t);
        const std::int32_t wy = fy + i + 2;
        const float flicker = 0.4f * fmath::sin(0.9f * static_cast<float>(wy) + 7.0f * t) + 0.6f;
        if ((wy >> 3) >= level.cave.height) continue;
        for (std::int32_t j = -9; j <= 9; ++j) {
            const float dj = static_cast<float>(j) - sway;
            const float di = static_cast<float>(i);
            const float d = std::min(std::sqrt(dj * dj + di * di) / 9.0f, 1.0f);
            const float a = (1.0f - d) * (1.0f - d) * 0.5f * flicker;
            if (!(a > 0.02f)) continue;
            const std::int32_t wx = fx + j;
            if (!open_cell(level.cave, wx >> 3, wy >> 3) || !is_water_pixel(level, wx, wy))
                continue;
            canvas.add(wx - view.cam_x, wy - view.cam_y, rgb(a * 255.0f, a * green, a * blue));
        }
    }
}

void draw_glowing_crystals(const Level& level, const View& view, Canvas& canvas) {
    for (const Crystal& crystal : level.crystals) {
        if (!(crystal.glow > 0.02f)) continue;
        const float g = std::min(crystal.glow, 1.0f);
        canvas.glow(0x4696FF, static_cast<float>(view.sx(crystal.x)) + 0.5f,
                    static_cast<float>(view.sy(crystal.y)) + 0.5f, 4.0f + 4.0f * g, 0.8f * g);
        draw_crystal_points(crystal, view, canvas, rgb(150.0f * g, 220.0f * g, 255.0f * g), true);
    }
}

void draw_pollen(const Level& level, const View& view, Canvas& canvas) {
    for (const PollenGrain& grain : level.pollen) {
        if (!grain.present) continue;
        const float bob = 1.5f * fmath::sin(grain.phase + 2.0f * view.t);
        const float x = grain.x - static_cast<float>(view.cam_x);
        const float y = grain.y + bob - static_cast<float>(view.cam_y);
        canvas.glow(0x96E650, x, y, 4.0f, 1.0f);
        canvas.add(saturating_i32(x), saturating_i32(y), 0xA0C878);
    }
}

// The waiting companion flashes twice, 0.32 s apart, every 2.4 s.
float lost_companion_flash(float heading, float t) {
    float u = std::fmod(heading + t, 2.4f);
    if (u < 0.0f) u += 2.4f;
    const auto pulse = [](float w) {
        const float v = w / 0.18f;
        return v >= 0.0f && v < 1.0f ? fmath::sin(kPi * w / 0.18f) : 0.0f;
    };
    return std::max(pulse(u), pulse(u - 0.32f));
}

void draw_companions(const Level& level, const View& view, Canvas& canvas) {
    const float t = view.t;
    if (level.lost_companion) {
        const LostCompanion& lost = *level.lost_companion;
        const float y = lost.y + 1.5f * fmath::sin(1.3f * t + lost.heading);
        draw_firefly(canvas, 0xFFE178, lost.x - static_cast<float>(view.cam_x),
                     y - static_cast<float>(view.cam_y), 9.0f,
                     lost_companion_flash(lost.heading, t), lost.heading + t);
    }
    for (const Companion& c : level.companions) {
        const float intensity = (0.25f * fmath::sin(9.0f * t + c.phase) + 0.75f) * 0.8f;
        draw_firefly(canvas, 0xFFE68C, c.x - static_cast<float>(view.cam_x),
                     c.y - static_cast<float>(view.cam_y), 6.0f, intensity, c.phase + t);
    }
}

void draw_lantern_flames(const Level& level, const View& view, Canvas& canvas) {
    for (std::size_t i = 0; i < level.lanterns.size(); ++i) {
        const Lantern& lantern = level.lanterns[i];
        const std::int32_t sx = view.sx(lantern.x);
        const std::int32_t sy = view.sy(lantern.y);
        const float fi = static_cast<float>(i);
        if (lantern.lit) {
            const float a = 0.2f * fmath::sin(2.3f * fi + 11.0f * view.t) + 0.8f;
            canvas.glow(0xFF8C28, static_cast<float>(sx) + 0.5f, static_cast<float>(sy) + 1.0f,
                        6.0f, a);
            canvas.fill_rect(sx - 1, sy, 3, 2, 0xFFC85A);
            canvas.set(sx, sy - 1, 0xFFF0B4);
        } else {
            const float v = 0.75f + 0.25f * fmath::sin(fi + 2.0f * view.t);
            canvas.add(sx, sy + 1, rgb(160.0f * v, 60.0f * v, 20.0f * v));
        }
    }
}

void draw_exit_glow(const Level& level, const View& view, Canvas& canvas) {
    const std::int32_t sx = view.sx(level.exit_pos.x);
    const std::int32_t sy = view.sy(level.exit_pos.y);
    const float p = level.exit_progress;
    const float t = view.t;
    if (level.depth >= kSourceDepth) {
        const float cx = static_cast<float>(sx) + 0.5f;
        const float cy = static_cast<float>(sy) + 0.5f;
        canvas.glow(0x786E5A, cx, cy, (0.5f * fmath::sin(1.3f * t) + 0.5f) * 3.0f + 6.0f,
                    0.4f * p + 0.6f);
        if (!(p > 0.0f)) return;
        canvas.glow(0xFFE6AA, cx, cy, 18.0f * p + 8.0f, p);
        canvas.glow(0xFFFFF0, cx, cy, 4.0f * p + 4.0f, p);
        const std::uint32_t spark = rgb(255.0f * p, 240.0f * p, 180.0f * p);
        for (std::int32_t k = 0; k < 12; ++k) {
            const float fk = static_cast<float>(k);
            const float angle = kTau * fk / 12.0f + (static_cast<float>(k % 3) * 0.1f + 0.6f) * t;
            const float distance = 3.0f * fmath::sin(2.0f * t + fk) + 8.0f * p + 10.0f;
            canvas.add(saturating_i32(cx + fmath::cos(angle) * distance),
                       saturating_i32(cy + fmath::sin(angle) * distance), spark);
        }
        return;
    }
    if (!(p > 0.0f)) return;
    canvas.glow(0x3C6EC8, static_cast<float>(sx) + 0.5f, static_cast<float>(sy), 14.0f * p, 0.8f);
    for (std::int32_t i = -7; i <= 6; ++i) {
        const float a = (0.4f * fmath::sin(0.7f * static_cast<float>(i) + 6.0f * t) + 0.6f) * p;
        canvas.add(sx + rift_offset(i), sy + i, rgb(170.0f * a, 220.0f * a, 255.0f * a));
    }
}

void draw_shade_eyes(const Level& level, const View& view, Canvas& canvas) {
    for (const Shade& shade : level.shades) {
        const float ph = 0.7f * (shade.t + view.t);
        if (!(ph - std::trunc(ph) >= 0.04f)) continue;
        float beta = 0.6f;
        if (shade.state == ShadeState::Chase) beta = 1.0f;
        if (shade.state == ShadeState::Flee) beta = 0.3f;
        const std::uint32_t colour = rgb(255.0f * beta, 60.0f * beta, 110.0f * beta);
        const std::int32_t sx = view.sx(shade.x);
        const std::int32_t sy = view.sy(shade.y);
        canvas.add(sx - 2, sy - 1, colour);
        canvas.add(sx + 1, sy - 1, colour);
    }
}

// The lights build_lights puts before the burst's: appending them, then the others, gives the
// list all groups give at once, with the burst's light at a known place.
constexpr LightGroups kLightsBeforeBurst =
    kLanternLights | kExitLight | kCrystalLights | kFireflyLight;

void draw_burst_ring(const Level& level, const View& view, float strength, Canvas& canvas) {
    if (!level.burst_flash) return;
    const float k = *level.burst_flash / 0.6f;
    const float radius = 76.0f * fmath::pow(k, 0.6f) + 4.0f;
    const std::int32_t n = saturating_i32(7.0f * radius);
    if (n <= 0) return;
    float c = (1.0f - k) * 0.9f;
    if (strength != 1.0f) c *= strength;
    const std::uint32_t colour = rgb(255.0f * c, 240.0f * c, 190.0f * c);
    const Vec2 centre = level.firefly_pos;
    for (std::int32_t i = 0; i < n; ++i) {
        const float theta = kTau * static_cast<float>(i) / static_cast<float>(n);
        const Vec2 p{centre.x + radius * fmath::cos(theta), centre.y + radius * fmath::sin(theta)};
        const std::int32_t cx = floor_i32(p.x * 0.125f);
        const std::int32_t cy = floor_i32(p.y * 0.125f);
        const bool inside = cx >= 0 && cy >= 0 && cx < level.cave.width && cy < level.cave.height;
        if (!inside || level.cave.tiles[static_cast<std::size_t>(cx + cy * level.cave.width)] == 1)
            continue;
        if (!line_of_sight(level.cave, centre, p)) continue;
        canvas.add(saturating_i32(p.x - static_cast<float>(view.cam_x)),
                   saturating_i32(p.y - static_cast<float>(view.cam_y)), colour);
    }
}

void draw_particles(const Level& level, const View& view, Canvas& canvas) {
    for (const Particle& particle : level.particles) {
        const float k = std::clamp(particle.life / particle.max_life, 0.0f, 1.0f);
        canvas.add(view.sx(particle.x), view.sy(particle.y),
                   rgb(k * static_cast<float>(red_of(particle.colour)),
                       k * static_cast<float>(green_of(particle.colour)),
                       k * static_cast<float>(blue_of(particle.colour))));
    }
}

void draw_player(const Level& level, const View& view, Canvas& canvas) {
    const float t = view.t;
    const float blink = 20.0f * t;
    std::uint32_t colour = 0xFF78A0;
    if (!(level.hurt_timer > 0.0f && blink - std::trunc(blink) < 0.5f)) {
        const float e = std::clamp(1.3f * level.energy, 0.0f, 1.0f);
        colour = nearest_rgb(255.0f, 120.0f + 120.0f * e, 60.0f + 90.0f * e);
    }
    draw_firefly(canvas, colour, level.firefly_pos.x - static_cast<float>(view.cam_x),
                 level.firefly_pos.y + 0.8f * fmath::sin(5.0f * t) - static_cast<float>(view.cam_y),
                 5.0f * level.energy + 7.0f, 1.0f, t);
}

}  // namespace

void WorldRenderer::render(const Level& level, Canvas& canvas) {
    constexpr auto w = static_cast<std::int32_t>(kViewWidth);
    constexpr auto h = static_cast<std::int32_t>(kViewHeight);
    const View view{floor_i32(level.camera.x), floor_i32(level.camera.y), level.time, waves};
    // The water's outline looks one pixel past the view's edges.
    if (has_water) waves.update(level.time, view.cam_x - 1, view.cam_y - 1, w + 2, h + 2);
    background.paint(level, view.cam_x, view.cam_y, w, h);
    canvas.blit(background.canvas, view.cam_x, view.cam_y, 0, 0, w, h);
    glints.clear();
    if (has_water) draw_water(level, view, canvas, glints);
    for (const Crystal& crystal : level.crystals)
        draw_crystal_points(crystal, view, canvas, 0x96AAE6, false);
    for (const Lantern& lantern : level.lanterns) {
        lantern_sprite.draw(canvas, view.sx(lantern.x) - 3, view.sy(lantern.y) - 4);
    }
    draw_exit(level, view, canvas);
    draw_shade_bodies(level, view, canvas);
    draw_moths(level, view, canvas);

    lights.clear();
    build_lights(level, kLightsBeforeBurst, lights);
    const std::size_t burst = lights.size();
    build_lights(level, kAllLights & ~kLightsBeforeBurst, lights);
    if (level.burst_flash && flash_strength != 1.0f) lights[burst].intensity *= flash_strength;
    const AmbientLight ambient = ambient_light(level.biome);
    light_map.compute(lights, LightRgb{ambient.r, ambient.g, ambient.b}, tiles_of(level.cave),
                      static_cast<float>(view.cam_x), static_cast<float>(view.cam_y), kCellSizeF);
    light_map.apply(canvas);

    draw_glints(light_map, glints, canvas);
    draw_ripples(level, view, canvas);
    draw_reflection(level, view, canvas);
    draw_glowing_crystals(level, view, canvas);
    draw_pollen(level, view, canvas);
    draw_companions(level, view, canvas);
    draw_lantern_flames(level, view, canvas);
    draw_exit_glow(level, view, canvas);
    draw_shade_eyes(level, view, canvas);
    draw_burst_ring(level, view, flash_strength, canvas);
    draw_particles(level, view, canvas);
    draw_player(level, view, canvas);
}

}  // namespace pyrelle
