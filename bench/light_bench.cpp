// Cost of one frame of light: compute and apply over the 320 × 180 view.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "engine/light/light_map.hpp"

namespace pyrelle {
namespace {

struct Scene {
    std::int32_t width = 130, height = 85;  // the deepest caves
    std::vector<std::uint8_t> tiles;
    std::vector<LightSource> lights;
    float camera_x = 0, camera_y = 0;
    std::size_t moving_from = 0, moving_to = 0;  // the firefly, its burst and companions

    bool open(std::int32_t x, std::int32_t y) const {
        return x >= 0 && y >= 0 && x < width && y < height &&
               tiles[static_cast<std::size_t>(x + y * width)] == 0;
    }
};

// A cave shaped like the game's: 45 % random rock smoothed five times by the 4-5 rule.
void carve(Scene& s, std::mt19937& gen) {
    s.tiles.assign(static_cast<std::size_t>(s.width * s.height), 1);
    std::uniform_real_distribution<float> u(0, 1);
    for (std::int32_t y = 2; y < s.height - 2; ++y)
        for (std::int32_t x = 2; x < s.width - 2; ++x)
            s.tiles[static_cast<std::size_t>(x + y * s.width)] = u(gen) < 0.45f;
    for (int pass = 0; pass < 5; ++pass) {
        std::vector<std::uint8_t> next = s.tiles;
        for (std::int32_t y = 2; y < s.height - 2; ++y)
            for (std::int32_t x = 2; x < s.width - 2; ++x) {
                int rock = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        rock += (dx || dy) && !s.open(x + dx, y + dy);
                const std::size_t i = static_cast<std::size_t>(x + y * s.width);
                next[i] = rock > 4 ? 1 : rock < 4 ? 0 : s.tiles[i];
            }
        s.tiles.swap(next);
    }
}

// A busy frame at the deepest level: the Source fully open, eight lit lanterns, the
// firefly with a burst, eight companions and pollen, all on open cells around the view.
Scene heavy_scene() {
    Scene s;
    std::mt19937 gen(12345);
    carve(s, gen);
    // The camera over the most open stretch of the cave.
    std::int32_t best = -1;
    for (std::int32_t cy = 0; cy + 23 < s.height; cy += 4)
        for (std::int32_t cx = 0; cx + 40 < s.width; cx += 4) {
            std::int32_t open = 0;
            for (std::int32_t y = cy; y < cy + 23; ++y)
                for (std::int32_t x = cx; x < cx + 40; ++x)
                    open += s.open(x, y);
            if (open > best) best = open, s.camera_x = float(cx * 8), s.camera_y = float(cy * 8);
        }
    std::uniform_real_distribution<float> wx(s.camera_x - 60, s.camera_x + 380);
    std::uniform_real_distribution<float> wy(s.camera_y - 40, s.camera_y + 220);
    const auto open_spot = [&] {
        for (;;) {
            const float x = wx(gen), y = wy(gen);
            if (s.open(static_cast<std::int32_t>(x / 8), static_cast<std::int32_t>(y / 8)))
                return std::pair{x, y};
        }
    };
    auto [sx, sy] = open_spot();
    s.lights.push_back({sx, sy, 160, 1.0f, 0.95f, 0.8f, 1.3f});  // the Source, fully open
    for (int i = 0; i < 8; ++i) {
        auto [lx, ly] = open_spot();
        s.lights.push_back({lx, ly, 110, 1.0f, 0.62f, 0.30f, 1.1f});  // lit lanterns
    }
    auto [fx, fy] = open_spot();
    s.moving_from = s.lights.size();
    s.lights.push_back({fx, fy, 92, 1.0f, 0.9f, 0.55f, 1.35f});  // the firefly
    s.lights.push_back({fx, fy, 80, 1.0f, 0.95f, 0.8f, 1.4f});   // a burst
    std::uniform_real_distribution<float> near(-20, 20);
    for (int i = 0; i < 8; ++i)
        s.lights.push_back({fx + near(gen), fy + near(gen), 28, 1.0f, 0.9f, 0.55f, 0.45f});
    s.moving_to = s.lights.size();
    for (int i = 0; i < 10; ++i) {
        auto [px, py] = open_spot();
        s.lights.push_back({px, py, 18, 0.65f, 1.0f, 0.35f, 0.45f});
    }
    return s;
}

// A frame as a player sees it most of the time: six lanterns spread over the whole cave
// (farthest-point, as levels place them), the view on one of them, the Source far away.
Scene spread_scene() {
    Scene s;
    std::mt19937 gen(777);
    carve(s, gen);
    std::vector<std::pair<std::int32_t, std::int32_t>> open, placed;
    for (std::int32_t y = 0; y < s.height; ++y)
        for (std::int32_t x = 0; x < s.width; ++x)
            if (s.open(x, y)) open.push_back({x, y});
    placed.push_back(open[open.size() / 3]);
    for (int i = 0; i < 7; ++i) {
        std::pair<std::int32_t, std::int32_t> best = open.front();
        std::int64_t best_d = -1;
        for (const auto& c : open) {
            std::int64_t d = INT64_MAX;
            for (const auto& p : placed)
                d = std::min<std::int64_t>(d, (c.first - p.first) * (c.first - p.first) +
                                                  (c.second - p.second) * (c.second - p.second));
            if (d >= best_d) best_d = d, best = c;
        }
        placed.push_back(best);
    }
    const auto centre = [](std::pair<std::int32_t, std::int32_t> c) {
        return std::pair{(float(c.first) + 0.5f) * 8, (float(c.second) + 0.5f) * 8};
    };
    auto [ex, ey] = centre(placed[1]);
    s.lights.push_back({ex, ey, 160, 1.0f, 0.95f, 0.8f, 1.3f});  // the Source
    for (int i = 2; i < 8; ++i) {
        auto [lx, ly] = centre(placed[static_cast<std::size_t>(i)]);
        s.lights.push_back({lx, ly, 110, 1.0f, 0.62f, 0.30f, 1.1f});
    }
    auto [fx, fy] = centre(placed[2]);
    fx += 12;
    s.camera_x = std::clamp(std::floor(fx - 160), 0.0f, float(s.width * 8 - 320));
    s.camera_y = std::clamp(std::floor(fy - 90), 0.0f, float(s.height * 8 - 180));
    s.lights.push_back({fx, fy, 92, 1.0f, 0.9f, 0.55f, 1.35f});
    s.lights.push_back({fx, fy, 80, 1.0f, 0.95f, 0.8f, 1.4f});
    std::uniform_real_distribution<float> near(-20, 20);
    for (int i = 0; i < 8; ++i)
        s.lights.push_back({fx + near(gen), fy + near(gen), 28, 1.0f, 0.9f, 0.55f, 0.45f});
    std::uniform_int_distribution<std::size_t> any(0, open.size() - 1);
    for (int i = 0; i < 12; ++i) {
        auto [px, py] = centre(open[any(gen)]);
        s.lights.push_back({px, py, 18, 0.65f, 1.0f, 0.35f, 0.45f});
    }
    return s;
}

void BM_LightSpreadLevel(benchmark::State& state) {
    const Scene s = spread_scene();
    LightMap map = LightMap::create(320, 180, 2);
    Canvas canvas(320, 180);
    for (auto _ : state) {
        std::fill(canvas.pixels.begin(), canvas.pixels.end(), 0x8899AAu);
        map.compute(s.lights, {0.035f, 0.03f, 0.06f}, {s.tiles, s.width, s.height}, s.camera_x,
                    s.camera_y, 8.0f);
        map.apply(canvas);
        benchmark::DoNotOptimize(canvas.pixels.data());
    }
}
BENCHMARK(BM_LightSpreadLevel)->Unit(benchmark::kMicrosecond);

// Frame `frame` of the scene in play: the firefly, its burst and its companions drift a
// quarter pixel further each frame, and the camera with them, as in flight; the other
// lights stay put. `alternate` swaps in a copy of the cave with one far cell changed every
// other frame, so that no frame can reuse what the frame before found: each is the first
// of its level.
struct Frames {
    Scene scene;
    std::vector<std::uint8_t> other_tiles;
    std::vector<LightSource> lights;

