#pragma once
// Four-lane float and integer vectors (GCC/Clang vector extensions) for the per-pixel and
// per-cell loops. Each lane computes exactly what the scalar code computes: the same IEEE
// operations in the same order, so results are bit-identical. SSE2 on x86-64, WebAssembly's
// SIMD in the browser build that has it, lane by lane elsewhere.
#include <cmath>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace pyrelle::simd {

using F4 = float __attribute__((vector_size(16)));
using I4 = std::int32_t __attribute__((vector_size(16)));

inline F4 load(const float* p) {
    F4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void store(float* p, F4 v) {
    std::memcpy(p, &v, sizeof v);
}

inline F4 splat(float f) {
    return F4{f, f, f, f};
}

// Lanes picked from a (0 to 3) and b (4 to 7). The GCC and Clang spelling alike, so the
// browser build (Clang) compiles it too.
template <int L0, int L1, int L2, int L3>
inline F4 shuffle(F4 a, F4 b) {
    return __builtin_shufflevector(a, b, L0, L1, L2, L3);
}

// Correctly rounded square root per lane, like std::sqrt.
inline F4 sqrt(F4 v) {
#if defined(__SSE2__)
    return _mm_sqrt_ps(v);
#elif defined(__wasm_simd128__)
    return reinterpret_cast<F4>(wasm_f32x4_sqrt(reinterpret_cast<v128_t>(v)));
#else
    return F4{std::sqrt(v[0]), std::sqrt(v[1]), std::sqrt(v[2]), std::sqrt(v[3])};
#endif
}

// Lane-wise minimum for lanes that are not NaN (either operand NaN gives b).
inline F4 min(F4 a, F4 b) {
#if defined(__SSE2__)
    return _mm_min_ps(a, b);
#elif defined(__wasm_simd128__)
    // pmin(x, y) is y < x ? y : x, so the operands go in swapped (f32x4.min would give NaN).
    return reinterpret_cast<F4>(
        wasm_f32x4_pmin(reinterpret_cast<v128_t>(b), reinterpret_cast<v128_t>(a)));
#else
    return F4{a[0] < b[0] ? a[0] : b[0], a[1] < b[1] ? a[1] : b[1], a[2] < b[2] ? a[2] : b[2],
              a[3] < b[3] ? a[3] : b[3]};
#endif
}

// Lane-wise maximum for lanes that are not NaN (either operand NaN gives b).
inline F4 max(F4 a, F4 b) {
#if defined(__SSE2__)
    return _mm_max_ps(a, b);
#elif defined(__wasm_simd128__)
    // pmax(x, y) is x < y ? y : x: swapped, as for min.
    return reinterpret_cast<F4>(
        wasm_f32x4_pmax(reinterpret_cast<v128_t>(b), reinterpret_cast<v128_t>(a)));
#else
    return F4{a[0] > b[0] ? a[0] : b[0], a[1] > b[1] ? a[1] : b[1], a[2] > b[2] ? a[2] : b[2],
              a[3] > b[3] ? a[3] : b[3]};
#endif
}

// Lane-wise select: mask lanes are all ones (true) or zero.
inline F4 select(I4 mask, F4 yes, F4 no) {
    const I4 y = reinterpret_cast<I4>(yes);
    const I4 n = reinterpret_cast<I4>(no);
    return reinterpret_cast<F4>((y & mask) | (n & ~mask));
}

inline I4 select(I4 mask, I4 yes, I4 no) {
    return (yes & mask) | (no & ~mask);
}

inline I4 splat(std::int32_t v) {
    return I4{v, v, v, v};
}

// Bit i set when lane i of a comparison result is true.
inline int lane_bits(I4 mask) {
#if defined(__SSE2__)
    return _mm_movemask_ps(reinterpret_cast<__m128>(mask));
#elif defined(__wasm_simd128__)
    return static_cast<int>(wasm_i32x4_bitmask(reinterpret_cast<v128_t>(mask)));
#else
    return (mask[0] ? 1 : 0) | (mask[1] ? 2 : 0) | (mask[2] ? 4 : 0) | (mask[3] ? 8 : 0);
#endif
}

// Four bytes, each widened to a lane.
inline I4 widen_bytes(const std::uint8_t* p) {
#if defined(__SSE2__)
    std::int32_t word;
    std::memcpy(&word, p, sizeof word);
    const __m128i zero = _mm_setzero_si128();
    const __m128i bytes = _mm_cvtsi32_si128(word);
    return reinterpret_cast<I4>(_mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero));
#elif defined(__wasm_simd128__)
    return reinterpret_cast<I4>(
        wasm_u32x4_extend_low_u16x8(wasm_u16x8_extend_low_u8x16(wasm_v128_load32_zero(p))));
#else
    return I4{p[0], p[1], p[2], p[3]};
#endif
}

