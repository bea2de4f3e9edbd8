#include <gtest/gtest.h>

#include <cmath>

#include "game/fixtures.hpp"
#include "game/level.hpp"
#include "game/lights.hpp"

namespace pyrelle {
namespace {

using fixtures::cave_from;
using fixtures::open_room;

void expect_light(const LightSource& s, float x, float y, double radius, float r, float g, float b,
                  double intensity, const char* what) {
    EXPECT_EQ(s.x, x) << what;
    EXPECT_EQ(s.y, y) << what;
    EXPECT_NEAR(s.radius, radius, 1e-4) << what;
    EXPECT_EQ(s.r, r) << what;
    EXPECT_EQ(s.g, g) << what;
    EXPECT_EQ(s.b, b) << what;
    EXPECT_NEAR(s.intensity, intensity, 1e-5) << what;
}

Level lit_scene() {
    Level level = open_room(40, 30, 10, 10);
    level.time = 2.0f;
    level.energy = 0.5f;
    level.exit_progress = 0.5f;
    level.exit_pos = {200.0f, 100.0f};
    level.lanterns = {Lantern{50, 60, 0.5f, true}, Lantern{70, 80, 0.0f, false}};
    level.crystals = {Crystal{10, 20, 0, 1, 0.01f, false}, Crystal{30, 40, 0, 1, 1.4f, true}};
    level.burst_flash = 0.3f;
    level.companions = {Companion{1, 2, 0}, Companion{3, 4, 0}};
    level.lost_companion = LostCompanion{5, 6, 0};
    level.pollen = {PollenGrain{7, 8, 0, true}, PollenGrain{9, 9, 0, false},
                    PollenGrain{11, 12, 0, true}};
    return level;
}

TEST(BuildLights, AllGroupsInOrderWithTheirFormulas) {
    const Level level = lit_scene();
    std::vector<LightSource> lights(1);  // appended after what is there
    build_lights(level, kAllLights, lights);
    ASSERT_EQ(lights.size(), 1u + 2 + 1 + 1 + 1 + 1 + 2 + 1 + 2);
    const double t = 2.0;
    expect_light(lights[1], 50, 60, 0.5 * 96 + 14, 1.0f, 0.62f, 0.30f,
                 (1 + 0.06 * std::sin(9 * t) + 0.04 * std::sin(23 * t)) * 1.1, "lit lantern");
    expect_light(lights[2], 70, 80, 16, 1.0f, 0.45f, 0.20f, 0.25 + 0.1 * std::sin(1 + 2 * t),
                 "unlit lantern");
    expect_light(lights[3], 200, 100, 70 * 0.5 + 14, 0.45f, 0.75f, 1.0f, 0.9 * 0.5 + 0.2, "rift");
    expect_light(lights[4], 30, 40, 38, 0.5f, 0.8f, 1.0f, 1.2 * 0.75, "crystal");
    const Vec2 f = level.firefly_pos;
    expect_light(lights[5], f.x, f.y, 70 * 0.5 + 22, 1.0f, 0.9f, 0.55f,
                 (1 + 0.03 * std::sin(13 * t)) * (0.75 + 0.6 * 0.5), "firefly");
    expect_light(lights[6], f.x, f.y, (0.6 * 0.5 + 0.4) * 80, 1.0f, 0.95f, 0.8f, 1.4 * 0.5,
                 "burst");
    expect_light(lights[7], 1, 2, 28, 1.0f, 0.9f, 0.55f, 0.45, "companion");
    expect_light(lights[8], 3, 4, 28, 1.0f, 0.9f, 0.55f, 0.45, "companion");
    expect_light(lights[9], 5, 6, 18, 1.0f, 0.9f, 0.5f, 0.25, "lost companion");
    expect_light(lights[10], 7, 8, 18, 0.65f, 1.0f, 0.35f, 0.45, "pollen");
    expect_light(lights[11], 11, 12, 18, 0.65f, 1.0f, 0.35f, 0.45, "pollen");
}

TEST(BuildLights, SourceAndNightAndSelectedGroups) {
    Level level = lit_scene();
    level.depth = 10;
    level.night = true;
    std::vector<LightSource> lights;
    build_lights(level, kExitLight | kFireflyLight, lights);
    ASSERT_EQ(lights.size(), 2u);
    expect_light(lights[0], 200, 100, 130 * 0.5 + 30, 1.0f, 0.95f, 0.8f,
                 (0.5 + 0.35) * (0.85 + 0.15 * std::sin(1.3 * 2.0)), "source");
    EXPECT_NEAR(lights[1].radius, (70 * 0.5 + 22) * 0.72, 1e-4);

    lights.clear();
    build_lights(level, kLanternLights | kExitLight | kCrystalLights, lights);
    EXPECT_EQ(lights.size(), 4u);
    lights.clear();
    level.burst_flash.reset();
    level.lost_companion.reset();
    build_lights(level, kBurstLight | kLostCompanionLight, lights);
    EXPECT_TRUE(lights.empty());
}

TEST(LineOfSight, OpenPathsAndRockInBetween) {
    const Cave cave = cave_from({
        "......",
        "..#...",
        "......",
        "......",
    });
    auto c = fixtures::centre_of;
    EXPECT_TRUE(line_of_sight(cave, c(0, 1), c(1, 1)));
    EXPECT_FALSE(line_of_sight(cave, c(0, 1), c(4, 1)));  // through (2, 1)
    EXPECT_TRUE(line_of_sight(cave, c(0, 2), c(5, 2)));
    EXPECT_TRUE(line_of_sight(cave, Vec2{1, 1}, Vec2{7, 7}));  // same cell
    // The end cells are not tested: looking into rock, or out of it, succeeds.
    EXPECT_TRUE(line_of_sight(cave, c(1, 1), c(2, 1)));
    EXPECT_TRUE(line_of_sight(cave, c(2, 1), c(3, 1)));
    // Leaving the grid fails.
    EXPECT_FALSE(line_of_sight(cave, c(0, 0), Vec2{-12, 4}));
    EXPECT_TRUE(line_of_sight(cave, c(0, 0), Vec2{-4, 4}));  // the target cell itself
}

TEST(LineOfSight, ExactCornerCrossingStepsVerticallyFirst) {
    // From the centre of (0, 0) to the centre of (1, 1) the segment meets the corner: the
    // walk goes through (0, 1), so only that cell can block.
    auto c = fixtures::centre_of;
    EXPECT_FALSE(line_of_sight(cave_from({"..", "#."}), c(0, 0), c(1, 1)));
    EXPECT_TRUE(line_of_sight(cave_from({".#", ".."}), c(0, 0), c(1, 1)));
    // Upward and leftward too: from (1, 1) to (0, 0) it goes through (1, 0).
    EXPECT_FALSE(line_of_sight(cave_from({".#", ".."}), c(1, 1), c(0, 0)));
    EXPECT_TRUE(line_of_sight(cave_from({"..", "#."}), c(1, 1), c(0, 0)));
}

TEST(LineOfSight, ShallowLineVisitsTheCellsItCrosses) {
    // From (2, 4) to (30, 10) the line crosses y = 8 at x = 20.67, inside column 2, so the
    // walk goes (0, 0) (1, 0) (2, 0) (2, 1) (3, 1).
    const Vec2 a{2, 4}, b{30, 10};
    EXPECT_TRUE(line_of_sight(cave_from({"...#", "...."}), a, b));
    EXPECT_FALSE(line_of_sight(cave_from({"....", "..#."}), a, b));
    EXPECT_FALSE(line_of_sight(cave_from({"..#.", "...."}), a, b));
    EXPECT_TRUE(line_of_sight(cave_from({"....", ".#.."}), a, b));
    // Aimed through the corner (16, 8) instead, it steps down first: (1, 1) blocks, (2, 0) not.
    EXPECT_TRUE(line_of_sight(cave_from({"..#.", "...."}), Vec2{2, 4}, Vec2{30, 12}));
    EXPECT_FALSE(line_of_sight(cave_from({"....", ".#.."}), Vec2{2, 4}, Vec2{30, 12}));
}

TEST(LightAt, FalloffSumsAndRockShadows) {
    const Cave cave = cave_from({
        "............",
        "............",
        ".....#......",
        "............",
    });
    const std::vector<LightSource> lights = {
        {20, 20, 40, 1, 1, 1, 2.0f},
        {60, 4, 10, 1, 1, 1, 1.0f},
    };
    EXPECT_FLOAT_EQ(light_at(lights, cave, 20, 20), 2.0f);                  // at the source
    EXPECT_FLOAT_EQ(light_at(lights, cave, 40, 20), 2.0f * 0.75f * 0.75f);  // half the radius
    EXPECT_FLOAT_EQ(light_at(lights, cave, 20, 60), 0.0f);                  // at the radius
    EXPECT_FLOAT_EQ(light_at(lights, cave, 56, 20), 0.0f);                  // behind (5, 2)
    const double both = 2.0 * std::pow(1 - std::pow(std::hypot(36.0, 16.0) / 40, 2), 2) +
                        1.0 * std::pow(1 - std::pow(4.0 / 10, 2), 2);
    EXPECT_NEAR(light_at(lights, cave, 56, 4), both, 1e-5);
}

}  // namespace
}  // namespace pyrelle
