// Pollen the firefly eats, and the share the moths near it drink.
#include <algorithm>

#include "game/level_stages.hpp"

namespace pyrelle {

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

}  // namespace pyrelle
