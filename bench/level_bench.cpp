#include <benchmark/benchmark.h>

#include <cmath>

#include "game/generate.hpp"
#include "game/level.hpp"

namespace pyrelle {
namespace {

constexpr float kStep = 0.016666668f;

void BM_GenerateLevel(benchmark::State& state) {
    const auto depth = static_cast<std::uint32_t>(state.range(0));
    std::uint64_t seed = 1;
    for (auto _ : state) {
        Level level = generate_level(depth, seed++);
        benchmark::DoNotOptimize(level);
    }
}
BENCHMARK(BM_GenerateLevel)->Arg(1)->Arg(7)->Arg(10)->Unit(benchmark::kMillisecond);

// A busy depth-10 frame: every lantern lit so the exit opens, the firefly flying in
// circles, and every shade and moth brought close enough to act.
Level busy_level() {
    Level level = generate_level(10, 42);
    for (Lantern& l : level.lanterns)
        l.lit = true;
    const Vec2 f = level.firefly_pos;
    for (std::size_t i = 0; i < level.shades.size(); ++i) {
        const float a = 1.1f * static_cast<float>(i);
        level.shades[i].x = f.x + 14.0f * std::cos(a);
        level.shades[i].y = f.y + 14.0f * std::sin(a);
    }
    for (std::size_t j = 0; j < level.moths.size(); ++j) {
        const float a = 2.1f * static_cast<float>(j);
        level.moths[j].x = f.x + 6.0f * std::cos(a);
        level.moths[j].y = f.y + 6.0f * std::sin(a);
    }
    return level;
}

void BM_LevelUpdate(benchmark::State& state) {
    const Level start = busy_level();
    Level level = start;
    int frame = 0;
    for (auto _ : state) {
        const float a = 0.05f * static_cast<float>(frame);
        level.update(std::cos(a), std::sin(a), kStep);
        level.sound_events.clear();
        level.energy = 1.0f;
        // Restart every few seconds so the scene stays busy (the reset is not timed).
        if (++frame == 600) {
            state.PauseTiming();
            level = start;
            frame = 0;
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_LevelUpdate)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pyrelle
