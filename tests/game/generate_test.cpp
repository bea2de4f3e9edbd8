#include "game/generate.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

namespace pyrelle {
namespace {

struct DepthRow {
    std::uint32_t depth;
    std::int32_t width, height;
    std::size_t lanterns, shades, moths;
    bool companion;
    std::string banner;
    Biome biome;
};

const DepthRow kDepthTable[] = {
    {0, 56, 36, 2, 0, 0, false, "Allume les lanternes", Biome::Grotte},
    {1, 64, 41, 3, 0, 0, false, "Allume les lanternes", Biome::Grotte},
    {2, 72, 46, 4, 1, 0, true, "Espace : un éclat de lumière fait fuir les ombres", Biome::Grotte},
    {3, 80, 51, 5, 2, 1, true, "5 lanternes dans le noir...", Biome::Grotte},
    {4, 88, 56, 6, 3, 2, true, "Les cristaux renvoient la lumière", Biome::Cristaux},
    {7, 112, 71, 6, 6, 5, true, "Les ombres craignent l'eau", Biome::Lac},
    {9, 128, 81, 6, 6, 5, true, "6 lanternes dans le noir...", Biome::Lac},
    {10, 130, 85, 6, 6, 5, false, "La Source dort, tout au fond...", Biome::Source},
    {11, 130, 85, 6, 6, 5, false, "6 lanternes dans le noir...", Biome::Source},
    {4294967295u, 130, 85, 6, 6, 5, false, "6 lanternes dans le noir...", Biome::Source},
};

TEST(GenerateLevel, FollowsTheDepthTable) {
    for (const DepthRow& row : kDepthTable) {
        for (std::uint64_t seed : {11ull, 0xC0FFEEull}) {
            const Level level = generate_level(row.depth, seed);
            SCOPED_TRACE(::testing::Message() << "depth " << row.depth << " seed " << seed);
            EXPECT_EQ(level.cave.width, row.width);
            EXPECT_EQ(level.cave.height, row.height);
            EXPECT_EQ(level.lanterns.size(), row.lanterns);
            EXPECT_EQ(level.shades.size(), row.shades);
            EXPECT_EQ(level.moths.size(), row.moths);
            EXPECT_EQ(level.lost_companion.has_value(), row.companion);
            ASSERT_TRUE(level.message.has_value());
            EXPECT_EQ(level.message->text, row.banner);
            EXPECT_EQ(level.message->time, 4.0f);
            EXPECT_EQ(level.biome, row.biome);
            EXPECT_EQ(level.depth, row.depth);
            EXPECT_EQ(level.seed, seed);
            EXPECT_EQ(level.energy, 1.0f);
            EXPECT_EQ(level.water_mask.cells.size(), level.cave.tiles.size());
            EXPECT_EQ(!level.crystals.empty(), row.biome == Biome::Cristaux);
            const bool any_water =
                std::count(level.water_mask.cells.begin(), level.water_mask.cells.end(), 1) > 0;
            EXPECT_EQ(any_water, row.biome == Biome::Lac);
        }
    }
}

std::vector<Cell> open_cells(const Cave& cave) {
    std::vector<Cell> cells;
    for (std::int32_t y = 0; y < cave.height; ++y)
        for (std::int32_t x = 0; x < cave.width; ++x)
            if (cave.tiles[cave.index(x, y)] != 1) cells.push_back({x, y});
    return cells;
}

TEST(GenerateLevel, OneOpenRegionOfAtLeastAThirdAndARoomyStart) {
    for (std::uint32_t depth : {1u, 5u, 8u, 10u}) {
        for (std::uint64_t seed = 100; seed < 104; ++seed) {
            const Level level = generate_level(depth, seed);
            const Cave& cave = level.cave;
            const std::vector<Cell> open = open_cells(cave);
            ASSERT_FALSE(open.empty());
            EXPECT_GE(static_cast<double>(open.size()), 0.32 * cave.width * cave.height);
            // Every open cell is reached from the first one: a single region.
            const DistanceField flood = distance_field(cave, open[0].x, open[0].y);
            for (const Cell& c : open)
                ASSERT_GE(flood.at(c.x, c.y), 0) << depth << " " << seed;
            // The two outer rings are rock.
            for (const Cell& c : open) {
                EXPECT_GE(c.x, 2);
                EXPECT_GE(c.y, 2);
                EXPECT_LT(c.x, cave.width - 2);
                EXPECT_LT(c.y, cave.height - 2);
            }
            // The start cell (the firefly's) has an open 5 x 5 block when any cell has one.
            bool any_roomy = false;
            for (const Cell& c : open)
                any_roomy = any_roomy || clearance(cave, c.x, c.y, 2) > 1;
            ASSERT_TRUE(any_roomy);
            const std::int32_t sx = static_cast<std::int32_t>(level.firefly_pos.x) / 8;
            const std::int32_t sy = static_cast<std::int32_t>(level.firefly_pos.y) / 8;
            EXPECT_EQ(level.firefly_pos.x, sx * 8 + 4.0f);
            EXPECT_EQ(level.firefly_pos.y, sy * 8 + 4.0f);
            for (std::int32_t dy = -2; dy <= 2; ++dy)
                for (std::int32_t dx = -2; dx <= 2; ++dx)
                    EXPECT_EQ(cave.tiles[cave.index(sx + dx, sy + dy)], 0);
            EXPECT_EQ(level.distance, distance_field(cave, sx, sy));
        }
    }
}

TEST(GenerateLevel, SameDepthAndSeedGiveTheSameLevel) {
    for (std::uint32_t depth : {1u, 3u, 5u, 8u, 12u}) {
        const Level a = generate_level(depth, 0xABCDEFull + depth);
        const Level b = generate_level(depth, 0xABCDEFull + depth);
        EXPECT_TRUE(a == b) << depth;
        EXPECT_EQ(a.rng.state, b.rng.state);
        const Level other = generate_level(depth, 0xABCDEFull + depth + 1);
        EXPECT_NE(a.cave.tiles, other.cave.tiles) << depth;
    }
}

std::int64_t squared(Cell a, Cell b) {
    return std::int64_t{a.x - b.x} * (a.x - b.x) + std::int64_t{a.y - b.y} * (a.y - b.y);
}

Cell cell_at(float x, float y) {
    return Cell{static_cast<std::int32_t>(x) / 8, static_cast<std::int32_t>(y) / 8};
}

// Start, exit, lanterns: the avoid list the crystals, lakes and companion respect.
std::vector<Cell> reserved_cells(const Level& level) {
    std::vector<Cell> cells = {cell_at(level.firefly_pos.x, level.firefly_pos.y),
                               cell_at(level.exit_pos.x, level.exit_pos.y)};
    for (const Lantern& l : level.lanterns)
        cells.push_back(cell_at(l.x, l.y));
    return cells;
}

TEST(GenerateLevel, CrystalsKeepApartAndAwayFromReservedCells) {
    std::size_t total = 0;
    for (std::uint32_t depth : {4u, 5u, 6u}) {
        for (std::uint64_t seed = 1; seed <= 3; ++seed) {
            const Level level = generate_level(depth, seed);
            const std::vector<Cell> reserved = reserved_cells(level);
            std::vector<Cell> cells;
            for (const Crystal& c : level.crystals) {
                // Pushed 2.5 px from the cell centre toward its rock, which it touches.
                const float cx = c.x - c.dx * 2.5f, cy = c.y - c.dy * 2.5f;
                const Cell cell = cell_at(cx, cy);
                EXPECT_EQ(cx, cell.x * 8 + 4.0f);
                EXPECT_EQ(cy, cell.y * 8 + 4.0f);
                EXPECT_FALSE(is_open(level.cave, cell.x + static_cast<std::int32_t>(c.dx),
                                     cell.y + static_cast<std::int32_t>(c.dy)));
                for (const Cell& r : reserved)
                    EXPECT_GE(squared(cell, r), 10);
                for (const Cell& other : cells)
                    EXPECT_GE(squared(cell, other), 16);
                cells.push_back(cell);
            }
            const std::size_t target = open_cells(level.cave).size() / 45;
            EXPECT_LE(level.crystals.size(), target);
            total += level.crystals.size();
        }
    }
    EXPECT_GT(total, 0u);
}

TEST(GenerateLevel, LakesStayOnOpenCellsAwayFromReservedCells) {
    for (std::uint32_t depth : {7u, 8u, 9u}) {
        for (std::uint64_t seed = 1; seed <= 3; ++seed) {
            const Level level = generate_level(depth, seed);
            const std::vector<Cell> reserved = reserved_cells(level);
            std::size_t lake_cells = 0;
            for (std::int32_t y = 0; y < level.cave.height; ++y) {
                for (std::int32_t x = 0; x < level.cave.width; ++x) {
                    if (level.water_mask.cells[level.cave.index(x, y)] == 0) continue;
                    ++lake_cells;
                    EXPECT_TRUE(is_open(level.cave, x, y));
                    for (const Cell& r : reserved)
                        EXPECT_GE(squared({x, y}, r), 10);
                }
            }
            EXPECT_GT(lake_cells, 0u);
            // Shades and the companion wait on dry land.
            for (const Shade& s : level.shades) {
                const Cell c = cell_at(s.x, s.y);
                EXPECT_EQ(water_level(level.cave, level.water_mask, c.x, c.y), 0.0f);
            }
            ASSERT_TRUE(level.lost_companion.has_value());
            const Cell lc = cell_at(level.lost_companion->x, level.lost_companion->y);
            EXPECT_EQ(water_level(level.cave, level.water_mask, lc.x, lc.y), 0.0f);
        }
    }
}

TEST(GenerateLevel, EachLanternGoesToTheClearCellFarthestFromTheReservedOnes) {
    for (std::uint32_t depth : {1u, 3u, 5u, 10u}) {
        for (std::uint64_t seed : {5ull, 77ull, 1234ull}) {
            const Level level = generate_level(depth, seed);
            std::vector<Cell> clear;
            for (const Cell& c : open_cells(level.cave))
                if (clearance(level.cave, c.x, c.y, 1) > 0) clear.push_back(c);
            std::vector<Cell> reserved = {cell_at(level.firefly_pos.x, level.firefly_pos.y),
                                          cell_at(level.exit_pos.x, level.exit_pos.y)};
            ASSERT_EQ(level.lanterns.size(), depth < 4 ? depth + 2 : 6u);
            for (const Lantern& lantern : level.lanterns) {
                // The smallest squared distance to the reserved cells, largest over the
                // clear cells; the later cell on ties.
                Cell want = clear.front();
                std::int64_t want_gap = -1;
                for (const Cell& c : clear) {
                    std::int64_t gap = std::numeric_limits<std::int64_t>::max();
                    for (const Cell& r : reserved)
                        gap = std::min<std::int64_t>(gap, squared(c, r));
                    if (gap >= want_gap) want = c, want_gap = gap;
                }
                EXPECT_EQ(cell_at(lantern.x, lantern.y), want) << depth << " " << seed;
                reserved.push_back(want);
            }
        }
    }
}

// Replays the placement draws from the level's contents: every pick must be the index
// of the placed cell in its candidate list, and the stream must end where the level's does.
class DrawReplay {
  public:
    explicit DrawReplay(std::uint64_t seed) : rng_(Rng::seeded(seed ^ 0x5EED1A7Eu)) {}

