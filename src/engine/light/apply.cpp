#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "engine/lanes.hpp"
#include "engine/light/layout.hpp"
#include "engine/light/light_map.hpp"
#include "engine/light/planes.hpp"
#include "engine/simd.hpp"

#if PYRELLE_EIGHT_LANES
#include <immintrin.h>
#endif

namespace pyrelle {

namespace {

constexpr float kMargin = static_cast<float>(light_layout::kMargin);

// Light is shown in steps of 1 / kLevels, and no brighter than kLightCap.
constexpr float kLightCap = 1.8f;
constexpr float kLevels = 7.0f;
// The eight-lane apply reads k / kLevels + ambient from a table instead of dividing: the
// highest step, k = floor(kLightCap × kLevels + t) with a dither t below 1, must be in it.
constexpr std::size_t kLevelTable = 16;
static_assert(kLightCap * kLevels + 1.0f <= static_cast<float>(kLevelTable),
              "every step has its entry");

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

// floor(min(l, kLightCap) × kLevels + t) / kLevels, not below 0, plus ambient, computed with
// a truncation instead of the floor: where v = l × kLevels + t is at least 0 the two agree;
// where v is negative both give a level of at most 0, which the lower bound turns into 0.
// Light below -1 is first raised to -1 (its level is 0 anyway), which keeps v above -kLevels
// and the conversion in range. NaN light gives a NaN factor (adding d - d), which ends black, as
// it does by the rule.
float light_factor(float l, float t, float ambient) {
    const float high = l > kLightCap ? kLightCap : l;
    const float d = high < -1.0f ? -1.0f : high;
    const float safe = d == d ? d : 0.0f;
    const std::int32_t k = static_cast<std::int32_t>(safe * kLevels + t);
    const float level = static_cast<float>(k > 0 ? k : 0) / kLevels;
    return (level + ambient) + (d - d);
}

// clamp(old × factor, 0, 255) truncated, NaN giving 0.
std::uint32_t scaled_channel(std::uint32_t old, float factor) {
    float v = static_cast<float>(static_cast<std::int32_t>(old)) * factor;
    v = v > 0.0f ? v : 0.0f;
    v = v < 255.0f ? v : 255.0f;
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
}

// The vector twins below work on any lane count: F and I are float and int vectors of the
// same width.

// light_factor per lane.
template <class F, class I>
[[gnu::always_inline]] inline F light_factor(F l, F t, F ambient) {
    using lanes::splat;
    const F high = l > kLightCap ? splat<F>(kLightCap) : l;
    const F d = high < -1.0f ? splat<F>(-1.0f) : high;
    const F safe = d == d ? d : splat<F>(0.0f);
    const I k = __builtin_convertvector(safe * kLevels + t, I);
    const F level = __builtin_convertvector(k > 0 ? k : splat<I>(0), F) / kLevels;
    return (level + ambient) + (d - d);
}

// The common case: finite light >= 0 read with fractions in [0, 1]. A lerp of two values
// >= 0 with such a fraction is >= 0 (the product (b - a) × f never exceeds a in size), so
// v >= t > 0: the floor is a truncation, the lower bound is idle and no NaN needs care.
template <class F, class I>
[[gnu::always_inline]] inline F plain_light_factor(F l, F t, F ambient) {
    const F capped = lanes::min(l, lanes::splat<F>(kLightCap));
    const I k = __builtin_convertvector(capped * kLevels + t, I);
    return __builtin_convertvector(k, F) / kLevels + ambient;
}

#if PYRELLE_EIGHT_LANES
// The plain factor's last step, k / kLevels + ambient, read from a table of the same sums
// (`levels`, kLevelTable entries) instead of dividing.
PYRELLE_AVX2 inline lanes::F8 level_plus_ambient(lanes::I8 k, const float* levels) {
    static_assert(kLevelTable == 16, "the table is read as two halves of eight");
    const __m256 low = _mm256_loadu_ps(levels);
    const __m256 high = _mm256_loadu_ps(levels + 8);
    const __m256i index = reinterpret_cast<__m256i>(k);
    const __m256 from_low = _mm256_permutevar8x32_ps(low, index);  // uses k mod 8
    const __m256 from_high = _mm256_permutevar8x32_ps(high, index);
    const __m256i past_low = _mm256_cmpgt_epi32(index, _mm256_set1_epi32(7));
    return _mm256_blendv_ps(from_low, from_high, reinterpret_cast<__m256>(past_low));
}
#endif

// scaled_channel per lane, on the channel at `shift` of a vector of pixels.
template <class F, class I>
[[gnu::always_inline]] inline I scaled_channel(I pixels, int shift, F factor) {
    const F v = __builtin_convertvector((pixels >> shift) & 255, F) * factor;
    const F low = lanes::max(v, lanes::splat<F>(0.0f));  // NaN gives 0
    const F high = lanes::min(low, lanes::splat<F>(255.0f));
    return __builtin_convertvector(high, I);
}

// What apply() needs for one pixel row: the two light rows interpolated along x (r, g, b
// planes of `width` values each), the vertical fraction, the dither and the ambient light.
struct PixelRow {
    const float* top;
    const float* bottom;
    float fy;
    const float* dither;   // four values, repeating along the row
    const float* ambient;  // r, g, b
    const float* levels;   // per channel kLevelTable values: k / kLevels + its ambient
    std::uint32_t* pixels;
    std::size_t width;
};

// The vertical lerp, the factor per channel and the pixels scaled by it, as many pixels at
// a time as F has lanes; returns the first pixel left over.
template <class F, class I, bool kPlain>
[[gnu::always_inline]] inline std::size_t scale_row(const PixelRow& row) {
    constexpr std::size_t n = sizeof(F) / sizeof(float);
    const std::size_t w = row.width;
    F dither;
    for (std::size_t i = 0; i < n; ++i)
        dither[i] = row.dither[i & 3u];
    std::size_t x = 0;
    for (; x + n <= w; x += n) {
        F f[3];
        for (std::size_t c = 0; c < 3; ++c) {
            const F ta = lanes::load<F>(row.top + c * w + x);
            const F l = ta + (lanes::load<F>(row.bottom + c * w + x) - ta) * row.fy;
            const F a = lanes::splat<F>(row.ambient[c]);
            if constexpr (!kPlain) {
                f[c] = light_factor<F, I>(l, dither, a);
#if PYRELLE_EIGHT_LANES
            } else if constexpr (std::is_same_v<F, lanes::F8>) {
                const F capped = lanes::min(l, lanes::splat<F>(kLightCap));
                const I k = __builtin_convertvector(capped * kLevels + dither, I);
                f[c] = level_plus_ambient(k, row.levels + kLevelTable * c);
#endif
            } else {
                f[c] = plain_light_factor<F, I>(l, dither, a);
            }
        }
        const I p = lanes::load<I>(row.pixels + x);
        const I out = (scaled_channel<F, I>(p, 16, f[0]) << 16) |
                      (scaled_channel<F, I>(p, 8, f[1]) << 8) | scaled_channel<F, I>(p, 0, f[2]);
        lanes::store(row.pixels + x, out);
    }
    return x;
}

std::size_t scale_row_four(const PixelRow& row, bool plain) {
    return plain ? scale_row<simd::F4, simd::I4, true>(row)
                 : scale_row<simd::F4, simd::I4, false>(row);
}

#if PYRELLE_EIGHT_LANES
PYRELLE_AVX2 std::size_t scale_row_eight(const PixelRow& row, bool plain) {
    return plain ? scale_row<lanes::F8, lanes::I8, true>(row)
                 : scale_row<lanes::F8, lanes::I8, false>(row);
}
#endif

// Whether every value of v[0, n) is finite and >= 0 (NaN fails both comparisons).
template <class F, class I>
[[gnu::always_inline]] inline bool finite_non_negative(const float* v, std::size_t n) {
    constexpr std::size_t width = sizeof(F) / sizeof(float);
    I ok_lanes = lanes::splat<I>(-1);
    std::size_t i = 0;
    for (; i + width <= n; i += width) {
        const F x = lanes::load<F>(v + i);
        ok_lanes &= (x >= 0.0f) & (x <= FLT_MAX);
    }
    int ok = 1;
    for (std::size_t lane = 0; lane < width; ++lane)
        ok &= static_cast<int>(ok_lanes[lane] != 0);
    for (; i < n; ++i)
        ok &= static_cast<int>(v[i] >= 0.0f) & static_cast<int>(v[i] <= FLT_MAX);
    return ok != 0;
}

#if PYRELLE_EIGHT_LANES
PYRELLE_AVX2 bool finite_non_negative_eight(const float* v, std::size_t n) {
    return finite_non_negative<lanes::F8, lanes::I8>(v, n);
}
#endif

bool finite_non_negative(const std::vector<LightRgb>& light, bool eight) {
    const float* v = &light.front().r;  // LightRgb is three packed floats
    const std::size_t n = light.size() * 3;
#if PYRELLE_EIGHT_LANES
    if (eight) return finite_non_negative_eight(v, n);
#endif
    (void)eight;
    return finite_non_negative<simd::F4, simd::I4>(v, n);
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
    const std::size_t w = apply_.col_k.size();
    const LightRgb* row = &light[static_cast<std::size_t>(j) * gw];
    std::size_t x = 0;
    if (apply_.paired) {
        // With paired taps every pixel pair reads three neighbouring cells: the cells are laid
        // out by channel, then four pairs at a time take the same lerps as the loop below.
        const std::size_t cells = w / 2 + 5;  // the last pair reads cell w / 2 + 4
        float* planes[3] = {apply_.soa.data(), apply_.soa.data() + gw, apply_.soa.data() + 2 * gw};
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
        const LightRgb& a = row[apply_.col_k[x]];
        const LightRgb& b = row[apply_.col_k[x] + 1];
        const float f = apply_.col_f[x];
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
void LightMap::apply(Canvas& canvas, PixelLanes lanes) {
    [[maybe_unused]] const bool eight = lanes == PixelLanes::Widest && lanes::have_eight();
    const std::size_t w = canvas.width;
    const float cellf = static_cast<float>(cell);
    apply_.col_k.resize(w);
    apply_.col_f.resize(w);
    apply_.row_a.resize(3 * w);
    apply_.row_b.resize(3 * w);
    bool plain = finite_non_negative(light, eight);
    for (std::size_t x = 0; x < w; ++x) {
        const Tap t = tap(static_cast<float>(x), cellf, gw);
        apply_.col_k[x] = t.index;
        apply_.col_f[x] = t.fraction;
        plain &= t.fraction >= 0.0f && t.fraction <= 1.0f;
    }
    apply_.paired = paired_taps(apply_.col_k, apply_.col_f);
    std::uint32_t top_row = std::numeric_limits<std::uint32_t>::max();
    float* top = apply_.row_a.data();
    float* bottom = apply_.row_b.data();
    const float ambient_of[3] = {ambient.r, ambient.g, ambient.b};
    float levels[3 * kLevelTable];
    for (std::size_t c = 0; c < 3; ++c)
        for (std::size_t k = 0; k < kLevelTable; ++k)
            levels[kLevelTable * c + k] = static_cast<float>(k) / kLevels + ambient_of[c];
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
        const float dither[4] = {(bayer[0] + 0.5f) * 0.0625f, (bayer[1] + 0.5f) * 0.0625f,
                                 (bayer[2] + 0.5f) * 0.0625f, (bayer[3] + 0.5f) * 0.0625f};
        std::uint32_t* pixels = &canvas.pixels[static_cast<std::size_t>(y) * w];
        const PixelRow row{top, bottom, fy, dither, ambient_of, levels, pixels, w};
#if PYRELLE_EIGHT_LANES
        std::size_t x = eight ? scale_row_eight(row, plain_row) : scale_row_four(row, plain_row);
#else
        std::size_t x = scale_row_four(row, plain_row);
#endif
        for (; x < w; ++x) {
            const float t = dither[x & 3u];
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
