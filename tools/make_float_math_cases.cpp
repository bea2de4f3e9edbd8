// Writes tests/data/float_math_cases.txt: a fixed table of arguments of sin, cos, exp, exp2 and
// pow with their correctly rounded results, all from MPFR (never from fmath), so that every build
// of the game (gcc, clang, the browser's) can be checked to give these very bits. The arguments:
// special and boundary values, the game's shapes, random bit patterns, and the hardest to round
// of many random arguments (those whose exact value lies nearest a float midpoint).
// Usage: make_float_math_cases > tests/data/float_math_cases.txt
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <utility>
#include <vector>

#include <mpfr.h>

#include "tests/engine/float_math_reference.hpp"

namespace {

using pyrelle::fmath_reference::float_bits;
using pyrelle::fmath_reference::float_of_bits;
using pyrelle::fmath_reference::Function;
using pyrelle::fmath_reference::function_name;
using pyrelle::fmath_reference::Reference;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kMax = std::numeric_limits<float>::max();
constexpr float kTiny = std::numeric_limits<float>::denorm_min();

struct Draws {
    std::uint64_t state;
    std::uint64_t next() {  // splitmix64
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    float unit() { return static_cast<float>(next() >> 40) * 0x1p-24f; }  // [0, 1)
    float uniform(float lo, float hi) { return lo + (hi - lo) * unit(); }
    float bits() { return float_of_bits(static_cast<std::uint32_t>(next() >> 32)); }
};

// How near the exact f(x, y) lies to a float midpoint, in float units in the last place (0 is a
// midpoint, 0.5 a float); 1 for results outside the normal float range, which are not sought.
double midpoint_distance(Function f, float x, float y) {
    mpfr_t a, b, r;
    mpfr_inits2(160, a, b, r, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_flt(a, x, MPFR_RNDN);
    mpfr_set_flt(b, y, MPFR_RNDN);
    switch (f) {
        case Function::Sin:
            mpfr_sin(r, a, MPFR_RNDN);
            break;
        case Function::Cos:
            mpfr_cos(r, a, MPFR_RNDN);
            break;
        case Function::Exp:
            mpfr_exp(r, a, MPFR_RNDN);
            break;
        case Function::Exp2:
            mpfr_exp2(r, a, MPFR_RNDN);
            break;
        case Function::Pow:
            mpfr_pow(r, a, b, MPFR_RNDN);
            break;
    }
    double distance = 1.0;
    if (mpfr_number_p(r) && !mpfr_zero_p(r)) {
        const mpfr_exp_t e = mpfr_get_exp(r);  // r = 0.1xxx 2^e
        if (e > -125 && e <= 128) {
            mpfr_abs(r, r, MPFR_RNDN);
            mpfr_mul_2si(r, r, 24 - e, MPFR_RNDN);  // 24 integer bits: the float's
            mpfr_frac(r, r, MPFR_RNDN);
            distance = std::fabs(mpfr_get_d(r, MPFR_RNDN) - 0.5);
        }
    }
    mpfr_clears(a, b, r, static_cast<mpfr_ptr>(nullptr));
    return distance;
}

struct Case {
    Function f;
    float x, y;
};

// The `keep` hardest of `tries` arguments drawn by `draw`.
template <typename Draw>
void add_hardest(std::vector<Case>& cases, Function f, int tries, int keep, Draw draw) {
    std::vector<std::pair<double, Case>> scored;
    for (int i = 0; i < tries; ++i) {
        const Case c = draw();
        scored.push_back({midpoint_distance(f, c.x, c.y), c});
    }
    std::partial_sort(scored.begin(), scored.begin() + keep, scored.end(),
                      [](const auto& a, const auto& b) { return a.first < b.first; });
    for (int i = 0; i < keep; ++i)
        cases.push_back(scored[i].second);
}

}  // namespace

int main() {
    std::vector<Case> cases;
    Draws draws{20261210};
    const float common[] = {0.0f, -0.0f, kTiny, -kTiny, 0x1p-126f, kMax,  -kMax, kInf, -kInf,
                            kNaN, 1.0f,  -1.0f, 0.5f,   1e-20f,    1e10f, 1e20f, 1e30f};

    // Sine and cosine: near multiples of pi/2, the reduction's limits, the game's phases.
    const float trig[] = {0.7853981f, 0.78539819f, 1.5707963f, 3.1415927f, 4.712389f,
                          6.2831855f, 0x1p23f,     8388609.0f, 8388607.5f, 16367173.0f,
                          1e5f,       2.8e6f,      3.0e38f,    -1e5f,      12345.678f};
    for (const Function f : {Function::Sin, Function::Cos}) {
        for (const float x : common)
            cases.push_back({f, x, 0});
        for (const float x : trig)
            cases.push_back({f, x, 0});
        for (int i = 0; i < 40; ++i) {
            const float t = draws.uniform(0.0f, 1e5f);
            for (const float x : {11.0f * t, 1.3f * t + 0.7f, 28.0f * t, 9.0f * t, 23.0f * t})
                cases.push_back({f, x, 0});
        }
        for (int i = 0; i < 100; ++i)
            cases.push_back({f, draws.uniform(0.0f, 6.2831855f), 0});
        for (int i = 0; i < 100; ++i)
            cases.push_back({f, draws.bits(), 0});
        add_hardest(cases, f, 1 << 18, 60, [&] { return Case{f, draws.bits(), 0}; });
        add_hardest(cases, f, 1 << 18, 60, [&] {
            return Case{f, 28.0f * draws.uniform(0.0f, 1e5f), 0};
        });
    }

    // Exponentials: the overflow and underflow edges, the envelopes, the note frequencies.
    const float exps[] = {88.72283f, 88.722839f,  88.72284f, -87.33654f, -103.27893f,
                          -103.972f, -103.97208f, -104.0f,   0x1p-25f,   -0x1p-25f,
                          0x1p-24f,  -0x1p-24f,   100.0f,    -150.0f,    -149.5f,
                          127.0f,    127.99999f,  128.0f,    -126.5f,    -148.99998f};
    for (const Function f : {Function::Exp, Function::Exp2}) {
        for (const float x : common)
            cases.push_back({f, x, 0});
        for (const float x : exps)
            cases.push_back({f, x, 0});
        for (int i = 0; i < 120; ++i)
            cases.push_back({f, draws.uniform(-100.0f, 10.0f), 0});
        for (int i = 0; i < 80; ++i)
            cases.push_back({f, draws.bits(), 0});
        add_hardest(cases, f, 1 << 18, 80, [&] {
            return Case{f, draws.uniform(-100.0f, 10.0f), 0};
        });
        add_hardest(cases, f, 1 << 18, 40, [&] { return Case{f, draws.bits(), 0}; });
    }
    for (int n = -100; n <= 100; ++n)
        cases.push_back({Function::Exp2, static_cast<float>(n) / 12.0f, 0});
    for (int n = -152; n <= 129; n += 3)
        cases.push_back({Function::Exp2, static_cast<float>(n), 0});

    // Powers: special values, exact results and midpoints, the game's shapes.
    const float pow_special[] = {0.0f,  -0.0f, 1.0f, -1.0f, 0.5f, -0.5f, 2.0f, -2.0f, 3.0f,   -3.0f,
                                 kTiny, kMax,  kInf, -kInf, kNaN, 0.6f,  1.5f, -1.5f, 4097.0f};
    for (const float x : pow_special)
        for (const float y : pow_special)
            cases.push_back({Function::Pow, x, y});
    const Case exact[] = {{Function::Pow, 9.0f, 0.5f},      {Function::Pow, 6561.0f, 0.375f},
                          {Function::Pow, 259.0f, 3.0f},    {Function::Pow, 4099.0f, 2.0f},
                          {Function::Pow, 0x1p-75f, 2.0f},  {Function::Pow, 3 * 0x1p-50f, 3.0f},
                          {Function::Pow, 2.25f, 2.5f},     {Function::Pow, 0.5f, 150.0f},
                          {Function::Pow, 0x1p-100f, 1.5f}, {Function::Pow, 0.25f, 1.5f}};
    for (const Case& c : exact)
        cases.push_back(c);
    const float steps[] = {0.016666668f, 0.6f, 0.7f, 1.5f};
    for (const float c : {0.02f, 0.15f, 0.003f, 0.08f, 0.01f, 0.002f}) {
        cases.push_back({Function::Pow, c, 0.016666668f});
        for (int i = 0; i < 10; ++i)
            cases.push_back({Function::Pow, c, draws.uniform(0.0f, 0.25f)});
    }
    for (int i = 0; i < 30; ++i)
        for (const float y : steps) {
            cases.push_back({Function::Pow, 1.0f - draws.unit(), y});
            cases.push_back({Function::Pow, 4.0f * (1.0f - draws.unit()), y});
        }
    for (int i = 0; i < 100; ++i) {
        const float ratio = std::exp2(draws.uniform(-6.0f, 6.0f));
        cases.push_back({Function::Pow, ratio, draws.unit()});
    }
    for (int i = 0; i < 80; ++i)
        cases.push_back({Function::Pow, draws.bits(), draws.bits()});
    add_hardest(cases, Function::Pow, 1 << 18, 60, [&] {
        return Case{Function::Pow, 4.0f * (1.0f - draws.unit()), draws.unit()};
    });
    add_hardest(cases, Function::Pow, 1 << 18, 60, [&] {
        return Case{Function::Pow, draws.uniform(0.0f, 1.0f), 0.6f};
    });
    add_hardest(cases, Function::Pow, 1 << 18, 60, [&] {
        return Case{Function::Pow, draws.bits(), draws.bits()};
    });

    Reference reference;
    std::printf(
        "# Generated by tools/make_float_math_cases.cpp from MPFR %s: do not edit.\n"
        "# function, argument bits (two for pow), correctly rounded result bits.\n",
        mpfr_get_version());
    for (const Case& c : cases) {
        const float r = reference(c.f, c.x, c.y);
        if (c.f == Function::Pow)
            std::printf("pow %08X %08X %08X\n", float_bits(c.x), float_bits(c.y), float_bits(r));
        else
            std::printf("%s %08X %08X\n", function_name(c.f), float_bits(c.x), float_bits(r));
    }
    return 0;
}
