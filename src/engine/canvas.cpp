#include "engine/canvas.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/simd.hpp"

namespace pyrelle {

namespace {

std::uint32_t mix_channel(std::uint32_t a, std::uint32_t b, float t) {
    const float fa = static_cast<float>(a);
    return round_channel(fa + (static_cast<float>(b) - fa) * t);
}

std::uint32_t saturating_add(std::uint32_t a, std::uint32_t b) {
    return pack_rgb(std::min(red_of(a) + red_of(b), 255u),
                    std::min(green_of(a) + green_of(b), 255u),
                    std::min(blue_of(a) + blue_of(b), 255u));
}

// Clipped half-open span [lo, lo + len) within [0, limit), in 64 bits so no sum overflows.
struct Span {
    std::int64_t begin;
    std::int64_t end;
    bool empty() const { return begin >= end; }
};

Span clip(std::int32_t lo, std::int32_t len, std::uint32_t limit) {
    return {std::max<std::int64_t>(lo, 0),
            std::min<std::int64_t>(static_cast<std::int64_t>(lo) + len, limit)};
}

}  // namespace

std::uint32_t mix_colour(std::uint32_t a, std::uint32_t b, float t) {
    return pack_rgb(mix_channel(red_of(a), red_of(b), t), mix_channel(green_of(a), green_of(b), t),
                    mix_channel(blue_of(a), blue_of(b), t));
}

Canvas::Canvas(std::uint32_t w, std::uint32_t h)
    : pixels(static_cast<std::size_t>(w) * h, 0u), width(w), height(h) {}

void Canvas::set(std::int32_t x, std::int32_t y, std::uint32_t colour) {
    if (contains(x, y))
        pixels[static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * width] = colour;
}

void Canvas::add(std::int32_t x, std::int32_t y, std::uint32_t colour) {
    if (!contains(x, y)) return;
    std::uint32_t& p = pixels[static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * width];
    p = saturating_add(p, colour);
}

void Canvas::blend(std::int32_t x, std::int32_t y, std::uint32_t colour, float alpha) {
    if (!contains(x, y)) return;
    const float t = std::isnan(alpha) ? 0.0f : std::clamp(alpha, 0.0f, 1.0f);
    std::uint32_t& p = pixels[static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * width];
    p = mix_colour(p, colour, t);
}

void Canvas::fill_rect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                       std::uint32_t colour) {
    const Span cols = clip(x, w, width);
    const Span rows = clip(y, h, height);
    if (cols.empty() || rows.empty()) return;
    for (std::int64_t row = rows.begin; row < rows.end; ++row) {
        auto first = pixels.begin() + row * width;
        std::fill(first + cols.begin, first + cols.end, colour);
    }
}

// Canvas::blend on every pixel, four at a time: the same products and sums per channel,
// and the rounding of round_channel (the blended value lies between the old and the new
// channel, inside [0, 255]).
void Canvas::blend_rect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                        std::uint32_t colour, float alpha) {
    using namespace simd;
    if (w <= 0 || h <= 0) return;
    const Span cols = clip(x, w, width);
    const Span rows = clip(y, h, height);
    const float t = std::isnan(alpha) ? 0.0f : std::clamp(alpha, 0.0f, 1.0f);
    const I4 over = splat(static_cast<std::int32_t>(colour));
    const auto mix = [t](I4 old, I4 now) {
        const F4 a = to_float(old);
        return round_non_negative(a + (to_float(now) - a) * t);
    };
    for (std::int64_t row = rows.begin; row < rows.end; ++row) {
        std::uint32_t* line = &pixels[static_cast<std::size_t>(row) * width];
        std::int64_t col = cols.begin;
        for (; col + 4 <= cols.end; col += 4) {
            const I4 p = load_pixels(line + col);
            store_pixels(line + col, (mix(channel(p, 16), channel(over, 16)) << 16) |
                                         (mix(channel(p, 8), channel(over, 8)) << 8) |
                                         mix(channel(p, 0), channel(over, 0)));
        }
        for (; col < cols.end; ++col)
            line[col] = mix_colour(line[col], colour, t);
    }
}

void Canvas::rect_outline(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                          std::uint32_t colour) {
    const auto wide = [](std::int64_t v) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(
            v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
    };
    fill_rect(x, y, w, 1, colour);
    fill_rect(x, wide(static_cast<std::int64_t>(y) + h - 1), w, 1, colour);
    fill_rect(x, y, 1, h, colour);
    fill_rect(wide(static_cast<std::int64_t>(x) + w - 1), y, 1, h, colour);
}

