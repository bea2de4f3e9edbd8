// Checks pyrelle::fmath against MPFR: every float bit pattern (finite, infinite, NaN) for sin,
// cos, exp and exp2, and for pow every argument pair the game forms plus a random sample.
// Prints, per set, the count of results that are not the correctly rounded float (the aim is
// 0), the first few of them, and the time taken.
//
// MPFR alone would take days for 2^32 arguments, so the C library's double function serves as a
// filter (Reference::checked, tests/engine/float_math_reference.hpp): glibc documents at most 1
// unit in the last place of double for sin, cos, exp, exp2 and pow, so when its result lies
// further than 32 double units from every float midpoint (and from the overflow threshold), the
// float nearest to it is the correctly rounded one. Only when it is that close, or when fmath
// disagrees with it, does MPFR decide, and only MPFR's verdict counts as a failure. About one
// argument in 2^23 goes to MPFR.
//
// Build and run by hand (minutes on two cores; nice -n 19 when sharing the machine):
//   cmake --build build/release --target check_float_math
//   nice -n 19 build/release/check_float_math [all|sin|cos|exp|exp2|pow] [threads]
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/float_math.hpp"
#include "tests/engine/float_math_reference.hpp"

namespace {

using pyrelle::fmath_reference::float_bits;
using pyrelle::fmath_reference::float_of_bits;
using pyrelle::fmath_reference::Function;
using pyrelle::fmath_reference::function_name;
using pyrelle::fmath_reference::Reference;
using pyrelle::fmath_reference::same_result;

struct Args {
    float x, y;
};

// The argument pair with index i of a set, or false to skip it.
using ArgsAt = std::function<bool(std::uint64_t, Args&)>;

float fmath_value(Function f, Args a) {
    switch (f) {
        case Function::Sin:
            return pyrelle::fmath::sin(a.x);
        case Function::Cos:
            return pyrelle::fmath::cos(a.x);
        case Function::Exp:
            return pyrelle::fmath::exp(a.x);
        case Function::Exp2:
            return pyrelle::fmath::exp2(a.x);
        case Function::Pow:
            return pyrelle::fmath::pow(a.x, a.y);
    }
    return 0.0f;
}

struct Failure {
    Args args;
    float got, want;
};

struct Tally {
    std::atomic<std::uint64_t> checked{0}, mpfr_calls{0}, failures{0};
    std::mutex mutex;
    std::vector<Failure> first;
};

void check_range(Function f, const ArgsAt& args_at, std::uint64_t begin, std::uint64_t end,
                 Tally& tally) {
    Reference reference;
    std::uint64_t checked = 0, failures = 0;
    for (std::uint64_t i = begin; i < end; ++i) {
        Args a;
        if (!args_at(i, a)) continue;
        ++checked;
        const float got = fmath_value(f, a);
        const float want = reference.checked(f, a.x, a.y, got);
        if (!same_result(got, want)) {
            ++failures;
            std::lock_guard<std::mutex> lock(tally.mutex);
            if (tally.first.size() < 10) tally.first.push_back({a, got, want});
        }
    }
    tally.checked += checked;
    tally.mpfr_calls += reference.mpfr_calls;
    tally.failures += failures;
}

// Runs one set on `threads` threads, in interleaved blocks so that slow regions (huge sine
// arguments) are shared; returns the failure count.
std::uint64_t run_set(const char* name, Function f, std::uint64_t count, const ArgsAt& args_at,
                      int threads) {
    const auto start = std::chrono::steady_clock::now();
    Tally tally;
    std::atomic<std::uint64_t> next{0};
    constexpr std::uint64_t kBlock = 1u << 20;
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&] {
            for (;;) {
                const std::uint64_t b = next.fetch_add(kBlock);
                if (b >= count) return;
                check_range(f, args_at, b, std::min(count, b + kBlock), tally);
            }
        });
    for (std::thread& t : pool)
        t.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-44s %12llu checked  %8llu by MPFR  %llu incorrectly rounded  %.0f s\n", name,
                static_cast<unsigned long long>(tally.checked.load()),
                static_cast<unsigned long long>(tally.mpfr_calls.load()),
                static_cast<unsigned long long>(tally.failures.load()), seconds);
    for (const Failure& fail : tally.first) {
        if (f == Function::Pow)
            std::printf("    pow(%a [%08X], %a [%08X]) = %a, correctly rounded %a\n", fail.args.x,
                        float_bits(fail.args.x), fail.args.y, float_bits(fail.args.y), fail.got,
                        fail.want);
        else
            std::printf("    %s(%a [%08X]) = %a, correctly rounded %a\n", function_name(f),
                        fail.args.x, float_bits(fail.args.x), fail.got, fail.want);
    }
    std::fflush(stdout);
    return tally.failures.load();
}

