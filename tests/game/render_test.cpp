#include "game/render.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "game/fixtures.hpp"
#include "game/generate.hpp"

namespace pyrelle {
namespace {

std::uint32_t bits_of(float v) {
    std::uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}

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

TEST(Render, ARendererThatDrewEveryFrameDrawsWhatAFreshOneDraws) {
    // What a renderer keeps from frame to frame (painted rock, what the still lights reach)
    // must never show: along a flight past lit lanterns, with companions in tow, every
    // picture is the one a new renderer draws.
    for (std::uint32_t depth : {4u, 7u, 10u}) {
        Level level = busy_level(depth, 900 + depth);
        level.companions.push_back({level.firefly_pos.x - 6, level.firefly_pos.y + 3, 0.6f});
        WorldRenderer kept(level);
        for (int step = 0; step < 360; ++step) {
            // Flying, then resting a while (the firefly's own light stays put), then flying.
            const float angle = static_cast<float>(step) * 0.05f;
            const bool resting = step >= 120 && step < 200;
            level.update(resting ? 0.0f : std::cos(angle), resting ? 0.0f : std::sin(angle * 0.7f),
                         1.0f / 60.0f);
            const Canvas drawn = render_once(kept, level);
            if (step % 20 != 19) continue;
            WorldRenderer fresh(level);
            ASSERT_EQ(drawn.pixels, render_once(fresh, level).pixels) << depth << " step " << step;
        }
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

// The table of waves gives, bit for bit, the threshold the rule computes, at times whose
// sines differ in their last bits; outside its window the rule itself answers.
TEST(Render, TheWavesTableGivesTheRulesWaterEverywhere) {
    const float times[] = {0.0f, 1.0f / 60.0f, 1234.567f, 98765.43f};
    Level level = generate_level(7, 12);
    // A window over the first cell of the lake, and a few pixels around it outside.
    std::int32_t x0 = -1, y0 = -1;
    for (std::int32_t y = 0; y < level.cave.height && x0 < 0; ++y)
        for (std::int32_t x = 0; x < level.cave.width && x0 < 0; ++x)
            if (water_level(level.cave, level.water_mask, x, y) > 0.0f)
                x0 = 8 * x - 12, y0 = 8 * y - 10;
    ASSERT_GE(x0, -12);
    SurfaceWaves waves;
    std::int32_t water_pixels = 0;
    for (const float t : times) {
        level.time = t;
        waves.update(t, x0, y0, 40, 30);
        for (std::int32_t py = y0 - 2; py < y0 + 33; ++py) {
            for (std::int32_t px = x0 - 2; px < x0 + 43; ++px) {
                const WaterSample rule =
                    water_surface(level, static_cast<float>(px), static_cast<float>(py));
                const WaterSample table = water_surface(level, px, py, waves);
                ASSERT_EQ(bits_of(table.v), bits_of(rule.v)) << t << " " << px << " " << py;
                ASSERT_EQ(bits_of(table.thr), bits_of(rule.thr)) << t << " " << px << " " << py;
                ASSERT_EQ(is_air_pixel(level, px, py, waves), is_air_pixel(level, px, py));
                water_pixels += rule.v > rule.thr;
            }
        }
    }
    EXPECT_GT(water_pixels, 500);  // the window does hold water
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

// Each drawn entity on its own: a scene rendered without it and with it differ exactly where
// the rule puts its pixels, with the rule's colours.
//
// The scene is an open cave lit evenly past the light cap: ten lit lanterns with an enormous
// glow far left of the view and the firefly and the exit far right of it, all off screen.
// Every light cell then holds more than 1.8, so the light multiplies each pixel drawn before
// it by floor(1.8 x 7 + dither) / 7 plus the ambient light: a factor that depends only on the
// pixel's place in the dither pattern.
constexpr std::int32_t kCamX = 160;
constexpr std::int32_t kCamY = 64;
constexpr int kLightingLanterns = 10;

Level bright_scene() {
    Level level = fixtures::open_room(78, 38, 75, 20);  // the firefly at world (604, 164)
    level.camera = {static_cast<float>(kCamX), static_cast<float>(kCamY)};
    level.exit_pos = fixtures::centre_of(75, 35);
    // Lantern light is (1, 0.62, 0.3) x about 1.1 each: ten of them give blue 3.
    for (int i = 0; i < kLightingLanterns; ++i)
        level.lanterns.push_back(Lantern{44.0f, 164.0f, 1000.0f, true});
    level.seed = 77;
    level.time = 0.0f;
    return level;
}

Canvas draw(const Level& level) {
    WorldRenderer renderer(level);
    Canvas canvas(320, 180);
    renderer.render(level, canvas);
    return canvas;
}

// A colour drawn before the light at screen pixel (x, y), once the saturated light and the
// ambient light of La Grotte (0.035, 0.03, 0.06) have multiplied it.
std::uint32_t lit(std::uint32_t colour, std::int32_t x, std::int32_t y) {
    static constexpr int kBayer[4][4] = {
        {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    const float t = (static_cast<float>(kBayer[y & 3][x & 3]) + 0.5f) * 0.0625f;
    const float level = std::floor(1.8f * 7.0f + t) / 7.0f;
    const float ambient[3] = {0.035f, 0.03f, 0.06f};
    std::uint32_t out = 0;
    for (int c = 0; c < 3; ++c) {
        const int shift = 16 - 8 * c;
        const float old = static_cast<float>((colour >> shift) & 0xFF);
        const float v = std::clamp(old * (level + ambient[c]), 0.0f, 255.0f);
        out |= static_cast<std::uint32_t>(v) << shift;
    }
    return out;
}

void set_lit(Canvas& canvas, std::int32_t x, std::int32_t y, std::uint32_t colour) {
    canvas.set(x, y, lit(colour, x, y));
}

// Compares whole pictures and names the first pixels that differ.
void expect_picture(const Canvas& got, const Canvas& want, const std::string& what) {
    int wrong = 0;
    for (std::int32_t y = 0; y < 180; ++y) {
        for (std::int32_t x = 0; x < 320; ++x) {
            if (got.get(x, y) == want.get(x, y)) continue;
            if (++wrong <= 5) {
                ADD_FAILURE() << what << ": pixel " << x << "," << y << " is " << std::hex
                              << got.get(x, y) << ", want " << want.get(x, y);
            }
        }
    }
    EXPECT_EQ(wrong, 0) << what;
}

TEST(RenderEntities, TheSceneIsEvenlyLitPastTheCap) {
    Level level = bright_scene();
    level.cave.tiles.assign(level.cave.tiles.size(), 0);  // no rim anywhere: plain open texture
    const Canvas picture = draw(level);
    Background background;
    background.reset(level);
    background.paint(level, kCamX, kCamY, 320, 180);
    for (std::int32_t y = 0; y < 180; ++y)
        for (std::int32_t x = 0; x < 320; ++x)
            ASSERT_EQ(picture.get(x, y), lit(background.canvas.get(x + kCamX, y + kCamY), x, y))
                << x << "," << y;
}

TEST(RenderEntities, ExitRiftAndSourceStone) {
    for (const std::uint32_t depth : {5u, 10u}) {
        Level level = bright_scene();
        level.depth = depth;
        Canvas want = draw(level);
        level.exit_pos = {300.5f, 150.5f};
        const std::int32_t sx = 140, sy = 86;
        if (depth < 10) {
            for (std::int32_t i = -7; i <= 6; ++i) {
                const auto d =
                    static_cast<std::int32_t>(std::sin(0.9f * static_cast<float>(i)) * 1.2f);
                set_lit(want, sx + d, sy + i, 0x0C0A12);
                set_lit(want, sx + d + 1, sy + i, 0x282434);
            }
        } else {
            for (std::int32_t i = -6; i <= 6; ++i)
                for (std::int32_t j = -6; j <= 6; ++j)
                    if (i * i + j * j <= 36) {
                        const float f = 1.0f - 0.0625f * static_cast<float>(i + j);
                        set_lit(want, sx + j, sy + i, rgb(120.0f * f, 116.0f * f, 130.0f * f));
                    }
            // Closed, the Source shows only its faint glow, radius 7.5 at time 0.
            want.glow(0x786E5A, sx + 0.5f, sy + 0.5f, 7.5f, 0.6f);
        }
        expect_picture(draw(level), want, "exit at depth " + std::to_string(depth));
    }
}

TEST(RenderEntities, MothsWithOpenAndFoldedWings) {
    Level level = bright_scene();
    Canvas want = draw(level);
    level.time = 0.0f;
    level.moths = {fixtures::moth_at(250.3f, 120.7f), fixtures::moth_at(350.9f, 180.2f)};
    level.moths[1].t = 4.712389f / 28.0f;  // sin(28 t) = -1: folded
    struct Wing {
        std::int32_t dx, dy;
    };
    const Wing open[] = {{-1, 0}, {-2, 0}, {-2, -1}, {-1, 1}, {1, 0}, {2, 0}, {2, -1}, {1, 1}};
    const Wing folded[] = {{-1, -1}, {1, -1}, {-1, 0}, {1, 0}};
    const std::int32_t ax = 90, ay = 56;    // floor(250.3 - 160), floor(120.7 - 64)
    const std::int32_t bx = 190, by = 116;  // floor(350.9 - 160), floor(180.2 - 64)
    for (const auto& [x, y] : {std::pair{ax, ay}, std::pair{bx, by}}) {
        set_lit(want, x, y, 0x46382C);
        set_lit(want, x, y + 1, 0x46382C);
    }
    for (const Wing& w : open)
        set_lit(want, ax + w.dx, ay + w.dy, 0x968C80);
    for (const Wing& w : folded)
        set_lit(want, bx + w.dx, by + w.dy, 0x968C80);
    expect_picture(draw(level), want, "moths");
}

TEST(RenderEntities, PollenGlowsAndBobsUntilGathered) {
    Level level = bright_scene();
    Canvas want = draw(level);
    level.time = 0.25f;
    level.pollen = {PollenGrain{260.5f, 130.5f, 0.0f, true},
                    PollenGrain{330.2f, 170.7f, 1.0f, true},
                    PollenGrain{200.5f, 100.5f, 0.0f, false}};
    for (std::size_t i = 0; i < 2; ++i) {
        const PollenGrain& g = level.pollen[i];
        const float bob = 1.5f * std::sin(g.phase + 2.0f * level.time);
        const float x = g.x - static_cast<float>(kCamX);
        const float y = g.y + bob - static_cast<float>(kCamY);
        want.glow(0x96E650, x, y, 4.0f, 1.0f);
        want.add(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), 0xA0C878);
    }
    expect_picture(draw(level), want, "pollen");
}

TEST(RenderEntities, ShadeBodiesAndEyesByState) {
    Level level = bright_scene();
    Canvas want = draw(level);
    level.time = 0.0f;
    struct Case {
        float x, y, t;
        ShadeState state;
        float eyes;  // brightness, 0 while they blink shut
    };
    const Case cases[] = {
        {220.5f, 100.5f, 0.5f, ShadeState::Wander, 0.6f},
        {280.5f, 100.5f, 0.5f, ShadeState::Chase, 1.0f},
        {340.5f, 100.5f, 0.5f, ShadeState::Flee, 0.3f},
        {220.5f, 180.5f, 0.0f, ShadeState::Chase, 0.0f},  // 0.7 x 0: no fraction, shut
        {280.5f, 180.5f, 1.5f, ShadeState::Chase, 1.0f},  // 0.7 x 1.5 = 1.05: open again
    };
    for (const Case& c : cases) {
        Shade shade = fixtures::shade_at(c.x, c.y);
        shade.t = c.t;
        shade.state = c.state;
        level.shades.push_back(shade);
        const auto sx = static_cast<std::int32_t>(std::floor(c.x)) - kCamX;
        const auto sy = static_cast<std::int32_t>(std::floor(c.y)) - kCamY;
        for (std::int32_t i = -5; i <= 5; ++i) {
            for (std::int32_t j = -4; j <= 4; ++j) {
                const float wave = std::sin(1.3f * static_cast<float>(j) + 6.0f * c.t);
                const bool head = i < 2 && i * i + j * j <= 22;
                const bool hem = i >= 2 && i <= 4 + static_cast<std::int32_t>(1.5f * wave);
                if (head || hem) set_lit(want, sx + j, sy + i, 0x2E1E3E);
            }
        }
    }
    for (const Case& c : cases) {  // the eyes are added after the light
        if (c.eyes == 0.0f) continue;
        const std::uint32_t eye = rgb(255.0f * c.eyes, 60.0f * c.eyes, 110.0f * c.eyes);
        const auto sx = static_cast<std::int32_t>(std::floor(c.x)) - kCamX;
        const auto sy = static_cast<std::int32_t>(std::floor(c.y)) - kCamY;
        want.add(sx - 2, sy - 1, eye);
        want.add(sx + 1, sy - 1, eye);
    }
    expect_picture(draw(level), want, "shades");
}

TEST(RenderEntities, LanternCagesWithAFlameOrAnEmber) {
    Level level = bright_scene();
    Canvas want = draw(level);
    level.time = 0.3f;
    // After the lanterns that light the scene: index 10 lit, index 11 not.
    level.lanterns.push_back(Lantern{260.0f, 140.0f, 0.5f, true});
    level.lanterns.push_back(Lantern{340.0f, 140.0f, 0.0f, false});
    const char* cage[] = {"..aaa..", ".abbba.", "accccca", ".c...c.",
                          ".c...c.", ".c...c.", "accccca", ".abbba."};
    for (const std::int32_t sx : {100, 180}) {
        const std::int32_t sy = 76;
        for (std::int32_t r = 0; r < 8; ++r) {
            for (std::int32_t k = 0; k < 7; ++k) {
                const char c = cage[r][k];
                if (c == '.') continue;
                const std::uint32_t colour = c == 'a' ? 0x463C36 : c == 'b' ? 0x786450 : 0xA0825A;
                set_lit(want, sx - 3 + k, sy - 4 + r, colour);
            }
        }
    }
    const float t = level.time;
    const float a = 0.2f * std::sin(2.3f * kLightingLanterns + 11.0f * t) + 0.8f;
    want.glow(0xFF8C28, 100.5f, 77.0f, 6.0f, a);
    want.fill_rect(99, 76, 3, 2, 0xFFC85A);
    want.set(100, 75, 0xFFF0B4);
    const float v = 0.75f + 0.25f * std::sin(kLightingLanterns + 1.0f + 2.0f * t);
    want.add(180, 77, rgb(160.0f * v, 60.0f * v, 20.0f * v));
    expect_picture(draw(level), want, "lanterns");
}

TEST(RenderEntities, CrystalsDimBeforeTheLightAndBrightAfterIt) {
    Level level = bright_scene();
    Canvas want = draw(level);
    // Two floor crystals: one dark (glow at the 0.02 limit), one glowing at 0.8.
    level.crystals = {Crystal{260.5f, 120.5f, 0.0f, 1.0f, 0.02f, false},
                      Crystal{340.5f, 120.5f, 0.0f, 1.0f, 0.8f, true}};
    // A floor crystal at (X + 0.5, Y + 0.5): its spikes rise from row Y + 2, the middle one
    // five pixels high in column X, the side ones three pixels in columns X + 2 and X - 2.
    struct Point {
        std::int32_t dx, dy;
    };
    const Point shards[] = {{2, 2},  {2, 1},  {2, 0},  {0, 2},  {0, 1}, {0, 0},
                            {0, -1}, {0, -2}, {-2, 2}, {-2, 1}, {-2, 0}};
    for (const std::int32_t sx : {100, 180})
        for (const Point& p : shards)
            set_lit(want, sx + p.dx, 56 + p.dy, 0x96AAE6);
    const float g = 0.8f;
    want.glow(0x4696FF, 180.5f, 56.5f, 4.0f + 4.0f * g, 0.8f * g);
    for (const Point& p : shards)
        want.add(180 + p.dx, 56 + p.dy, rgb(150.0f * g, 220.0f * g, 255.0f * g));
    expect_picture(draw(level), want, "crystals");
}

TEST(RenderEntities, RipplesAreRingsOnTheWaterOnly) {
    Level level = bright_scene();
    for (std::int32_t y = 12; y <= 28; ++y)
        for (std::int32_t x = 30; x <= 50; ++x)
            level.water_mask.cells[static_cast<std::size_t>(x + y * level.cave.width)] = 1;
    Canvas want = draw(level);
    // One ring in the middle of the lake, one on dry rock-free ground left of it.
    level.ripples = {Ripple{320.0f, 160.0f, 0.65f}, Ripple{200.0f, 100.0f, 0.65f}};
    const float r = 0.65f / 1.3f;
    const float radius = 14.0f * r + 2.0f;
    const auto n = static_cast<std::int32_t>(7.0f * radius);
    const float k = std::pow(1.0f - r, 1.5f) * 0.6f;
    const std::uint32_t colour = rgb(170.0f * k, 215.0f * k, 240.0f * k);
    for (std::int32_t i = 0; i < n; ++i) {
        const float theta = 6.2831855f * static_cast<float>(i) / static_cast<float>(n);
        const auto px = static_cast<std::int32_t>(std::floor(320.0f + std::cos(theta) * radius));
        const auto py = static_cast<std::int32_t>(std::floor(160.0f + std::sin(theta) * radius));
        want.add(px - kCamX, py - kCamY, colour);
    }
    expect_picture(draw(level), want, "ripples");
}

// The insect drawing rule, written out: glow, wings, head, body and sides.
void plain_firefly(Canvas& canvas, std::uint32_t colour, float x, float y, float radius,
                   float intensity, float phase) {
    if (intensity > 0.02f) canvas.glow(scale_colour(colour, 0.7f), x, y, radius, intensity);
    const auto ix = static_cast<std::int32_t>(std::floor(x));
    const auto iy = static_cast<std::int32_t>(std::floor(y));
    const float k = std::clamp(0.75f * intensity + 0.25f, 0.0f, 1.0f);
    const auto channel = [&](int shift, float base) {
        const float c = static_cast<float>((colour >> shift) & 0xFF);
        return static_cast<std::uint32_t>(
                   std::clamp(std::round(base + (c - base) * k), 0.0f, 255.0f))
               << shift;
    };
    const std::uint32_t body = channel(16, 70.0f) | channel(8, 60.0f) | channel(0, 40.0f);
    const float beat = 24.0f * phase;
    const std::int32_t wing_y = beat - std::trunc(beat) < 0.5f ? iy - 2 : iy - 1;
    canvas.blend(ix - 2, wing_y, 0xAAB4C8, 0.7f);
    canvas.blend(ix + 2, wing_y, 0xAAB4C8, 0.7f);
    canvas.set(ix, iy - 1, 0x3C3228);
    canvas.set(ix, iy, body);
    canvas.set(ix, iy + 1, body);
    canvas.set(ix - 1, iy, scale_colour(body, 0.6f));
    canvas.set(ix + 1, iy, scale_colour(body, 0.6f));
}

TEST(RenderEntities, CompanionsAndTheLostOneFlashingOrDark) {
    // The lost one flashes when (heading + time) mod 2.4 is within a pulse: at 0.09 it is at
    // the top of the first one; at 1.0 it is between flashes and shows only its body.
    for (const float heading : {0.09f, 1.0f}) {
        Level level = bright_scene();
        level.time = 0.0f;
        Canvas want = draw(level);
        level.companions = {Companion{300.25f, 150.75f, 0.4f}, Companion{240.5f, 110.5f, 2.0f}};
        level.lost_companion = LostCompanion{360.5f, 170.5f, heading};
        const float t = level.time;
        const float u = std::fmod(heading + t, 2.4f);
        // Both headings are outside the second pulse, 0.32 s later.
        const float flash = u / 0.18f < 1.0f ? std::sin(3.1415927f * u / 0.18f) : 0.0f;
        const float y = 170.5f + 1.5f * std::sin(1.3f * t + heading);
        plain_firefly(want, 0xFFE178, 360.5f - kCamX, y - kCamY, 9.0f, flash, heading + t);
        for (const Companion& c : level.companions) {
            const float intensity = (0.25f * std::sin(9.0f * t + c.phase) + 0.75f) * 0.8f;
            plain_firefly(want, 0xFFE68C, c.x - kCamX, c.y - kCamY, 6.0f, intensity, c.phase + t);
        }
        expect_picture(draw(level), want, "companions, heading " + std::to_string(heading));
    }
}

}  // namespace
}  // namespace pyrelle
