#include "game/moth.hpp"

#include <algorithm>
#include <cmath>

#include "engine/float_math.hpp"
#include "game/field_step.hpp"
#include "game/lights.hpp"
#include "game/movement.hpp"

namespace pyrelle {

namespace {

constexpr float kMothRadius = 1.5f;
constexpr float kTwoPi = 6.2831855f;

void gather_targets(const Level& level, std::vector<MothTarget>& targets) {
    targets.clear();
    targets.push_back(
        MothTarget{level.firefly_pos.x, level.firefly_pos.y, 0.7f * level.energy + 0.5f, true});
    for (const Lantern& l : level.lanterns)
        if (l.lit) targets.push_back(MothTarget{l.x, l.y, 2.0f * l.glow + 1.5f, false});
}

// The visible target with the best weight over distance; the later one on equal scores.
const MothTarget* choose_target(const Level& level, const Moth& m,
                                const std::vector<MothTarget>& targets) {
    const MothTarget* best = nullptr;
    float best_score = 0.0f;
    const Vec2 at{m.x, m.y};
    for (const MothTarget& t : targets) {
        const float range = t.is_firefly ? 150.0f : (m.ignore_lanterns > 0.0f ? 0.0f : 90.0f);
        const float d = distance(at, Vec2{t.x, t.y});
        if (!(d < range) || !line_of_sight(level.cave, at, Vec2{t.x, t.y})) continue;
        const float score = t.weight / std::max(d, 10.0f);
        if (!best || score >= best_score) {
            best = &t;
            best_score = score;
        }
    }
    return best;
}

struct Drive {
    Vec2 direction;
    float speed;
};

Drive circle_target(Moth& m, const MothTarget& t, float chase_speed, float dt) {
    if (t.is_firefly) m.chase_memory = 4.0f;
    const float k = 12.0f + 4.0f * fmath::sin(1.3f * m.t);
    const float a = 1.8f * m.t * m.orbit_dir;
    const Vec2 orbit{t.x + k * fmath::cos(a), t.y + k * fmath::sin(a)};
    const Vec2 direction = unit_or_zero(orbit.x - m.x, orbit.y - m.y);
    if (t.is_firefly) return {direction, chase_speed};
    // A lantern holds a moth only so long; then it ignores every lantern for a while.
    if (distance(Vec2{m.x, m.y}, Vec2{t.x, t.y}) < 25.0f) {
        m.dwell += dt;
        if (m.dwell >= 7.0f) {
            m.dwell = 0.0f;
            m.ignore_lanterns = 14.0f;
        }
    }
    return {direction, 55.0f};
}

Drive without_target(const Level& level, Moth& m, Rng& rng, float chase_speed, float dt) {
    if (m.stun_timer > 0.0f) return {unit_or_zero(m.vx, m.vy), 80.0f};
    if (m.chase_memory > 0.0f) {
        const Vec2 at{m.x, m.y};
        if (auto step = moth_path_step(level, at)) return {*step, chase_speed};
        const Vec2 f = level.firefly_pos;
        return {unit_or_zero(f.x - at.x, f.y - at.y), chase_speed};
    }
    m.wander_timer -= dt;
    if (m.wander_timer <= 0.0f) {
        const float angle = kTwoPi * rng.next_f32();
        m.wander_x = fmath::cos(angle);
        m.wander_y = fmath::sin(angle);
        m.wander_timer = 0.6f + 1.2f * rng.next_f32();
    }
    return {Vec2{m.wander_x, m.wander_y}, 18.0f};
}

void drain_firefly(Level& level, std::int32_t near, float dt) {
    const float m = static_cast<float>(near);
    level.energy -= 0.018f * m * dt;
    if (level.rng.next_f32() < 0.15f * m) {
        const float ox = 4.0f * level.rng.next_f32() - 2.0f;
        const float oy = 4.0f * level.rng.next_f32() - 2.0f;
        level.particles.push_back(Particle{level.firefly_pos.x + ox, level.firefly_pos.y + oy,
                                           4.0f * ox, 4.0f * oy, 0.5f, 0.5f, 0xAA9646, -4.0f});
    }
    if (level.moth_hint_shown || level.message) return;
    level.moth_hint_shown = true;
    level.message = Message{
        "Les phalènes boivent ta lumière et ton pollen\nUne lanterne les distrait un temps", 5.0f};
}

}  // namespace

std::optional<Vec2> moth_path_step(const Level& level, Vec2 at) {
    const Cell c = cell_of(at);
    if (!level.cave.in_range(c.x, c.y)) return std::nullopt;
    const std::int32_t d0 = level.distance.at(c.x, c.y);
    const auto best = downhill_neighbour(level.cave, level.distance, c, d0);
    if (!best) return std::nullopt;
    const Vec2 target = cell_centre(best->x, best->y);
    return unit_or_zero(target.x - at.x, target.y - at.y);
}

void step_moths(Level& level, float dt) {
    std::vector<MothTarget>& targets = level.scratch.moth_targets;
    gather_targets(level, targets);
    const float chase_speed = level.night ? 90.0f : 82.0f;
    const float steer = 1.0f - fmath::pow(0.01f, dt);
    std::int32_t near = 0;
    for (Moth& m : level.moths) {
        m.t += dt;
        m.stun_timer = std::max(m.stun_timer - dt, 0.0f);
        m.ignore_lanterns = std::max(m.ignore_lanterns - dt, 0.0f);
        m.chase_memory = std::max(m.chase_memory - dt, 0.0f);

        const MothTarget* target =
            m.stun_timer == 0.0f ? choose_target(level, m, targets) : nullptr;
        const bool wandering = !target && m.stun_timer == 0.0f && m.chase_memory == 0.0f;
        Drive drive = target ? circle_target(m, *target, chase_speed, dt)
                             : without_target(level, m, level.rng, chase_speed, dt);
        // Flutter: a quick wobble on top of wherever it is going.
        drive.direction = unit_or_zero(drive.direction.x + 0.6f * fmath::cos(11.0f * m.t),
                                       drive.direction.y + 0.6f * fmath::sin(11.0f * m.t));
        const float moved =
            steer_and_move(level.cave, level.water_mask, {m.x, m.y, m.vx, m.vy}, drive.direction,
                           drive.speed, steer, kMothRadius, dt, BlockRule::Rock);
        if (wandering && moved < 0.3f * drive.speed * dt) m.wander_timer = 0.0f;
        m.near = m.stun_timer == 0.0f && distance({m.x, m.y}, level.firefly_pos) < 20.0f;
        near += m.near ? 1 : 0;
    }
    if (near > 0) drain_firefly(level, near, dt);
}

}  // namespace pyrelle
