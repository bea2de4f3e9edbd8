#include "game/screens.hpp"

#include <algorithm>

#include "engine/text.hpp"

namespace pyrelle {

std::string format_time(float seconds) {
    std::uint32_t s = 0;
    if (seconds >= 4294967295.0f) {
        s = 4294967295u;
    } else if (seconds > 0.0f) {
        s = static_cast<std::uint32_t>(seconds);
    }
    const std::uint32_t rest = s % 60;
    return std::to_string(s / 60) + ":" + (rest < 10 ? "0" : "") + std::to_string(rest);
}

void darken(Canvas& canvas, float k) {
    for (std::uint32_t& p : canvas.pixels)
        p = scale_colour(p, k);
}

std::uint32_t faded(float r, float g, float b, float f) {
    return rgb(r * f, g * f, b * f);
}

void draw_centred(Canvas& canvas, std::int32_t y, std::string_view text, std::uint32_t colour,
                  std::int32_t scale) {
    draw_text(canvas, 160 - (text_width(text, scale) >> 1), y, text, colour, scale);
}

void draw_right_aligned(Canvas& canvas, std::int32_t y, std::string_view text,
                        std::uint32_t colour) {
    draw_text(canvas, 314 - text_width(text, 1), y, text, colour, 1);
}

std::uint32_t end_screen_mix(std::uint32_t v) {
    const std::uint32_t w = (v ^ (v >> 13)) * 0x5BD1E995u;
    return w ^ (w >> 15);
}

}  // namespace pyrelle
