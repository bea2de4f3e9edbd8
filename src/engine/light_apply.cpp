#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/light.hpp"
#include "engine/light_planes.hpp"
#include "engine/simd.hpp"

namespace pyrelle {

namespace {

constexpr float kMargin = 4.0f;  // light cells before the view's top-left corner

// Bayer ordered-dither matrix.
constexpr float kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

float lerp(float a, float b, float t) {
    return a + (b - a) * t;
}

// Where sample() reads along one axis: the lower cell and the fraction towards the next.
struct Tap {
    std::uint32_t index;
    float fraction;
};

Tap tap(float p, float cell, std::uint32_t cells) {
    const float u = (p + 0.5f) / cell - 0.5f + kMargin;
    const std::int32_t fl = floor_i32(u);
    std::uint32_t index = fl < 0 ? 0u : static_cast<std::uint32_t>(fl);
    const float fraction = u - static_cast<float>(index);
    // Only reachable off the view; keeps the read inside the grid.
    index = std::min(index, cells >= 2 ? cells - 2 : 0u);
    return {index, fraction};
}

// floor(min(l, 1.8) × 7 + t) / 7, not below 0, plus ambient, computed with a truncation
// instead of the floor: where v = l × 7 + t is at least 0 the two agree; where v is
// negative both give a level of at most 0, which the lower bound turns into 0. Light below
// -1 is first raised to -1 (its level is 0 anyway), which keeps v above -7 and the
// conversion in range. NaN light gives a NaN factor (adding d - d), which ends black, as
// it does by the rule.
float light_factor(float l, float t, float ambient) {
    const float high = l > 1.8f ? 1.8f : l;
    const float d = high < -1.0f ? -1.0f : high;
    const float safe = d == d ? d : 0.0f;
    const std::int32_t k = static_cast<std::int32_t>(safe * 7.0f + t);
    const float level = static_cast<float>(k > 0 ? k : 0) / 7.0f;
    return (level + ambient) + (d - d);
}

simd::F4 light_factor(simd::F4 l, simd::F4 t, simd::F4 ambient) {
    using namespace simd;
    const F4 high = select(l > 1.8f, splat(1.8f), l);
    const F4 d = select(high < -1.0f, splat(-1.0f), high);
    const F4 safe = select(d == d, d, splat(0.0f));
    const I4 k = __builtin_convertvector(safe * 7.0f + t, I4);
    const F4 level = __builtin_convertvector(select(k > 0, k, I4{0, 0, 0, 0}), F4) / 7.0f;
    return (level + ambient) + (d - d);
}

// clamp(old × factor, 0, 255) truncated, NaN giving 0.
std::uint32_t scaled_channel(std::uint32_t old, float factor) {
    float v = static_cast<float>(static_cast<std::int32_t>(old)) * factor;
    v = v > 0.0f ? v : 0.0f;
    v = v < 255.0f ? v : 255.0f;
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
}

// The common case: finite light >= 0 read with fractions in [0, 1]. A lerp of two values
// >= 0 with such a fraction is >= 0 (the product (b - a) × f never exceeds a in size), so
// v >= t > 0: the floor is a truncation, the lower bound is idle and no NaN needs care.
simd::F4 plain_light_factor(simd::F4 l, simd::F4 t, simd::F4 ambient) {
    using namespace simd;
    const I4 k = __builtin_convertvector(min(l, splat(1.8f)) * 7.0f + t, I4);
    return __builtin_convertvector(k, F4) / 7.0f + ambient;
}

bool finite_non_negative(const std::vector<LightRgb>& light) {
    using namespace simd;
    const float* v = &light.front().r;  // LightRgb is three packed floats
    const std::size_t n = light.size() * 3;
    I4 ok4 = splat(-1);
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const F4 x = load(v + i);
        ok4 &= (x >= 0.0f) & (x <= FLT_MAX);
    }
    int ok = lane_bits(ok4) == 0xF;
    for (; i < n; ++i)
        ok &= static_cast<int>(v[i] >= 0.0f) & static_cast<int>(v[i] <= FLT_MAX);
    return ok != 0;
}

// Four pixels times their factors, per channel: clamp(old × factor, 0, 255) truncated, NaN
// giving 0 (the canvas's clamp_channel per lane).
simd::I4 scale_pixels(simd::I4 p, simd::F4 r, simd::F4 g, simd::F4 b) {
    using namespace simd;
    const auto scaled = [&](int shift, F4 factor) {
        return clamp_channel(to_float(channel(p, shift)) * factor);
    };
    return (scaled(16, r) << 16) | (scaled(8, g) << 8) | scaled(0, b);
}

}  // namespace

