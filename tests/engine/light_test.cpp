#include "engine/light/light_map.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/light_reference.hpp"

namespace pyrelle {
namespace {

constexpr float kCaveCell = 8.0f;

struct TestCave {
    std::int32_t width = 0, height = 0;
    std::vector<std::uint8_t> tiles;

    CaveTiles view() const { return {tiles, width, height}; }
    void set(std::int32_t x, std::int32_t y, std::uint8_t t) {
        tiles[static_cast<std::size_t>(x + y * width)] = t;
    }
};

TestCave open_cave(std::int32_t w, std::int32_t h) {
    return {w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w * h), 0)};
}

// Rock blobs of random sizes over an open cave, sometimes with a rock border.
TestCave random_cave(std::mt19937& gen, std::int32_t w, std::int32_t h) {
    TestCave cave = open_cave(w, h);
    std::uniform_int_distribution<std::int32_t> x(0, w - 1), y(0, h - 1), size(0, 4);
    const int blobs = std::uniform_int_distribution<int>(0, w * h / 12)(gen);
    for (int i = 0; i < blobs; ++i) {
        const std::int32_t bx = x(gen), by = y(gen), bw = size(gen), bh = size(gen);
        for (std::int32_t yy = by; yy <= std::min(by + bh, h - 1); ++yy)
            for (std::int32_t xx = bx; xx <= std::min(bx + bw, w - 1); ++xx)
                cave.set(xx, yy, 1);
    }
    if (gen() % 2) {
        for (std::int32_t i = 0; i < w; ++i)
            cave.set(i, 0, 1), cave.set(i, h - 1, 1);
        for (std::int32_t i = 0; i < h; ++i)
            cave.set(0, i, 1), cave.set(w - 1, i, 1);
    }
    return cave;
}

// A cave like the game's: 45 % random rock smoothed five times by the 4-5 rule.
TestCave smoothed_cave(std::mt19937& gen, std::int32_t w, std::int32_t h) {
    TestCave cave = open_cave(w, h);
    std::uniform_real_distribution<float> u(0, 1);
    for (auto& t : cave.tiles)
        t = u(gen) < 0.45f;
    const auto rock = [&](const TestCave& c, std::int32_t x, std::int32_t y) {
        return x < 0 || y < 0 || x >= w || y >= h || c.tiles[std::size_t(x + y * w)] != 0;
    };
    for (int pass = 0; pass < 5; ++pass) {
        TestCave next = cave;
        for (std::int32_t y = 0; y < h; ++y)
            for (std::int32_t x = 0; x < w; ++x) {
                int n = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        n += (dx || dy) && rock(cave, x + dx, y + dy);
                if (n != 4) next.set(x, y, n > 4);
            }
        cave = next;
    }
    return cave;
}

LightSource source(float x, float y, float radius, float intensity, float r = 1.0f, float g = 1.0f,
                   float b = 1.0f) {
    return {x, y, radius, r, g, b, intensity};
}

std::uint32_t bits(float f) {
    return std::bit_cast<std::uint32_t>(f);
}

TEST(LightMap, GameGridSizeAndKernel) {
    const LightMap m = LightMap::create(320, 180, 2);
    EXPECT_EQ(m.gw, 169u);
    EXPECT_EQ(m.gh, 99u);
    EXPECT_EQ(m.light.size(), 169u * 99u);
    EXPECT_EQ(m.rock.size(), 169u * 99u);
    ASSERT_EQ(m.spread.size(), 36u);
    // Weights by squared distance, as listed for the glow.
    const struct {
        int d2;
        double w;
    } weights[] = {{1, 1.0},    {2, 0.8343}, {4, 0.6},    {5, 0.5056},
                   {8, 0.2686}, {9, 0.2},    {10, 0.1351}};
    int previous = -1000;
    for (const SpreadEntry& e : m.spread) {
        const int d2 = e.dx * e.dx + e.dy * e.dy;
        EXPECT_LE(d2, 12) << e.dx << "," << e.dy;
        EXPECT_GT(d2, 0);
        bool listed = false;
        for (const auto& w : weights)
            if (w.d2 == d2) {
                EXPECT_NEAR(e.weight, w.w, 5e-5) << e.dx << "," << e.dy;
                listed = true;
            }
        EXPECT_TRUE(listed) << e.dx << "," << e.dy;
        const int order = e.dy * 100 + e.dx;  // dy first, then dx, both ascending
        EXPECT_GT(order, previous);
        previous = order;
    }
}

