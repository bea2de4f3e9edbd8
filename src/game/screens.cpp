#include "game/screens.hpp"

#include <algorithm>

#include "engine/lanes.hpp"
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

namespace {

// scale_colour on the pixels [0, n) as many at a time as I has lanes, with the same product
// and clamp per channel (maxps and minps: NaN gives 0); returns the first pixel left over.
template <class F, class I>
[[gnu::always_inline]] inline std::size_t darken_lanes(std::uint32_t* p, std::size_t n, float k) {
    constexpr std::size_t width = sizeof(I) / sizeof(std::int32_t);
    const auto scaled = [k](I v, int shift) {
        const F c = __builtin_convertvector((v >> shift) & 255, F) * k;
        const F low = lanes::max(c, lanes::splat<F>(0.0f));
        return __builtin_convertvector(lanes::min(low, lanes::splat<F>(255.0f)), I);
    };
    std::size_t i = 0;
    for (; i + width <= n; i += width) {
        const I v = lanes::load<I>(p + i);
        lanes::store(p + i, (scaled(v, 16) << 16) | (scaled(v, 8) << 8) | scaled(v, 0));
    }
    return i;
}

#if PYRELLE_EIGHT_LANES
PYRELLE_AVX2 std::size_t darken_eight(std::uint32_t* p, std::size_t n, float k) {
    return darken_lanes<lanes::F8, lanes::I8>(p, n, k);
}
#endif

}  // namespace

void darken(Canvas& canvas, float k) {
    std::uint32_t* p = canvas.pixels.data();
    const std::size_t n = canvas.pixels.size();
#if PYRELLE_EIGHT_LANES
    std::size_t i =
        lanes::have_eight() ? darken_eight(p, n, k) : darken_lanes<simd::F4, simd::I4>(p, n, k);
#else
    std::size_t i = darken_lanes<simd::F4, simd::I4>(p, n, k);
#endif
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