LightRgb LightMap::sample(float px, float py) const {
    const float cellf = static_cast<float>(cell);
    const Tap tk = tap(px, cellf, gw);
    const Tap tj = tap(py, cellf, gh);
    const auto at = [&](std::uint32_t k, std::uint32_t j) -> const LightRgb& {
        return light[k + static_cast<std::size_t>(j) * gw];
    };
    const LightRgb& a = at(tk.index, tj.index);
    const LightRgb& b = at(tk.index + 1, tj.index);
    const LightRgb& c = at(tk.index, tj.index + 1);
    const LightRgb& d = at(tk.index + 1, tj.index + 1);
    const LightRgb top{lerp(a.r, b.r, tk.fraction), lerp(a.g, b.g, tk.fraction),
                       lerp(a.b, b.b, tk.fraction)};
    const LightRgb bottom{lerp(c.r, d.r, tk.fraction), lerp(c.g, d.g, tk.fraction),
                          lerp(c.b, d.b, tk.fraction)};
    return {lerp(top.r, bottom.r, tj.fraction), lerp(top.g, bottom.g, tj.fraction),
            lerp(top.b, bottom.b, tj.fraction)};
}

// Whether pixel 2m reads light cells m + 3 and m + 4 at 0.75 and pixel 2m + 1 cells m + 4
// and m + 5 at 0.25: the taps of light cells two pixels wide, the game's.
bool paired_taps(const std::vector<std::uint32_t>& k, const std::vector<float>& f) {
    for (std::size_t x = 0; x < k.size(); ++x) {
        const bool odd = (x & 1u) != 0;
        if (k[x] != x / 2 + 3 + (odd ? 1u : 0u) || f[x] != (odd ? 0.25f : 0.75f)) return false;
    }
    return true;
}

// The horizontal half of sample() for every column of one light row: r, g, b planes.
void LightMap::interpolate_row(std::uint32_t j, float* out) {
    const std::size_t w = col_k_.size();
    const LightRgb* row = &light[static_cast<std::size_t>(j) * gw];
    std::size_t x = 0;
    if (paired_) {
        // With paired taps every pixel pair reads three neighbouring cells: the cells are laid
        // out by channel, then four pairs at a time take the same lerps as the loop below.
        const std::size_t cells = w / 2 + 5;  // the last pair reads cell w / 2 + 4
        float* planes[3] = {soa_.data(), soa_.data() + gw, soa_.data() + 2 * gw};
        std::size_t i = 0;
        for (; i + 4 <= cells; i += 4) {
            const Planes p = load_planes(row + i);
            simd::store(planes[0] + i, p.r);
            simd::store(planes[1] + i, p.g);
            simd::store(planes[2] + i, p.b);
        }
        for (; i < cells; ++i) {
            planes[0][i] = row[i].r;
            planes[1][i] = row[i].g;
            planes[2][i] = row[i].b;
        }
        std::size_t m = 0;
        for (; 2 * (m + 4) <= w; m += 4) {
            for (std::size_t c = 0; c < 3; ++c) {
                using namespace simd;
                const F4 a = load(planes[c] + m + 3);
                const F4 b = load(planes[c] + m + 4);
                const F4 d = load(planes[c] + m + 5);
                const F4 even = a + (b - a) * 0.75f;
                const F4 odd = b + (d - b) * 0.25f;
                store(out + c * w + 2 * m, simd::shuffle<0, 4, 1, 5>(even, odd));
                store(out + c * w + 2 * m + 4, simd::shuffle<2, 6, 3, 7>(even, odd));
            }
        }
        x = 2 * m;
    }
    for (; x < w; ++x) {
        const LightRgb& a = row[col_k_[x]];
        const LightRgb& b = row[col_k_[x] + 1];
        const float f = col_f_[x];
        out[x] = lerp(a.r, b.r, f);
        out[x + w] = lerp(a.g, b.g, f);
        out[x + 2 * w] = lerp(a.b, b.b, f);
    }
}

