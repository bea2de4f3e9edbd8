#include "game/shade.hpp"

#include <algorithm>
#include <cmath>

#include "engine/float_math.hpp"
#include "game/level_stages.hpp"
#include "game/lights.hpp"
#include "game/movement.hpp"

namespace pyrelle {

namespace {

constexpr float kShadeRadius = 4.0f;
constexpr float kTwoPi = 6.2831855f;

struct Drive {
    ShadeState state;
    Vec2 direction;
    float speed;
};

// Away from the nearest lit lantern (the earlier on equal distance), else from the firefly.
Vec2 away_from_light(const Level& level, Vec2 at) {
    const Lantern* nearest = nullptr;
    float best = 0.0f;
    for (const Lantern& l : level.lanterns) {
        if (!l.lit) continue;
        const float d = distance(at, Vec2{l.x, l.y});
        if (!nearest || d < best) {
            nearest = &l;
            best = d;
        }
    }
    const Vec2 from = nearest ? Vec2{nearest->x, nearest->y} : level.firefly_pos;
    return unit_or_zero(at.x - from.x, at.y - from.y);
}

Drive flee(const Level& level, Vec2 at, bool in_light) {
    if (in_light) return {ShadeState::Flee, away_from_light(level, at), 62.0f};
    if (auto step = steer_step(level.cave, level.water_mask, at, level.distance, false))
        return {ShadeState::Flee, *step, 62.0f};
    const Vec2 f = level.firefly_pos;
    return {ShadeState::Flee, unit_or_zero(at.x - f.x, at.y - f.y), 62.0f};
}

Drive chase(const Level& level, Vec2 at, std::int32_t d, float speed) {
    const Vec2 f = level.firefly_pos;
    const Vec2 straight = unit_or_zero(f.x - at.x, f.y - at.y);
    if (d <= 1) return {ShadeState::Chase, straight, speed};
    const auto step = steer_step(level.cave, level.water_mask, at, level.distance, true);
    return {ShadeState::Chase, step ? *step : straight, speed};
}

Drive wander(Shade& s, Rng& rng, float dt) {
    s.wander_timer -= dt;
    if (s.wander_timer <= 0.0f) {
        const float angle = kTwoPi * rng.next_f32();
        s.wander_x = fmath::cos(angle);
        s.wander_y = fmath::sin(angle);
        s.wander_timer = 1.0f + 2.0f * rng.next_f32();
    }
    // Already a unit vector once drawn; zero before the first draw.
    const Vec2 heading =
        length(s.wander_x, s.wander_y) < 1e-6f ? Vec2{} : Vec2{s.wander_x, s.wander_y};
    return {ShadeState::Wander, heading, 22.0f};
}

void strike(Level& level, Shade& s) {
    const Vec2 n = unit_or_zero(level.firefly_pos.x - s.x, level.firefly_pos.y - s.y);
    level.energy -= 0.12f;
    level.hurt_timer = 0.4f;
    level.firefly_vel.x += 120.0f * n.x;
    level.firefly_vel.y += 120.0f * n.y;
    s.vx = -80.0f * n.x;
    s.vy = -80.0f * n.y;
    s.flee_timer = 2.0f;
    level.sound_events.push_back(SoundEvent::ShadeHit);
    emit_burst(level.particles, level.rng, 14, 0x96286E, level.firefly_pos.x, level.firefly_pos.y,
               40.0f, 0.6f);
}

}  // namespace

void step_shades(Level& level, float dt) {
    std::vector<LightSource>& lights = level.scratch.lights;
    lights.clear();
    build_lights(level, kLanternLights | kExitLight | kCrystalLights, lights);
    const float glow_reach = 50.0f * level.energy - 4.0f;
    // min(2 * depth, 16) without letting 2 * depth wrap.
    float chase_speed = 46.0f + static_cast<float>(2 * std::min<std::uint32_t>(level.depth, 8));
    if (level.night) chase_speed += 8.0f;
    const float steer = 1.0f - fmath::pow(0.02f, dt);

    for (Shade& s : level.shades) {
        s.t += dt;
        const Vec2 at{s.x, s.y};
        const float light = light_at(lights, level.cave, s.x, s.y);
        const Cell cell = cell_of(at);
        const std::int32_t d = level.distance.at(cell.x, cell.y);
        const float r = distance(at, level.firefly_pos);
        s.flee_timer = std::max(s.flee_timer - dt, 0.0f);

        Drive drive;
        if (s.flee_timer > 0.0f || light > 0.3f || glow_reach > r)
            drive = flee(level, at, light > 0.3f);
        else if (r < 120.0f && d >= 0)
            drive = chase(level, at, d, chase_speed);
        else
            drive = wander(s, level.rng, dt);
        s.state = drive.state;
        const float moved =
            steer_and_move(level.cave, level.water_mask, {s.x, s.y, s.vx, s.vy}, drive.direction,
                           drive.speed, steer, kShadeRadius, dt, BlockRule::Shade);
        // A wanderer stuck against a wall turns on the next frame.
        if (drive.state == ShadeState::Wander && moved < 0.3f * drive.speed * dt)
            s.wander_timer = 0.0f;
        if (s.flee_timer == 0.0f && distance({s.x, s.y}, level.firefly_pos) < 9.0f)
            strike(level, s);
    }
}

}  // namespace pyrelle
