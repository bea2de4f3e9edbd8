#include "game/screens.hpp"

#include <algorithm>

#include "engine/simd.hpp"
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

// scale_colour on every pixel, four at a time with the same product and clamp per channel.
void darken(Canvas& canvas, float k) {
    using namespace simd;
    std::uint32_t* p = canvas.pixels.data();
    const std::size_t n = canvas.pixels.size();
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const I4 v = load_pixels(p + i);
        const auto scaled = [&](int shift) {
            return clamp_channel(to_float(channel(v, shift)) * k);
        };
        store_pixels(p + i, (scaled(16) << 16) | (scaled(8) << 8) | scaled(0));
    }
    for (; i < n; ++i)
        p[i] = scale_colour(p[i], k);
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

}  // namespace pyrelle