TEST(LightMap, AmbientAloneTurnsWhiteIntoTheAmbientColour) {
    const TestCave cave = open_cave(60, 40);
    LightMap m = LightMap::create(320, 180, 2);
    m.compute({}, {0.035f, 0.03f, 0.06f}, cave.view(), 16, 16, kCaveCell);
    Canvas c(320, 180);
    std::fill(c.pixels.begin(), c.pixels.end(), 0xFFFFFFu);
    m.apply(c);
    for (std::uint32_t p : c.pixels)
        ASSERT_EQ(p, pack_rgb(8, 7, 15));  // 255 × ambient, truncated
}

TEST(LightMap, OpenRoomFallsOffToZeroAtTheRadius) {
    const TestCave cave = open_cave(80, 60);
    LightMap m = LightMap::create(320, 180, 2);
    const float sx = 200.0f, sy = 150.0f, radius = 60.0f;
    m.compute({source(sx, sy, radius, 1.5f, 1.0f, 0.5f, 0.25f)}, {}, cave.view(), 40, 60,
              kCaveCell);
    int lit = 0;
    for (std::uint32_t j = 0; j < m.gh; ++j) {
        for (std::uint32_t k = 0; k < m.gw; ++k) {
            // Cell centre in world pixels: the grid starts 8 pixels before the camera.
            const double cx = 40 - 8 + (k + 0.5) * 2, cy = 60 - 8 + (j + 0.5) * 2;
            const double d = std::hypot(cx - sx, cy - sy);
            const double f = d < radius ? std::pow(1 - (d / radius) * (d / radius), 2) : 0.0;
            const LightRgb& l = m.light[k + j * m.gw];
            ASSERT_NEAR(l.r, 1.5 * f, 1e-5) << k << "," << j;
            ASSERT_NEAR(l.g, 0.75 * f, 1e-5);
            ASSERT_NEAR(l.b, 0.375 * f, 1e-5);
            if (d >= radius) {
                ASSERT_EQ(l.r, 0.0f);
            }
            lit += l.r > 0;
        }
    }
    EXPECT_GT(lit, 2500);  // about π × 30² cells
}

TEST(LightMap, OneRockCellBlocksASourceCompletely) {
    TestCave cave = open_cave(40, 30);
    const LightSource s = source(84, 84, 80, 1.0f);  // centre of cave cell (10, 10)
    LightMap open = LightMap::create(320, 180, 2);
    open.compute({s}, {}, cave.view(), 0, 0, kCaveCell);
    cave.set(12, 10, 1);
    LightMap blocked = LightMap::create(320, 180, 2);
    blocked.compute({s}, {}, cave.view(), 0, 0, kCaveCell);
    // Light cells of cave cell (14, 10) on the row of the source: x 112..119, y 84..85.
    for (std::uint32_t k = (112 + 8) / 2; k < (120 + 8) / 2; ++k) {
        const std::uint32_t j = (84 + 8) / 2;
        EXPECT_GT(open.light[k + j * open.gw].r, 0.1f) << k;
        EXPECT_EQ(blocked.light[k + j * blocked.gw].r, 0.0f) << k;
    }
    // The rock cell itself only glows from its neighbours: never more than the brightest.
    EXPECT_EQ(blocked.rock[(96 + 8) / 2 + (84 + 8) / 2 * blocked.gw], 1);
}

