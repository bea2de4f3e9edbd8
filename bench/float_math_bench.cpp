// fmath against the C library's float functions, one call per iteration over arrays of
// arguments shaped like the game's (so nothing folds), for ns per call.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/float_math.hpp"
#include "engine/rng.hpp"

namespace pyrelle {
namespace {

constexpr std::int32_t kCount = 4096;  // a power of two: the index wraps with a mask

struct Args {
    std::vector<float> x, y;
};

Args make_args(std::int32_t shape) {
    Rng rng = Rng::seeded(static_cast<std::uint64_t>(shape) + 1);
    Args a;
    for (std::int32_t i = 0; i < kCount; ++i) {
        const float u = rng.next_f32(), v = rng.next_f32();
        switch (shape) {
            case 0:  // phases of the game's clocks, up to about a day
                a.x.push_back(28.0f * 1e5f * u);
                break;
            case 1:  // angles
                a.x.push_back(6.2831855f * u);
                break;
            case 2:  // envelopes: exp(-5 (t - a) / d)
                a.x.push_back(-10.0f * u);
                break;
            case 3:  // note frequencies: 2^(n/12)
                a.x.push_back(static_cast<float>(rng.range(-48, 48)) / 12.0f);
                break;
            case 4: {  // pow(c, dt), pow(k, 0.6), pow(1 - r, 1.5), pow(ratio, k)
                const float bases[] = {0.02f, 0.15f, u, 1.0f - u, 0.25f + 3.75f * u};
                const float exponents[] = {0.016666668f, 0.6f, 1.5f, 0.7f, v};
                a.x.push_back(bases[i % 5]);
                a.y.push_back(exponents[i % 5]);
                break;
            }
        }
    }
    return a;
}

template <typename F>
void unary(benchmark::State& state, std::int32_t shape, F f) {
    const Args a = make_args(shape);
    std::int32_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f(a.x[i]));
        i = (i + 1) & (kCount - 1);
    }
}

template <typename F>
void binary(benchmark::State& state, F f) {
    const Args a = make_args(4);
    std::int32_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f(a.x[i], a.y[i]));
        i = (i + 1) & (kCount - 1);
    }
}

void BM_FmathSinPhase(benchmark::State& s) {
    unary(s, 0, [](float x) { return fmath::sin(x); });
}
void BM_LibmSinPhase(benchmark::State& s) {
    unary(s, 0, [](float x) { return std::sin(x); });
}
void BM_FmathSinAngle(benchmark::State& s) {
    unary(s, 1, [](float x) { return fmath::sin(x); });
}
void BM_LibmSinAngle(benchmark::State& s) {
    unary(s, 1, [](float x) { return std::sin(x); });
}
void BM_FmathCosAngle(benchmark::State& s) {
    unary(s, 1, [](float x) { return fmath::cos(x); });
}
void BM_LibmCosAngle(benchmark::State& s) {
    unary(s, 1, [](float x) { return std::cos(x); });
}
void BM_FmathExp(benchmark::State& s) {
    unary(s, 2, [](float x) { return fmath::exp(x); });
}
void BM_LibmExp(benchmark::State& s) {
    unary(s, 2, [](float x) { return std::exp(x); });
}
void BM_FmathExp2(benchmark::State& s) {
    unary(s, 3, [](float x) { return fmath::exp2(x); });
}
void BM_LibmExp2(benchmark::State& s) {
    unary(s, 3, [](float x) { return std::exp2(x); });
}
void BM_FmathPow(benchmark::State& s) {
    binary(s, [](float x, float y) { return fmath::pow(x, y); });
}
void BM_LibmPow(benchmark::State& s) {
    binary(s, [](float x, float y) { return std::pow(x, y); });
}
BENCHMARK(BM_FmathSinPhase);
BENCHMARK(BM_LibmSinPhase);
BENCHMARK(BM_FmathSinAngle);
BENCHMARK(BM_LibmSinAngle);
BENCHMARK(BM_FmathCosAngle);
BENCHMARK(BM_LibmCosAngle);
BENCHMARK(BM_FmathExp);
BENCHMARK(BM_LibmExp);
BENCHMARK(BM_FmathExp2);
BENCHMARK(BM_LibmExp2);
BENCHMARK(BM_FmathPow);
BENCHMARK(BM_LibmPow);

}  // namespace
}  // namespace pyrelle
