#pragma once
// What the correctly rounded float functions share: double-double arithmetic for their slow
// paths, the test that says whether a double approximation is too close to the middle of two
// floats to be rounded, and the constants (float_math_tables.cpp, generated from MPFR).
#include <cstdint>
#include <cstring>

namespace pyrelle::fmath::detail {

constexpr int kTwoOverPiWordCount = 12;
extern const std::uint32_t kTwoOverPiWords[kTwoOverPiWordCount];
extern const double kPiOver2Part1, kPiOver2Part2, kPiOver2Part3, kPiOver2Hi, kPiOver2Lo;
extern const double kPiOver4, kTwoOverPi;
extern const double kLn2Hi, kLn2Lo, kInvLn2Hi, kInvLn2Lo, kLn2Over64Hi, kLn2Over64Lo, k64OverLn2;
extern const double kSinCoeffs[8], kCosCoeffs[8], kExpCoeffs[5], kLog2Coeffs[8];
extern const double kExp2Table[64];
extern const double kLogInverse[128], kLogMinusLog2Inverse[128];

inline std::uint64_t bits_of(double v) {
    std::uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}
inline double double_from_bits(std::uint64_t u) {
    double v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}
inline std::uint32_t bits_of(float v) {
    std::uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}
inline float float_from_bits(std::uint32_t u) {
    float v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

// The fast paths' relative error bounds (the arguments stand above each function), and the
// distance from a float midpoint within which their result goes to the slow path: four times
// the bound, in units in the last place of the double result (an ulp is at least 2^-53 of it).
constexpr double kTrigErrorBound = 0x1p-50;
constexpr std::uint64_t kTrigTolerance = 32;  // 4 * 2^-50 * 2^53
constexpr double kExpErrorBound = 0x1p-51;
constexpr std::uint64_t kExpTolerance = 16;  // 4 * 2^-51 * 2^53
constexpr double kPowErrorBound = 0x1p-43;
constexpr std::uint64_t kPowTolerance = 4096;  // 4 * 2^-43 * 2^53

// The fast paths' double results, before the midpoint test, reachable so that the tests can
// hold each to its bound. sin_cos_fast takes a finite x (phase 0 for sin, 1 for cos) and
// returns false for the arguments it leaves to the slow path; exp_fast takes
// -104 <= x <= 89, exp2_fast a non-integer -150 < x < 128; pow_fast takes |x| finite and
// non-zero and y finite, returns its z = y log2|x| and sets v = 2^z when -152 <= z <= 129.
bool sin_cos_fast(float x, std::int32_t phase, double& v);
double exp_fast(float x);
double exp2_fast(float x);
double pow_fast(double ax, float y, double& v);

// 2^n for -1022 <= n <= 1023, built from its bits.
inline double pow2(std::int32_t n) {
    return double_from_bits(static_cast<std::uint64_t>(n + 1023) << 52);
}

// True when |v| lies within `tolerance` units in the last place of v of the midpoint between
// two consecutive floats (of the subnormal floats' spacing below 2^-126), that is when an exact
// value that close to v might round to another float than v does. Beyond the largest float the
// midpoint below 2^128 is the one that matters, and the bit test below sees it as any other.
inline bool near_float_midpoint(double v, std::uint64_t tolerance) {
    const std::uint64_t magnitude = bits_of(v) & 0x7FFFFFFFFFFFFFFFull;
    if (magnitude >= 0x3810000000000000ull) {  // 2^-126: the float keeps 24 of the 53 bits
        const std::uint64_t low = magnitude & 0x1FFFFFFFu;  // the 29 bits the rounding drops
        return low - (0x10000000u - tolerance) <= 2 * tolerance;
    }
    const double scaled = double_from_bits(magnitude) * 0x1p149;  // exact; 1 = 2^-149
    const double below = scaled - static_cast<double>(static_cast<std::int64_t>(scaled));
    const double from_half = below < 0.5 ? 0.5 - below : below - 0.5;
    return from_half <= static_cast<double>(tolerance) * 0x1p-52 * scaled;
}

// A double-double: hi + lo with |lo| <= ulp(hi) / 2, about 106 bits.
struct Dd {
    double hi, lo;
};

inline Dd two_sum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}
inline Dd fast_two_sum(double a, double b) {  // |a| >= |b| or a == 0
    const double s = a + b;
    return {s, b - (s - a)};
}
// Dekker's exact product without a fused multiply-add: splits each factor into two halves of
// 26 bits whose products are exact.
inline Dd two_product(double a, double b) {
    const double p = a * b;
    const double ca = 134217729.0 * a, cb = 134217729.0 * b;  // 2^27 + 1
    const double ah = ca - (ca - a), al = a - ah;
    const double bh = cb - (cb - b), bl = b - bh;
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}
inline Dd dd_add(Dd a, Dd b) {
    const Dd s = two_sum(a.hi, b.hi);
    const Dd t = two_sum(a.lo, b.lo);
    const Dd u = fast_two_sum(s.hi, s.lo + t.hi);
    return fast_two_sum(u.hi, u.lo + t.lo);
}
inline Dd dd_add(Dd a, double b) {
    const Dd s = two_sum(a.hi, b);
    return fast_two_sum(s.hi, s.lo + a.lo);
}
inline Dd dd_mul(Dd a, Dd b) {
    const Dd p = two_product(a.hi, b.hi);
    return fast_two_sum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}
inline Dd dd_mul(Dd a, double b) {
    const Dd p = two_product(a.hi, b);
    return fast_two_sum(p.hi, p.lo + a.lo * b);
}
inline Dd dd_div(Dd a, double b) {
    const double q = a.hi / b;
    const Dd p = two_product(q, b);
    return fast_two_sum(q, (((a.hi - p.hi) - p.lo) + a.lo) / b);
}
inline Dd dd_neg(Dd a) {
    return {-a.hi, -a.lo};
}

// The float nearest to hi + lo. Only when hi is itself a float midpoint can lo change the
// answer; then moving hi one double towards lo puts it on lo's side (a midpoint's neighbours
// are no midpoints, and the floats are further away).
inline float round_to_float(Dd v) {
    double hi = v.hi;
    if (v.lo != 0.0 && near_float_midpoint(hi, 0)) {
        const bool away = (v.lo > 0.0) == (hi > 0.0);
        hi = double_from_bits(away ? bits_of(hi) + 1 : bits_of(hi) - 1);
    }
    return static_cast<float>(hi);
}

// 2^(k/64) * e^t for |t| <= ln2/128 * 1.01 and -160 * 64 <= k <= 130 * 64, relative error
// below 2^-51.3: the table entry and the product each round once (2^-53 each), the Taylor
// polynomial of degree 6 leaves |t|^7/7! < 2^-65, and its Horner sum is 1 + t(1 + ...) whose
// last addition rounds once (2^-53) while the rest, below 2^-7.5 of it, adds under 2^-59.
inline double exp_core(std::int32_t k, double t) {
    const double* c = kExpCoeffs;
    const double p = 1.0 + t * (1.0 + t * (c[0] + t * (c[1] + t * (c[2] + t * (c[3] + t * c[4])))));
    return kExp2Table[k & 63] * p * pow2(k >> 6);
}

// e^t for |t| <= 0.36 in double-double, relative error below 2^-100: the Taylor series to
// t^22/22! (the rest is below 2^-107) as 1 + t(1 + t/2(1 + t/3(...))), each step rounding at
// about 2^-104.
inline Dd exp_dd(Dd t) {
    Dd sum{1.0, 0.0};
    for (int n = 22; n >= 1; --n)
        sum = dd_add(dd_div(dd_mul(t, sum), static_cast<double>(n)), 1.0);
    return sum;
}

// Double-double times 2^n (exact: both halves stay normal doubles for -200 < n < 200).
inline Dd dd_scale(Dd v, std::int32_t n) {
    const double s = pow2(n);
    return {v.hi * s, v.lo * s};
}

}  // namespace pyrelle::fmath::detail
