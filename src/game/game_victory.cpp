// The animated end screen: the world washes to white, then a night landscape with
// fireflies emerges from it and the run's tallies appear one after another.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "engine/float_math.hpp"
#include "engine/simd.hpp"
#include "engine/text.hpp"
#include "game/game.hpp"
#include "game/screens.hpp"
#include "game/world.hpp"

namespace pyrelle {
namespace {

constexpr float kWhite[3] = {255.0f, 244.0f, 214.0f};
// With reduced motion the picture never goes more than this far towards the white.
constexpr float kReducedWhite = 0.25f;
constexpr auto kWidth = static_cast<std::int32_t>(kViewWidth);
constexpr auto kHeight = static_cast<std::int32_t>(kViewHeight);

// Each pixel moved towards white by d, four at a time with the same float operations and
// rounding per channel (the moved value stays within [0, 255]).
void wash_to_white(Canvas& canvas, float t, bool reduced_motion) {
    using namespace simd;
    float d = std::clamp(fmath::pow(t / 1.5f, 0.7f), 0.0f, 1.0f);
    if (reduced_motion) d *= kReducedWhite;
    std::uint32_t* p = canvas.pixels.data();
    const std::size_t n = canvas.pixels.size();
    std::size_t i = 0;
    if (d == d) {  // a NaN step would leave the lanes' rounding out of range
        const auto washed = [d](I4 v, float white) {
            const F4 c = to_float(v);
            return round_non_negative(c + (splat(white) - c) * d);
        };
        for (; i + 4 <= n; i += 4) {
            const I4 v = load_pixels(p + i);
            store_pixels(p + i, (washed(channel(v, 16), kWhite[0]) << 16) |
                                    (washed(channel(v, 8), kWhite[1]) << 8) |
                                    washed(channel(v, 0), kWhite[2]));
        }
    }
    for (; i < n; ++i) {
        const float r = static_cast<float>(red_of(p[i]));
        const float g = static_cast<float>(green_of(p[i]));
        const float b = static_cast<float>(blue_of(p[i]));
        p[i] =
            rounded_rgb(r + (kWhite[0] - r) * d, g + (kWhite[1] - g) * d, b + (kWhite[2] - b) * d);
    }
}

constexpr bool is_star(std::uint32_t x, std::uint32_t y) {
    const std::uint32_t ky = (y * 0xD8163841u) ^ 0x8B5344FDu;
    return end_screen_mix((x * 0x8DA6B343u) ^ ky) % 400 == 0;
}

struct Star {
    std::uint16_t x;
    std::uint16_t y;
};

constexpr std::size_t count_stars() {
    std::size_t n = 0;
    for (std::uint32_t y = 0; y < kViewHeight; ++y)
        for (std::uint32_t x = 0; x < kViewWidth; ++x)
            n += is_star(x, y) ? 1 : 0;
    return n;
}

// Where the stars are depends on nothing but the position: found once, while compiling.
constexpr auto kStars = [] {
    std::array<Star, count_stars()> stars{};
    std::size_t n = 0;
    for (std::uint32_t y = 0; y < kViewHeight; ++y)
        for (std::uint32_t x = 0; x < kViewWidth; ++x)
            if (is_star(x, y))
                stars[n++] = Star{static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y)};
    return stars;
}();

// The sky of row y before it emerges from the white: (rounded) base colour.
std::array<float, 3> sky_base(std::uint32_t y) {
    const float f = static_cast<float>(y) / kViewHeightF;
    return {std::round(8.0f + 28.0f * f), std::round(10.0f + 12.0f * f),
            std::round(30.0f + 24.0f * f)};
}

std::uint32_t out_of_white(const float (&colour)[3], float a) {
    return rounded_rgb(kWhite[0] + (colour[0] - kWhite[0]) * a,
                       kWhite[1] + (colour[1] - kWhite[1]) * a,
                       kWhite[2] + (colour[2] - kWhite[2]) * a);
}

// Apart from its stars a sky row is one colour: each row is filled with it, then the
// stars are painted over, every pixel getting the value the rule gives it.
void paint_sky(Canvas& canvas, float t, float a) {
    for (std::uint32_t y = 0; y < kViewHeight; ++y) {
        const std::array<float, 3> base = sky_base(y);
        const float colour[3] = {base[0], base[1], base[2]};
        canvas.fill_rect(0, static_cast<std::int32_t>(y), kWidth, 1, out_of_white(colour, a));
    }
    const float star[3] = {200.0f, 200.0f, 230.0f};
    for (const Star& s : kStars) {
        const std::array<float, 3> base = sky_base(s.y);
        const float shine =
            std::clamp(0.5f + 0.5f * fmath::sin(static_cast<float>(s.x) + 2.0f * t), 0.0f, 1.0f);
        float colour[3];
        for (int c = 0; c < 3; ++c)
            colour[c] = std::round(base[c] + (star[c] - base[c]) * shine);
        canvas.set(s.x, s.y, out_of_white(colour, a));
    }
}

void paint_hills(Canvas& canvas, float a) {
    const std::uint32_t colour =
        rounded_rgb(255.0f - 249.0f * a, 244.0f - 236.0f * a, 214.0f - 200.0f * a);
    for (std::uint32_t x = 0; x < kViewWidth; ++x) {
        const float fx = static_cast<float>(x);
        std::int32_t top =
            saturating_i32(6.0f * fmath::sin(0.03f * fx) + 3.0f * fmath::sin(0.071f * fx)) + 156;
        const std::uint32_t cx = x * 0x8DA6B343u;
        if (end_screen_mix(cx ^ 0xF7857F9Bu) % 3 == 0) {
            top -= 2 + static_cast<std::int32_t>(end_screen_mix(cx ^ 0x2F9347DAu) & 3u);
        }
        canvas.fill_rect(static_cast<std::int32_t>(x), top, 1, kHeight - top, colour);
    }
}

void paint_fireflies(Canvas& canvas, float t, float a) {
    const std::int32_t count = saturating_i32(std::min(25.0f * (t - 1.5f), 90.0f));
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint32_t ci = static_cast<std::uint32_t>(i) * 0x8DA6B343u;
        const auto r = [ci](std::uint32_t key) {
            return static_cast<float>(end_screen_mix(ci ^ key) % 1000) / 1000.0f;
        };
        const float g = (0.5f * r(0xB69F1BEC) + 0.3f) * t + 6.28f * r(0x8EF1C3AD);
        const float x = kViewWidthF * r(0x06B36B6E) + 18.0f * r(0x66EB8A6A) * fmath::cos(g);
        const float y =
            130.0f * r(0xDEA5532F) + 20.0f + 10.0f * r(0x3EDC722B) * fmath::sin(1.7f * g);
        const float b =
            ((0.5f * fmath::sin((2.0f * r(0x16363AE8) + 1.0f) * t + 6.28f * r(0xEE28E2A9)) + 0.5f) *
                 0.6f +
             0.4f) *
            a;
        const std::int32_t px = saturating_i32(x);
        const std::int32_t py = saturating_i32(y);
        canvas.glow(0x96C83C, static_cast<float>(px), static_cast<float>(py), 5.0f, b);
        canvas.add(px, py, rgb(230.0f * b, 255.0f * b, 150.0f * b));
    }
}