TEST(LightMap, RockTakesTheWeightedCopyOfItsBrightestOpenNeighbour) {
    // Left half open, right half rock; a coloured source near the wall.
    TestCave cave = open_cave(50, 30);
    for (std::int32_t y = 0; y < 30; ++y)
        for (std::int32_t x = 25; x < 50; ++x)
            cave.set(x, y, 1);
    LightMap m = LightMap::create(320, 180, 2);
    m.compute({source(180, 100, 70, 1.0f, 1.0f, 0.6f, 0.2f)}, {}, cave.view(), 0, 0, kCaveCell);
    const auto at = [&](std::int32_t k, std::int32_t j) {
        return m.light[static_cast<std::size_t>(k + j * static_cast<std::int32_t>(m.gw))];
    };
    int faces = 0;
    // Rows and columns whose whole kernel lies inside the cave (world x, y >= 0).
    for (std::int32_t j = 7; j + 3 < static_cast<std::int32_t>(m.gh); ++j) {
        for (std::int32_t k = 7; k + 3 < static_cast<std::int32_t>(m.gw); ++k) {
            const std::int32_t world_x = -8 + k * 2 + 1;
            if (world_x < 200) {
                ASSERT_EQ(m.rock[k + j * m.gw], 0);
                continue;
            }
            ASSERT_EQ(m.rock[k + j * m.gw], 1);
            // Candidates by hand: open cells within the kernel lie 1, 2 or 3 columns left.
            double best = -1;
            LightRgb want{};
            for (int dy = -3; dy <= 3; ++dy)
                for (int dx = -3; dx <= 3; ++dx) {
                    if (dx * dx + dy * dy > 12 || (dx == 0 && dy == 0)) continue;
                    if (-8 + (k + dx) * 2 + 1 >= 200) continue;  // rock
                    const double w =
                        std::clamp(1 - (std::sqrt(double(dx * dx + dy * dy)) - 1) / 2.5, 0.0, 1.0);
                    const LightRgb l = at(k + dx, j + dy);
                    const double score = (double(l.r) + l.g + l.b) * w;
                    if (score > best)
                        best = score, want = {float(w * l.r), float(w * l.g), float(w * l.b)};
                }
            const LightRgb got = at(k, j);
            if (world_x > 206) {
                EXPECT_EQ(got.r, 0.0f) << "deep rock " << k << "," << j;  // no open cell in reach
                continue;
            }
            EXPECT_NEAR(got.r, want.r, 1e-5) << k << "," << j;
            EXPECT_NEAR(got.g, want.g, 1e-5);
            EXPECT_NEAR(got.b, want.b, 1e-5);
            faces += got.r > 0;
        }
    }
    EXPECT_GT(faces, 60);
}

TEST(LightMap, RockBetweenEquallyBrightNeighboursTakesTheFirstInScanOrder) {
    // Light cells the size of cave cells, laid on them: a rock cell between two open
    // cells, each lit by its own source alone (red first, green second in scan order).
    struct Case {
        std::vector<std::string> rows;
        float red_x, red_y, green_x, green_y, green_intensity;
        std::int32_t rock_x, rock_y;
        LightRgb want;
    };
    const Case cases[] = {
        {{"#####", "#.#.#", "#####"}, 12, 12, 28, 12, 1.0f, 2, 1, {1, 0, 0}},          // left first
        {{"###", "#.#", "###", "#.#", "###"}, 12, 12, 12, 28, 1.0f, 1, 2, {1, 0, 0}},  // above
        {{"#####", "#.#.#", "#####"}, 12, 12, 28, 12, 1.01f, 2, 1, {0, 1.01f, 0}},     // brighter
    };
    for (const Case& c : cases) {
        TestCave cave = open_cave(static_cast<std::int32_t>(c.rows[0].size()),
                                  static_cast<std::int32_t>(c.rows.size()));
        for (std::int32_t y = 0; y < cave.height; ++y)
            for (std::int32_t x = 0; x < cave.width; ++x)
                cave.set(x, y, c.rows[std::size_t(y)][std::size_t(x)] == '#');
        LightMap m = LightMap::create(40, 24, 8);
        m.compute({source(c.red_x, c.red_y, 6, 1.0f, 1, 0, 0),
                   source(c.green_x, c.green_y, 6, c.green_intensity, 0, 1, 0)},
                  {}, cave.view(), 32, 32, kCaveCell);  // light cell k lies on cave cell k
        const LightRgb got = m.light[std::size_t(c.rock_x) + std::size_t(c.rock_y) * m.gw];
        EXPECT_EQ(bits(got.r), bits(c.want.r)) << c.rows.size() << " " << c.green_intensity;
        EXPECT_EQ(bits(got.g), bits(c.want.g)) << c.rows.size() << " " << c.green_intensity;
        EXPECT_EQ(bits(got.b), bits(c.want.b)) << c.rows.size() << " " << c.green_intensity;
    }
}

