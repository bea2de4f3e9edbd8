// Sparks: how they age and how bursts of them are thrown.
#include <algorithm>
#include <cmath>

#include "engine/float_math.hpp"
#include "game/level_stages.hpp"

namespace pyrelle {

namespace {

constexpr float kTwoPi = 6.2831855f;

}  // namespace

void age_particles(std::vector<Particle>& particles, float dt) {
    const float drag = fmath::pow(0.15f, dt);
    for (Particle& p : particles) {
        p.vy += p.gravity * dt;
        p.vx *= drag;
        p.vy *= drag;
        p.x += p.vx * dt;
        p.y += p.vy * dt;
        p.life -= dt;
    }
    std::erase_if(particles, [](const Particle& p) { return p.life <= 0.0f; });
}

void emit_burst(std::vector<Particle>& particles, Rng& rng, std::int32_t count,
                std::uint32_t colour, float x, float y, float speed, float life) {
    for (std::int32_t i = 0; i < count; ++i) {
        const float angle = kTwoPi * rng.next_f32();
        const float v = 0.3f * speed + rng.next_f32() * 0.7f * speed;
        const float l = 0.5f * life + rng.next_f32() * 0.5f * life;
        particles.push_back(
            Particle{x, y, v * fmath::cos(angle), v * fmath::sin(angle), l, l, colour, -10.0f});
    }
}

}  // namespace pyrelle
