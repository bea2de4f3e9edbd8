// Companions: the lost one that joins when reached, and the trail they all follow.
#include <algorithm>
#include <cmath>

#include "engine/float_math.hpp"
#include "game/level_stages.hpp"

namespace pyrelle {

void pick_up_lost_companion(Level& level) {
    if (!level.lost_companion) return;
    const LostCompanion lost = *level.lost_companion;
    if (!(distance(level.firefly_pos, Vec2{lost.x, lost.y}) < 9.0f)) return;
    level.lost_companion.reset();
    level.companions.push_back(Companion{lost.x, lost.y, 6.28f * level.rng.next_f32()});
    level.sound_events.push_back(SoundEvent::CompanionJoined);
    emit_burst(level.particles, level.rng, 24, 0xB4F06E, lost.x, lost.y, 45.0f, 1.0f);
    show_message(level, "Une pyrelle égarée te rejoint !", 3.0f);
}

void follow_trail(Level& level, float dt) {
    level.trail.push_front(level.firefly_pos, 10 * level.companions.size() + 11);
    const float pull = 1.0f - fmath::pow(0.002f, dt);
    const std::size_t last = level.trail.size() - 1;
    for (std::size_t i = 0; i < level.companions.size(); ++i) {
        Companion& c = level.companions[i];
        const Vec2 spot = level.trail[std::min(last, 10 * (i + 1))];
        const float tx = spot.x + 3.0f * fmath::sin(c.phase + 3.0f * level.time);
        const float ty = spot.y + 2.0f * fmath::cos(c.phase + 2.3f * level.time);
        c.x += (tx - c.x) * pull;
        c.y += (ty - c.y) * pull;
    }
}

}  // namespace pyrelle
