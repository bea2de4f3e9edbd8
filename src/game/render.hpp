#pragma once
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "engine/canvas.hpp"
#include "engine/light/light_map.hpp"
#include "engine/light/source.hpp"
#include "engine/sprite.hpp"
#include "game/background.hpp"
#include "game/level.hpp"

namespace pyrelle {

struct WaterSample {
    float v;    // smoothed lake level at the pixel
    float thr;  // the rippling threshold it must exceed to be water
};

// The water's rippling threshold takes two sines per pixel, one of the pixel's column and one
// of its row at the frame's time: a table of one sine per column and one per row of a window
// gives the same threshold, the same product of the same floats, for every pixel in it.
struct SurfaceWaves {
    std::int32_t x0 = 0;
    std::int32_t y0 = 0;
    std::vector<float> along_x;  // per world column from x0
    std::vector<float> along_y;  // per world row from y0

    // The window of w x h world pixels from (x0, y0), at time t.
    void update(float t, std::int32_t x0, std::int32_t y0, std::int32_t w, std::int32_t h);
    bool covers(std::int32_t px, std::int32_t py) const;
};

struct ScreenPoint {
    std::int32_t x;
    std::int32_t y;
};

// Draws one frame of a level. Belongs to one level at a time: the rock texture is painted
// from its cave, biome and seed. Reads the level, never changes it, draws no random numbers.
// The light burst's flash with reduced motion.
inline constexpr float kReducedFlash = 0.35f;

struct WorldRenderer {
    Background background;
    LightMap light_map;
    std::vector<LightSource> lights;
    Sprite lantern_sprite;
    std::vector<ScreenPoint> glints;
    SurfaceWaves waves;  // this frame's, over the view and a pixel around it
    bool has_water = false;
    // The light burst's flash (its light and its ring), 1 at full strength.
    float flash_strength = 1.0f;

    explicit WorldRenderer(const Level& level);
    // The same for another level, keeping the buffers of this one.
    void reset(const Level& level);
    void render(const Level& level, Canvas& canvas);
};

// The rule, and the same from the table where it covers the pixel (waves for level.time).
WaterSample water_surface(const Level& level, float px, float py);
WaterSample water_surface(const Level& level, std::int32_t px, std::int32_t py,
                          const SurfaceWaves& waves);
bool is_water_pixel(const Level& level, std::int32_t px, std::int32_t py);
bool is_air_pixel(const Level& level, std::int32_t x, std::int32_t y);
bool is_air_pixel(const Level& level, std::int32_t x, std::int32_t y, const SurfaceWaves& waves);
std::array<ScreenPoint, 11> crystal_points(const Crystal& crystal);  // world pixels
// One glowing firefly (the player, a companion or the lost one), in screen space.
void draw_firefly(Canvas& canvas, std::uint32_t colour, float x, float y, float radius,
                  float intensity, float phase);

}  // namespace pyrelle
