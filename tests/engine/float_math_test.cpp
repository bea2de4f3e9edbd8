#include "engine/float_math.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "engine/float_math_core.hpp"
#include "engine/float_math_reference.hpp"
#include "engine/rng.hpp"

namespace pyrelle {
namespace {

using fmath_reference::float_bits;
using fmath_reference::float_of_bits;
using fmath_reference::Function;
using fmath_reference::function_name;
using fmath_reference::same_result;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kMax = std::numeric_limits<float>::max();
constexpr float kTiny = std::numeric_limits<float>::denorm_min();

float fmath_value(Function f, float x, float y) {
    switch (f) {
        case Function::Sin:
            return fmath::sin(x);
        case Function::Cos:
            return fmath::cos(x);
        case Function::Exp:
            return fmath::exp(x);
        case Function::Exp2:
            return fmath::exp2(x);
        case Function::Pow:
            return fmath::pow(x, y);
    }
    return 0.0f;
}

std::string describe(Function f, float x, float y, float got, float want) {
    char text[200];
    if (f == Function::Pow)
        std::snprintf(text, sizeof text, "pow(%a [%08X], %a [%08X]) = %a, correctly rounded %a\n",
                      x, float_bits(x), y, float_bits(y), got, want);
    else
        std::snprintf(text, sizeof text, "%s(%a [%08X]) = %a, correctly rounded %a\n",
                      function_name(f), x, float_bits(x), got, want);
    return text;
}

// Compares fmath with the correctly rounded results argument by argument, counting the
// differences and keeping the first few for the failure message. One call in 16 asks MPFR
// directly; the others let the C library's double result decide where it can and MPFR
// otherwise (Reference::checked), which is what lets millions of calls fit in seconds.
struct Sweep {
    fmath_reference::Reference reference;
    std::int32_t calls = 0, mismatches = 0;
    std::string report;

