#include "game/firefly.hpp"

#include <algorithm>
#include <cmath>

#include "engine/float_math.hpp"
#include "game/level_stages.hpp"
#include "game/lights.hpp"
#include "game/movement.hpp"

namespace pyrelle {

namespace {

constexpr float kFireflyRadius = 3.0f;
constexpr float kMaxSpeed = 90.0f;
constexpr float kBurstReach = 80.0f;

float drain_rate(const Level& level) {
    const float companions = static_cast<float>(level.companions.size());
    const float depth = static_cast<float>(std::min<std::uint32_t>(level.depth, 7));
    float rate = std::max(1.0f - 0.06f * companions, 0.55f) * (0.02f + 0.006f * depth);
    if (level.night) rate *= 1.15f;
    return rate;
}

}  // namespace

void step_firefly(Level& level, float input_x, float input_y, float dt) {
    const float rate = drain_rate(level);
    Vec2& v = level.firefly_vel;
    v.x += input_x * 520.0f * dt;
    v.y += input_y * 520.0f * dt;
    const float damping = fmath::pow(input_x == 0.0f && input_y == 0.0f ? 0.003f : 0.08f, dt);
    v.x *= damping;
    v.y *= damping;
    const float speed = length(v.x, v.y);
    if (speed > kMaxSpeed) {
        v.x = v.x / speed * kMaxSpeed;
        v.y = v.y / speed * kMaxSpeed;
    }
    move_circle(level.cave, level.water_mask, level.firefly_pos, v, kFireflyRadius, dt,
                BlockRule::Rock);
    level.hurt_timer = std::max(level.hurt_timer - dt, 0.0f);
    level.energy -= rate * dt;

    const float u = level.rng.next_f32();
    if (0.35f + 0.3f * length(v.x, v.y) / kMaxSpeed > u) {
        const float ox = 3.0f * level.rng.next_f32() - 1.5f;
        const float oy = 3.0f * level.rng.next_f32() - 1.5f;
        const std::uint32_t colour = level.energy > 0.25f ? 0x968232 : 0x963C1E;
        level.particles.push_back(Particle{level.firefly_pos.x + ox, level.firefly_pos.y + oy,
                                           -0.1f * v.x, -0.1f * v.y, 0.7f, 0.7f, colour, -6.0f});
    }
}

void age_burst(Level& level, float dt) {
    level.burst_cooldown = std::max(level.burst_cooldown - dt, 0.0f);
    if (!level.burst_flash) return;
    *level.burst_flash += dt;
    if (*level.burst_flash >= 0.6f) level.burst_flash.reset();
}

bool Level::light_burst() {
    if (burst_cooldown > 0.0f || energy < 0.12f) return false;
    energy -= 0.08f;
    burst_cooldown = 3.0f;
    burst_flash = 0.0f;
    sound_events.push_back(SoundEvent::Burst);
    const Vec2 f = firefly_pos;
    // Only what the firefly can see, within reach, feels the burst.
    auto reached = [&](float x, float y) {
        return length(x - f.x, y - f.y) < kBurstReach && line_of_sight(cave, f, Vec2{x, y});
    };
    for (Shade& s : shades) {
        if (!reached(s.x, s.y)) continue;
        s.flee_timer = std::max(s.flee_timer, 3.0f);
        s.state = ShadeState::Flee;
        const Vec2 away = unit_or_zero(s.x - f.x, s.y - f.y);
        s.vx = away.x * 140.0f;
        s.vy = away.y * 140.0f;
    }
    for (Moth& m : moths) {
        if (!reached(m.x, m.y)) continue;
        m.stun_timer = 2.5f;
        m.near = false;
        const Vec2 away = unit_or_zero(m.x - f.x, m.y - f.y);
        m.vx = away.x * 110.0f;
        m.vy = away.y * 110.0f;
    }
    for (Crystal& c : crystals)
        if (reached(c.x, c.y)) c.glow = std::max(c.glow, 1.3f);
    emit_burst(particles, rng, 40, 0xFFEBAA, f.x, f.y, 110.0f, 0.5f);
    return true;
}

}  // namespace pyrelle
