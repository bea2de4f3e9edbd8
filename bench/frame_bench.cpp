// Whole frames of the game as the player meets them: entering a depth (generation, the
// renderer's build and the first picture in one step) and one picture of every screen.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cli.hpp"
#include "engine/step_loop.hpp"
#include "game/game.hpp"
#include "headless.hpp"
#include "startup.hpp"

namespace pyrelle {
namespace {

// A game set up by a command line and stepped like a headless run, without records.
Game game_after(const std::vector<std::string>& args, std::uint32_t frames) {
    const Result<Options> parsed = parse_command_line(args);
    const Options& options = parsed.value();
    Game game = Game::create(options.seed.value_or(1), Records{}, std::nullopt);
    apply_start_options(game, options);
    Input input;
    for (std::uint32_t i = 0; i < frames; ++i) {
        input.now = options.idle ? Keys{} : scripted_keys(i);
        game.step(input, kStep);
        input.prev = input.now;
    }
    return game;
}

// From a game playing the depth above: the new level, its renderer and its first picture.
void BM_EnterDepth(benchmark::State& state) {
    const auto depth = static_cast<std::uint32_t>(state.range(0));
    Game game = game_after({"--seed", "9", "--depth", std::to_string(depth - 1)}, 60);
    Canvas canvas(kViewWidth, kViewHeight);
    for (auto _ : state) {
        state.PauseTiming();
        game.enter_depth(depth - 1);
        game.render(canvas);
        state.ResumeTiming();
        game.enter_depth(depth);
        game.render(canvas);
        benchmark::DoNotOptimize(canvas.pixels.data());
    }
}
BENCHMARK(BM_EnterDepth)->Arg(2)->Arg(7)->Arg(10)->Unit(benchmark::kMillisecond);

// Leaving a run for the title: a fresh demo level and its first picture.
void BM_ReturnToTitle(benchmark::State& state) {
    Game game = game_after({"--seed", "9", "--depth", "10"}, 60);
    Canvas canvas(kViewWidth, kViewHeight);
    for (auto _ : state) {
        game.return_to_title();
        game.render(canvas);
        benchmark::DoNotOptimize(canvas.pixels.data());
    }
}
BENCHMARK(BM_ReturnToTitle)->Unit(benchmark::kMillisecond);

struct ScreenScene {
    const char* name;
    std::vector<std::string> args;
    std::uint32_t frames;
    std::optional<Screen> screen;  // set after the steps
    float screen_timer;
};

const ScreenScene kScreens[] = {
    {"title", {"--seed", "7", "--idle"}, 0, std::nullopt, 0.0f},
    {"pause", {"--seed", "3", "--depth", "5", "--auto"}, 300, Screen::Pause, 0.0f},
    {"death", {"--seed", "3", "--depth", "5", "--auto"}, 300, Screen::Death, 0.9f},
    {"descent", {"--seed", "3", "--depth", "3", "--auto"}, 300, Screen::Descent, 1.4f},
    // The run reaches the Source early and stays on the end screen with all 90 fireflies.
    {"end",
     {"--seed", "5", "--depth", "10", "--light-all", "--warp-exit", "--auto", "--idle"},
     1500,
     std::nullopt,
     0.0f},
    {"play_heaviest",
     {"--seed", "11", "--depth", "10", "--light-all", "--warp-exit", "--companions", "8", "--idle"},
     240,
     std::nullopt,
     0.0f},
};

void BM_RenderScreen(benchmark::State& state, const ScreenScene& scene) {
    Game game = game_after(scene.args, scene.frames);
    if (scene.screen) {
        game.screen = *scene.screen;
        game.screen_timer = scene.screen_timer;
    }
    Canvas canvas(kViewWidth, kViewHeight);
    for (auto _ : state) {
        game.render(canvas);
        benchmark::DoNotOptimize(canvas.pixels.data());
    }
    // Shows which screen was measured, so a changed scene does not go unnoticed.
    state.counters["screen"] = static_cast<double>(game.screen);
    state.counters["timer"] = game.screen_timer;
    state.counters["depth"] = game.level.depth;
}

// Pictures of a game that goes on between them: one step (not timed) before each picture,
// so that whatever moves has moved, as in a real run. Every 240 steps the game starts
// again from the scene, so that the measure stays on it.
const ScreenScene kInFlight[] = {
    {"title", {"--seed", "7", "--idle"}, 0, std::nullopt, 0.0f},
    {"play_heaviest",
     {"--seed", "11", "--depth", "10", "--light-all", "--warp-exit", "--companions", "8", "--idle"},
     240,
     std::nullopt,
     0.0f},
    {"play_heaviest_flying",
     {"--seed", "11", "--depth", "10", "--light-all", "--companions", "8", "--auto"},
     240,
     std::nullopt,
     0.0f},
};

void BM_RenderInFlight(benchmark::State& state, const ScreenScene& scene) {
    const bool idle = std::find(scene.args.begin(), scene.args.end(), "--idle") != scene.args.end();
    Game game = game_after(scene.args, scene.frames);
    Canvas canvas(kViewWidth, kViewHeight);
    Input input;
    std::uint32_t steps = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (steps == 240) game = game_after(scene.args, scene.frames), steps = 0, input = Input{};
        input.now = idle ? Keys{} : scripted_keys(scene.frames + steps);
        game.step(input, kStep);
        input.prev = input.now;
        ++steps;
        state.ResumeTiming();
        game.render(canvas);
        benchmark::DoNotOptimize(canvas.pixels.data());
    }
    state.counters["screen"] = static_cast<double>(game.screen);
    state.counters["depth"] = game.level.depth;
}

const bool kRegistered = [] {
    for (const ScreenScene& scene : kScreens) {
        benchmark::RegisterBenchmark((std::string("BM_RenderScreen/") + scene.name).c_str(),
                                     BM_RenderScreen, scene)
            ->Unit(benchmark::kMicrosecond);
    }
    for (const ScreenScene& scene : kInFlight) {
        benchmark::RegisterBenchmark((std::string("BM_RenderInFlight/") + scene.name).c_str(),
                                     BM_RenderInFlight, scene)
            ->Unit(benchmark::kMicrosecond);
    }
    return true;
}();

}  // namespace
}  // namespace pyrelle