TEST(LightMap, SampleInterpolatesBilinearly) {
    LightMap m = LightMap::create(40, 30, 2);
    for (std::uint32_t j = 0; j < m.gh; ++j)
        for (std::uint32_t k = 0; k < m.gw; ++k)
            m.light[k + j * m.gw] = {float(k) + 10.0f * float(j), float(k), 0.5f};
    // A plane is reproduced exactly by bilinear interpolation: value at (u, v) = u + 10 v.
    for (float px : {0.0f, 1.0f, 2.0f, 7.0f, 39.0f})
        for (float py : {0.0f, 3.0f, 29.0f}) {
            const double u = (px + 0.5) / 2 - 0.5 + 4, v = (py + 0.5) / 2 - 0.5 + 4;
            const LightRgb l = m.sample(px, py);
            EXPECT_NEAR(l.r, u + 10 * v, 1e-4) << px << "," << py;
            EXPECT_NEAR(l.g, u, 1e-5);
            EXPECT_EQ(l.b, 0.5f);
        }
}

// Uniform light L over the whole grid: each pixel's factor follows from the rule alone.
std::uint32_t expected_channel(std::uint32_t old, double light, double ambient, int x, int y) {
    static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    const double t = (bayer[y % 4][x % 4] + 0.5) / 16;
    const double level = std::max(std::floor(std::min(light, 1.8) * 7 + t) / 7, 0.0);
    return static_cast<std::uint32_t>(std::clamp(old * (level + ambient), 0.0, 255.0));
}

TEST(LightMap, ApplyPosterisesWithTheDitherAndCapsAt1Point8) {
    const struct {
        float light;
        float ambient;
        std::uint32_t colour;
    } cases[] = {
        {0.0f, 0.05f, 0xFFFFFF}, {0.5f, 0.0f, 0x648CC8},  {0.3f, 0.1f, 0xFFFFFF},
        {1.0f, 0.0f, 0x808080},  {1.8f, 0.0f, 0x646464},  {2.0f, 0.0f, 0x646464},
        {9.0f, 0.2f, 0x646464},  {-0.5f, 0.1f, 0xC8C8C8},
    };
    for (const auto& k : cases) {
        LightMap m = LightMap::create(32, 16, 2);
        const TestCave cave = open_cave(10, 10);
        m.compute({}, {k.ambient, k.ambient, k.ambient}, cave.view(), 0, 0, kCaveCell);
        std::fill(m.light.begin(), m.light.end(), LightRgb{k.light, k.light, k.light});
        Canvas c(32, 16);
        std::fill(c.pixels.begin(), c.pixels.end(), k.colour | 0xAB000000u);
        m.apply(c);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 32; ++x) {
                const std::uint32_t want =
                    pack_rgb(expected_channel(red_of(k.colour), k.light, k.ambient, x, y),
                             expected_channel(green_of(k.colour), k.light, k.ambient, x, y),
                             expected_channel(blue_of(k.colour), k.light, k.ambient, x, y));
                ASSERT_EQ(c.get(x, y), want) << k.light << " at " << x << "," << y;
            }
    }
    // The cap by hand: 100 × 12/7 = 171 where the dither offset is below 0.4, else 100 × 13/7.
    LightMap m = LightMap::create(8, 8, 2);
    std::fill(m.light.begin(), m.light.end(), LightRgb{5.0f, 5.0f, 5.0f});
    Canvas c(4, 1);
    std::fill(c.pixels.begin(), c.pixels.end(), 0x646464u);
    m.apply(c);
    EXPECT_EQ(c.get(0, 0), 0xABABABu);  // B = 0: t = 0.03125
    EXPECT_EQ(c.get(1, 0), 0xB9B9B9u);  // B = 8: t = 0.53125
}