// "Temps : 9:47", and against the best run, when racing it, its split in the split's colour.
void draw_run_time(const Game& game, Canvas& canvas, std::uint32_t colour, float h) {
    const std::string time =
        "Temps : " + format_time(game.run_time) + (game.night ? " (Nuit noire)" : "");
    const std::optional<float> split = game.ghost.shown_split();
    if (!split) {
        draw_centred(canvas, 62, time, colour);
        return;
    }
    const std::string gap_and_split = "  " + split_text(*split);
    const std::int32_t x = 160 - (text_width(time + gap_and_split, 1) >> 1);
    draw_text(canvas, x, 62, time, colour, 1);
    const std::uint32_t c = split_colour(*split, game.night);
    const auto toward = [h](std::uint32_t channel, float dark) {
        return dark + (static_cast<float>(channel) - dark) * h;
    };
    draw_text(canvas, x + text_width(time + "  ", 1) + 1, 62, split_text(*split),
              rounded_rgb(toward(red_of(c), 20.0f), toward(green_of(c), 16.0f),
                          toward(blue_of(c), 42.0f)),
              1);
}

void draw_tallies(const Game& game, Canvas& canvas, float t) {
    if (t > 4.0f) {
        const float f = std::min(t - 4.0f, 1.0f);
        for (std::int32_t j = 14; j <= 125; ++j) {
            const float g = static_cast<float>(j - 70) / 56.0f;
            canvas.blend_rect(0, j, kWidth, 1, 0x080818, (1.0f - g * g) * 0.5f * f);
        }
        draw_centred(canvas, 30, "Tu as retrouvé les tiennes.",
                     rounded_rgb(20.0f + 235.0f * f, 16.0f + 219.0f * f, 42.0f + 128.0f * f));
    }
    if (t > 5.5f) {
        const float h = std::min(t - 5.5f, 1.0f);
        const std::uint32_t colour =
            rounded_rgb(20.0f + 170.0f * h, 16.0f + 164.0f * h, 42.0f + 168.0f * h);
        draw_run_time(game, canvas, colour, h);
        draw_centred(canvas, 74, "Extinctions : " + std::to_string(game.extinctions), colour);
        draw_centred(canvas, 86, "Pollen butiné : " + std::to_string(game.pollen_total), colour);
        draw_centred(canvas, 98,
                     "Pyrelles retrouvées : " + std::to_string(game.companions_following) + "/8",
                     colour);
    }
    if ((game.new_record || game.new_daily_record) && t > 6.5f) {
        const float l = std::min(t - 6.5f, 1.0f);
        draw_centred(canvas, 116, game.new_record ? "Nouveau record !" : "Record du jour !",
                     rounded_rgb(20.0f + 235.0f * l, 16.0f + 184.0f * l, 42.0f + 48.0f * l));
    }
    if (t > 7.5f && fraction(1.6f * t) < 0.65f)
        draw_centred(canvas, 166, "Entrée : retour au titre", 0x968CA0);
}

}  // namespace

void draw_victory(const Game& game, Canvas& canvas) {
    const float t = game.screen_timer;
    if (t < 1.5f) {
        wash_to_white(canvas, t, game.reduced_motion);
    } else {
        const float a = std::clamp((t - 1.5f) / 2.5f, 0.0f, 1.0f);
        // How far out of the white the landscape is: with reduced motion it starts where the
        // softened wash left the picture.
        const float out = game.reduced_motion ? 1.0f - kReducedWhite * (1.0f - a) : a;
        paint_sky(canvas, t, out);
        paint_hills(canvas, out);
        paint_fireflies(canvas, t, a);
    }
    draw_tallies(game, canvas, t);
}

}  // namespace pyrelle
