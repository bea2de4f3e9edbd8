#include "game/render.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "game/generate.hpp"

namespace pyrelle {
namespace {

Canvas render_once(WorldRenderer& renderer, const Level& level) {
    Canvas canvas(320, 180);
    renderer.render(level, canvas);
    return canvas;
}

// A lit, busy level: flying, lanterns lit, a burst in flight, companions.
Level busy_level(std::uint32_t depth, std::uint64_t seed) {
    Level level = generate_level(depth, seed);
    for (int i = 0; i < 200; ++i)
        level.update(1.0f, 0.0f, 1.0f / 60.0f);
    for (Lantern& lantern : level.lanterns)
        lantern.lit = true;
    level.light_burst();
    for (int i = 0; i < 10; ++i)
        level.update(0.0f, 1.0f, 1.0f / 60.0f);
    level.companions.push_back({level.firefly_pos.x + 5, level.firefly_pos.y, 0.3f});
    return level;
}

TEST(Render, SameLevelGivesTheSamePictureAndStaysUnchanged) {
    for (std::uint32_t depth : {1u, 5u, 8u, 10u}) {
        const Level level = busy_level(depth, 1234 + depth);
        const Level before = level;
        WorldRenderer renderer(level);
        const Canvas first = render_once(renderer, level);
        const Canvas second = render_once(renderer, level);
        EXPECT_EQ(first.pixels, second.pixels) << depth;
        EXPECT_TRUE(level == before) << depth;
        WorldRenderer fresh(level);
        EXPECT_EQ(render_once(fresh, level).pixels, first.pixels) << depth;
    }
}

TEST(Render, ARendererResetForAnotherLevelDrawsWhatAFreshOneDraws) {
    // Reset keeps the buffers of the earlier level, including its painted rock.
    WorldRenderer reused(busy_level(9, 77));
    render_once(reused, busy_level(9, 77));
    for (std::uint32_t depth : {10u, 3u, 8u}) {
        const Level level = busy_level(depth, 500 + depth);
        reused.reset(level);
        WorldRenderer fresh(level);
        EXPECT_EQ(render_once(reused, level).pixels, render_once(fresh, level).pixels) << depth;
    }
}

TEST(Render, WaterNeedsAMaskByteOfOne) {
    // Find a lake level with water on screen.
    for (std::uint64_t seed = 1; seed < 40; ++seed) {
        Level level = generate_level(7, seed);
        bool found = false;
        for (std::int32_t y = 0; y < level.cave.height && !found; ++y) {
            for (std::int32_t x = 0; x < level.cave.width && !found; ++x) {
                if (is_deep_water(level.cave, level.water_mask, x, y)) {
                    level.firefly_pos = cell_centre(x, y);
                    found = true;
                }
            }
        }
        if (!found) continue;
        level.camera = {std::max(level.firefly_pos.x - 160.0f, 0.0f),
                        std::max(level.firefly_pos.y - 90.0f, 0.0f)};
        WorldRenderer wet(level);
        const Canvas with_water = render_once(wet, level);
        // Mask bytes of 2 keep water_level positive but are not lakes.
        Level odd = level;
        for (std::uint8_t& cell : odd.water_mask.cells)
            cell = cell ? 2 : 0;
        Level dry = level;
        for (std::uint8_t& cell : dry.water_mask.cells)
            cell = 0;
        WorldRenderer odd_renderer(odd);
        WorldRenderer dry_renderer(dry);
        const Canvas odd_picture = render_once(odd_renderer, odd);
        EXPECT_TRUE(odd_renderer.glints.empty());
        EXPECT_EQ(odd_picture.pixels, render_once(dry_renderer, dry).pixels);
        EXPECT_NE(odd_picture.pixels, with_water.pixels);
        return;
    }
    FAIL() << "no lake level found";
}

// An open box with a rock wall at cells x = 17 and 18, the firefly left of it.
Level walled_level() {
    Level level;
    level.cave.width = 40;
    level.cave.height = 22;
    level.cave.tiles.assign(40 * 22, 0);
    for (std::int32_t y = 0; y < 22; ++y) {
        for (std::int32_t x = 0; x < 40; ++x) {
            const bool border = x == 0 || y == 0 || x == 39 || y == 21;
            if (border || x == 17 || x == 18)
                level.cave.tiles[static_cast<std::size_t>(x + 40 * y)] = 1;
        }
    }
    level.water_mask.cells.assign(40 * 22, 0);
    level.depth = 1;
    level.energy = 1.0f;
    level.firefly_pos = {100.0f, 88.0f};
    level.exit_pos = {20.0f, 20.0f};
    return level;
}

TEST(Render, BurstRingStopsAtWalls) {
    Level calm = walled_level();
    Level burst = calm;
    burst.burst_flash = 0.3f;  // ring radius 76 * 0.5^0.6 + 4, about 54: it crosses the wall
    WorldRenderer renderer(calm);
    const Canvas a = render_once(renderer, calm);
    const Canvas b = render_once(renderer, burst);
    int left_changes = 0;
    for (std::uint32_t y = 0; y < 176; ++y) {
        for (std::uint32_t x = 0; x < 320; ++x) {
            if (a.pixels[x + 320 * y] == b.pixels[x + 320 * y]) continue;
            if (x < 136) ++left_changes;
            EXPECT_LT(x, 160u) << "changed behind the wall at " << x << "," << y;
        }
    }
    EXPECT_GT(left_changes, 100);
}

TEST(Render, HurtFireflyBlinksEveryFiftieth) {
    struct Case {
        float time;
        bool hurt_colour;
    };
    const Case cases[] = {{1.01f, true}, {1.035f, false}, {1.06f, true}, {1.085f, false}};
    for (const Case& c : cases) {
        Level level = walled_level();
        level.hurt_timer = 0.3f;
        level.time = c.time;
        WorldRenderer renderer(level);
        const Canvas canvas = render_once(renderer, level);
        // Full intensity: the body pixel is the firefly colour itself.
        const std::int32_t x = static_cast<std::int32_t>(std::floor(level.firefly_pos.x));
        const std::int32_t y = static_cast<std::int32_t>(
            std::floor(level.firefly_pos.y + 0.8f * std::sin(5.0f * c.time)));
        EXPECT_EQ(canvas.get(x, y + 1), c.hurt_colour ? 0xFF78A0u : 0xFFF096u) << c.time;
    }
}

TEST(Render, CrystalShardsOnAFloorPointUp) {
    Crystal floor;
    floor.x = 100.5f;
    floor.y = 50.5f;
    floor.dx = 0.0f;
    floor.dy = 1.0f;
    const auto points = crystal_points(floor);
    // Middle shard: from (100.5, 52) straight up, five points.
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(points[3 + static_cast<std::size_t>(k)].x, 100);
        EXPECT_EQ(points[3 + static_cast<std::size_t>(k)].y, 52 - k);
    }
    // Side shards start 1.6 pixels to either side, three points each, rising along
    // (+-0.35, -1) normalised: (0.330, -0.944), so x stays at floor(102.1 + 0.66) and
    // floor(98.9 - 0.66) while y climbs 52, 51.06, 50.11.
    const ScreenPoint right[3] = {{102, 52}, {102, 51}, {102, 50}};
    const ScreenPoint left[3] = {{98, 52}, {98, 51}, {98, 50}};
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(points[k].x, right[k].x) << k;
        EXPECT_EQ(points[k].y, right[k].y) << k;
        EXPECT_EQ(points[8 + k].x, left[k].x) << k;
        EXPECT_EQ(points[8 + k].y, left[k].y) << k;
    }
}

}  // namespace
}  // namespace pyrelle