// The fast light map against the literal one on random caves, cameras and lights.
void compare_with_reference(std::uint32_t seed, std::uint32_t view_w, std::uint32_t view_h,
                            std::uint32_t cell, int max_lights, float cave_cell = kCaveCell) {
    std::mt19937 gen(seed);
    const auto uniform = [&](float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(gen);
    };
    const std::int32_t cw = std::uniform_int_distribution<std::int32_t>(20, 90)(gen);
    const std::int32_t ch = std::uniform_int_distribution<std::int32_t>(15, 60)(gen);
    const TestCave cave = seed % 2 ? random_cave(gen, cw, ch) : smoothed_cave(gen, cw, ch);
    const float cam_x = std::floor(uniform(-60.0f, float(cw) * 8 - float(view_w) + 60));
    const float cam_y = std::floor(uniform(-60.0f, float(ch) * 8 - float(view_h) + 60));
    std::vector<LightSource> lights;
    const int n = std::uniform_int_distribution<int>(0, max_lights)(gen);
    for (int i = 0; i < n; ++i) {
        float x = uniform(cam_x - 150, cam_x + float(view_w) + 150);
        float y = uniform(cam_y - 150, cam_y + float(view_h) + 150);
        switch (gen() % 4) {  // exact cell borders and light-cell centres make ties
            case 0:
                x = std::round(x / 8) * 8;
                break;
            case 1:
                y = std::round(y / 8) * 8 + 0.5f;
                x = std::floor(x) + 1.0f;
                break;
            default:
                break;
        }
        const float radius = gen() % 5 == 0 ? uniform(100, 170) : uniform(3, 90);
        const float intensity = gen() % 10 == 0 ? -uniform(0, 1) : uniform(0, 2);
        lights.push_back({x, y, radius, uniform(0, 1), uniform(0, 1), uniform(0, 1), intensity});
    }
    const LightRgb ambient{uniform(0, 0.1f), uniform(0, 0.1f), uniform(0, 0.1f)};
    // In one scene of three, a few lights of NaN or infinite strength or colour, which the
    // game never makes: the map must still be the literal one. They are drawn from a stream
    // of their own, so the scenes stay what they were without them.
    std::mt19937 odd_gen(seed ^ 0x9E3779B9u);
    if (!lights.empty() && odd_gen() % 3 == 0) {
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float inf = std::numeric_limits<float>::infinity();
        const struct {
            float intensity, red;
        } odd[] = {{nan, 1.0f}, {inf, 1.0f}, {-inf, 1.0f}, {0.0f, inf}, {1.0f, nan}};
        for (std::uint32_t n = odd_gen() % 3; n < 3; ++n) {
            LightSource& l = lights[odd_gen() % lights.size()];
            const auto& o = odd[odd_gen() % std::size(odd)];
            l.intensity = o.intensity;
            l.r = o.red;
        }
    }

    LightMap fast = LightMap::create(view_w, view_h, cell);
    // Two frames through the same map: the second must not see the first's leftovers.
    fast.compute({source(cam_x + 50, cam_y + 50, 120, 3)}, {}, cave.view(), cam_x, cam_y,
                 cave_cell);
    fast.compute(lights, ambient, cave.view(), cam_x, cam_y, cave_cell);
    const reference::Light ref = reference::compute(view_w, view_h, cell, lights, ambient,
                                                    cave.view(), cam_x, cam_y, cave_cell);
    ASSERT_EQ(fast.rock, ref.rock) << "seed " << seed;
    for (std::size_t i = 0; i < ref.light.size(); ++i) {
        ASSERT_EQ(bits(fast.light[i].r), bits(ref.light[i].r)) << "seed " << seed << " cell " << i;
        ASSERT_EQ(bits(fast.light[i].g), bits(ref.light[i].g)) << "seed " << seed << " cell " << i;
        ASSERT_EQ(bits(fast.light[i].b), bits(ref.light[i].b)) << "seed " << seed << " cell " << i;
    }
    Canvas a(view_w, view_h);
    for (auto& p : a.pixels)
        p = gen();
    Canvas b = a;
    Canvas four = a;
    fast.apply(a);
    fast.apply(four, LightMap::PixelLanes::Four);
    reference::apply(ref, b);
    ASSERT_EQ(a.pixels, b.pixels) << "seed " << seed;
    ASSERT_EQ(four.pixels, b.pixels) << "seed " << seed << ", four lanes";
}

