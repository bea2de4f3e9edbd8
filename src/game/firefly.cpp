#include "game/firefly.hpp"

#include <algorithm>
#include <cmath>

#include "engine/canvas.hpp"

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

bool blocks(const Cave& cave, const WaterMask& water, std::int32_t x, std::int32_t y,
            BlockRule rule) {
    if (!cave.in_range(x, y)) return true;
    const std::uint8_t tile = cave.tiles[cave.index(x, y)];
    if (rule == BlockRule::Rock) return tile == static_cast<std::uint8_t>(Tile::Rock);
    return tile != static_cast<std::uint8_t>(Tile::Open) || water_level(cave, water, x, y) > 0.5f;
}

// The outward normal through the nearest face of a cell square whose inside holds p.
Vec2 nearest_face_normal(Vec2 p, float left, float top) {
    const float to_left = p.x - left;
    const float to_right = left + 8.0f - p.x;
    const float to_top = p.y - top;
    const float to_bottom = top + 8.0f - p.y;
    Vec2 normal{-1.0f, 0.0f};
    float best = to_left;
    if (to_right < best) {
        normal = {1.0f, 0.0f};
        best = to_right;
    }
    if (to_top < best) {
        normal = {0.0f, -1.0f};
        best = to_top;
    }
    if (to_bottom < best) normal = {0.0f, 1.0f};
    return normal;
}

// One scan over the cells under the circle's box; true when any contact was found.
bool resolve_contacts(const Cave& cave, const WaterMask& water, Vec2& p, Vec2& v, float r,
                      BlockRule rule) {
    const std::int32_t row_lo = floor_i32((p.y - r) / 8.0f);
    const std::int32_t row_hi = floor_i32((p.y + r) / 8.0f);
    const std::int32_t col_lo = floor_i32((p.x - r) / 8.0f);
    const std::int32_t col_hi = floor_i32((p.x + r) / 8.0f);
    bool contact = false;
    for (std::int64_t row = row_lo; row <= row_hi; ++row) {
        for (std::int64_t col = col_lo; col <= col_hi; ++col) {
            const auto cx = static_cast<std::int32_t>(col);
            const auto cy = static_cast<std::int32_t>(row);
            if (!blocks(cave, water, cx, cy, rule)) continue;
            const float left = static_cast<float>(cx) * 8.0f;
            const float top = static_cast<float>(cy) * 8.0f;
            const float dx = p.x - std::clamp(p.x, left, left + 8.0f);
            const float dy = p.y - std::clamp(p.y, top, top + 8.0f);
            const float dist = length(dx, dy);
            if (!(dist < r)) continue;
            contact = true;
            Vec2 normal;
            float push;
            if (dist > 0.0001f) {
                normal = {dx / dist, dy / dist};
                push = r - dist;
            } else {
                normal = nearest_face_normal(p, left, top);
                push = r;
            }
            const float along = v.x * normal.x + v.y * normal.y;
            if (along < 0.0f) {
                v.x -= along * normal.x;
                v.y -= along * normal.y;
            }
            p.x += normal.x * push;
            p.y += normal.y * push;
        }
    }
    return contact;
}

}  // namespace

float steer_and_move(const Level& level, Body body, Vec2 direction, float speed, float steer,
                     float radius, float dt, BlockRule rule) {
    body.vx += (direction.x * speed - body.vx) * steer;
    body.vy += (direction.y * speed - body.vy) * steer;
    const Vec2 before{body.x, body.y};
    Vec2 p = before;
    Vec2 v{body.vx, body.vy};
    move_circle(level.cave, level.water_mask, p, v, radius, dt, rule);
    body.x = p.x;
    body.y = p.y;
    body.vx = v.x;
    body.vy = v.y;
    return distance(before, p);
}

void move_circle(const Cave& cave, const WaterMask& water, Vec2& position, Vec2& velocity,
                 float radius, float dt, BlockRule rule) {
    const float dx = velocity.x * dt;
    const float dy = velocity.y * dt;
    // Sub-steps of at most half the radius, so a fast mover cannot skip a wall.
    const std::int32_t n = std::max(1, saturating_i32(std::ceil(length(dx, dy) / (radius / 2.0f))));
    const float step_x = dx / static_cast<float>(n);
    const float step_y = dy / static_cast<float>(n);
    for (std::int32_t i = 0; i < n; ++i) {
        position.x += step_x;
        position.y += step_y;
        for (int pass = 0; pass < 3; ++pass)
            if (!resolve_contacts(cave, water, position, velocity, radius, rule)) break;
    }
}

void step_firefly(Level& level, float input_x, float input_y, float dt) {
    const float rate = drain_rate(level);
    Vec2& v = level.firefly_vel;
    v.x += input_x * 520.0f * dt;
    v.y += input_y * 520.0f * dt;
    const float damping = std::pow(input_x == 0.0f && input_y == 0.0f ? 0.003f : 0.08f, dt);
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
