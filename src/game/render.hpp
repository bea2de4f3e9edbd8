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

struct ScreenPoint {
    std::int32_t x;
    std::int32_t y;
};

// Draws one frame of a level. Belongs to one level at a time: the rock texture is painted
// from its cave, biome and seed. Reads the level, never changes it, draws no random numbers.
struct WorldRenderer {
    Background background;
    LightMap light_map;
    std::vector<LightSource> lights;
    Sprite lantern_sprite;
    std::vector<ScreenPoint> glints;
    bool has_water = false;

    explicit WorldRenderer(const Level& level);
    // The same for another level, keeping the buffers of this one.
    void reset(const Level& level);
    void render(const Level& level, Canvas& canvas);
};

WaterSample water_surface(const Level& level, float px, float py);
bool is_water_pixel(const Level& level, std::int32_t px, std::int32_t py);
bool is_air_pixel(const Level& level, std::int32_t x, std::int32_t y);
std::array<ScreenPoint, 11> crystal_points(const Crystal& crystal);  // world pixels
// One glowing firefly (the player, a companion or the lost one), in screen space.
void draw_firefly(Canvas& canvas, std::uint32_t colour, float x, float y, float radius,
                  float intensity, float phase);

}  // namespace pyrelle