TEST(LightMap, FastMatchesTheLiteralMapOnRandomCaves) {
    for (std::uint32_t seed = 1; seed <= 300; ++seed)
        compare_with_reference(seed, 320, 180, 2, 30);
}

TEST(LightMap, FastMatchesTheLiteralMapWithHugeAndFarLights) {
    // Radii beyond the shortcuts' reach and sources outside the table around the view walk
    // every light cell; the answers must not change.
    for (std::uint32_t seed = 5000; seed < 5012; ++seed) {
        std::mt19937 gen(seed);
        const TestCave cave = smoothed_cave(gen, 120, 80);
        const float cam_x = 300, cam_y = 200;
        // Each light on the open cell nearest to where it is wanted.
        const auto open_near = [&](float x, float y) {
            float best_x = x, best_y = y, best = 1e30f;
            for (std::int32_t cy = 0; cy < cave.height; ++cy)
                for (std::int32_t cx = 0; cx < cave.width; ++cx) {
                    const float px = float(cx) * 8 + 4.5f, py = float(cy) * 8 + 3.5f;
                    const float d = (px - x) * (px - x) + (py - y) * (py - y);
                    if (cave.tiles[std::size_t(cx + cy * cave.width)] == 0 && d < best)
                        best = d, best_x = px, best_y = py;
                }
            return std::pair{best_x, best_y};
        };
        const auto [ax, ay] = open_near(cam_x + 160, cam_y + 90);
        const auto [bx, by] = open_near(cam_x - 380, cam_y + 40);
        const auto [cx, cy] = open_near(cam_x + 640, cam_y + 60);  // past the table's edge
        std::vector<LightSource> lights = {
            source(ax, ay, 700.0f, 0.8f, 1.0f, 0.5f, 0.2f),
            source(bx, by, 520.0f, 1.2f),
            source(cx, cy, 450.0f, 0.9f, 0.3f, 0.6f, 1.0f),
        };
        LightMap fast = LightMap::create(320, 180, 2);
        fast.compute(lights, {0.01f, 0.02f, 0.03f}, cave.view(), cam_x, cam_y, kCaveCell);
        const reference::Light ref = reference::compute(320, 180, 2, lights, {0.01f, 0.02f, 0.03f},
                                                        cave.view(), cam_x, cam_y, kCaveCell);
        int lit = 0;
        for (std::size_t i = 0; i < ref.light.size(); ++i) {
            ASSERT_EQ(bits(fast.light[i].r), bits(ref.light[i].r)) << seed << " cell " << i;
            ASSERT_EQ(bits(fast.light[i].b), bits(ref.light[i].b)) << seed << " cell " << i;
            lit += ref.light[i].r > 0;
        }
        EXPECT_GT(lit, 1000) << seed;  // the scene is not all in shadow
    }
}

