#pragma once
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/canvas.hpp"
#include "game/level.hpp"

namespace pyrelle {

// "m:ss" of a duration in seconds: negative counts as 0, minutes are not capped.
std::string format_time(float seconds);

// Every pixel scaled by k, each channel clamped and truncated.
void darken(Canvas& canvas, float k);

// The part after the decimal point (of a non-negative clock value).
inline float fraction(float v) {
    return v - std::floor(v);
}

// Each channel rounded half away from zero and clamped.
inline std::uint32_t rounded_rgb(float r, float g, float b) {
    return pack_rgb(round_channel(r), round_channel(g), round_channel(b));
}

// (r, g, b) x f, each channel clamped and truncated.
std::uint32_t faded(float r, float g, float b, float f);

// Text whose middle is the middle of the 320-pixel view, and text whose last column is 314.
void draw_centred(Canvas& canvas, std::int32_t y, std::string_view text, std::uint32_t colour,
                  std::int32_t scale = 1);
void draw_right_aligned(Canvas& canvas, std::int32_t y, std::string_view text,
                        std::uint32_t colour);

// The heads-up display over a level: energy bar, burst, lanterns, companions, depth, message.
void draw_hud(const Level& level, Canvas& canvas);

struct Game;

// The animated end screen over the world picture, at the game's screen_timer.
void draw_victory(const Game& game, Canvas& canvas);

// The end screen's integer mix: fixed per position, so stars and fireflies stay in place.
constexpr std::uint32_t end_screen_mix(std::uint32_t v) {
    const std::uint32_t w = (v ^ (v >> 13)) * 0x5BD1E995u;
    return w ^ (w >> 15);
}

}  // namespace pyrelle
