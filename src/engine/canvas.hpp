#pragma once
#include <cstdint>
#include <vector>

#include "engine/saturating.hpp"

namespace pyrelle {

// A software framebuffer of 0x00RRGGBB pixels, row-major. Every drawing primitive
// clips against the edges, so callers may draw partly or wholly off the canvas.
struct Canvas {
    std::vector<std::uint32_t> pixels;
    std::uint32_t width = 0;
    std::uint32_t height = 0;

    Canvas() = default;
    Canvas(std::uint32_t w, std::uint32_t h);  // all black

    // The caller checks the range first.
    std::uint32_t get(std::int32_t x, std::int32_t y) const {
        return pixels[static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * width];
    }
    bool contains(std::int64_t x, std::int64_t y) const {
        return x >= 0 && y >= 0 && x < width && y < height;
    }

    void set(std::int32_t x, std::int32_t y, std::uint32_t colour);
    void add(std::int32_t x, std::int32_t y, std::uint32_t colour);  // saturating per channel
    void blend(std::int32_t x, std::int32_t y, std::uint32_t colour, float alpha);

    void fill_rect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                   std::uint32_t colour);
    void blend_rect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                    std::uint32_t colour, float alpha);
    void rect_outline(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                      std::uint32_t colour);
    void glow(std::uint32_t colour, float cx, float cy, float radius, float intensity);
    void blit(const Canvas& source, std::int32_t sx, std::int32_t sy, std::int32_t dx,
              std::int32_t dy, std::int32_t w, std::int32_t h);
};

// Per channel a + (b - a) * t, rounded half away from zero and clamped.
std::uint32_t mix_colour(std::uint32_t a, std::uint32_t b, float t);

// Float to integer conversions shared by the drawing code.
// Clamp to [0, 255], truncate, NaN -> 0. Inline: the renderer calls it for most
// pixels of every frame.
inline std::uint8_t clamp_channel(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 255.0f) return 255;
    return static_cast<std::uint8_t>(v);
}
// Rounded half away from zero, clamped, NaN -> 0: round() then clamp_channel. Below 255
// the fraction v - trunc(v) is exact, so comparing it with 0.5 decides as round() does.
inline std::uint8_t round_channel(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 255.0f) return 255;
    const auto t = static_cast<std::uint32_t>(v);
    return static_cast<std::uint8_t>(t + (v - static_cast<float>(t) >= 0.5f ? 1u : 0u));
}

inline std::uint32_t red_of(std::uint32_t c) {
    return (c >> 16) & 0xFF;
}
inline std::uint32_t green_of(std::uint32_t c) {
    return (c >> 8) & 0xFF;
}
inline std::uint32_t blue_of(std::uint32_t c) {
    return c & 0xFF;
}
inline std::uint32_t pack_rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (r << 16) | (g << 8) | b;
}

// Each channel clamped to [0, 255] and truncated; NaN gives 0.
inline std::uint32_t rgb(float r, float g, float b) {
    return pack_rgb(clamp_channel(r), clamp_channel(g), clamp_channel(b));
}

inline std::uint32_t scale_colour(std::uint32_t colour, float k) {
    return rgb(static_cast<float>(red_of(colour)) * k, static_cast<float>(green_of(colour)) * k,
               static_cast<float>(blue_of(colour)) * k);
}

}  // namespace pyrelle
