#include "game/movement.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "game/fixtures.hpp"

namespace pyrelle {
namespace {

const WaterMask kNoWater{};

TEST(MoveCircle, SlidesAlongAFloor) {
    const Cave cave = fixtures::cave_from({
        "..........",
        "..........",
        "##########",
    });
    Vec2 p{19.0f, 12.5f};
    Vec2 v{40.0f, 40.0f};
    // 4 px each way in sub-steps of (1, 1): each one sinks into the floor at y = 16 and is
    // pushed back to 16 - 3; the downward speed is lost at the first contact.
    move_circle(cave, kNoWater, p, v, 3.0f, 0.1f, BlockRule::Rock);
    EXPECT_FLOAT_EQ(p.x, 23.0f);
    EXPECT_EQ(p.y, 13.0f);
    EXPECT_EQ(v.x, 40.0f);
    EXPECT_EQ(v.y, 0.0f);
}

TEST(MoveCircle, EachRockCellPushesOnItsOwn) {
    // Crossing the seam between two floor cells, the first cell's corner pushes the circle
    // along its normal before the second cell pushes it straight up.
    const Cave cave = fixtures::cave_from({
        "..........",
        "..........",
        "##########",
    });
    Vec2 p{24.0f, 13.0f};
    Vec2 v{60.0f, 0.0f};
    move_circle(cave, kNoWater, p, v, 3.0f, 1.0f / 60.0f, BlockRule::Rock);
    // At (25, 13) nothing touches yet: the corner (24, 16) is sqrt(10) away.
    EXPECT_FLOAT_EQ(p.x, 25.0f);
    EXPECT_EQ(p.y, 13.0f);
    p = {25.0f, 14.0f};
    move_circle(cave, kNoWater, p, v, 3.0f, 0.0f, BlockRule::Rock);
    // Cell (2, 2)'s corner is sqrt(5) away: pushed by 3 - sqrt(5) along (1, -2) / sqrt(5);
    // then cell (3, 2) lifts it back to y = 13.
    const double push = 3.0 - std::sqrt(5.0);
    EXPECT_NEAR(p.x, 25.0 + push / std::sqrt(5.0), 1e-5);
    EXPECT_NEAR(p.y, 13.0, 1e-5);
    EXPECT_EQ(v.x, 60.0f);  // moving away from the corner's normal: speed kept
}

TEST(MoveCircle, CentreInsideIsPushedOutByTheFullRadiusAlongOneAxis) {
    const Cave cave = fixtures::cave_from({
        ".....",
        "..#..",
        ".....",
    });
    // The rock square is [16, 24] x [8, 16].
    struct Case {
        Vec2 start, want;
        const char* why;
    };
    const Case cases[] = {
        // All four faces 4 away: the left face wins ties. 3 px leaves it still inside at
        // x = 17, the next pass pushes 3 more to 14, the third the last 1 to 13.
        {{20.0f, 12.0f}, {13.0f, 12.0f}, "tie goes left"},
        // Right face nearest (3): out to x = 24, exactly on the face, which counts as
        // inside (distance 0) and goes on through the right face to 27.
        {{21.0f, 12.0f}, {27.0f, 12.0f}, "right"},
        // Top face strictly nearest (1): 3 px up to y = 6, then the last 1 px to 5.
        {{19.0f, 9.0f}, {19.0f, 5.0f}, "top"},
        {{19.0f, 15.0f}, {19.0f, 19.0f}, "bottom"},
    };
    for (const Case& c : cases) {
        Vec2 p = c.start;
        Vec2 v{};
        move_circle(cave, kNoWater, p, v, 3.0f, 0.0f, BlockRule::Rock);
        EXPECT_EQ(p.x, c.want.x) << c.why;
        EXPECT_EQ(p.y, c.want.y) << c.why;
    }
}

TEST(MoveCircle, DoesNotTunnelThroughAThinWall) {
    const Cave cave = fixtures::cave_from({
        ".........",
        "....#....",
        ".........",
    });
    for (float speed : {90.0f, 210.0f, 1000.0f}) {
        Vec2 p{12.0f, 12.0f};
        Vec2 v{speed, 0.0f};
        move_circle(cave, kNoWater, p, v, 3.0f, 0.5f, BlockRule::Rock);
        EXPECT_EQ(p.x, 29.0f) << speed;  // the wall's left face at 32, minus the radius
        EXPECT_EQ(v.x, 0.0f) << speed;
    }
}

TEST(MoveCircle, ShadeRuleStopsAtWaterAndRockRuleDoesNot) {
    const std::vector<std::string> rows = {
        "..........", "....~~~...", "....~~~...", "....~~~...", "..........",
    };
    const Cave cave = fixtures::cave_from(rows);
    const WaterMask water = fixtures::water_from(rows);
    // Cells whose water level exceeds a half: the lake's 3 x 3 block except its corners
    // (corner cells: 4 + 2 + 2 + 1 = 9/16 > 1/2 too). Column 4 has level >= 9/16, column 3
    // at most 6/16, so the shade stops at x = 32 - 4.
    Vec2 p{12.0f, 20.0f};
    Vec2 v{80.0f, 0.0f};
    move_circle(cave, water, p, v, 4.0f, 0.5f, BlockRule::Shade);
    EXPECT_EQ(p.x, 28.0f);
    Vec2 q{12.0f, 20.0f};
    Vec2 w{80.0f, 0.0f};
    move_circle(cave, water, q, w, 4.0f, 0.5f, BlockRule::Rock);
    EXPECT_FLOAT_EQ(q.x, 52.0f);
}

}  // namespace
}  // namespace pyrelle
