#include "engine/canvas.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engine/canvas_reference.hpp"

namespace pyrelle {
namespace {

std::uint32_t count_non_black(const Canvas& c) {
    std::uint32_t n = 0;
    for (std::uint32_t p : c.pixels)
        n += p != 0;
    return n;
}

TEST(Canvas, NewCanvasIsBlack) {
    Canvas c(7, 5);
    ASSERT_EQ(c.pixels.size(), 35u);
    EXPECT_EQ(count_non_black(c), 0u);
}

TEST(Canvas, SingleWritesOutsideChangeNothing) {
    const struct { int x, y; } outside[] = {{-1, 0}, {0, -1}, {4, 0}, {0, 3}, {-1, -1}};
    for (const auto& p : outside) {
        Canvas c(4, 3);
        c.set(p.x, p.y, 0xFFFFFF);
        c.add(p.x, p.y, 0xFFFFFF);
        c.blend(p.x, p.y, 0xFFFFFF, 1.0f);
        EXPECT_EQ(count_non_black(c), 0u) << p.x << "," << p.y;
    }
}

TEST(Canvas, AddSaturatesEachChannelSeparately) {
    Canvas c(1, 1);
    c.set(0, 0, 0xA0A010);
    c.add(0, 0, 0x808020);
    EXPECT_EQ(c.get(0, 0), 0xFFFF30u);  // red and green saturate, blue does not carry
}

TEST(Canvas, BlendRoundsHalvesAwayFromZeroAndClampsAlpha) {
    struct Case {
        std::uint32_t under, over;
        float alpha;
        std::uint32_t want;
    };
    const Case cases[] = {
        {0x000000, 0xFFFFFF, 0.5f, 0x808080},   // 127.5 goes to 128
        {0x000000, 0xFFFFFF, 2.0f, 0xFFFFFF},   // alpha acts as 1
        {0x102030, 0xFFFFFF, -1.0f, 0x102030},  // and as 0
        {0x0A0A0A, 0x000000, 0.25f, 0x080808},  // 7.5 goes to 8
        {0x0A0A0A, 0x000000, 0.35f, 0x070707},  // 6.5 goes to 7
    };
    for (const Case& k : cases) {
        Canvas c(1, 1);
        c.set(0, 0, k.under);
        c.blend(0, 0, k.over, k.alpha);
        EXPECT_EQ(c.get(0, 0), k.want) << std::hex << k.under << " " << k.alpha;
    }
}

TEST(Canvas, FillRectClipsAtEveryEdge) {
    struct Case {
        int x, y, w, h;
        std::uint32_t want;
    };
    const Case cases[] = {
        {-5, -5, 10, 10, 25},                // top-left corner: a 5 x 5 block
        {315, 175, 10, 10, 25},              // bottom-right corner
        {-10, 0, 5, 1, 0},                   // wholly left
        {0, 180, 5, 5, 0},                   // wholly below
        {10, 10, 0, 5, 0},                   // empty width
        {10, 10, -3, 5, 0},                  // negative width
        {-2147483647, 0, 2147483647, 1, 0},  // no overflow of x + w
        {2147483600, 0, 2147483647, 1, 0},
    };
    for (const Case& k : cases) {
        Canvas c(320, 180);
        c.fill_rect(k.x, k.y, k.w, k.h, 0x123456);
        EXPECT_EQ(count_non_black(c), k.want) << k.x << "," << k.y << " " << k.w << "x" << k.h;
    }
    Canvas c(320, 180);
    c.fill_rect(-5, -5, 10, 10, 0x123456);
    EXPECT_EQ(c.get(4, 4), 0x123456u);
    EXPECT_EQ(c.get(5, 4), 0u);
    EXPECT_EQ(c.get(4, 5), 0u);
}

TEST(Canvas, BlendRectBlendsOnlyInside) {
    Canvas c(4, 4);
    c.blend_rect(-1, 2, 3, 5, 0xFFFFFF, 0.5f);
    EXPECT_EQ(count_non_black(c), 4u);
    EXPECT_EQ(c.get(0, 2), 0x808080u);
    EXPECT_EQ(c.get(1, 3), 0x808080u);
    EXPECT_EQ(c.get(2, 2), 0u);
}

TEST(Canvas, RectOutlineIsAOnePixelFrame) {
    Canvas c(10, 10);
    c.rect_outline(1, 1, 4, 3, 0xFF0000);
    EXPECT_EQ(count_non_black(c), 10u);  // 4 + 4 + 1 + 1
    EXPECT_EQ(c.get(1, 1), 0xFF0000u);
    EXPECT_EQ(c.get(4, 3), 0xFF0000u);
    EXPECT_EQ(c.get(2, 2), 0u);
    Canvas clipped(10, 10);
    clipped.rect_outline(-1, -1, 3, 3, 0xFF0000);  // only the bottom-right corner shows
    EXPECT_EQ(count_non_black(clipped), 3u);
}

TEST(Canvas, GlowOfRadiusOneOnAPixelCentreTouchesOnlyThatPixel) {
    Canvas c(5, 5);
    c.glow(0x406080, 2.5f, 2.5f, 1.0f, 1.0f);
    EXPECT_EQ(count_non_black(c), 1u);
    EXPECT_EQ(c.get(2, 2), 0x406080u);
    Canvas half(5, 5);
    half.glow(0x406080, 2.5f, 2.5f, 1.0f, 0.5f);
    EXPECT_EQ(half.get(2, 2), 0x203040u);
}

TEST(Canvas, GlowFallsOffQuadraticallyAndSaturates) {
    Canvas c(9, 1);
    c.set(4, 0, 0xF0F0F0);
    c.glow(0xFF8000, 4.5f, 0.5f, 4.0f, 2.0f);
    // Centre: weight 2 pushes every channel past 255 or adds 255 to 0xF0.
    EXPECT_EQ(c.get(4, 0), 0xFFFFF0u);
    // One pixel off: d = 0.25, w = 0.5625 * 2 = 1.125; red 286 -> 255, green 144.
    EXPECT_EQ(c.get(5, 0), 0xFF9000u);
    // Two pixels off: d = 0.5, w = 0.5; red 127 (127.5 truncated), green 64.
    EXPECT_EQ(c.get(6, 0), 0x7F4000u);
    EXPECT_EQ(c.get(0, 0), 0u);  // d = 1: untouched
}

TEST(Canvas, GlowWithZeroNegativeOrNanRadiusDrawsNothing) {
    for (float radius : {0.0f, -3.0f, std::nanf("")}) {
        Canvas c(5, 5);
        c.glow(0xFFFFFF, 2.5f, 2.5f, radius, 1.0f);
        EXPECT_EQ(count_non_black(c), 0u) << radius;
    }
}

TEST(Canvas, GlowClipsAtTheEdges) {
    Canvas c(4, 4);
    c.glow(0xFFFFFF, 0.0f, 0.0f, 2.0f, 1.0f);
    // Pixel (0,0) has its centre at distance 0.707 -> d 0.354.
    EXPECT_NE(c.get(0, 0), 0u);
    EXPECT_EQ(c.get(3, 3), 0u);
    Canvas far(4, 4);
    far.glow(0xFFFFFF, 1e9f, -1e9f, 1e6f, 1.0f);  // huge and far away: nothing, and quickly
    EXPECT_EQ(count_non_black(far), 0u);
}

TEST(Canvas, BlitCopiesOnlyPixelsInsideBothCanvases) {
    Canvas source(4, 2);
    for (std::uint32_t i = 0; i < source.pixels.size(); ++i)
        source.pixels[i] = 0x100 + i;
    Canvas dest(3, 3);
    dest.fill_rect(0, 0, 3, 3, 0xABCDEF);
    dest.blit(source, 2, 0, 0, 0, 3, 3);  // past the source's right and bottom edges
    EXPECT_EQ(dest.get(0, 0), 0x102u);
    EXPECT_EQ(dest.get(1, 0), 0x103u);
    EXPECT_EQ(dest.get(2, 0), 0xABCDEFu);
    EXPECT_EQ(dest.get(0, 1), 0x106u);
    EXPECT_EQ(dest.get(0, 2), 0xABCDEFu);

    Canvas shifted(3, 3);
    shifted.blit(source, -1, 0, -1, 1, 3, 1);  // source column -1 and dest column -1 skipped
    EXPECT_EQ(shifted.get(0, 1), 0x100u);
    EXPECT_EQ(shifted.get(1, 1), 0x101u);
    EXPECT_EQ(shifted.get(2, 1), 0u);

    Canvas untouched(3, 3);
    untouched.blit(source, 0, 0, 0, 0, 0, 3);
    untouched.blit(source, 0, 0, 0, 0, 3, -1);
    EXPECT_EQ(count_non_black(untouched), 0u);
}

TEST(Colour, RgbClampsTruncatesAndIgnoresNan) {
    EXPECT_EQ(rgb(255.9f, 300.0f, -4.0f), 0xFFFF00u);
    EXPECT_EQ(rgb(1.99f, 0.5f, std::nanf("")), 0x010000u);
}

TEST(Colour, ScaleAndMix) {
    EXPECT_EQ(scale_colour(0x808080, 0.5f), 0x404040u);
    EXPECT_EQ(scale_colour(0x808080, 3.0f), 0xFFFFFFu);
    EXPECT_EQ(scale_colour(0x030303, 0.5f), 0x010101u);          // 1.5 truncates
    EXPECT_EQ(mix_colour(0x000000, 0x030303, 0.5f), 0x020202u);  // 1.5 rounds away from zero
    EXPECT_EQ(mix_colour(0x102030, 0x405060, 0.0f), 0x102030u);
    EXPECT_EQ(mix_colour(0x102030, 0x405060, 1.0f), 0x405060u);
    EXPECT_EQ(mix_colour(0x000000, 0xFFFFFF, 2.0f), 0xFFFFFFu);  // clamped
}

}  // namespace
}  // namespace pyrelle

