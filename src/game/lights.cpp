// The level's light sources and the light the simulation measures with them.
#include <cmath>

#include "engine/float_math.hpp"
#include "engine/light/falloff.hpp"
#include "game/level.hpp"
#include "game/lights.hpp"
#include "game/world.hpp"

namespace pyrelle {

namespace {

void add_light(std::vector<LightSource>& out, float x, float y, float radius, float r, float g,
               float b, float intensity) {
    out.push_back(LightSource{x, y, radius, r, g, b, intensity});
}

void add_lantern_lights(const Level& level, std::vector<LightSource>& out) {
    const float t = level.time;
    for (std::size_t i = 0; i < level.lanterns.size(); ++i) {
        const Lantern& l = level.lanterns[i];
        const float fi = static_cast<float>(i);
        if (l.lit) {
            const float flicker = 1.0f + 0.06f * fmath::sin(1.7f * fi + 9.0f * t) +
                                  0.04f * fmath::sin(fi + 23.0f * t);
            add_light(out, l.x, l.y, l.glow * 96.0f + 14.0f, 1.0f, 0.62f, 0.30f, flicker * 1.1f);
        } else {
            add_light(out, l.x, l.y, 16.0f, 1.0f, 0.45f, 0.20f,
                      0.25f + 0.1f * fmath::sin(fi + 2.0f * t));
        }
    }
}

void add_exit_light(const Level& level, std::vector<LightSource>& out) {
    const float a = level.exit_progress;
    const Vec2 p = level.exit_pos;
    if (level.depth < kSourceDepth) {
        add_light(out, p.x, p.y, 70.0f * a + 14.0f, 0.45f, 0.75f, 1.0f, 0.9f * a + 0.2f);
    } else {
        const float pulse = 0.85f + 0.15f * fmath::sin(1.3f * level.time);
        add_light(out, p.x, p.y, 130.0f * a + 30.0f, 1.0f, 0.95f, 0.8f, (a + 0.35f) * pulse);
    }
}

void add_crystal_lights(const Level& level, std::vector<LightSource>& out) {
    for (const Crystal& c : level.crystals)
        if (c.glow > 0.02f)
            add_light(out, c.x, c.y, std::min(c.glow, 1.0f) * 38.0f, 0.5f, 0.8f, 1.0f,
                      std::min(c.glow, 1.2f) * 0.75f);
}

void add_firefly_light(const Level& level, std::vector<LightSource>& out) {
    float radius = 70.0f * level.energy + 22.0f;
    if (level.night) radius *= 0.72f;
    const float intensity =
        (1.0f + 0.03f * fmath::sin(13.0f * level.time)) * (0.75f + 0.6f * level.energy);
    add_light(out, level.firefly_pos.x, level.firefly_pos.y, radius, 1.0f, 0.9f, 0.55f, intensity);
}

void add_burst_light(const Level& level, std::vector<LightSource>& out) {
    if (!level.burst_flash) return;
    const float k = 1.0f - *level.burst_flash / 0.6f;
    add_light(out, level.firefly_pos.x, level.firefly_pos.y, (0.6f * k + 0.4f) * 80.0f, 1.0f, 0.95f,
              0.8f, 1.4f * k);
}

}  // namespace

void build_lights(const Level& level, LightGroups groups, std::vector<LightSource>& out) {
    if (groups & kLanternLights) add_lantern_lights(level, out);
    if (groups & kExitLight) add_exit_light(level, out);
    if (groups & kCrystalLights) add_crystal_lights(level, out);
    if (groups & kFireflyLight) add_firefly_light(level, out);
    if (groups & kBurstLight) add_burst_light(level, out);
    if (groups & kCompanionLights)
        for (const Companion& c : level.companions)
            add_light(out, c.x, c.y, 28.0f, 1.0f, 0.9f, 0.55f, 0.45f);
    if ((groups & kLostCompanionLight) && level.lost_companion)
        add_light(out, level.lost_companion->x, level.lost_companion->y, 18.0f, 1.0f, 0.9f, 0.5f,
                  0.25f);
    if (groups & kPollenLights)
        for (const PollenGrain& p : level.pollen)
            if (p.present) add_light(out, p.x, p.y, 18.0f, 0.65f, 1.0f, 0.35f, 0.45f);
}

float light_at(const std::vector<LightSource>& lights, const Cave& cave, float x, float y) {
    float total = 0.0f;
    for (const LightSource& s : lights) {
        const float dx = x - s.x;
        const float dy = y - s.y;
        const float d = std::sqrt(dx * dx + dy * dy);
        if (!(d < s.radius)) continue;
        if (!line_of_sight(cave, Vec2{s.x, s.y}, Vec2{x, y})) continue;
        total += s.intensity * light_falloff(d, s.radius);
    }
    return total;
}

bool line_of_sight(const Cave& cave, Vec2 a, Vec2 b) {
    return cave_path_clear(tiles_of(cave), a.x, a.y, b.x, b.y, kCellSizeF);
}

}  // namespace pyrelle
