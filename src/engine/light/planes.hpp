#pragma once
// The light map's cells hold red, green and blue side by side; its loops want one
// channel at a time.
#include "engine/light/light_map.hpp"
#include "engine/simd.hpp"

namespace pyrelle {

// Four cells' light, stored red, green, blue one after the other, as three planes.
struct Planes {
    simd::F4 r, g, b;
};

static_assert(sizeof(LightRgb) == 3 * sizeof(float), "light cells are packed floats");

inline Planes load_planes(const LightRgb* cells) {
    using simd::F4;
    const float* v = &cells->r;
    const F4 v0 = simd::load(v);      // r0 g0 b0 r1
    const F4 v1 = simd::load(v + 4);  // g1 b1 r2 g2
    const F4 v2 = simd::load(v + 8);  // b2 r3 g3 b3
    return {simd::shuffle<0, 1, 2, 5>(simd::shuffle<0, 3, 6, 7>(v0, v1), v2),
            simd::shuffle<0, 1, 2, 6>(simd::shuffle<1, 4, 7, 0>(v0, v1), v2),
            simd::shuffle<0, 1, 4, 7>(simd::shuffle<2, 5, 0, 0>(v0, v1), v2)};
}

}  // namespace pyrelle
