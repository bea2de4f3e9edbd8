// x^y, correctly rounded: 2^(y log2 |x|), the special cases of C99 Annex F, and the cases whose
// result is exactly a float midpoint, which no precision can round.
#include "engine/float_math.hpp"
#include "engine/float_math_core.hpp"

#include <cmath>
#include <limits>

namespace pyrelle::fmath {

using namespace detail;

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

enum class IntegerKind { NotInteger, Odd, Even };

// What kind of number a finite non-zero float is, from its bits.
IntegerKind integer_kind(float y) {
    const std::uint32_t bits = bits_of(y);
    const std::int32_t e = static_cast<std::int32_t>((bits >> 23) & 0xFFu) - 127;
    if (e < 0) return IntegerKind::NotInteger;
    if (e > 23) return IntegerKind::Even;
    const std::uint32_t m = (bits & 0x7FFFFFu) | 0x800000u;
    const std::int32_t shift = 23 - e;
    if ((m & ((1u << shift) - 1u)) != 0) return IntegerKind::NotInteger;
    return ((m >> shift) & 1u) != 0 ? IntegerKind::Odd : IntegerKind::Even;
}

// A positive finite double with 24 significant bits as 2^e m, m in [A, 2A) with A = 0.70703125
// (near sqrt(1/2), so that log2 m never cancels e), and the table cell of m: the top 7 bits of
// the fraction field once A's bits are taken away.
struct LogSplit {
    std::int32_t e, cell;
    double m;
};

LogSplit log_split(double ax) {
    const std::uint64_t u = bits_of(ax);
    const std::uint64_t shifted = u - 0x3FE6A00000000000ull;  // A's bits
    return {static_cast<std::int32_t>(static_cast<std::int64_t>(shifted) >> 52),
            static_cast<std::int32_t>((shifted >> 45) & 127u),
            double_from_bits(u - (shifted & 0xFFF0000000000000ull))};
}

// log2 |x| with relative error below 2^-50. m c - 1 = z is exact (c has 25 bits on a 2^-24
// grid, m 24, and m c is within 2^-7 of 1), |z| <= 2^-7, so the degree-8 polynomial leaves
// |z|^8/9 < 2^-59 of log2(1+z) and its Horner sum carries under 2^-51.9 of itself. Then
// e + (-log2 c) + log2(1+z): with e != 0 the result is above 0.5 and each term's error is a
// few 2^-53 of it; with e == 0 the two cells beside 1 have c = 1, and in the others the two
// terms add to at least half their magnitudes' sum. Either way under 2^-50.
double log2_fast(double ax) {
    const LogSplit s = log_split(ax);
    const double z = s.m * kLogInverse[s.cell] - 1.0;
    const double* c = kLog2Coeffs;
    const double p =
        z *
        (c[0] +
         z * (c[1] + z * (c[2] + z * (c[3] + z * (c[4] + z * (c[5] + z * (c[6] + z * c[7])))))));
    return (static_cast<double>(s.e) + kLogMinusLog2Inverse[s.cell]) + p;
}

// log2 |x| in double-double, relative error below 2^-102: ln m = 2 atanh(s) with
// s = (m - 1)/(m + 1) (both exact in a double, |s| <= 0.172) summed to s^41/41 (the rest is
// under 2^-112), then times 1/ln2.
Dd log2_dd(double ax) {
    const LogSplit split = log_split(ax);
    const Dd s = dd_div(Dd{split.m - 1.0, 0.0}, split.m + 1.0);
    const Dd w = dd_mul(s, s);
    Dd sum = dd_div(Dd{1.0, 0.0}, 41.0);
    for (std::int32_t j = 19; j >= 0; --j)
        sum = dd_add(dd_div(Dd{1.0, 0.0}, static_cast<double>(2 * j + 1)), dd_mul(w, sum));
    const Dd ln = dd_mul(s, sum);
    const Dd log2_m = dd_mul(Dd{2.0 * ln.hi, 2.0 * ln.lo}, Dd{kInvLn2Hi, kInvLn2Lo});
    return dd_add(log2_m, static_cast<double>(split.e));
}

// |x|^y in double-double, for results between 2^-152 and 2^129: y log2|x| within 2^-94.7 of its
// exact value (|y log2 x| <= 152), then 2^n e^(f ln2) with f = y log2|x| - n. The result is
// within 2^-94 of the exact value; the exact cases are settled before.
float pow_slow(double ax, float y) {
    const Dd z = dd_mul(log2_dd(ax), static_cast<double>(y));
    const double n = static_cast<double>(static_cast<std::int32_t>(z.hi + (z.hi < 0 ? -0.5 : 0.5)));
    const Dd f = two_sum(z.hi - n, z.lo);
    const Dd t = dd_mul(f, Dd{kLn2Hi, kLn2Lo});
    return round_to_float(dd_scale(exp_dd(t), static_cast<std::int32_t>(n)));
}

// |x|^y when it is a double, for |x| not a power of two. Such a result that is a float or a
// float midpoint (25 significant bits) needs y = Y/2^g, g <= 3, 0 < y <= 15: with x = X 2^E,
// X odd and > 1, a dyadic result needs y > 0 and X^Y = M^(2^g) for the result's odd M < 2^25,
// so X = t^(2^g) and M = t^Y with t >= 3. Then |x| is a 2^g-th power (g square roots, each
// checked exact) and the root's Y-th power is checked exact product by product; a product that
// is not exact means more than 53 bits, so no float or midpoint. The products stay between the
// root and the result, which the caller knows to be between 2^-152 and 2^129: no overflow or
// underflow spoils Dekker's exact product.
bool exact_power(double ax, float y, double& result) {
    if (!(y > 0.0f) || y > 16.0f) return false;
    const double eighths = static_cast<double>(y) * 8.0;
    std::int32_t count = static_cast<std::int32_t>(eighths);
    if (static_cast<double>(count) != eighths) return false;
    std::int32_t roots = 3;
    while (roots > 0 && count % 2 == 0) {
        count /= 2;
        --roots;
    }
    double base = ax;
    for (std::int32_t i = 0; i < roots; ++i) {
        const double root = std::sqrt(base);
        const Dd square = two_product(root, root);
        if (square.hi != base || square.lo != 0.0) return false;
        base = root;
    }
    double power = base;
    for (std::int32_t i = 1; i < count; ++i) {
        const Dd p = two_product(power, base);
        if (p.lo != 0.0) return false;
        power = p.hi;
    }
    result = power;
    return true;
}

float with_sign(float v, bool negative) {
    return negative ? -v : v;
}

// The fast path: log2|x| within 2^-50 of itself (log2_fast), times y with one more rounding,
// gives z within 2^-49.8 |z| <= 2^-42.5 of y log2|x| (|z| <= 152 here; beyond, the result
// overflows or is below half the smallest subnormal). 2^z then carries ln2 * 2^-42.5 from z
// and 2^-51.3 from exp_core: under 2^-43 in all (kPowErrorBound). Unless the double result is
// that close to a float midpoint, it rounds to the correctly rounded float; otherwise the
// exact result (if it is a double) or the slow path decides.
inline double pow_approx(double ax, float y, double& v) {
    const double z = static_cast<double>(y) * log2_fast(ax);
    if (!(z >= -152.0 && z <= 129.0)) return z;
    const double scaled = z * 64.0;
    const double k =
        static_cast<double>(static_cast<std::int32_t>(scaled + (scaled < 0.0 ? -0.5 : 0.5)));
    const double r = (scaled - k) * 0x1p-6;  // exact
    v = exp_core(static_cast<std::int32_t>(k), r * kLn2Hi);
    return z;
}

}  // namespace

