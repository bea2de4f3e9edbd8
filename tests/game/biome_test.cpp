#include "game/biome.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "game/fixtures.hpp"

namespace pyrelle {
namespace {

using fixtures::cave_from;

TEST(Biome, FollowsDepthBands) {
    struct Case {
        std::uint32_t depth;
        Biome want;
    };
    const Case cases[] = {{0, Biome::Grotte},   {1, Biome::Grotte},
                          {3, Biome::Grotte},   {4, Biome::Cristaux},
                          {6, Biome::Cristaux}, {7, Biome::Lac},
                          {9, Biome::Lac},      {10, Biome::Source},
                          {11, Biome::Source},  {4294967295u, Biome::Source}};
    for (const Case& c : cases)
        EXPECT_EQ(biome_of_depth(c.depth), c.want) << c.depth;
}

TEST(Biome, TableEntries) {
    EXPECT_EQ(biome_name(Biome::Grotte), "La Grotte");
    EXPECT_EQ(biome_name(Biome::Source), "La Source");
    EXPECT_EQ(biome_hint(Biome::Lac), "Les ombres craignent l'eau");
    EXPECT_EQ(biome_hint(Biome::Cristaux), "Les cristaux renvoient la lumi\xC3\xA8re");
    EXPECT_EQ(rock_colours(Biome::Cristaux)[2], 0x8296C4u);
    EXPECT_EQ(rock_colours(Biome::Source)[4], 0x544C46u);
    EXPECT_EQ(ambient_light(Biome::Lac).g, 0.045f);
    EXPECT_EQ(ambient_light(Biome::Grotte).b, 0.06f);
}

// Counts the draws between two generator states (up to a limit).
int draws_between(Rng before, const Rng& after) {
    for (int n = 0; n < 10000; ++n) {
        if (before == after) return n;
        before.next_u64();
    }
    return -1;
}

// The side a crystal clings to, read off the drawing: '#' or the edge is rock.
Vec2 expected_side(const std::vector<std::string>& rows, int x, int y) {
    auto rock = [&](int cx, int cy) {
        return cy < 0 || cy >= static_cast<int>(rows.size()) || cx < 0 ||
               cx >= static_cast<int>(rows[0].size()) || rows[cy][cx] == '#';
    };
    if (rock(x, y + 1)) return {0, 1};
    if (rock(x, y - 1)) return {0, -1};
    if (rock(x + 1, y)) return {1, 0};
    if (rock(x - 1, y)) return {-1, 0};
    return {0, 0};
}

TEST(PlaceCrystals, FaceTheFirstRockSideBelowAboveRightLeft) {
    const std::vector<std::vector<std::string>> drawings = {
        {"#######", "#.....#", "#######"},  // rock above and below: always down
        {"##########", "#...#....#", "#.#......#", "#....##..#", "#........#", "##########"},
        {".#.", "...", "...", "...", ".#."},  // the grid edge counts as rock
    };
    for (const auto& rows : drawings) {
        const Cave cave = cave_from(rows);
        for (std::uint64_t seed = 1; seed <= 4; ++seed) {
            Rng rng = Rng::seeded(seed);
            const auto crystals = place_crystals(cave, rng, {}, 40);
            ASSERT_FALSE(crystals.empty());
            for (const Crystal& c : crystals) {
                const float cx = c.x - c.dx * 2.5f, cy = c.y - c.dy * 2.5f;
                const int x = static_cast<int>(cx) / 8, y = static_cast<int>(cy) / 8;
                ASSERT_EQ(cx, x * 8 + 4.0f);
                ASSERT_EQ(cy, y * 8 + 4.0f);
                const Vec2 want = expected_side(rows, x, y);
                EXPECT_EQ(c.dx, want.x) << rows[1] << " " << x << "," << y;
                EXPECT_EQ(c.dy, want.y) << rows[1] << " " << x << "," << y;
                EXPECT_EQ(c.glow, 0.0f);
                EXPECT_FALSE(c.lit);
            }
        }
    }
}

TEST(PlaceCrystals, RejectedAttemptsStillCountAndNothingIsDrawnWithoutCandidates) {
    // A single candidate cell: the first attempt places it, the other 12 * 2 - 1 attempts
    // draw it again and are rejected for being too close.
    const Cave one = cave_from({
        "###",
        "#.#",
        "###",
    });
    Rng rng = Rng::seeded(21);
    const Rng before = rng;
    const auto crystals = place_crystals(one, rng, {}, 2);
    EXPECT_EQ(crystals.size(), 1u);
    EXPECT_EQ(draws_between(before, rng), 24);

    // Target 0 or an avoid point that rules out every cell: no draw at all.
    Rng untouched = Rng::seeded(21);
    EXPECT_TRUE(place_crystals(one, untouched, {}, 0).empty());
    EXPECT_TRUE(place_crystals(one, untouched, {{2, 2}}, 3).empty());  // squared distance 2
    EXPECT_EQ(untouched, before);
}

TEST(PlaceCrystals, StayFourCellsApart) {
    const Cave cave = cave_from({
        "....................",
        "....................",
        "....................",
        "....................",
        "....................",
        "....................",
    });
    Rng rng = Rng::seeded(4);
    const auto crystals = place_crystals(cave, rng, {{10, 3}}, 30);
    ASSERT_GE(crystals.size(), 3u);
    for (std::size_t i = 0; i < crystals.size(); ++i) {
        const float ax = crystals[i].x - crystals[i].dx * 2.5f;
        const float ay = crystals[i].y - crystals[i].dy * 2.5f;
        const float rx = (ax - 4) / 8 - 10, ry = (ay - 4) / 8 - 3;
        EXPECT_GE(rx * rx + ry * ry, 10.0f);
        for (std::size_t j = 0; j < i; ++j) {
            const float dx = (ax - crystals[j].x + crystals[j].dx * 2.5f) / 8;
            const float dy = (ay - crystals[j].y + crystals[j].dy * 2.5f) / 8;
            EXPECT_GE(dx * dx + dy * dy, 16.0f);
        }
    }
}

TEST(PlaceLakes, OneLakeMatchesTheWobblyCircle) {
    std::vector<std::string> rows(9, std::string(12, '#'));
    for (int y = 2; y <= 6; ++y)
        for (int x = 2; x <= 10; ++x)
            rows[y][x] = '.';
    rows[4][9] = '#';  // rock inside the reach: never water
    const Cave cave = cave_from(rows);
    Rng rng = Rng::seeded(1234);
    Rng replay = rng;
    const std::vector<Cell> avoid = {{10, 2}};
    const WaterMask mask = place_lakes(cave, rng, avoid, 1);
    // A 5 x 5 open block fits around (4, 4), (5, 4) and (6, 4) only (the rock at (9, 4)
    // stops the rest), and the avoid point leaves only (4, 4): 6^2 + 2^2 >= 37.
    const std::int32_t pick = replay.range(0, 1);
    EXPECT_EQ(pick, 0);
    const float r = replay.next_f32() * 2.5f + 2.0f;
    EXPECT_EQ(rng, replay);
    // r - 0.5 >= 1.5 covers at least the 3 x 3 block around the centre.
    EXPECT_GE(std::count(mask.cells.begin(), mask.cells.end(), 1), 9);
    for (std::int32_t y = 0; y < 9; ++y) {
        for (std::int32_t x = 0; x < 12; ++x) {
            const double dist = std::hypot(x - 4.0, y - 4.0);
            const double wobble = static_cast<double>(cell_hash(x, y, 0x983BB0C1u) % 100) / 100;
            const bool avoided = (x - 10) * (x - 10) + (y - 2) * (y - 2) < 10;
            const bool want = rows[y][x] == '.' && !avoided && wobble - 0.5 + r >= dist;
            EXPECT_EQ(mask.cells[cave.index(x, y)], want ? 1 : 0) << x << "," << y;
        }
    }
}

TEST(PlaceLakes, NoCandidateOrNoLakeDrawsNothing) {
    const Cave cramped = cave_from({
        "......",
        "......",
        "......",
        "......",
    });
    Rng rng = Rng::seeded(9);
    const Rng before = rng;
    const WaterMask none = place_lakes(cramped, rng, {}, 4);  // no 5 x 5 block fits
    EXPECT_EQ(none.cells, std::vector<std::uint8_t>(24, 0));
    EXPECT_EQ(rng, before);
    const Cave roomy = cave_from({".....", ".....", ".....", ".....", "....."});
    const WaterMask zero = place_lakes(roomy, rng, {}, 0);
    EXPECT_EQ(zero.cells, std::vector<std::uint8_t>(25, 0));
    EXPECT_EQ(rng, before);
}

}  // namespace
}  // namespace pyrelle