    void expect_pick(const std::vector<Cell>& list, Cell placed, const char* what) {
        const std::int32_t i = rng_.range(0, static_cast<std::int32_t>(list.size()));
        EXPECT_EQ(list[static_cast<std::size_t>(i)], placed) << what;
    }
    float f32() { return rng_.next_f32(); }
    const Rng& rng() const { return rng_; }

  private:
    Rng rng_;
};

TEST(GenerateLevel, PlacementDrawsComeInOrderAndLeaveTheStreamToTheLevel) {
    for (std::uint32_t depth : {1u, 2u, 3u, 10u}) {
        for (std::uint64_t seed : {5ull, 77ull}) {
            SCOPED_TRACE(::testing::Message() << "depth " << depth << " seed " << seed);
            const Level level = generate_level(depth, seed);
            const Cave& cave = level.cave;
            std::vector<Cell> open, roomy, clear;
            for (const Cell& c : open_cells(cave)) {
                open.push_back(c);
                if (clearance(cave, c.x, c.y, 2) > 1) roomy.push_back(c);
                if (clearance(cave, c.x, c.y, 1) > 0) clear.push_back(c);
            }
            DrawReplay replay(seed);
            const Cell start = cell_at(level.firefly_pos.x, level.firefly_pos.y);
            replay.expect_pick(roomy, start, "start");
            const DistanceField d = distance_field(cave, start.x, start.y);

            // The exit is the farthest clear cell, the last one on ties.
            const Cell exit = cell_at(level.exit_pos.x, level.exit_pos.y);
            for (const Cell& c : clear) {
                const bool later = c.y > exit.y || (c.y == exit.y && c.x > exit.x);
                EXPECT_TRUE(later ? d.at(c.x, c.y) < d.at(exit.x, exit.y)
                                  : d.at(c.x, c.y) <= d.at(exit.x, exit.y));
            }

            std::vector<Cell> pollen_cells;
            for (const Cell& c : open)
                if (d.at(c.x, c.y) > 4) pollen_cells.push_back(c);
            const std::size_t pollen_count = open.size() / (std::min(depth, 6u) * 8 + 30);
            ASSERT_EQ(level.pollen.size(), pollen_count);
            for (const PollenGrain& g : level.pollen) {
                // The jitter stays within 2 px of the centre, so the grain is in its cell.
                const Cell picked = cell_at(g.x, g.y);
                replay.expect_pick(pollen_cells, picked, "pollen");
                const float jx = replay.f32() * 4.0f - 2.0f;
                const float jy = replay.f32() * 4.0f - 2.0f;
                const float phase = replay.f32() * 6.28f;
                EXPECT_EQ(g.x, picked.x * 8 + 4.0f + jx);
                EXPECT_EQ(g.y, picked.y * 8 + 4.0f + jy);
                EXPECT_EQ(g.phase, phase);
                EXPECT_TRUE(g.present);
            }
            std::int32_t m = -1;
            for (const Cell& c : open)
                m = std::max(m, d.at(c.x, c.y));
            if (depth >= 2 && depth <= 9) {
                ASSERT_TRUE(level.lost_companion.has_value());
                const std::vector<Cell> reserved = reserved_cells(level);
                std::vector<Cell> first, fallback;
                for (const Cell& c : clear) {
                    const std::int32_t v = d.at(c.x, c.y);
                    if (water_level(cave, level.water_mask, c.x, c.y) != 0.0f) continue;
                    bool far = true;
                    for (const Cell& r : reserved)
                        far = far && squared(c, r) > 64;
                    if (m * 35 / 100 < v && v < m * 75 / 100 && far) first.push_back(c);
                    if (v > m / 3) fallback.push_back(c);
                }
                const Cell lc = cell_at(level.lost_companion->x, level.lost_companion->y);
                replay.expect_pick(first.empty() ? fallback : first, lc, "companion");
                EXPECT_EQ(level.lost_companion->heading, replay.f32() * 6.28f);
            }
            std::vector<Cell> shade_cells;
            for (const Cell& c : clear)
                if (d.at(c.x, c.y) > std::min(m / 2, 30)) shade_cells.push_back(c);
            for (const Shade& s : level.shades) {
                replay.expect_pick(shade_cells, cell_at(s.x, s.y), "shade");
                EXPECT_EQ(s.t, replay.f32() * 6.28f);
                EXPECT_EQ(s.state, ShadeState::Wander);
                EXPECT_EQ(s.vx, 0.0f);
            }
            std::vector<Cell> moth_cells;
            for (const Cell& c : open)
                if (d.at(c.x, c.y) > 15) moth_cells.push_back(c);
            for (const Moth& mo : level.moths) {
                replay.expect_pick(moth_cells, cell_at(mo.x, mo.y), "moth");
                const float t = replay.f32() * 6.2831855f;
                EXPECT_EQ(mo.t, t);
                EXPECT_EQ(mo.orbit_dir, t > 3.14f ? 1.0f : -1.0f);
            }
            EXPECT_EQ(level.rng, replay.rng());
        }
    }
}

}  // namespace
}  // namespace pyrelle