namespace pyrelle {
namespace {

// A canvas of random pixels, the top byte included (the primitives clear it where they
// write and keep it elsewhere).
Canvas random_canvas(std::mt19937& gen, std::uint32_t w, std::uint32_t h) {
    Canvas c(w, h);
    for (std::uint32_t& p : c.pixels)
        p = gen();
    return c;
}

float random_float(std::mt19937& gen, float lo, float hi) {
    return std::uniform_real_distribution<float>(lo, hi)(gen);
}

TEST(Canvas, RoundChannelIsRoundThenClamp) {
    const float edges[] = {-1.5f,         -0.5f,    -0.0f,      0.0f,      0.49999997f, 0.5f,
                           1.5f,          2.5f,     127.49999f, 127.5f,    254.49998f,  254.5f,
                           254.99998f,    255.0f,   255.5f,     1e9f,      -1e9f,       1e-40f,
                           std::nanf(""), INFINITY, -INFINITY,  8388607.5f};
    for (float v : edges)
        EXPECT_EQ(round_channel(v), reference::round_channel(v)) << v;
    std::mt19937 gen(7);
    for (int i = 0; i < 200000; ++i) {
        const float v = random_float(gen, -2.0f, 258.0f);
        ASSERT_EQ(round_channel(v), reference::round_channel(v)) << v;
    }
}

// Glows of every kind on random pixels: centres on and off the canvas with any fraction,
// radii from nothing to larger than the canvas, odd intensities and odd values.
TEST(Canvas, GlowMatchesThePixelByPixelRule) {
    std::mt19937 gen(11);
    for (int i = 0; i < 3000; ++i) {
        const std::uint32_t w = 1 + gen() % 40, h = 1 + gen() % 30;
        Canvas fast = random_canvas(gen, w, h);
        Canvas slow = fast;
        const std::uint32_t colour = gen() & 0xFFFFFF;
        float cx = random_float(gen, -20.0f, 60.0f);
        float cy = random_float(gen, -20.0f, 50.0f);
        if (i % 3 == 0) cx = std::round(cx), cy = std::round(cy);  // whole and half centres,
        if (i % 3 == 1) cy = std::round(cy) + 0.5f;                // as the game draws
        if (i % 7 == 0) cx = std::floor(cx) + 0.5f;
        float radius = random_float(gen, -2.0f, 50.0f);
        float intensity = random_float(gen, -0.5f, 3.0f);
        if (i % 50 == 0) radius = std::nanf("");
        if (i % 70 == 0) intensity = std::nanf("");
        if (i % 9 == 0) radius = std::floor(radius);
        fast.glow(colour, cx, cy, radius, intensity);
        reference::glow(slow, colour, cx, cy, radius, intensity);
        ASSERT_EQ(fast.pixels, slow.pixels)
            << "glow " << cx << "," << cy << " r " << radius << " i " << intensity;
    }
}

TEST(Canvas, BlendRectMatchesThePixelByPixelRule) {
    std::mt19937 gen(12);
    for (int i = 0; i < 3000; ++i) {
        const std::uint32_t w = 1 + gen() % 40, h = 1 + gen() % 30;
        Canvas fast = random_canvas(gen, w, h);
        Canvas slow = fast;
        const std::uint32_t colour = gen() & 0xFFFFFF;
        const auto x = static_cast<std::int32_t>(gen() % 60) - 10;
        const auto y = static_cast<std::int32_t>(gen() % 50) - 10;
        const auto rw = static_cast<std::int32_t>(gen() % 50) - 2;
        const auto rh = static_cast<std::int32_t>(gen() % 40) - 2;
        float alpha = random_float(gen, -0.3f, 1.3f);
        if (i % 3 == 0) alpha = static_cast<float>(gen() % 9) / 8.0f;  // exact halves to round
        if (i % 40 == 0) alpha = std::nanf("");
        fast.blend_rect(x, y, rw, rh, colour, alpha);
        reference::blend_rect(slow, x, y, rw, rh, colour, alpha);
        ASSERT_EQ(fast.pixels, slow.pixels)
            << x << "," << y << " " << rw << "x" << rh << " " << alpha;
    }
}

}  // namespace
}  // namespace pyrelle