// Every light cell of the fast map holds the literal map's floats, bit for bit.
::testing::AssertionResult same_light(const LightMap& fast, const reference::Light& ref) {
    for (std::size_t i = 0; i < ref.light.size(); ++i) {
        const LightRgb& a = fast.light[i];
        const LightRgb& b = ref.light[i];
        if (bits(a.r) != bits(b.r) || bits(a.g) != bits(b.g) || bits(a.b) != bits(b.b))
            return ::testing::AssertionFailure()
                   << "cell " << i << ": " << a.r << " " << a.g << " " << a.b << " instead of "
                   << b.r << " " << b.g << " " << b.b;
    }
    return ::testing::AssertionSuccess();
}

// A cave far larger than the game's, lit far out: past 2^8 cave cells the shortcuts'
// rounding argument no longer holds (about 2^19 cells out, with cave cells of 6 or 7.5
// pixels, they would answer differently from the walk), and the light must not change.
TEST(LightMap, FastMatchesTheLiteralMapFarOutInAHugeCave) {
    constexpr std::int32_t kFar = 1 << 19;  // rock before the open strip
    constexpr std::int32_t kStrip = 120;
    TestCave cave = open_cave(kFar + kStrip, 30);
    std::fill(cave.tiles.begin(), cave.tiles.end(), std::uint8_t{1});
    for (std::uint32_t seed = 1; seed <= 10; ++seed) {
        std::mt19937 gen(seed);
        const auto uniform = [&](float lo, float hi) {
            return std::uniform_real_distribution<float>(lo, hi)(gen);
        };
        for (std::int32_t y = 1; y + 1 < cave.height; ++y)
            for (std::int32_t x = kFar; x + 1 < cave.width; ++x)
                cave.set(x, y, uniform(0, 1) < 0.25f);
        const float cave_cell = seed % 2 ? 7.5f : 6.0f;
        const float cam_x = std::floor((float(kFar) + uniform(10, 50)) * cave_cell);
        const float cam_y = std::floor(uniform(0, 10) * cave_cell);
        std::vector<LightSource> lights;
        for (int i = 0; i < 10; ++i)
            lights.push_back(
                source(cam_x + uniform(-30, 290), cam_y + uniform(0, 180), uniform(20, 170), 1.0f));
        LightMap fast = LightMap::create(320, 180, 2);
        fast.compute(lights, {}, cave.view(), cam_x, cam_y, cave_cell);
        const reference::Light ref =
            reference::compute(320, 180, 2, lights, {}, cave.view(), cam_x, cam_y, cave_cell);
        ASSERT_TRUE(same_light(fast, ref)) << "seed " << seed;
        EXPECT_GT(std::count_if(ref.light.begin(), ref.light.end(),
                                [](const LightRgb& l) { return l.r > 0.0f; }),
                  1000)
            << "seed " << seed;  // the strip is lit, not all rock or shadow
    }
}

TEST(LightMap, FastMatchesTheLiteralMapAtOtherSizes) {
    for (std::uint32_t seed = 1000; seed < 1200; ++seed)
        compare_with_reference(seed, 96 + seed % 7, 64 + seed % 5, 1 + seed % 3, 12,
                               seed % 4 == 0   ? 6.0f
                               : seed % 4 == 1 ? 7.5f
                                               : kCaveCell);
}

