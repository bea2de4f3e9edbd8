#pragma once
#include <cstdint>

namespace pyrelle {

// Float to integer conversions that never overflow: out-of-range values saturate and NaN
// gives 0. Inline, since the light and drawing loops call them per cell and per pixel.

// Truncated toward zero.
inline std::int32_t saturating_i32(float v) {
    if (v != v) return 0;
    if (v >= 2147483647.0f) return INT32_MAX;  // the float is 2^31
    if (v <= -2147483648.0f) return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

// Rounded down.
inline std::int32_t floor_i32(float v) {
    return saturating_i32(__builtin_floorf(v));
}

}  // namespace pyrelle
