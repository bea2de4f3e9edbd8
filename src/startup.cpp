#include "startup.hpp"

#include <cmath>

#include "engine/float_math.hpp"
#include "game/world.hpp"

namespace pyrelle {
void warp_near(Level& level, Vec2 target) {
    const Cave& cave = level.cave;
    const DistanceField field =
        distance_field(cave, floor_i32(target.x / kCellSizeF), floor_i32(target.y / kCellSizeF));
    for (std::int32_t y = 0; y < cave.height; ++y) {
        for (std::int32_t x = 0; x < cave.width; ++x) {
            if (is_open(cave, x, y) && field.at(x, y) == 3) {
                level.firefly_pos = cell_centre(x, y);
                return;
            }
        }
    }
    level.firefly_pos = target;
}

void warp_to_deep_water(Level& level) {
    const Cave& cave = level.cave;
    for (std::int32_t y = 0; y < cave.height; ++y) {
        for (std::int32_t x = 0; x < cave.width; ++x) {
            if (is_deep_water(cave, level.water_mask, x, y)) {
                level.firefly_pos = cell_centre(x, y);
                return;
            }
        }
    }
}

void apply_start_options(Game& game, const Options& options) {
    game.autopilot_on = options.autopilot;
    game.ghost.wanted = options.ghost;
    game.reduced_motion = options.reduced_motion;
    game.save_records = !options.headless_frames && !options.depth;
    if (options.night) {
        game.night = true;
        game.level.night = true;
    }
    if (options.depth) {
        game.enter_depth(*options.depth);
        game.screen = Screen::Play;
    }
    Level& level = game.level;
    if (options.warp_exit) warp_near(level, level.exit_pos);
    if (options.companions > 0) {
        game.companions_following = options.companions;
        game.companions_at_level_start = options.companions;
        for (std::uint32_t k = 0; k < options.companions; ++k) {
            level.companions.push_back(
                {level.firefly_pos.x, level.firefly_pos.y, static_cast<float>(k) * 1.9f});
        }
    }
    if (options.warp_lost && level.lost_companion) {
        warp_near(level, {level.lost_companion->x, level.lost_companion->y});
    }
    if (options.moths_near) {
        for (std::size_t j = 0; j < level.moths.size(); ++j) {
            const float angle = 2.1f * static_cast<float>(j);
            level.moths[j].x = level.firefly_pos.x + 6.0f * fmath::cos(angle);
            level.moths[j].y = level.firefly_pos.y + 6.0f * fmath::sin(angle);
        }
    }
    if (options.warp_water) warp_to_deep_water(level);
    if (options.light_all) {
        for (Lantern& lantern : level.lanterns)
            lantern.lit = true;
    }
}

}  // namespace pyrelle
