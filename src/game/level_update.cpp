// Level::update: one step of a level, stage by stage in the order the rules give; sound
// events, messages and particles come out in this order. The stages' own rules live in
// the files their headers name (level_stages.hpp, firefly.hpp, shade.hpp, moth.hpp).
#include <algorithm>
#include <cmath>

#include "engine/float_math.hpp"
#include "game/firefly.hpp"
#include "game/level_stages.hpp"
#include "game/moth.hpp"
#include "game/shade.hpp"

namespace pyrelle {

namespace {

void count_down_message(Level& level, float dt) {
    if (!level.message) return;
    level.message->time -= dt;
    if (level.message->time <= 0.0f) level.message.reset();
}

// Moths near the firefly, as the previous step's moth stage left them.
std::int32_t count_near_moths(const Level& level) {
    return static_cast<std::int32_t>(std::count_if(level.moths.begin(), level.moths.end(),
                                                   [](const Moth& m) { return m.near; }));
}

// The hunters' distance field from the firefly's cell, refreshed every 0.3 s only.
void refresh_distance(Level& level, float dt) {
    level.distance_timer -= dt;
    if (level.distance_timer > 0.0f || (level.shades.empty() && level.moths.empty())) return;
    const Cell c = cell_of(level.firefly_pos);
    fill_distance_field(level.cave, c.x, c.y, level.distance, level.scratch.flood_queue);
    level.distance_timer = 0.3f;
}

}  // namespace

void Level::tick(float dt) {
    time += dt;
    for (Lantern& l : lanterns)
        if (l.lit) l.glow = std::min(l.glow + 1.5f * dt, 1.0f);
    age_particles(particles, dt);
    const Vec2 target = camera_target(cave, firefly_pos);
    const float ease = fmath::pow(0.02f, dt);
    camera.x = target.x + (camera.x - target.x) * ease;
    camera.y = target.y + (camera.y - target.y) * ease;
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
