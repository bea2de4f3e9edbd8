// Lanterns the firefly lights by touch, and the exit that opens once all are lit.
#include <algorithm>
#include <string>

#include "game/level_stages.hpp"
#include "game/world.hpp"

namespace pyrelle {

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
        show_message(level, "Plus qu'une lanterne", 2.5f);
    else if (unlit > 1)
        show_message(level, "Encore " + std::to_string(unlit) + " lanternes", 2.5f);
    else if (level.depth < kSourceDepth)
        show_message(level, "La faille est ouverte !", 4.0f);
    else
        show_message(level, "La Source s'éveille !", 4.0f);
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

}  // namespace pyrelle