    explicit Frames(Scene s) : scene(std::move(s)), other_tiles(scene.tiles), lights(scene.lights) {
        other_tiles[0] ^= 1;  // a corner no view of the scene reaches
    }

    void at(std::int64_t frame, bool alternate, LightMap& map) {
        const float drift = 0.25f * static_cast<float>(frame % 64);
        for (std::size_t i = scene.moving_from; i < scene.moving_to; ++i)
            lights[i].x = scene.lights[i].x + drift;
        const auto& tiles = alternate && frame % 2 ? other_tiles : scene.tiles;
        map.compute(lights, {0.035f, 0.03f, 0.06f}, {tiles, scene.width, scene.height},
                    std::floor(scene.camera_x + drift), scene.camera_y, 8.0f);
    }
};

// The stress scene in flight (range 0) and every frame the first of its level (range 1).
void BM_LightComputeAndApply(benchmark::State& state) {
    Frames frames(heavy_scene());
    const bool first_frames = state.range(0) != 0;
    LightMap map = LightMap::create(320, 180, 2);
    Canvas canvas(320, 180);
    std::int64_t frame = 0;
    for (auto _ : state) {
        std::fill(canvas.pixels.begin(), canvas.pixels.end(), 0x8899AAu);
        frames.at(frame++, first_frames, map);
        map.apply(canvas);
        benchmark::DoNotOptimize(canvas.pixels.data());
    }
    state.counters["lights"] = static_cast<double>(frames.lights.size());
}
BENCHMARK(BM_LightComputeAndApply)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_LightCompute(benchmark::State& state) {
    Frames frames(heavy_scene());
    const bool first_frames = state.range(0) != 0;
    LightMap map = LightMap::create(320, 180, 2);
    std::int64_t frame = 0;
    for (auto _ : state) {
        frames.at(frame++, first_frames, map);
        benchmark::DoNotOptimize(map.light.data());
    }
}
BENCHMARK(BM_LightCompute)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_LightApply(benchmark::State& state) {
    const Scene s = heavy_scene();
    LightMap map = LightMap::create(320, 180, 2);
    map.compute(s.lights, {0.035f, 0.03f, 0.06f}, {s.tiles, s.width, s.height}, s.camera_x,
                s.camera_y, 8.0f);
    Canvas canvas(320, 180);
    for (auto _ : state) {
        std::fill(canvas.pixels.begin(), canvas.pixels.end(), 0x8899AAu);
        map.apply(canvas);
        benchmark::DoNotOptimize(canvas.pixels.data());
    }
}
BENCHMARK(BM_LightApply)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pyrelle
