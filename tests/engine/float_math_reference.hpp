#pragma once
// The exact reference for pyrelle::fmath: GNU MPFR computes each function on a 24-bit variable
// with round-to-nearest-even in the float's exponent range, subnormals included. Shared by the
// unit test, the hand-run exhaustive check and the generator of the fixed table of cases.
//
// MPFR takes about a microsecond a call (several under AddressSanitizer, whose allocator it goes
// through), too slow for millions of arguments, so Reference::checked lets the C library's
// double function decide where it can: glibc documents at most one unit in the last place of
// double for sin, cos, exp, exp2 and pow, so a double result further than 32 units from every
// float midpoint (and from the overflow threshold) rounds to the correctly rounded float. When it
// is nearer, or when the float under test differs from it, MPFR decides.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include <mpfr.h>

namespace pyrelle::fmath_reference {

enum class Function { Sin, Cos, Exp, Exp2, Pow };

inline const char* function_name(Function f) {
    switch (f) {
        case Function::Sin:
            return "sin";
        case Function::Cos:
            return "cos";
        case Function::Exp:
            return "exp";
        case Function::Exp2:
            return "exp2";
        case Function::Pow:
            return "pow";
    }
    return "?";
}

inline std::uint32_t float_bits(float v) {
    std::uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}

inline float float_of_bits(std::uint32_t u) {
    float v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

inline double libm_value(Function f, float x, float y) {
    switch (f) {
        case Function::Sin:
            return std::sin(static_cast<double>(x));
        case Function::Cos:
            return std::cos(static_cast<double>(x));
        case Function::Exp:
            return std::exp(static_cast<double>(x));
        case Function::Exp2:
            return std::exp2(static_cast<double>(x));
        case Function::Pow:
            return std::pow(static_cast<double>(x), static_cast<double>(y));
    }
    return 0.0;
}

// True when the double v, known to 1 unit of double, cannot decide the float rounding: within
// 32 units (2^-47 of v) of a midpoint between two floats, or of 2^128 - 2^103, where rounding
// starts to overflow. NaN, infinities and zeros decide by themselves.
inline bool undecided(double v) {
    const double a = std::fabs(v);
    if (a == 0.0 || !std::isfinite(a)) return false;
    const double margin = a * 0x1p-47;
    const float f = static_cast<float>(a);
    if (std::isinf(f)) return std::fabs(a - (0x1p128 - 0x1p103)) <= margin;
    const float below = std::nextafter(f, 0.0f);
    const float above = std::nextafter(f, std::numeric_limits<float>::infinity());
    // Exact in a double; past the largest float the next step would be 2^128.
    const double mid_below = (static_cast<double>(f) + below) / 2;
    const double mid_above = (static_cast<double>(f) + (std::isinf(above) ? 0x1p128 : above)) / 2;
    return std::fabs(a - mid_below) <= margin || std::fabs(a - mid_above) <= margin;
}

// f(x) (or x^y) correctly rounded to a float. Not thread-safe per object: one per thread.
class Reference {
  public:
    Reference() { mpfr_inits2(24, x_, y_, r_, static_cast<mpfr_ptr>(nullptr)); }
    ~Reference() { mpfr_clears(x_, y_, r_, static_cast<mpfr_ptr>(nullptr)); }
    Reference(const Reference&) = delete;
    Reference& operator=(const Reference&) = delete;

    float operator()(Function f, float x, float y = 0.0f) {
        // MPFR's exponents are those of 0.1xxx: floats run from 2^-149 = 0.1 * 2^-148 to just
        // under 2^128 = 0.1 * 2^129.
        const mpfr_exp_t old_min = mpfr_get_emin(), old_max = mpfr_get_emax();
        mpfr_set_emin(-148);
        mpfr_set_emax(128);
        mpfr_set_flt(x_, x, MPFR_RNDN);
        mpfr_set_flt(y_, y, MPFR_RNDN);
        int inexact = 0;
        switch (f) {
            case Function::Sin:
                inexact = mpfr_sin(r_, x_, MPFR_RNDN);
                break;
            case Function::Cos:
                inexact = mpfr_cos(r_, x_, MPFR_RNDN);
                break;
            case Function::Exp:
                inexact = mpfr_exp(r_, x_, MPFR_RNDN);
                break;
            case Function::Exp2:
                inexact = mpfr_exp2(r_, x_, MPFR_RNDN);
                break;
            case Function::Pow:
                inexact = mpfr_pow(r_, x_, y_, MPFR_RNDN);
                break;
        }
        inexact = mpfr_check_range(r_, inexact, MPFR_RNDN);
        mpfr_subnormalize(r_, inexact, MPFR_RNDN);
        const float result = mpfr_get_flt(r_, MPFR_RNDN);
        mpfr_set_emin(old_min);
        mpfr_set_emax(old_max);
        ++mpfr_calls;
        return result;
    }

    // The correctly rounded f(x, y), for checking `candidate`: from the C library's double
    // result when that decides and agrees with the candidate, otherwise from MPFR.
    float checked(Function f, float x, float y, float candidate);

    std::uint64_t mpfr_calls = 0;

  private:
    mpfr_t x_, y_, r_;
};

// |v - f(x, y)| / |f(x, y)| with the exact value from MPFR at 160 bits: how far a double
// approximation lies from the truth. f(x, y) must be finite and non-zero.
inline double relative_error(Function f, float x, float y, double v) {
    mpfr_t a, b, exact, diff;
    mpfr_inits2(160, a, b, exact, diff, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_flt(a, x, MPFR_RNDN);
    mpfr_set_flt(b, y, MPFR_RNDN);
    switch (f) {
        case Function::Sin:
            mpfr_sin(exact, a, MPFR_RNDN);
            break;
        case Function::Cos:
            mpfr_cos(exact, a, MPFR_RNDN);
            break;
        case Function::Exp:
            mpfr_exp(exact, a, MPFR_RNDN);
            break;
        case Function::Exp2:
            mpfr_exp2(exact, a, MPFR_RNDN);
            break;
        case Function::Pow:
            mpfr_pow(exact, a, b, MPFR_RNDN);
            break;
    }
    mpfr_sub_d(diff, exact, v, MPFR_RNDN);
    mpfr_div(diff, diff, exact, MPFR_RNDN);
    mpfr_abs(diff, diff, MPFR_RNDN);
    const double error = mpfr_get_d(diff, MPFR_RNDU);
    mpfr_clears(a, b, exact, diff, static_cast<mpfr_ptr>(nullptr));
    return error;
}

// Same bits, or both NaN (the functions promise a NaN, not which one).
inline bool same_result(float a, float b) {
    return float_bits(a) == float_bits(b) || (a != a && b != b);
}

inline float Reference::checked(Function f, float x, float y, float candidate) {
    const double libm = libm_value(f, x, y);
    const float rounded = static_cast<float>(libm);
    if (!undecided(libm) && same_result(rounded, candidate)) return rounded;
    return (*this)(f, x, y);
}

}  // namespace pyrelle::fmath_reference
