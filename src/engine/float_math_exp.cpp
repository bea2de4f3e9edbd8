// e^x and 2^x, correctly rounded.
#include "engine/float_math.hpp"
#include "engine/float_math_core.hpp"

#include <limits>

namespace pyrelle::fmath {

using namespace detail;

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

// e^x in double-double: x = n ln2 + t with n * ln2's high half exact (|n| < 2^8, the high half
// has 53 bits, so it is a double-double product computed exactly), t within 2^-100 of its
// exact value, then the Taylor series. Relative error below 2^-99.
float exp_slow(float x) {
    const double xd = x;
    const double n = static_cast<double>(static_cast<std::int32_t>(
        xd * kInvLn2Hi + (xd < 0.0 ? -0.5 : 0.5)));  // nearest, ties away: any near n serves
    const Dd high = two_product(n, kLn2Hi);
    Dd t = two_sum(xd, -high.hi);
    t = dd_add(t, -high.lo);
    t = dd_add(t, -(n * kLn2Lo));
    return round_to_float(dd_scale(exp_dd(t), static_cast<std::int32_t>(n)));
}

// 2^x for a non-integer float x in double-double: x = n + f exactly, 2^f = e^(f ln2).
float exp2_slow(float x) {
    const double xd = x;
    const double n = static_cast<double>(static_cast<std::int32_t>(xd + (xd < 0.0 ? -0.5 : 0.5)));
    const Dd t = dd_mul(Dd{kLn2Hi, kLn2Lo}, xd - n);
    return round_to_float(dd_scale(exp_dd(t), static_cast<std::int32_t>(n)));
}

// x = k ln2/64 + r: k * ln2/64's high part (38 bits) is exact for |k| < 2^15, and so is the
// first difference (both near x, on a 2^-45 grid); the low part's product and the second
// difference leave r within 2^-60 of x - k ln2/64 (|r| <= ln2/128 + 2^-45). Then
// e^x = 2^(k/64) e^r, within 2^-51.3 + 2^-60 of the exact value (see exp_core), under
// kExpErrorBound: the float nearest the double result is the correctly rounded one unless the
// result is near a float midpoint, when the slow path decides. e^x is never a midpoint itself:
// it is transcendental for x != 0 (Lindemann), and e^0 = 1 comes out exact.
inline double exp_approx(float x) {
    const double xd = x;
    const double k =
        static_cast<double>(static_cast<std::int32_t>(xd * k64OverLn2 + (xd < 0.0 ? -0.5 : 0.5)));
    const double r = (xd - k * kLn2Over64Hi) - k * kLn2Over64Lo;
    return exp_core(static_cast<std::int32_t>(k), r);
}

// x = k/64 + r exactly (x * 64 is exact, and so is its distance to the integer k), and
// 2^x = 2^(k/64) e^(r ln2), where r ln2 rounds at 2^-53 of itself, under 2^-60 absolute: the
// same bound as exp.
inline double exp2_approx(float x) {
    const double scaled = static_cast<double>(x) * 64.0;
    const double k =
        static_cast<double>(static_cast<std::int32_t>(scaled + (scaled < 0.0 ? -0.5 : 0.5)));
    const double r = (scaled - k) * 0x1p-6;
    return exp_core(static_cast<std::int32_t>(k), r * kLn2Hi);
}

}  // namespace

namespace detail {

double exp_fast(float x) {
    return exp_approx(x);
}

double exp2_fast(float x) {
    return exp2_approx(x);
}

}  // namespace detail

float exp(float x) {
    if (x != x) return x + x;
    if (x > 89.0f) return kInfinity;  // e^88.8 > 2^128: overflows
    if (x < -104.0f) return 0.0f;     // e^-104 < 2^-150: below the smallest midpoint
    const double v = exp_approx(x);
    if (near_float_midpoint(v, kExpTolerance)) return exp_slow(x);
    return static_cast<float>(v);
}

// Integers give exact powers of two, the only exact results (2^x is irrational for any other
// rational x); 2^-150, exactly halfway to the smallest subnormal, rounds to even, 0.
float exp2(float x) {
    if (x != x) return x + x;
    if (x >= 128.0f) return kInfinity;
    if (x <= -150.0f) return 0.0f;
    const std::int32_t whole = static_cast<std::int32_t>(x);
    if (static_cast<float>(whole) == x) return static_cast<float>(pow2(whole));
    const double v = exp2_approx(x);
    if (near_float_midpoint(v, kExpTolerance)) return exp2_slow(x);
    return static_cast<float>(v);
}

}  // namespace pyrelle::fmath
