#pragma once
// How a source's light fades with distance. The light map, the game's light measure and the
// tests' literal map all call this one function, so they agree to the bit.

namespace pyrelle {

// (1 - (d / radius)²)² nearer than the radius, 0 from it on (and wherever d < radius fails,
// NaN included). F is float or a vector of floats, each lane computing what the float does.
template <class F>
inline F light_falloff(F d, F radius) {
    const F q = d / radius;
    const F a = 1.0f - q * q;
    return d < radius ? a * a : F{};
}

}  // namespace pyrelle
