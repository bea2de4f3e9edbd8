// Sine and cosine, correctly rounded, with their argument reduction.
#include "engine/float_math.hpp"
#include "engine/float_math_core.hpp"

namespace pyrelle::fmath {

using namespace detail;

namespace {

// sin(a) and cos(a) are both sin(a + phase * pi/2) of the magnitude a = |x|.
constexpr std::int32_t kSinPhase = 0, kCosPhase = 1;

// Below this |x| the Cody-Waite reduction is exact enough (k < 2^23 keeps k * piece exact);
// above it, Payne-Hanek.
constexpr double kCodyWaiteLimit = 0x1p23;
// Under this |r| the Cody-Waite remainder's absolute error (2^-88.5) would no longer be
// negligible beside r. A scan of every float below 2^23 found none with |r| under 2^-27.8, so
// this only guards the bound.
constexpr double kSmallRemainder = 0x1p-30;

// a mod pi/2 by Payne-Hanek, for a float a >= pi/4: a = m 2^e with m < 2^24, and a * 2/pi mod 4
// depends only on the bits of 2/pi from weight 2^(1-e) on. 160 of them, times m, give the
// quadrant and a 158-bit fraction whose truncation error is below 2^(26-160). No float comes
// nearer than 2^-29.8 quadrant to a multiple of pi/2 (a scan of every float; the nearest is
// 0x1.f37c8ap+95), so the fraction is exact to 2^-104 of itself.
// The fraction comes back as its magnitude in five 32-bit words (word 0 holding 30 bits of
// weight 2^-1 .. 2^-30, word i the bits of 2^-(32 i - 1) .. 2^-(32 i + 30)) and its sign.
struct Fraction {
    std::uint32_t words[5];
    bool negative;
    std::int32_t quadrant;  // 0..3, with the fraction rounding to the nearest multiple
};

Fraction reduce_payne_hanek(float a) {
    const std::uint32_t bits = bits_of(a);
    const std::uint64_t m = (bits & 0x7FFFFFu) | 0x800000u;
    const std::int32_t e = static_cast<std::int32_t>(bits >> 23) - 150;
    // Bit i of 2/pi (weight 2^-i) sits at position i + 31 of the padded words; start at i = e-1.
    const std::int32_t start = e + 30;
    const std::int32_t word = start >> 5, shift = start & 31;
    std::uint32_t window[5];
    for (std::int32_t j = 0; j < 5; ++j) {
        const std::uint64_t pair = (static_cast<std::uint64_t>(kTwoOverPiWords[word + j]) << 32) |
                                   kTwoOverPiWords[word + j + 1];
        window[j] = static_cast<std::uint32_t>(pair >> (32 - shift));
    }
    // The low 160 bits of m * window: a * 2/pi mod 4 in units of 2^-158.
    Fraction f{};
    std::uint64_t carry = 0;
    for (std::int32_t j = 4; j >= 0; --j) {
        const std::uint64_t p = m * window[j] + carry;
        f.words[j] = static_cast<std::uint32_t>(p);
        carry = p >> 32;
    }
    // Add a half quadrant so that the top two bits give the nearest multiple, then take the
    // half back from the fraction, as a signed 30-bit top word.
    f.words[0] += 1u << 29;
    f.quadrant = static_cast<std::int32_t>(f.words[0] >> 30);
    const std::int32_t top = static_cast<std::int32_t>(f.words[0] & 0x3FFFFFFFu) - (1 << 29);
    f.words[0] = static_cast<std::uint32_t>(top);
    f.negative = top < 0;
    if (f.negative) {  // two's complement negation across the words
        std::uint64_t c = 1;
        for (std::int32_t j = 4; j >= 0; --j) {
            const std::uint64_t v = static_cast<std::uint64_t>(~f.words[j]) + c;
            f.words[j] = static_cast<std::uint32_t>(v);
            c = v >> 32;
        }
    }
    return f;
}

constexpr double kWordWeight[5] = {0x1p-30, 0x1p-62, 0x1p-94, 0x1p-126, 0x1p-158};

// The fraction in double: four additions of positive terms, relative error under 2^-51.
double fraction_value(const Fraction& f) {
    double sum = static_cast<double>(f.words[4]) * kWordWeight[4];
    for (std::int32_t j = 3; j >= 0; --j)
        sum += static_cast<double>(f.words[j]) * kWordWeight[j];
    return f.negative ? -sum : sum;
}

// sin(r) and cos(r) for |r| <= pi/4 * (1 + 2^-28): Taylor polynomials to r^17 and r^16, whose
// remainders are below 2^-62 and 2^-58 of the result. In sin, r + r^3 P(r^2) rounds once at
// the end; the correction, under 0.11 |r|, carries a few units of 2^-53 of itself. In cos the
// correction is under 0.31 and the result above 0.7. Both stay under 2^-51.5 of the result.
double sin_poly(double r) {
    const double w = r * r;
    const double* c = kSinCoeffs;
    const double p =
        c[0] +
        w * (c[1] + w * (c[2] + w * (c[3] + w * (c[4] + w * (c[5] + w * (c[6] + w * c[7]))))));
    return r + r * (w * p);
}

double cos_poly(double r) {
    const double w = r * r;
    const double* c = kCosCoeffs;
    const double p =
        c[0] +
        w * (c[1] + w * (c[2] + w * (c[3] + w * (c[4] + w * (c[5] + w * (c[6] + w * c[7]))))));
    return 1.0 + w * p;
}

// The same in double-double for the slow path, relative error below 2^-98: the series to
// r^29/29! and r^28/28! (remainders under 2^-110), nested as 1 - w/(2*3) (1 - w/(4*5) (...)).
Dd sin_dd(Dd r) {
    const Dd w = dd_mul(r, r);
    Dd sum{1.0, 0.0};
    for (std::int32_t n = 14; n >= 1; --n)
        sum =
            dd_add(dd_neg(dd_div(dd_mul(w, sum), static_cast<double>((2 * n) * (2 * n + 1)))), 1.0);
    return dd_mul(r, sum);
}

Dd cos_dd(Dd r) {
    const Dd w = dd_mul(r, r);
    Dd sum{1.0, 0.0};
    for (std::int32_t n = 14; n >= 1; --n)
        sum =
            dd_add(dd_neg(dd_div(dd_mul(w, sum), static_cast<double>((2 * n - 1) * (2 * n)))), 1.0);
    return sum;
}

// The slow path: the Payne-Hanek fraction in double-double (the positive words summed exactly
// to 106 bits), times pi/2 in double-double, and the series above. Its error, below 2^-97 of
// the result, is far under the closest any float's sine or cosine comes to a float midpoint
// (tools/check_float_math.cpp checks every float).
float sin_cos_slow(float x, std::int32_t phase) {
    const float a = float_from_bits(bits_of(x) & 0x7FFFFFFFu);
    const bool negative = (bits_of(x) >> 31) != 0;
    Dd r{a, 0.0};
    std::int32_t q = 0;
    if (static_cast<double>(a) >= kPiOver4) {
        const Fraction f = reduce_payne_hanek(a);
        Dd sum{static_cast<double>(f.words[4]) * kWordWeight[4], 0.0};
        for (std::int32_t j = 3; j >= 0; --j)
            sum = dd_add(sum, static_cast<double>(f.words[j]) * kWordWeight[j]);
        r = dd_mul(sum, Dd{kPiOver2Hi, kPiOver2Lo});
        if (f.negative) r = dd_neg(r);
        q = f.quadrant;
    }
    q += phase;
    Dd v = (q & 1) ? cos_dd(r) : sin_dd(r);
    if (((q & 2) != 0) != (phase == kSinPhase && negative)) v = dd_neg(v);
    return round_to_float(v);
}

// The fast path. The reduced argument r has relative error under 2^-51.4 (Cody-Waite: two
// exact products and an exact first difference, then two roundings of 2^-53 and an absolute
// 2^-88.5 that |r| >= 2^-30 makes relative 2^-58.5; Payne-Hanek: the fraction's 2^-51, pi/2's
// 2^-54 and the product's 2^-53). Through sin or cos that stays under 2^-51.4 of the result
// (|r cot r| <= 1, |r tan r| <= 1), so with the polynomial's 2^-51.5 the double result is
// within 2^-50.2 of the exact value (kTrigErrorBound). Unless that is near a float midpoint
// (then the slow path decides), both round to the same float.
inline bool sin_cos_approx(float x, std::int32_t phase, double& v) {
    // The sign from the bit, so that sin(-0) is -0.
    const float a = float_from_bits(bits_of(x) & 0x7FFFFFFFu);
    const bool negative = (bits_of(x) >> 31) != 0;
    const double ad = a;
    double r = ad;
    std::int32_t q = 0;
    if (ad >= kPiOver4) {
        if (ad < kCodyWaiteLimit) {
            const double k = static_cast<double>(static_cast<std::int32_t>(ad * kTwoOverPi + 0.5));
            r = ((ad - k * kPiOver2Part1) - k * kPiOver2Part2) - k * kPiOver2Part3;
            if (r < kSmallRemainder && r > -kSmallRemainder) return false;
            q = static_cast<std::int32_t>(k);
        } else {
            const Fraction f = reduce_payne_hanek(a);
            r = fraction_value(f) * kPiOver2Hi;
            q = f.quadrant;
        }
    }
    q += phase;
    v = (q & 1) ? cos_poly(r) : sin_poly(r);
    if (((q & 2) != 0) != (phase == kSinPhase && negative)) v = -v;
    return true;
}

float sin_cos(float x, std::int32_t phase) {
    if (!(x - x == 0.0f)) return x - x;  // NaN for NaN and the infinities
    double v = 0.0;
    if (!sin_cos_approx(x, phase, v) || near_float_midpoint(v, kTrigTolerance))
        return sin_cos_slow(x, phase);
    return static_cast<float>(v);
}

}  // namespace

namespace detail {

bool sin_cos_fast(float x, std::int32_t phase, double& v) {
    return sin_cos_approx(x, phase, v);
}

}  // namespace detail

float sin(float x) {
    return sin_cos(x, kSinPhase);
}

float cos(float x) {
    return sin_cos(x, kCosPhase);
}

}  // namespace pyrelle::fmath
