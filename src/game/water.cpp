// The firefly in the lakes: splashes on entering, ripples while it stays.
#include <algorithm>
#include <cmath>

#include "engine/saturating.hpp"
#include "game/level_stages.hpp"
#include "game/world.hpp"

namespace pyrelle {

void age_ripples(Level& level, float dt) {
    for (Ripple& r : level.ripples)
        r.age += dt;
    std::erase_if(level.ripples, [](const Ripple& r) { return r.age >= 1.3f; });
}

namespace {

// Water under the firefly, interpolated between the four nearest cell centres.
float water_sample(const Level& level) {
    const float gx = level.firefly_pos.x / kCellSizeF - 0.5f;
    const float gy = level.firefly_pos.y / kCellSizeF - 0.5f;
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

}  // namespace

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

}  // namespace pyrelle