// Frames through one map, as in play: lights that stay put and flicker (what they reach is
// remembered), lights that move every other frame, a burst at one of them, a camera that
// wanders by odd and even pixels, a radius that grows, a rock cell that appears in the
// cave and goes again. Every frame must equal the literal map made from nothing.
TEST(LightMap, FramesInPlayMatchTheLiteralMap) {
    for (std::uint32_t seed = 1; seed <= 12; ++seed) {
        std::mt19937 gen(seed);
        const auto uniform = [&](float lo, float hi) {
            return std::uniform_real_distribution<float>(lo, hi)(gen);
        };
        TestCave cave = seed % 3 ? smoothed_cave(gen, 90, 60) : random_cave(gen, 90, 60);
        float cam_x = 200, cam_y = 150;
        const auto open_spot = [&] {
            for (int tries = 0; tries < 1000; ++tries) {
                const float x = uniform(cam_x - 40, cam_x + 360),
                            y = uniform(cam_y - 40, cam_y + 220);
                if (cave.view().open(std::int64_t(x / 8), std::int64_t(y / 8)))
                    return std::pair{x, y};
            }
            return std::pair{cam_x + 160, cam_y + 90};
        };
        std::vector<LightSource> lights;
        for (int i = 0; i < 7; ++i) {
            auto [x, y] = open_spot();
            if (i == 1) x = std::round(x / 8) * 8;  // on a cell border
            if (i == 2) y = std::floor(y) + 1.0f;   // on a light cell centre's row
            const float radius = i == 6 ? 300.0f : uniform(20, 170);
            lights.push_back(source(x, y, radius, uniform(0.2f, 1.5f), uniform(0, 1), 1, 0.5f));
        }
        const std::size_t moving = lights.size();
        for (int i = 0; i < 2; ++i) {
            auto [x, y] = open_spot();
            lights.push_back(source(x, y, uniform(20, 100), 1.0f, 1, uniform(0, 1), 1));
        }
        // The rock cell that comes and goes lies between the first light and the view.
        const std::int32_t flip_x = std::int32_t(lights[0].x / 8) + 2;
        const std::int32_t flip_y = std::int32_t(lights[0].y / 8);
        LightMap fast = LightMap::create(320, 180, 2);
        for (int frame = 0; frame < 24; ++frame) {
            if (frame % 2 == 1) {  // the last light only bobs up and down
                lights[moving].x += uniform(-3, 3);
                for (std::size_t i = moving; i < lights.size(); ++i)
                    lights[i].y += uniform(-3, 3);
            }
            if (frame == 8) lights[3].radius += 40.0f;
            for (std::size_t i = 0; i < moving; ++i)  // lanterns flicker
                lights[i].intensity *= 1.0f + 0.05f * std::sin(float(frame + int(i)));
            // A burst at the first moving light for a while: the same point, another radius.
            std::vector<LightSource> frame_lights = lights;
            if (frame >= 5 && frame < 15) {
                LightSource burst = lights[moving];
                burst.radius *= 0.6f;
                frame_lights.push_back(burst);
            }
            if ((frame == 12 || frame == 17) && flip_x < cave.width)
                cave.set(flip_x, flip_y, cave.tiles[std::size_t(flip_x + flip_y * cave.width)] ^ 1);
            cam_x += float(std::uniform_int_distribution<int>(-3, 3)(gen));
            cam_y += float(std::uniform_int_distribution<int>(-2, 2)(gen));
            fast.compute(frame_lights, {}, cave.view(), cam_x, cam_y, kCaveCell);
            const reference::Light ref = reference::compute(320, 180, 2, frame_lights, {},
                                                            cave.view(), cam_x, cam_y, kCaveCell);
            for (std::size_t i = 0; i < ref.light.size(); ++i) {
                ASSERT_EQ(bits(fast.light[i].r), bits(ref.light[i].r))
                    << "seed " << seed << " frame " << frame << " cell " << i;
                ASSERT_EQ(bits(fast.light[i].g), bits(ref.light[i].g))
                    << "seed " << seed << " frame " << frame << " cell " << i;
            }
        }
    }
}

TEST(LightMap, CellsInsideTheGridReadOnlyTheGrid) {
    // The whole 320 × 180 view samples inside the 169 × 99 grid (no clamping needed).
    LightMap m = LightMap::create(320, 180, 2);
    for (std::uint32_t j = 0; j < m.gh; ++j)
        for (std::uint32_t k = 0; k < m.gw; ++k)
            m.light[k + j * m.gw] = {float(k), float(j), 0};
    const LightRgb corner = m.sample(319, 179);
    EXPECT_NEAR(corner.r, (319.5 / 2 - 0.5 + 4), 1e-4);
    EXPECT_NEAR(corner.g, (179.5 / 2 - 0.5 + 4), 1e-4);
}

}  // namespace
}  // namespace pyrelle
