#include <algorithm>
#include <cmath>
#include <string>

#include "engine/canvas.hpp"
#include "game/firefly.hpp"
#include "game/level.hpp"
#include "game/moth.hpp"
#include "game/shade.hpp"

namespace pyrelle {

namespace {

constexpr std::uint32_t kSourceDepth = 10;

void show(Level& level, std::string text, float time) {
    level.message = Message{std::move(text), time};
}

void age_particles(std::vector<Particle>& particles, float dt) {
    const float drag = std::pow(0.15f, dt);
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

void count_down_message(Level& level, float dt) {
    if (!level.message) return;
    level.message->time -= dt;
    if (level.message->time <= 0.0f) level.message.reset();
}

std::int32_t count_near_moths(const Level& level) {
    return static_cast<std::int32_t>(std::count_if(level.moths.begin(), level.moths.end(),
                                                   [](const Moth& m) { return m.near; }));
}

void collect_pollen(Level& level, std::int32_t near_moths) {
    const float gain = 0.08f * std::max(1.0f - 0.25f * static_cast<float>(near_moths), 0.25f);
    for (PollenGrain& g : level.pollen) {
        if (!g.present || !(distance(level.firefly_pos, Vec2{g.x, g.y}) < 8.0f)) continue;
        g.present = false;
        level.energy += gain;
        level.sound_events.push_back(SoundEvent::Pollen);
        emit_burst(level.particles, level.rng, 10, 0x8CDC46, g.x, g.y, 30.0f, 0.6f);
        // The moths hovering near drink part of it: sparks flow from the grain to them.
        for (const Moth& m : level.moths) {
            if (!m.near) continue;
            for (int i = 0; i < 4; ++i) {
                const float jx = 12.0f * level.rng.next_f32() - 6.0f;
                const float jy = 12.0f * level.rng.next_f32() - 6.0f;
                level.particles.push_back(Particle{g.x, g.y, (m.x - g.x) * 3.0f + jx,
                                                   (m.y - g.y) * 3.0f + jy, 0.35f, 0.35f, 0x8CDC46,
                                                   0.0f});
            }
        }
    }
}

void light_lanterns(Level& level, float dt) {
    const Lantern* last_lit = nullptr;
    for (Lantern& l : level.lanterns) {
        const float d = distance(level.firefly_pos, Vec2{l.x, l.y});
        if (!l.lit && d < 10.0f) {
            l.lit = true;
            last_lit = &l;
        }
        if (l.lit && d < 44.0f) level.energy += 0.22f * dt;
    }
    if (!last_lit) return;
    emit_burst(level.particles, level.rng, 30, 0xFFA03C, last_lit->x, last_lit->y, 60.0f, 1.2f);
    const auto unlit = std::count_if(level.lanterns.begin(), level.lanterns.end(),
                                     [](const Lantern& l) { return !l.lit; });
    level.sound_events.push_back(unlit > 0 ? SoundEvent::LanternLit : SoundEvent::LastLantern);
    if (unlit == 1)
        show(level, "Plus qu'une lanterne", 2.5f);
    else if (unlit > 1)
        show(level, "Encore " + std::to_string(unlit) + " lanternes", 2.5f);
    else if (level.depth < kSourceDepth)
        show(level, "La faille est ouverte !", 4.0f);
    else
        show(level, "La Source s'éveille !", 4.0f);
}

void age_burst(Level& level, float dt) {
    level.burst_cooldown = std::max(level.burst_cooldown - dt, 0.0f);
    if (!level.burst_flash) return;
    *level.burst_flash += dt;
    if (*level.burst_flash >= 0.6f) level.burst_flash.reset();
}

void glow_crystals(Level& level, float dt) {
    if (level.crystals.empty()) return;
    std::vector<LightSource>& lights = level.scratch.lights;
    lights.clear();
    build_lights(level, kLanternLights | kExitLight | kFireflyLight, lights);
    for (Crystal& c : level.crystals) {
        const float target = std::min(light_at(lights, level.cave, c.x, c.y), 1.5f);
        const float k = target > c.glow ? -6.0f : -0.5f;
        c.glow += (1.0f - std::exp(k * dt)) * (target - c.glow);
        if (!c.lit && c.glow > 0.5f) {
            c.lit = true;
            level.sound_events.push_back(SoundEvent::CrystalChime);
        }
        if (c.glow < 0.15f) c.lit = false;
    }
}

void age_ripples(Level& level, float dt) {
    for (Ripple& r : level.ripples)
        r.age += dt;
    std::erase_if(level.ripples, [](const Ripple& r) { return r.age >= 1.3f; });
}

// Water under the firefly, interpolated between the four nearest cell centres.
float water_sample(const Level& level) {
    const float gx = level.firefly_pos.x / 8.0f - 0.5f;
    const float gy = level.firefly_pos.y / 8.0f - 0.5f;
    const float fx0 = std::floor(gx);
    const float fy0 = std::floor(gy);
    const std::int32_t x0 = saturating_i32(fx0);
    const std::int32_t y0 = saturating_i32(fy0);
    const float tx = gx - fx0;
    const float ty = gy - fy0;
    auto w = [&](std::int32_t x, std::int32_t y) {
        return water_level(level.cave, level.water_mask, x, y);
    };
    const float top = w(x0, y0) + (w(x0 + 1, y0) - w(x0, y0)) * tx;
    const float bottom = w(x0, y0 + 1) + (w(x0 + 1, y0 + 1) - w(x0, y0 + 1)) * tx;
    return top + (bottom - top) * ty;
}

void handle_water(Level& level, float dt) {
    const float sample = water_sample(level);
    level.splash_cooldown = std::max(level.splash_cooldown - dt, 0.0f);
    // Hysteresis: harder to enter than to stay, so the edge does not flicker.
    const bool in_water = sample > (level.in_water ? 0.4f : 0.6f);
    if (in_water && !level.in_water) {
        if (level.splash_cooldown == 0.0f) {
            level.sound_events.push_back(SoundEvent::Splash);
            level.splash_cooldown = 0.8f;
        }
        level.ripple_timer = 0.0f;
    }
    level.in_water = in_water;
    if (!in_water) return;
    level.ripple_timer -= dt;
    if (level.ripple_timer <= 0.0f) {
        level.ripples.push_back(Ripple{level.firefly_pos.x, level.firefly_pos.y, 0.0f});
        const float speed = length(level.firefly_vel.x, level.firefly_vel.y);
        level.ripple_timer = 0.55f - 0.3f * speed / 90.0f;
    }
}

void pick_up_lost_companion(Level& level) {
    if (!level.lost_companion) return;
    const LostCompanion lost = *level.lost_companion;
    if (!(distance(level.firefly_pos, Vec2{lost.x, lost.y}) < 9.0f)) return;
    level.lost_companion.reset();
    level.companions.push_back(Companion{lost.x, lost.y, 6.28f * level.rng.next_f32()});
    level.sound_events.push_back(SoundEvent::CompanionJoined);
    emit_burst(level.particles, level.rng, 24, 0xB4F06E, lost.x, lost.y, 45.0f, 1.0f);
    show(level, "Une pyrelle égarée te rejoint !", 3.0f);
}

void follow_trail(Level& level, float dt) {
    level.trail.push_front(level.firefly_pos, 10 * level.companions.size() + 11);
    const float pull = 1.0f - std::pow(0.002f, dt);
    const std::size_t last = level.trail.size() - 1;
    for (std::size_t i = 0; i < level.companions.size(); ++i) {
        Companion& c = level.companions[i];
        const Vec2 spot = level.trail[std::min(last, 10 * (i + 1))];
        const float tx = spot.x + 3.0f * std::sin(c.phase + 3.0f * level.time);
        const float ty = spot.y + 2.0f * std::cos(c.phase + 2.3f * level.time);
        c.x += (tx - c.x) * pull;
        c.y += (ty - c.y) * pull;
    }
}

void refresh_distance(Level& level, float dt) {
    level.distance_timer -= dt;
    if (level.distance_timer > 0.0f || (level.shades.empty() && level.moths.empty())) return;
    const Cell c = cell_of(level.firefly_pos);
    fill_distance_field(level.cave, c.x, c.y, level.distance, level.scratch.flood_queue);
    level.distance_timer = 0.3f;
}

UpdateOutcome open_exit(Level& level, float dt) {
    level.exit_progress = std::min(level.exit_progress + 0.6f * dt, 1.0f);
    if (level.rng.next_f32() < 0.4f) {
        const float x = level.exit_pos.x + 6.0f * level.rng.next_f32() - 3.0f;
        const std::uint32_t colour = level.depth < kSourceDepth ? 0x4678C8 : 0xC8B46E;
        level.particles.push_back(
            Particle{x, level.exit_pos.y + 6.0f, 0.0f, -12.0f, 1.2f, 1.2f, colour, -15.0f});
    }
    const float reach = level.depth < kSourceDepth ? 10.0f : 14.0f;
    if (level.exit_progress == 1.0f && distance(level.firefly_pos, level.exit_pos) < reach)
        return UpdateOutcome::ExitReached;
    return UpdateOutcome::Continue;
}

}  // namespace

void Level::tick(float dt) {
    time += dt;
    for (Lantern& l : lanterns)
        if (l.lit) l.glow = std::min(l.glow + 1.5f * dt, 1.0f);
    age_particles(particles, dt);
    const float max_x = std::max(0.0f, static_cast<float>(cave.width * 8) - 320.0f);
    const float max_y = std::max(0.0f, static_cast<float>(cave.height * 8) - 180.0f);
    const float target_x = std::clamp(firefly_pos.x - 160.0f, 0.0f, max_x);
    const float target_y = std::clamp(firefly_pos.y - 90.0f, 0.0f, max_y);
    const float ease = std::pow(0.02f, dt);
    camera.x = target_x + (camera.x - target_x) * ease;
    camera.y = target_y + (camera.y - target_y) * ease;
}

UpdateOutcome Level::update(float input_x, float input_y, float dt) {
    tick(dt);
    count_down_message(*this, dt);
    step_firefly(*this, input_x, input_y, dt);
    const std::int32_t near_moths = count_near_moths(*this);
    collect_pollen(*this, near_moths);
    light_lanterns(*this, dt);
    age_burst(*this, dt);
    glow_crystals(*this, dt);
    age_ripples(*this, dt);
    handle_water(*this, dt);
    pick_up_lost_companion(*this);
    follow_trail(*this, dt);
    refresh_distance(*this, dt);
    if (!shades.empty()) step_shades(*this, dt);
    if (!moths.empty()) step_moths(*this, dt);
    energy = std::clamp(energy, 0.0f, 1.0f);
    if (energy == 0.0f) {
        emit_burst(particles, rng, 40, 0xC8AA50, firefly_pos.x, firefly_pos.y, 50.0f, 1.5f);
        return UpdateOutcome::Died;
    }
    const bool all_lit =
        std::all_of(lanterns.begin(), lanterns.end(), [](const Lantern& l) { return l.lit; });
    if (!all_lit) return UpdateOutcome::Continue;
    return open_exit(*this, dt);
}

}  // namespace pyrelle
