#include "game/cave.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "game/fixtures.hpp"

namespace pyrelle {
namespace {

using fixtures::cave_from;
using fixtures::water_from;

const std::vector<std::string> kPockets = {
    "......#..",
    ".####.#..",
    ".#....#..",
    "...#..###",
};

TEST(DistanceField, CountsFourConnectedStepsAndLeavesOtherPocketsUnreached) {
    const Cave cave = cave_from(kPockets);
    const DistanceField field = distance_field(cave, 0, 0);
    // Worked out by hand: the left region is a loop around the rock bar, reached both ways.
    const std::int32_t want[4][9] = {
        {0, 1, 2, 3, 4, 5, -1, -1, -1},
        {1, -1, -1, -1, -1, 6, -1, -1, -1},
        {2, -1, 6, 7, 8, 7, -1, -1, -1},
        {3, 4, 5, -1, 9, 8, -1, -1, -1},
    };
    ASSERT_EQ(field.width, 9);
    ASSERT_EQ(field.height, 4);
    for (std::int32_t y = 0; y < 4; ++y)
        for (std::int32_t x = 0; x < 9; ++x)
            EXPECT_EQ(field.at(x, y), want[y][x]) << x << "," << y;
}

TEST(DistanceField, RockOrOutsideSourceGivesAllUnreached) {
    const Cave cave = cave_from(kPockets);
    const Cell sources[] = {{6, 0}, {-1, 0}, {0, 4}, {9, 0}, {3, 3}};
    for (const Cell& s : sources) {
        const DistanceField field = distance_field(cave, s.x, s.y);
        ASSERT_EQ(field.values.size(), cave.tiles.size());
        for (std::int32_t v : field.values)
            EXPECT_EQ(v, -1) << s.x << "," << s.y;
    }
}

TEST(DistanceField, RefillReusesStorageAndForgetsThePreviousFlood) {
    const Cave cave = cave_from(kPockets);
    DistanceField field;
    std::vector<std::int32_t> queue;
    fill_distance_field(cave, 7, 0, field, queue);
    EXPECT_EQ(field.at(8, 2), 3);
    EXPECT_EQ(field.at(0, 0), -1);
    fill_distance_field(cave, 0, 0, field, queue);
    EXPECT_EQ(field, distance_field(cave, 0, 0));
    EXPECT_EQ(field.at(8, 2), -1);
}

TEST(Clearance, RingsStopAtRockAndAtTheBorder) {
    const Cave cave = cave_from({
        ".......",
        ".......",
        ".......",
        ".......",
        "......#",
        ".......",
    });
    struct Case {
        std::int32_t x, y, max, want;
    };
    const Case cases[] = {
        {0, 0, 2, 0},    // corner: the first ring leaves the grid
        {3, 0, 1, 0},    // top edge
        {2, 2, 2, 2},    // a fully open 5x5 block
        {4, 2, 2, 1},    // rock at Chebyshev distance 2
        {5, 3, 1, 0},    // rock diagonally adjacent
        {4, 3, 1, 1},    // rock at distance 2 only, max 1
        {2, 2, 0, 0},    // max 0 looks at no ring
        {6, 4, 2, -1},   // rock
        {-1, 2, 2, -1},  // outside
        {7, 2, 2, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(clearance(cave, c.x, c.y, c.max), c.want) << c.x << "," << c.y;
}

TEST(WaterLevel, WeightedAverageOfTheMask) {
    const std::vector<std::string> rows = {
        "~~~.....",
        "~~~...~.",
        "~~~.....",
        "........",
    };
    const Cave cave = cave_from(rows);
    const WaterMask mask = water_from(rows);
    struct Case {
        std::int32_t x, y;
        float want;
    };
    const Case cases[] = {
        {1, 1, 1.0f},           // whole block is lake
        {6, 1, 0.25f},          // a lone lake cell: only its own weight 4
        {0, 0, 9.0f / 16.0f},   // corner of the grid: outside cells add nothing
        {3, 1, 4.0f / 16.0f},   // beside the lake: weights 1 + 2 + 1
        {5, 0, 1.0f / 16.0f},   // diagonal neighbour of the lone cell
        {3, 3, 1.0f / 16.0f},   // touches the lake's corner only
        {7, 3, 0.0f},           // dry
        {-1, 1, 4.0f / 16.0f},  // outside the grid, still the weighted sum
    };
    for (const Case& c : cases)
        EXPECT_EQ(water_level(cave, mask, c.x, c.y), c.want) << c.x << "," << c.y;
    EXPECT_TRUE(is_water(cave, mask, 1, 1));
    EXPECT_TRUE(is_water(cave, mask, 0, 0));   // 9/16 > 0.5
    EXPECT_FALSE(is_water(cave, mask, 6, 1));  // 0.25
    EXPECT_FALSE(is_water(cave, mask, -1, 1));
}

TEST(WaterLevel, ExactlyHalfIsNotWaterAndRockIsNeverWater) {
    const std::vector<std::string> rows = {
        "....",
        ".~~.",
        "..#.",
    };
    const Cave cave = cave_from(rows);
    WaterMask mask = water_from(rows);
    EXPECT_EQ(water_level(cave, mask, 1, 1), 0.375f);  // 4 + 2
    mask.cells[cave.index(2, 2)] = 1;                  // a stray mask byte under rock still counts
    EXPECT_EQ(water_level(cave, mask, 1, 1), 0.4375f);
    EXPECT_FALSE(is_water(cave, mask, 2, 2));  // but rock is never water
    mask.cells[cave.index(0, 0)] = 1;
    EXPECT_EQ(water_level(cave, mask, 1, 1), 0.5f);  // 4 + 2 + 1 + 1: not above a half
    EXPECT_FALSE(is_water(cave, mask, 1, 1));
}

TEST(WaterLevel, DeepWaterNeedsTheFourSideNeighbours) {
    const std::vector<std::string> rows = {
        ".......", ".~~~~~.", ".~~~~~.", ".~~~~~.", ".......",
    };
    const Cave cave = cave_from(rows);
    const WaterMask mask = water_from(rows);
    EXPECT_TRUE(is_deep_water(cave, mask, 3, 2));
    EXPECT_TRUE(is_deep_water(cave, mask, 2, 2));
    // (1, 2) is water, but its left neighbour (0, 2) has level 6/16.
    EXPECT_TRUE(is_water(cave, mask, 1, 2));
    EXPECT_FALSE(is_deep_water(cave, mask, 1, 2));
    EXPECT_FALSE(is_deep_water(cave, mask, 3, 1));
    EXPECT_FALSE(is_deep_water(cave, mask, 99, 2));
}

Vec2 centre(std::int32_t x, std::int32_t y) {
    return Vec2{x * 8.0f + 4.0f, y * 8.0f + 4.0f};
}

DistanceField field_of(const std::vector<std::vector<std::int32_t>>& rows) {
    DistanceField f;
    f.height = static_cast<std::int32_t>(rows.size());
    f.width = static_cast<std::int32_t>(rows[0].size());
    for (const auto& row : rows)
        for (std::int32_t v : row)
            f.values.push_back(v);
    return f;
}

TEST(SteerStep, NeverCutsARockCorner) {
    const Cave cave = cave_from({
        "...",
        "#.#",
        "...",
    });
    const WaterMask dry = water_from({"...", "...", "..."});
    // The corners are the best values, the straight cells worse.
    const DistanceField field = field_of({{0, 5, 0}, {-1, 6, -1}, {0, 5, 0}});
    const auto step = steer_step(cave, dry, centre(1, 1), field, true);
    ASSERT_TRUE(step.has_value());
    // Only up and down remain; down (0, 1) comes first in the order.
    EXPECT_EQ(step->x, 0.0f);
    EXPECT_EQ(step->y, 1.0f);
}

TEST(SteerStep, TiesGoToTheEarlierOffset) {
    const Cave cave = cave_from({"...", "...", "..."});
    const WaterMask dry = water_from({"...", "...", "..."});
    struct Case {
        std::vector<std::vector<std::int32_t>> field;
        bool toward;
        Vec2 want;
    };
    const float h = std::sqrt(0.5f);
    const Case cases[] = {
        {{{9, 9, 9}, {3, 9, 3}, {9, 9, 9}}, true, {1.0f, 0.0f}},   // right before left
        {{{9, 3, 9}, {9, 9, 9}, {9, 3, 9}}, true, {0.0f, 1.0f}},   // down before up
        {{{9, 9, 9}, {9, 9, 9}, {9, 9, 2}}, true, {h, h}},         // a strictly better diagonal
        {{{1, 1, 1}, {1, 0, 1}, {1, 1, 1}}, false, {1.0f, 0.0f}},  // away: all equal, first wins
        {{{7, 1, 1}, {1, 0, 1}, {7, 1, 1}}, false, {-h, h}},       // away: (-1, 1) before (-1, -1)
    };
    for (const Case& c : cases) {
        const auto step = steer_step(cave, dry, centre(1, 1), field_of(c.field), c.toward);
        ASSERT_TRUE(step.has_value());
        EXPECT_FLOAT_EQ(step->x, c.want.x);
        EXPECT_FLOAT_EQ(step->y, c.want.y);
    }
}

TEST(SteerStep, WaterUnreachedCellsAndOwnWaterGiveNoStep) {
    const std::vector<std::string> rows = {
        ".~~~",
        ".~~~",
        ".~~~",
    };
    const Cave cave = cave_from(rows);
    const WaterMask mask = water_from(rows);
    const DistanceField field = field_of({{1, 0, 0, 0}, {1, 0, 0, 0}, {1, 0, 0, 0}});
    // On the shore (0, 1) everything to the right is water: only the dry cells above and
    // below remain, tied at 1, and down comes first.
    const auto shore = steer_step(cave, mask, centre(0, 1), field, true);
    ASSERT_TRUE(shore.has_value());
    EXPECT_EQ(shore->x, 0.0f);
    EXPECT_EQ(shore->y, 1.0f);
    // Standing in the lake: the straight offsets include its own cell, diagonals a water cell.
    EXPECT_FALSE(steer_step(cave, mask, centre(2, 1), field, true).has_value());
    // Unreached neighbours do not count.
    const DistanceField unreached = field_of({{-1, 0, 0, 0}, {1, 0, 0, 0}, {-1, 0, 0, 0}});
    EXPECT_FALSE(steer_step(cave, mask, centre(0, 1), unreached, true).has_value());
    // Outside the grid.
    EXPECT_FALSE(steer_step(cave, mask, Vec2{-4.0f, 12.0f}, field, true).has_value());
}

TEST(SteerStep, PointsFromThePositionToTheCellCentre) {
    const Cave cave = cave_from({"...", "...", "..."});
    const WaterMask dry = water_from({"...", "...", "..."});
    const DistanceField field = field_of({{5, 5, 5}, {5, 5, 0}, {5, 5, 5}});
    const Vec2 from{9.0f, 10.0f};  // inside cell (1, 1), off-centre
    const auto step = steer_step(cave, dry, from, field, true);
    ASSERT_TRUE(step.has_value());
    const float dx = 20.0f - 9.0f, dy = 12.0f - 10.0f;  // to (2, 1)'s centre
    const float len = std::hypot(dx, dy);
    EXPECT_FLOAT_EQ(step->x, dx / len);
    EXPECT_FLOAT_EQ(step->y, dy / len);
}

}  // namespace
}  // namespace pyrelle
