#pragma once
// Vector helpers written once for any lane count, for loops compiled both for every x86-64
// (four lanes) and, chosen at run time, for processors with AVX2 (eight lanes). Each lane
// does exactly the scalar code's IEEE operations in the same order, so the two give the
// same bits.
#include <cstdint>
#include <cstring>

#include "engine/simd.hpp"

// The eight-lane twins are built by GCC for x86-64 only: the browser has no AVX2, and
// Clang refuses the inlined templates that carry AVX vectors into target("avx2") code.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define PYRELLE_EIGHT_LANES 1
#define PYRELLE_AVX2 __attribute__((target("avx2")))
#else
#define PYRELLE_EIGHT_LANES 0
#define PYRELLE_AVX2
#endif

#if PYRELLE_EIGHT_LANES
#include <immintrin.h>
#endif

namespace pyrelle::lanes {

using F8 = float __attribute__((vector_size(32)));
using I8 = std::int32_t __attribute__((vector_size(32)));

// The eight-lane versions are built and the processor can run them.
inline bool have_eight() {
#if PYRELLE_EIGHT_LANES
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

// a < b ? a : b and a > b ? a : b per lane (NaN in either gives b): minps and maxps, one
// instruction each where the compiler would otherwise compare and blend.
inline simd::F4 min(simd::F4 a, simd::F4 b) {
    return simd::min(a, b);
}

inline simd::F4 max(simd::F4 a, simd::F4 b) {
    return simd::max(a, b);
}

#if PYRELLE_EIGHT_LANES
PYRELLE_AVX2 inline F8 min(F8 a, F8 b) {
    return _mm256_min_ps(a, b);
}

PYRELLE_AVX2 inline F8 max(F8 a, F8 b) {
    return _mm256_max_ps(a, b);
}
#endif

template <class V>
[[gnu::always_inline]] inline V load(const void* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class V>
[[gnu::always_inline]] inline void store(void* p, V v) {
    std::memcpy(p, &v, sizeof v);
}

template <class V, class S>
[[gnu::always_inline]] inline V splat(S s) {
    return V{} + s;
}

}  // namespace pyrelle::lanes