// The same result as sample() and the rule for every pixel on its own. sample() is
// lerp(lerp(a, b, fx), lerp(c, d, fx), fy): the taps and fractions along x are the same for
// every pixel row, and the horizontal lerps depend only on the light row and the column.
// So each light row is interpolated once (interpolate_row) for every pixel row that reads
// it as its top or bottom row, and each pixel row finishes with the vertical lerp: the same
// float operations in the same order, four pixels at a time.
void LightMap::apply(Canvas& canvas) {
    const std::size_t w = canvas.width;
    const float cellf = static_cast<float>(cell);
    col_k_.resize(w);
    col_f_.resize(w);
    row_a_.resize(3 * w);
    row_b_.resize(3 * w);
    bool plain = finite_non_negative(light);
    for (std::size_t x = 0; x < w; ++x) {
        const Tap t = tap(static_cast<float>(x), cellf, gw);
        col_k_[x] = t.index;
        col_f_[x] = t.fraction;
        plain &= t.fraction >= 0.0f && t.fraction <= 1.0f;
    }
    paired_ = paired_taps(col_k_, col_f_);
    std::uint32_t top_row = std::numeric_limits<std::uint32_t>::max();
    float* top = row_a_.data();
    float* bottom = row_b_.data();
    const float ambient_of[3] = {ambient.r, ambient.g, ambient.b};
    for (std::uint32_t y = 0; y < canvas.height; ++y) {
        const Tap t = tap(static_cast<float>(y), cellf, gh);
        if (t.index != top_row) {
            if (t.index == top_row + 1) {
                std::swap(top, bottom);
            } else {
                interpolate_row(t.index, top);
            }
            interpolate_row(t.index + 1, bottom);
            top_row = t.index;
        }
        const float fy = t.fraction;
        const bool plain_row = plain && fy >= 0.0f && fy <= 1.0f;
        const float* bayer = kBayer[y & 3u];
        const simd::F4 dither4 =
            (simd::F4{bayer[0], bayer[1], bayer[2], bayer[3]} + 0.5f) * 0.0625f;
        std::uint32_t* pixels = &canvas.pixels[static_cast<std::size_t>(y) * w];
        const simd::F4 amb4[3] = {simd::splat(ambient_of[0]), simd::splat(ambient_of[1]),
                                  simd::splat(ambient_of[2])};
        // Four pixels at a time: the vertical lerp and the factor per channel, then the
        // pixels scaled by them.
        const auto four = [&](std::size_t x, auto factor_of) {
            simd::F4 f[3];
            for (std::size_t c = 0; c < 3; ++c) {
                const simd::F4 ta = simd::load(top + c * w + x);
                const simd::F4 l = ta + (simd::load(bottom + c * w + x) - ta) * fy;
                f[c] = factor_of(l, dither4, amb4[c]);
            }
            simd::store_pixels(pixels + x,
                               scale_pixels(simd::load_pixels(pixels + x), f[0], f[1], f[2]));
        };
        std::size_t x = 0;
        if (plain_row) {
            for (; x + 4 <= w; x += 4)
                four(x, [](simd::F4 l, simd::F4 t, simd::F4 a) {
                    return plain_light_factor(l, t, a);
                });
        } else {
            for (; x + 4 <= w; x += 4)
                four(x, [](simd::F4 l, simd::F4 t, simd::F4 a) { return light_factor(l, t, a); });
        }
        for (; x < w; ++x) {
            const float t = (bayer[x & 3u] + 0.5f) * 0.0625f;
            float f[3];
            for (std::size_t c = 0; c < 3; ++c)
                f[c] = light_factor(lerp(top[c * w + x], bottom[c * w + x], fy), t, ambient_of[c]);
            const std::uint32_t p = pixels[x];
            pixels[x] = pack_rgb(scaled_channel(red_of(p), f[0]), scaled_channel(green_of(p), f[1]),
                                 scaled_channel(blue_of(p), f[2]));
        }
    }
}

}  // namespace pyrelle