// Every float in [lo, hi] (both non-negative), by bit pattern.
struct FloatSpan {
    std::uint32_t first, last;
    explicit FloatSpan(float lo, float hi) : first(float_bits(lo)), last(float_bits(hi)) {}
    std::uint64_t size() const { return std::uint64_t{last} - first + 1; }
    float at(std::uint64_t i) const { return float_of_bits(first + static_cast<std::uint32_t>(i)); }
};

// A 64-bit mix of the index: reproducible random draws without shared state.
std::uint64_t mix(std::uint64_t i) {
    std::uint64_t z = i * 0x9E3779B97F4A7C15ull + 0x6A09E667F3BCC909ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::uint64_t check_pow(int threads) {
    std::uint64_t failures = 0;
    const FloatSpan dt(0x1p-149f, 0.25f);
    for (const float c : {0.02f, 0.15f, 0.003f, 0.08f, 0.01f, 0.002f}) {
        const std::string name =
            "pow(" + std::to_string(c).substr(0, 5) + ", every dt in (0,0.25])";
        failures += run_set(
            name.c_str(), Function::Pow, dt.size(),
            [&](std::uint64_t i, Args& a) {
                a = {c, dt.at(i)};
                return true;
            },
            threads);
    }
    const FloatSpan unit(0.0f, 1.0f);
    failures += run_set(
        "pow(every k in [0,1], 0.6)", Function::Pow, unit.size(),
        [&](std::uint64_t i, Args& a) {
            a = {unit.at(i), 0.6f};
            return true;
        },
        threads);
    failures += run_set(
        "pow(every x in [0,1], 1.5)", Function::Pow, unit.size(),
        [&](std::uint64_t i, Args& a) {
            a = {unit.at(i), 1.5f};
            return true;
        },
        threads);
    const FloatSpan non_negative(0.0f, float_of_bits(0x7F800000u));
    failures += run_set(
        "pow(every x >= 0, 0.7)", Function::Pow, non_negative.size(),
        [&](std::uint64_t i, Args& a) {
            a = {non_negative.at(i), 0.7f};
            return true;
        },
        threads);
    for (const float ratio : {2.0f, 0.5f}) {
        const std::string name =
            "pow(" + std::to_string(ratio).substr(0, 3) + ", every k in [0,1])";
        failures += run_set(
            name.c_str(), Function::Pow, unit.size(),
            [&](std::uint64_t i, Args& a) {
                a = {ratio, unit.at(i)};
                return true;
            },
            threads);
    }
    // Every k in [0, 1], each with its own ratio drawn log-uniformly from [1/64, 64].
    failures += run_set(
        "pow(ratio in [1/64,64], every k in [0,1])", Function::Pow, unit.size(),
        [&](std::uint64_t i, Args& a) {
            const double u = static_cast<double>(mix(i) >> 11) * 0x1p-53;
            a = {static_cast<float>(std::exp2(12.0 * u - 6.0)), unit.at(i)};
            return true;
        },
        threads);
    // Random pairs: bit patterns of both, and bases in (0, 4] with exponents in [-4, 4] or
    // any bit pattern.
    failures += run_set(
        "pow, random pairs", Function::Pow, std::uint64_t{1} << 29,
        [&](std::uint64_t i, Args& a) {
            const std::uint64_t r = mix(i + (std::uint64_t{1} << 40));
            const std::uint32_t hi = static_cast<std::uint32_t>(r >> 32);
            const std::uint32_t lo = static_cast<std::uint32_t>(r);
            switch (i % 3) {
                case 0:
                    a = {float_of_bits(hi), float_of_bits(lo)};
                    break;
                case 1:
                    a = {4.0f * ((hi >> 8) + 1) * 0x1p-24f, 8.0f * (lo >> 8) * 0x1p-24f - 4.0f};
                    break;
                default:
                    a = {4.0f * ((hi >> 8) + 1) * 0x1p-24f, float_of_bits(lo)};
                    break;
            }
            return true;
        },
        threads);
    return failures;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string which = argc > 1 ? argv[1] : "all";
    const int threads = argc > 2 ? std::atoi(argv[2]) : 2;
    const auto start = std::chrono::steady_clock::now();
    std::uint64_t failures = 0;
    const auto every_float = [](std::uint64_t i, Args& a) {
        a = {float_of_bits(static_cast<std::uint32_t>(i)), 0.0f};
        return true;
    };
    const std::pair<const char*, Function> unary[] = {{"sin", Function::Sin},
                                                      {"cos", Function::Cos},
                                                      {"exp", Function::Exp},
                                                      {"exp2", Function::Exp2}};
    for (const auto& [name, f] : unary)
        if (which == "all" || which == name)
            failures += run_set((std::string(name) + ", every float").c_str(), f,
                                std::uint64_t{1} << 32, every_float, threads);
    if (which == "all" || which == "pow") failures += check_pow(threads);
    std::printf("total: %llu incorrectly rounded, %.0f s\n",
                static_cast<unsigned long long>(failures),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return failures == 0 ? 0 : 1;
}