// The lanes of a comparison result as four bytes, 1 where true.
inline void narrow_mask(I4 mask, std::uint8_t* out) {
#if defined(__SSE2__)
    // Lanes of 0 or -1 pack to bytes of 0 or -1 (signed saturation keeps them), then 0 or 1.
    const __m128i words = _mm_packs_epi32(reinterpret_cast<__m128i>(mask), _mm_setzero_si128());
    const __m128i bytes = _mm_packs_epi16(words, _mm_setzero_si128());
    const std::int32_t four = _mm_cvtsi128_si32(_mm_and_si128(bytes, _mm_set1_epi8(1)));
    std::memcpy(out, &four, sizeof four);
#elif defined(__wasm_simd128__)
    // The same signed narrowing as SSE2's packs: 0 and -1 stay 0 and -1.
    const v128_t zero = wasm_i32x4_splat(0);
    const v128_t words = wasm_i16x8_narrow_i32x4(reinterpret_cast<v128_t>(mask), zero);
    const v128_t bytes = wasm_i8x16_narrow_i16x8(words, zero);
    const std::int32_t four = wasm_i32x4_extract_lane(wasm_v128_and(bytes, wasm_i8x16_splat(1)), 0);
    std::memcpy(out, &four, sizeof four);
#else
    const int bits = lane_bits(mask);
    for (int lane = 0; lane < 4; ++lane)
        out[lane] = static_cast<std::uint8_t>((bits >> lane) & 1);
#endif
}

// Four 0x00RRGGBB pixels.
inline I4 load_pixels(const std::uint32_t* p) {
    I4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void store_pixels(std::uint32_t* p, I4 v) {
    std::memcpy(p, &v, sizeof v);
}

// One channel (shift 16 red, 8 green, 0 blue) of four pixels, 0..255.
inline I4 channel(I4 pixels, int shift) {
    return (pixels >> shift) & splat(255);
}

inline F4 to_float(I4 v) {
    return __builtin_convertvector(v, F4);
}

// Truncated toward zero, for lanes inside the int range.
inline I4 truncate(F4 v) {
    return __builtin_convertvector(v, I4);
}

// clamp(v, 0, 255) truncated, NaN giving 0: the canvas's clamp_channel per lane (the
// maximum with 0 returns 0 for NaN).
inline I4 clamp_channel(F4 v) {
    return truncate(min(max(v, splat(0.0f)), splat(255.0f)));
}

// Rounded half away from zero for lanes in [0, 2^23): the fraction v - trunc(v) is exact
// there, so comparing it with 0.5 decides as round() does.
inline I4 round_non_negative(F4 v) {
    const I4 t = truncate(v);
    return t - ((v - to_float(t)) >= 0.5f);  // a true comparison is -1
}

// Per byte min(a + b, 255): the canvas's saturating add of two 0x00RRGGBB colours.
inline I4 add_saturating(I4 a, I4 b) {
#if defined(__SSE2__)
    return reinterpret_cast<I4>(
        _mm_adds_epu8(reinterpret_cast<__m128i>(a), reinterpret_cast<__m128i>(b)));
#elif defined(__wasm_simd128__)
    return reinterpret_cast<I4>(
        wasm_u8x16_add_sat(reinterpret_cast<v128_t>(a), reinterpret_cast<v128_t>(b)));
#else
    I4 out;
    for (int lane = 0; lane < 4; ++lane) {
        std::uint32_t sum = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const std::uint32_t c = ((static_cast<std::uint32_t>(a[lane]) >> shift) & 255u) +
                                    ((static_cast<std::uint32_t>(b[lane]) >> shift) & 255u);
            sum |= (c > 255u ? 255u : c) << shift;
        }
        out[lane] = static_cast<std::int32_t>(sum);
    }
    return out;
#endif
}

}  // namespace pyrelle::simd
