#pragma once
// The literal background texture, one world pixel at a time as the rule states it; the
// on-demand painting is checked against it.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/canvas.hpp"
#include "engine/rng.hpp"
#include "game/biome.hpp"
#include "game/cave.hpp"
#include "game/level.hpp"

namespace pyrelle::reference {

// Distance from the pixel centre to the nearest open cell square within two cells.
inline float distance_to_open(const Cave& cave, std::int32_t px, std::int32_t py) {
    const std::int32_t cx = px >> 3;
    const std::int32_t cy = py >> 3;
    const float x = static_cast<float>(px) + 0.5f;
    const float y = static_cast<float>(py) + 0.5f;
    float best = std::numeric_limits<float>::max();
    for (std::int32_t oy = cy - 2; oy <= cy + 2; ++oy) {
        for (std::int32_t ox = cx - 2; ox <= cx + 2; ++ox) {
            if (!is_open(cave, ox, oy)) continue;
            const float left = static_cast<float>(8 * ox);
            const float top = static_cast<float>(8 * oy);
            const float dx = std::clamp(x, left, left + 8.0f) - x;
            const float dy = std::clamp(y, top, top + 8.0f) - y;
            best = std::min(best, std::sqrt(dx * dx + dy * dy));
        }
    }
    return best;
}

inline std::uint32_t background_pixel(const Level& level, std::int32_t px, std::int32_t py) {
    const std::uint32_t s = static_cast<std::uint32_t>(level.seed);
    const std::uint32_t s1 = s * 0xCB1AB31Fu;
    const std::uint32_t s2 = (s ^ 0x4Du) * 0xCB1AB31Fu;
    const auto colours = rock_colours(level.biome);
    const std::uint32_t n = cell_hash(px, py, s1);
    const float k = static_cast<float>(n & 15u) / 75.0f + 0.9f;
    const std::int32_t cx = px >> 3;
    const std::int32_t cy = py >> 3;
    if (is_open(level.cave, cx, cy)) {
        if (n % 61 == 0) return colours[3];
        const float m = static_cast<float>(cell_hash(cx, cy, s2) & 7u) / 60.0f + 0.94f;
        return scale_colour(colours[4], k * m);
    }
    const float t = distance_to_open(level.cave, px, py);
    std::uint32_t base = colours[0];
    if (t <= 1.5f) {
        base = colours[2];
    } else if (t <= 10.0f) {
        base = mix_colour(colours[1], colours[0], std::clamp((t - 1.5f) / 8.5f, 0.0f, 1.0f));
    }
    return scale_colour(base, k);
}

}  // namespace pyrelle::reference
