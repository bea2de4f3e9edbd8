// The world renderer in its heaviest state: the Source fully open, every lantern lit and
// fully glowing, 8 companions, all pollen present, a burst in flight.
#include <benchmark/benchmark.h>

#include "game/generate.hpp"
#include "game/render.hpp"

namespace pyrelle {
namespace {

Level heaviest_level() {
    Level level = generate_level(10, 0x5EEDBEEF);
    for (Lantern& lantern : level.lanterns) {
        lantern.lit = true;
        lantern.glow = 1.0f;
    }
    level.exit_progress = 1.0f;
    // Stand where the light is busiest: beside the Source, with lanterns in view.
    level.firefly_pos = {level.exit_pos.x + 20.0f, level.exit_pos.y};
    for (int k = 0; k < 8; ++k) {
        level.companions.push_back({level.firefly_pos.x - 4.0f * static_cast<float>(k),
                                    level.firefly_pos.y, 1.9f * static_cast<float>(k)});
    }
    level.burst_flash = 0.2f;
    for (int i = 0; i < 30; ++i)
        level.tick(1.0f / 60.0f);  // camera settles on the firefly
    level.burst_flash = 0.2f;
    return level;
}

void BM_RenderHeaviestSourceFrame(benchmark::State& state) {
    const Level level = heaviest_level();
    WorldRenderer renderer(level);
    Canvas canvas(320, 180);
    for (auto _ : state) {
        renderer.render(level, canvas);
        benchmark::DoNotOptimize(canvas.pixels.data());
    }
}
BENCHMARK(BM_RenderHeaviestSourceFrame)->Unit(benchmark::kMicrosecond);

void BM_BuildRenderer(benchmark::State& state) {
    const Level level = generate_level(10, 0x5EEDBEEF);
    for (auto _ : state) {
        WorldRenderer renderer(level);
        benchmark::DoNotOptimize(renderer.background.canvas.pixels.data());
    }
}
BENCHMARK(BM_BuildRenderer)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pyrelle
