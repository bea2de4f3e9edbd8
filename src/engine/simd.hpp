#pragma once
// Four-lane float and integer vectors (GCC/Clang vector extensions) for the per-pixel and
// per-cell loops. Each lane computes exactly what the scalar code computes: the same IEEE
// operations in the same order, so results are bit-identical.
#include <cmath>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
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

// Correctly rounded square root per lane, like std::sqrt.
inline F4 sqrt(F4 v) {
#if defined(__SSE2__)
    return _mm_sqrt_ps(v);
#else
    return F4{std::sqrt(v[0]), std::sqrt(v[1]), std::sqrt(v[2]), std::sqrt(v[3])};
#endif
}

// Lane-wise minimum for lanes that are not NaN (either operand NaN gives b).
inline F4 min(F4 a, F4 b) {
#if defined(__SSE2__)
    return _mm_min_ps(a, b);
#else
    return F4{a[0] < b[0] ? a[0] : b[0], a[1] < b[1] ? a[1] : b[1], a[2] < b[2] ? a[2] : b[2],
              a[3] < b[3] ? a[3] : b[3]};
#endif
}

// Lane-wise maximum for lanes that are not NaN (either operand NaN gives b).
inline F4 max(F4 a, F4 b) {
#if defined(__SSE2__)
    return _mm_max_ps(a, b);
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

}  // namespace pyrelle::simd