namespace detail {

double pow_fast(double ax, float y, double& v) {
    return pow_approx(ax, y, v);
}

}  // namespace detail

float pow(float x, float y) {
    const std::uint32_t ix = bits_of(x), iy = bits_of(y);
    if ((iy & 0x7FFFFFFFu) == 0 || ix == 0x3F800000u) return 1.0f;  // y = ±0, x = 1, even NaN
    if (x != x || y != y) return x + y;
    const float ax = x < 0.0f ? -x : x;
    if ((iy & 0x7FFFFFFFu) == 0x7F800000u) {  // y = ±inf
        if (ax == 1.0f) return 1.0f;
        return (ax < 1.0f) == (y > 0.0f) ? 0.0f : kInfinity;
    }
    const IntegerKind kind = integer_kind(y);
    const bool x_negative = (ix >> 31) != 0;
    const bool negative = x_negative && kind == IntegerKind::Odd;
    if (ax == 0.0f) return with_sign(y < 0.0f ? kInfinity : 0.0f, negative);
    if (ax == kInfinity) return with_sign(y < 0.0f ? 0.0f : kInfinity, negative);
    if (x_negative && kind == IntegerKind::NotInteger) return kNaN;

    const double axd = ax;
    const std::uint64_t abits = bits_of(axd);
    if ((abits & 0xFFFFFFFFFFFFFull) == 0) {
        // |x| = 2^E: the result is 2^(E y), E y exact in a double; a power of two when E y is
        // an integer (2^-150 rounds to even, 0), irrational otherwise.
        const double ey = static_cast<double>(static_cast<std::int32_t>(abits >> 52) - 1023) *
                          static_cast<double>(y);
        if (ey >= 128.0) return with_sign(kInfinity, negative);
        if (ey <= -150.0) return with_sign(0.0f, negative);
        const std::int32_t n = static_cast<std::int32_t>(ey);
        if (static_cast<double>(n) == ey) return with_sign(static_cast<float>(pow2(n)), negative);
    }
    double v = 0.0;
    const double z = pow_approx(axd, y, v);
    if (z > 129.0) return with_sign(kInfinity, negative);
    if (z < -152.0) return with_sign(0.0f, negative);
    if (near_float_midpoint(v, kPowTolerance)) {
        double exact = 0.0;
        if (exact_power(axd, y, exact)) return with_sign(static_cast<float>(exact), negative);
        return with_sign(pow_slow(axd, y), negative);
    }
    return with_sign(static_cast<float>(v), negative);
}

}  // namespace pyrelle::fmath
