#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/canvas.hpp"

namespace pyrelle {

// "m:ss" of a duration in seconds: negative counts as 0, minutes are not capped.
std::string format_time(float seconds);

// Every pixel scaled by k, each channel clamped and truncated.
void darken(Canvas& canvas, float k);

// (r, g, b) x f, each channel clamped and truncated.
std::uint32_t faded(float r, float g, float b, float f);

// Text whose middle is the middle of the 320-pixel view, and text whose last column is 314.
void draw_centred(Canvas& canvas, std::int32_t y, std::string_view text, std::uint32_t colour,
                  std::int32_t scale = 1);
void draw_right_aligned(Canvas& canvas, std::int32_t y, std::string_view text, std::uint32_t colour);

// The end screen's integer mix: fixed per position, so stars and fireflies stay in place.
std::uint32_t end_screen_mix(std::uint32_t v);

}  // namespace pyrelle
