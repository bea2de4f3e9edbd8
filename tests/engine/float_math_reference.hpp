#pragma once
// The exact reference for pyrelle::fmath: GNU MPFR computes each function on a 24-bit variable
// with round-to-nearest-even in the float's exponent range, subnormals included. Shared by the
// unit test, the hand-run exhaustive check and the generator of the fixed table of cases.
#include <cstdint>
#include <cstring>

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
        return result;
    }

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

}  // namespace pyrelle::fmath_reference
