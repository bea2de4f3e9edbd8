#pragma once
// The canvas primitives the fast ones are checked against, written as the rules state them:
// one pixel at a time, with the library's round().
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/canvas.hpp"

namespace pyrelle::reference {

inline std::uint32_t clamp_channel(float v) {
    if (std::isnan(v) || v <= 0.0f) return 0;
    return v >= 255.0f ? 255u : static_cast<std::uint32_t>(v);
}

inline std::uint32_t round_channel(float v) {
    return clamp_channel(std::round(v));
}

inline std::uint32_t channel(std::uint32_t c, int shift) {
    return (c >> shift) & 255u;
}

inline void glow(Canvas& canvas, std::uint32_t colour, float cx, float cy, float radius,
                 float intensity) {
    const float rf = std::ceil(radius);
    const long long r = std::isnan(rf) ? 0 : rf >= 2147483647.0f ? 2147483647 : (long long)rf;
    if (r < -r) return;
    const long long fx = static_cast<long long>(std::floor(cx));
    const long long fy = static_cast<long long>(std::floor(cy));
    for (long long i = -r; i <= r; ++i) {
        for (long long j = -r; j <= r; ++j) {
            const long long x = fx + j, y = fy + i;
            const float dx = static_cast<float>(x) + 0.5f - cx;
            const float dy = static_cast<float>(y) + 0.5f - cy;
            const float d = std::sqrt(dx * dx + dy * dy) / radius;
            if (!(d < 1.0f) || !canvas.contains(x, y)) continue;
            const float w = (1.0f - d) * (1.0f - d) * intensity;
            std::uint32_t& p = canvas.pixels[static_cast<std::size_t>(x + y * canvas.width)];
            std::uint32_t out = 0;
            for (int shift : {16, 8, 0}) {
                const std::uint32_t add =
                    clamp_channel(w * static_cast<float>(channel(colour, shift)));
                out |= std::min(channel(p, shift) + add, 255u) << shift;
            }
            p = out;
        }
    }
}

inline void blend_rect(Canvas& canvas, std::int32_t x, std::int32_t y, std::int32_t w,
                       std::int32_t h, std::uint32_t colour, float alpha) {
    if (w <= 0 || h <= 0) return;
    const float t = std::isnan(alpha) ? 0.0f : std::clamp(alpha, 0.0f, 1.0f);
    for (long long row = y; row < static_cast<long long>(y) + h; ++row) {
        for (long long col = x; col < static_cast<long long>(x) + w; ++col) {
            if (!canvas.contains(col, row)) continue;
            std::uint32_t& p = canvas.pixels[static_cast<std::size_t>(col + row * canvas.width)];
            std::uint32_t out = 0;
            for (int shift : {16, 8, 0}) {
                const float old = static_cast<float>(channel(p, shift));
                const float now = static_cast<float>(channel(colour, shift));
                out |= round_channel(old + (now - old) * t) << shift;
            }
            p = out;
        }
    }
}

}  // namespace pyrelle::reference