    void check(Function f, float x, float y = 0.0f) {
        const float got = fmath_value(f, x, y);
        const float want = ++calls % 16 == 0 ? reference(f, x, y) : reference.checked(f, x, y, got);
        if (same_result(got, want)) return;
        if (++mismatches <= 8) report += describe(f, x, y, got, want);
    }
};

float uniform(Rng& rng, float lo, float hi) {
    return lo + (hi - lo) * rng.next_f32();
}

float random_bits(Rng& rng) {
    return float_of_bits(static_cast<std::uint32_t>(rng.next_u64() >> 32));
}

// The game's clocks run to about 10^5 s and its phases are linear in them.
TEST(FloatMath, SinAndCosAreCorrectlyRoundedOnTheGamesArguments) {
    struct Shape {
        float scale, offset;
    };
    const Shape shapes[] = {
        {11.0f, 0.0f}, {1.3f, 0.7f}, {28.0f, 0.0f}, {9.0f, 0.0f}, {23.0f, 0.0f}};
    Rng rng = Rng::seeded(1);
    Sweep sweep;
    for (std::int32_t i = 0; i < 50000; ++i) {
        const float t = uniform(rng, 0.0f, 1e5f);
        const float slow_t = uniform(rng, 0.0f, 100.0f);  // the first minutes, finer grained
        for (const Shape& s : shapes) {
            for (const float x : {s.scale * t + s.offset, s.scale * slow_t + s.offset}) {
                sweep.check(Function::Sin, x);
                sweep.check(Function::Cos, x);
            }
        }
        const float angle = uniform(rng, 0.0f, 6.2831855f);
        const float bits = random_bits(rng);
        for (const float x : {angle, -angle, bits}) {
            sweep.check(Function::Sin, x);
            sweep.check(Function::Cos, x);
        }
    }
    EXPECT_EQ(sweep.mismatches, 0) << sweep.report;
}

TEST(FloatMath, ExpAndExp2AreCorrectlyRoundedOnTheGamesArguments) {
    Rng rng = Rng::seeded(2);
    Sweep sweep;
    for (std::int32_t n = -100; n <= 100; ++n)  // note frequencies: 2^(n/12)
        sweep.check(Function::Exp2, static_cast<float>(n) / 12.0f);
    for (std::int32_t i = 0; i < 150000; ++i) {
        sweep.check(Function::Exp, uniform(rng, -100.0f, 10.0f));  // envelopes, crystals
        sweep.check(Function::Exp, random_bits(rng));
        sweep.check(Function::Exp2, uniform(rng, -10.0f, 10.0f));
        sweep.check(Function::Exp2, random_bits(rng));
    }
    EXPECT_EQ(sweep.mismatches, 0) << sweep.report;
}

TEST(FloatMath, PowIsCorrectlyRoundedOnTheGamesArguments) {
    const float exponents[] = {0.016666668f, 0.6f, 0.7f, 1.5f};  // the step, the game's powers
    Rng rng = Rng::seeded(3);
    Sweep sweep;
    for (std::int32_t i = 0; i < 80000; ++i) {
        const float unit_base = 1.0f - rng.next_f32();  // (0, 1]
        const float wide_base = 4.0f * (1.0f - rng.next_f32());
        const float k = rng.next_f32();
        for (const float y : exponents) {
            sweep.check(Function::Pow, unit_base, y);
            sweep.check(Function::Pow, wide_base, y);
        }
        sweep.check(Function::Pow, unit_base, k);
        sweep.check(Function::Pow, wide_base, k);
        sweep.check(Function::Pow, random_bits(rng), random_bits(rng));
        sweep.check(Function::Pow, wide_base, random_bits(rng));
    }
    EXPECT_EQ(sweep.mismatches, 0) << sweep.report;
}

// Each fast path's double result stays within the error bound its argument states: a wrong
// coefficient or a lost reduction term shows here on most arguments, long before it turns one
// rounding in a million.
TEST(FloatMath, FastPathsStayWithinTheirErrorBounds) {
    struct Worst {
        double error = 0.0;
        std::string where;
        void note(Function f, float x, float y, double v) {
            const double e = fmath_reference::relative_error(f, x, y, v);
            if (e <= error) return;
            error = e;
            char text[160];
            std::snprintf(text, sizeof text, "worst: %s(%a, %a) fast path gives %a, off by %g",
                          function_name(f), x, y, v, e);
            where = text;
        }
    };
    Rng rng = Rng::seeded(4);
    Worst trig, exponential, power;
    for (std::int32_t i = 0; i < 6000; ++i) {
        const float bits = random_bits(rng);
        const float args[] = {uniform(rng, 0.0f, 6.2831855f), 28.0f * uniform(rng, 0.0f, 1e5f),
                              bits - bits == 0.0f && bits != 0.0f ? bits : 1.0f};
        for (const float x : args) {
            for (const std::int32_t phase : {0, 1}) {
                double v = 0.0;
                if (fmath::detail::sin_cos_fast(x, phase, v))
                    trig.note(phase == 0 ? Function::Sin : Function::Cos, x, 0.0f, v);
            }
        }
        const float e = uniform(rng, -104.0f, 89.0f);
        exponential.note(Function::Exp, e, 0.0f, fmath::detail::exp_fast(e));
        const float e2 = uniform(rng, -149.9f, 127.9f);
        if (e2 != static_cast<float>(static_cast<std::int32_t>(e2)))
            exponential.note(Function::Exp2, e2, 0.0f, fmath::detail::exp2_fast(e2));
        const float pairs[][2] = {{4.0f * (1.0f - rng.next_f32()), rng.next_f32()},
                                  {1.0f - rng.next_f32(), 1.5f},
                                  {std::fabs(random_bits(rng)), uniform(rng, -40.0f, 40.0f)},
                                  {1.0f + 0x1p-20f * rng.next_f32(), random_bits(rng)}};
        for (const auto& p : pairs) {
            if (!(p[0] > 0.0f && p[0] <= kMax && p[1] - p[1] == 0.0f)) continue;
            double v = 0.0;
            const double z = fmath::detail::pow_fast(p[0], p[1], v);
            if (z >= -152.0 && z <= 129.0) power.note(Function::Pow, p[0], p[1], v);
        }
    }
    EXPECT_LE(trig.error, fmath::detail::kTrigErrorBound) << trig.where;
    EXPECT_LE(exponential.error, fmath::detail::kExpErrorBound) << exponential.where;
    EXPECT_LE(power.error, fmath::detail::kPowErrorBound) << power.where;
    // And the sample reached the bounds' neighbourhood: the worst errors are real roundings.
    EXPECT_GT(trig.error, fmath::detail::kTrigErrorBound / 64);
    EXPECT_GT(exponential.error, fmath::detail::kExpErrorBound / 64);
    EXPECT_GT(power.error, fmath::detail::kPowErrorBound / 1024);
}

// From the rules (IEEE 754 and C99 Annex F), not from MPFR.
TEST(FloatMath, SpecialValuesFollowTheIeeeRules) {
    struct Case {
        Function f;
        float x, y, want;
    };
    const float odd = 3.0f, even = 4.0f, half = 0.5f;
    const Case cases[] = {
        {Function::Sin, 0.0f, 0, 0.0f},
        {Function::Sin, -0.0f, 0, -0.0f},
        {Function::Sin, kTiny, 0, kTiny},  // sin x < x, but nearer x than the float below
        {Function::Sin, -kTiny, 0, -kTiny},
        {Function::Sin, kInf, 0, kNaN},
        {Function::Sin, -kInf, 0, kNaN},
        {Function::Sin, kNaN, 0, kNaN},
        {Function::Cos, 0.0f, 0, 1.0f},
        {Function::Cos, -0.0f, 0, 1.0f},
        {Function::Cos, kTiny, 0, 1.0f},
        {Function::Cos, kInf, 0, kNaN},
        {Function::Cos, kNaN, 0, kNaN},
        {Function::Exp, 0.0f, 0, 1.0f},
        {Function::Exp, -0.0f, 0, 1.0f},
        {Function::Exp, kInf, 0, kInf},
        {Function::Exp, -kInf, 0, 0.0f},
        {Function::Exp, kNaN, 0, kNaN},
        {Function::Exp, 89.0f, 0, kInf},  // e^89 > 2^128
        {Function::Exp, kMax, 0, kInf},
        {Function::Exp, -104.0f, 0, 0.0f},  // e^-104 < 2^-150, under half the least subnormal
        {Function::Exp, -kMax, 0, 0.0f},
        {Function::Exp, kTiny, 0, 1.0f},
        {Function::Exp2, 0.0f, 0, 1.0f},
        {Function::Exp2, kInf, 0, kInf},
        {Function::Exp2, -kInf, 0, 0.0f},
        {Function::Exp2, kNaN, 0, kNaN},
        {Function::Exp2, 127.0f, 0, 0x1p127f},
        {Function::Exp2, 128.0f, 0, kInf},
        {Function::Exp2, -126.0f, 0, 0x1p-126f},
        {Function::Exp2, -149.0f, 0, 0x1p-149f},
        {Function::Exp2, -150.0f, 0, 0.0f},       // exactly halfway to 2^-149: to even, 0
        {Function::Exp2, -149.5f, 0, 0x1p-149f},  // 2^-149.5 is above 2^-150
        {Function::Exp2, 10.0f, 0, 1024.0f},
        // pow(x, ±0) = 1 and pow(1, y) = 1, even for NaN.
        {Function::Pow, kNaN, 0.0f, 1.0f},
        {Function::Pow, kNaN, -0.0f, 1.0f},
        {Function::Pow, -kInf, 0.0f, 1.0f},
        {Function::Pow, 1.0f, kNaN, 1.0f},
        {Function::Pow, 1.0f, kInf, 1.0f},
        {Function::Pow, 1.0f, -kInf, 1.0f},
        {Function::Pow, kNaN, 1.0f, kNaN},
        {Function::Pow, 2.0f, kNaN, kNaN},
        {Function::Pow, -1.0f, kNaN, kNaN},
        // pow(±0, y).
        {Function::Pow, 0.0f, -odd, kInf},
        {Function::Pow, -0.0f, -odd, -kInf},
        {Function::Pow, -0.0f, -even, kInf},
        {Function::Pow, -0.0f, -half, kInf},
        {Function::Pow, 0.0f, -kInf, kInf},
        {Function::Pow, -0.0f, -kInf, kInf},
        {Function::Pow, 0.0f, odd, 0.0f},
        {Function::Pow, -0.0f, odd, -0.0f},
        {Function::Pow, -0.0f, even, 0.0f},
        {Function::Pow, -0.0f, half, 0.0f},
        {Function::Pow, -0.0f, kInf, 0.0f},
        // pow(-1, ±inf) = 1; pow(x, ±inf) by |x| against 1.
        {Function::Pow, -1.0f, kInf, 1.0f},
        {Function::Pow, -1.0f, -kInf, 1.0f},
        {Function::Pow, 0.5f, kInf, 0.0f},
        {Function::Pow, -0.5f, kInf, 0.0f},
        {Function::Pow, 0.5f, -kInf, kInf},
        {Function::Pow, 2.0f, kInf, kInf},
        {Function::Pow, -2.0f, -kInf, 0.0f},
        {Function::Pow, kInf, kInf, kInf},
        {Function::Pow, kInf, -kInf, 0.0f},
        // pow(±inf, y).
        {Function::Pow, kInf, -half, 0.0f},
        {Function::Pow, kInf, half, kInf},
        {Function::Pow, -kInf, -odd, -0.0f},
        {Function::Pow, -kInf, -even, 0.0f},
        {Function::Pow, -kInf, -half, 0.0f},
        {Function::Pow, -kInf, odd, -kInf},
        {Function::Pow, -kInf, even, kInf},
        {Function::Pow, -kInf, half, kInf},
        // Negative bases: integer exponents only.
        {Function::Pow, -2.0f, odd, -8.0f},
        {Function::Pow, -2.0f, even, 16.0f},
        {Function::Pow, -2.0f, -odd, -0.125f},
        {Function::Pow, -2.0f, half, kNaN},
        {Function::Pow, -kTiny, 0.7f, kNaN},
        {Function::Pow, -1.0f, 0x1p24f + 2.0f, 1.0f},  // large floats are even integers
        {Function::Pow, -1.0f, 16777215.0f, -1.0f},    // 2^24 - 1, odd
        // Overflow and underflow keep the sign.
        {Function::Pow, -2.0f, 129.0f, -kInf},
        {Function::Pow, -2.0f, -151.0f, -0.0f},
        {Function::Pow, -3.0f, -kMax, 0.0f},
        {Function::Pow, 10.0f, 39.0f, kInf},
        {Function::Pow, kMax, 2.0f, kInf},
        {Function::Pow, kTiny, 2.0f, 0.0f},
        {Function::Pow, kTiny, 1.0f, kTiny},
        {Function::Pow, kMax, 1.0f, kMax},
    };
    for (const Case& c : cases) {
        const float got = fmath_value(c.f, c.x, c.y);
        EXPECT_TRUE(same_result(got, c.want)) << describe(c.f, c.x, c.y, got, c.want);
    }
}

// Results that are exactly a float, or exactly halfway between two: no precision rounds the
// latter, they must be recognised. Expected values worked out by hand.
TEST(FloatMath, ExactPowersRoundHalfwayCasesToEven) {
    struct Case {
        float x, y, want;
    };
    const Case cases[] = {
        {9.0f, 0.5f, 3.0f},
        {0.25f, 1.5f, 0.125f},
        {6561.0f, 0.25f, 9.0f},  // 3^8, a fourth root
        {6561.0f, 0.125f, 3.0f},
        {6561.0f, 0.375f, 27.0f},
        {2.25f, 2.5f, 7.59375f},  // 1.5^5 = 243/32
        {3.0f, 15.0f, 14348907.0f},
        {-3.0f, 15.0f, -14348907.0f},
        {0.5f, 149.0f, 0x1p-149f},
        {0.5f, 150.0f, 0.0f},  // 2^-150: halfway to the least subnormal, to even
        {4.0f, -75.0f, 0.0f},
        {0x1p-75f, 2.0f, 0.0f},
        {2.0f, 127.0f, 0x1p127f},
        {2.0f, 128.0f, kInf},
        {0x1p-100f, 0.5f, 0x1p-50f},
        // 4097^2 = 2^24 + 2^13 + 1 lies halfway between 2^24 + 2^13 and 2^24 + 2^13 + 2: even.
        {4097.0f, 2.0f, 16785408.0f},
        // Squares of odd numbers are 1 mod 8, so their halfway cases all round down:
        // 4099^2 = 16801801 lies between 16801800 and 16801802, even mantissa below.
        {4099.0f, 2.0f, 16801800.0f},
        // 259^3 = 17373979 is 3 mod 4: halfway, and the even neighbour is above.
        {259.0f, 3.0f, 17373980.0f},
        // 17^2 * 2^-8 to the power 1.5: 17^3 * 2^-12, exact.
        {289.0f * 0x1p-8f, 1.5f, 4913.0f * 0x1p-12f},
        // Subnormal midpoints: (3 * 2^-75)^2 = 9 * 2^-150 = 4.5 * 2^-149, to even 4 * 2^-149.
        {3.0f * 0x1p-75f, 2.0f, 4.0f * 0x1p-149f},
        // (5 * 2^-75)^2 = 25 * 2^-150 = 12.5 * 2^-149, to even 12 * 2^-149.
        {5.0f * 0x1p-75f, 2.0f, 12.0f * 0x1p-149f},
        // (7 * 2^-75)^2 = 49 * 2^-150 = 24.5 * 2^-149, to even 24 * 2^-149.
        {7.0f * 0x1p-75f, 2.0f, 24.0f * 0x1p-149f},
        // (3 * 2^-50)^3 = 27 * 2^-150 = 13.5 * 2^-149, to even 14 * 2^-149.
        {3.0f * 0x1p-50f, 3.0f, 14.0f * 0x1p-149f},
        // 2^-149.5 is not exact, but above 2^-150: the least subnormal.
        {2.0f, -149.5f, 0x1p-149f},
    };
    for (const Case& c : cases) {
        const float got = fmath::pow(c.x, c.y);
        EXPECT_TRUE(same_result(got, c.want)) << describe(Function::Pow, c.x, c.y, got, c.want);
    }
    // 2^n is exact for every integer n, subnormals included, and 2^-150 ties to 0.
    for (std::int32_t n = -160; n <= 130; ++n) {
        const float want = n < -149 ? 0.0f : n > 127 ? kInf : std::ldexp(1.0f, n);
        EXPECT_EQ(float_bits(fmath::exp2(static_cast<float>(n))), float_bits(want)) << n;
    }
}

// The fixed table in tests/data, written by tools/make_float_math_cases.cpp from MPFR: every
// build (native, clang, the browser's) must give these bits.
TEST(FloatMath, MatchesTheStoredTableOfCases) {
    std::ifstream file(PYRELLE_TEST_DATA_DIR "/float_math_cases.txt");
    ASSERT_TRUE(file) << "missing tests/data/float_math_cases.txt";
    std::int32_t cases = 0, mismatches = 0;
    std::string line, report;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name;
        std::uint32_t x = 0, y = 0, want = 0;
        fields >> name >> std::hex >> x;
        if (name == "pow") fields >> y;
        fields >> want;
        ASSERT_TRUE(fields) << line;
        const Function functions[] = {Function::Sin, Function::Cos, Function::Exp, Function::Exp2,
                                      Function::Pow};
        bool known = false;
        for (const Function f : functions) {
            if (name != function_name(f)) continue;
            known = true;
            const float got = fmath_value(f, float_of_bits(x), float_of_bits(y));
            if (!same_result(got, float_of_bits(want)) && ++mismatches <= 8)
                report += describe(f, float_of_bits(x), float_of_bits(y), got, float_of_bits(want));
        }
        ASSERT_TRUE(known) << line;
        ++cases;
    }
    EXPECT_GE(cases, 2000);
    EXPECT_EQ(mismatches, 0) << report;
}

}  // namespace
}  // namespace pyrelle