// Four pixels of a row at a time: each lane computes the distance, weight and additions
// with the same float operations as one pixel alone, and adds them saturating per channel;
// pixels outside the radius keep their value. When twice the centre's y is whole, rows
// pair up around it with the same squared offset, hence the same weights: each pair is
// weighed once and both rows get them.
void Canvas::glow(std::uint32_t colour, float cx, float cy, float radius, float intensity) {
    using namespace simd;
    const std::int32_t r = saturating_i32(std::ceil(radius));
    if (r < 0) return;
    const std::int32_t fx = floor_i32(cx);
    const std::int32_t fy = floor_i32(cy);
    const float channels[3] = {static_cast<float>(red_of(colour)),
                               static_cast<float>(green_of(colour)),
                               static_cast<float>(blue_of(colour))};
    // Only pixels on the canvas can change, so the loops start and stop at its edges.
    const std::int64_t row_lo = std::max<std::int64_t>(static_cast<std::int64_t>(fy) - r, 0);
    const std::int64_t row_hi = std::min<std::int64_t>(static_cast<std::int64_t>(fy) + r,
                                                       static_cast<std::int64_t>(height) - 1);
    const std::int64_t col_lo = std::max<std::int64_t>(static_cast<std::int64_t>(fx) - r, 0);
    const std::int64_t col_hi = std::min<std::int64_t>(static_cast<std::int64_t>(fx) + r,
                                                       static_cast<std::int64_t>(width) - 1);
    const float twice_cy = 2.0f * cy;
    const bool mirrored = std::fabs(twice_cy) < 1e6f && twice_cy == std::floor(twice_cy);
    const auto row_dy = [cy](std::int64_t py) { return static_cast<float>(py) + 0.5f - cy; };
    // The row weighed with py, or -1.
    const auto partner_of = [&](std::int64_t py) -> std::int64_t {
        if (!mirrored) return -1;
        const std::int64_t m = static_cast<std::int64_t>(twice_cy) - 1 - py;
        if (m == py || m < row_lo || m > row_hi) return -1;
        const float dy = row_dy(py), dm = row_dy(m);
        return dy * dy == dm * dm ? m : -1;
    };
    const F4 lane_offset{0.0f, 1.0f, 2.0f, 3.0f};
    const F4 centre_x = splat(cx), r4 = splat(radius), i4 = splat(intensity), one = splat(1.0f);
    for (std::int64_t py = row_lo; py <= row_hi; ++py) {
        const std::int64_t partner = partner_of(py);
        if (partner >= 0 && partner < py) continue;  // drawn with its partner
        const float dy = row_dy(py);
        const F4 dy2 = splat(dy * dy);
        std::uint32_t* lines[2] = {
            &pixels[static_cast<std::size_t>(py) * width],
            partner >= 0 ? &pixels[static_cast<std::size_t>(partner) * width] : nullptr};
        const int rows = partner >= 0 ? 2 : 1;
        std::int64_t px = col_lo;
        for (; px + 3 <= col_hi; px += 4) {
            const F4 dx = splat(static_cast<float>(px)) + lane_offset + 0.5f - centre_x;
            const F4 d = simd::sqrt(dx * dx + dy2) / r4;
            const I4 inside = d < one;
            if (lane_bits(inside) == 0) continue;
            const F4 w = (one - d) * (one - d) * i4;
            const I4 add = (clamp_channel(w * channels[0]) << 16) |
                           (clamp_channel(w * channels[1]) << 8) | clamp_channel(w * channels[2]);
            for (int i = 0; i < rows; ++i) {
                const I4 p = load_pixels(lines[i] + px);
                store_pixels(lines[i] + px,
                             select(inside, add_saturating(p, add) & splat(0xFFFFFF), p));
            }
        }
        for (; px <= col_hi; ++px) {
            const float dx = static_cast<float>(px) + 0.5f - cx;
            const float d = std::sqrt(dx * dx + dy * dy) / radius;
            if (!(d < 1.0f)) continue;
            const float w = (1.0f - d) * (1.0f - d) * intensity;
            const std::uint32_t add =
                pack_rgb(clamp_channel(w * channels[0]), clamp_channel(w * channels[1]),
                         clamp_channel(w * channels[2]));
            for (int i = 0; i < rows; ++i)
                lines[i][px] = saturating_add(lines[i][px], add);
        }
    }
}

void Canvas::blit(const Canvas& source, std::int32_t sx, std::int32_t sy, std::int32_t dx,
                  std::int32_t dy, std::int32_t w, std::int32_t h) {
    if (w <= 0 || h <= 0) return;
    // Offsets i, j must keep both the source and the destination position inside.
    const std::int64_t i_lo =
        std::max<std::int64_t>({0, -static_cast<std::int64_t>(sx), -static_cast<std::int64_t>(dx)});
    const std::int64_t i_hi = std::min<std::int64_t>(
        {w, static_cast<std::int64_t>(source.width) - sx, static_cast<std::int64_t>(width) - dx});
    const std::int64_t j_lo =
        std::max<std::int64_t>({0, -static_cast<std::int64_t>(sy), -static_cast<std::int64_t>(dy)});
    const std::int64_t j_hi = std::min<std::int64_t>(
        {h, static_cast<std::int64_t>(source.height) - sy, static_cast<std::int64_t>(height) - dy});
    if (i_lo >= i_hi) return;
    for (std::int64_t j = j_lo; j < j_hi; ++j) {
        const auto from = source.pixels.begin() + (sy + j) * source.width + sx;
        const auto to = pixels.begin() + (dy + j) * width + dx;
        std::copy(from + i_lo, from + i_hi, to + i_lo);
    }
}

}  // namespace pyrelle
