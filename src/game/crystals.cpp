// Crystals brighten in the light that reaches them and chime as they light up.
#include <algorithm>
#include <cmath>

#include "engine/float_math.hpp"
#include "game/level_stages.hpp"
#include "game/lights.hpp"

namespace pyrelle {

void glow_crystals(Level& level, float dt) {
    if (level.crystals.empty()) return;
    std::vector<LightSource>& lights = level.scratch.lights;
    lights.clear();
    build_lights(level, kLanternLights | kExitLight | kFireflyLight, lights);
    for (Crystal& c : level.crystals) {
        const float target = std::min(light_at(lights, level.cave, c.x, c.y), 1.5f);
        const float k = target > c.glow ? -6.0f : -0.5f;
        c.glow += (1.0f - fmath::exp(k * dt)) * (target - c.glow);
        if (!c.lit && c.glow > 0.5f) {
            c.lit = true;
            level.sound_events.push_back(SoundEvent::CrystalChime);
        }
        if (c.glow < 0.15f) c.lit = false;
    }
}

}  // namespace pyrelle
