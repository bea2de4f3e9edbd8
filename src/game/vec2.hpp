#pragma once
#include <cmath>

namespace pyrelle {

// A position or velocity in world pixels (or pixels per second).
struct Vec2 {
    float x = 0;
    float y = 0;

    friend bool operator==(const Vec2&, const Vec2&) = default;
};

inline float length(float x, float y) {
    return std::sqrt(x * x + y * y);
}

inline float distance(Vec2 a, Vec2 b) {
    return length(b.x - a.x, b.y - a.y);
}

// Unit vector of (x, y), or zero when shorter than 1e-6.
inline Vec2 unit_or_zero(float x, float y) {
    const float len = length(x, y);
    if (len < 1e-6f) return Vec2{};
    return Vec2{x / len, y / len};
}

}  // namespace pyrelle
