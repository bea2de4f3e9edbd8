#pragma once

namespace pyrelle {

// A position or velocity in world pixels (or pixels per second).
struct Vec2 {
    float x = 0;
    float y = 0;

    friend bool operator==(const Vec2&, const Vec2&) = default;
};

}  // namespace pyrelle
