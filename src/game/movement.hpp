#pragma once
#include <cstdint>

#include "game/cave.hpp"
#include "game/vec2.hpp"

namespace pyrelle {

// What stops a mover. Rock: cells outside the grid or Rock (the firefly and moths).
// Shade: any cell that is not Open, and water.
enum class BlockRule : std::uint8_t { Rock, Shade };

// Moves a circle by velocity * dt against the cave in sub-steps, sliding along walls.
void move_circle(const Cave& cave, const WaterMask& water, Vec2& position, Vec2& velocity,
                 float radius, float dt, BlockRule rule);

// A creature's body as the movers see it: centre and velocity, updated in place.
struct Body {
    float& x;
    float& y;
    float& vx;
    float& vy;
};

// Eases the velocity toward direction * speed by the fraction `steer`, then moves the body
// through the cave; returns how far it went this frame. Moths and shades move so.
float steer_and_move(const Cave& cave, const WaterMask& water, Body body, Vec2 direction,
                     float speed, float steer, float radius, float dt, BlockRule rule);

}  // namespace pyrelle
