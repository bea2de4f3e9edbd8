#pragma once
#include <cstdint>
#include <string>

namespace pyrelle {

// The things of a level besides the cave and the firefly: plain records the level's stages
// move and the renderer draws.

struct Lantern {
    float x = 0;
    float y = 0;
    float glow = 0;  // 0..1, rises once lit
    bool lit = false;

    friend bool operator==(const Lantern&, const Lantern&) = default;
};

struct PollenGrain {
    float x = 0;
    float y = 0;
    float phase = 0;  // radians, animation only
    bool present = true;

    friend bool operator==(const PollenGrain&, const PollenGrain&) = default;
};

// A companion following the firefly.
struct Companion {
    float x = 0;
    float y = 0;
    float phase = 0;  // radians, offsets its bobbing

    friend bool operator==(const Companion&, const Companion&) = default;
};

// The companion still waiting to be found.
struct LostCompanion {
    float x = 0;
    float y = 0;
    float heading = 0;  // radians

    friend bool operator==(const LostCompanion&, const LostCompanion&) = default;
};

struct Ripple {
    float x = 0;
    float y = 0;
    float age = 0;  // s

    friend bool operator==(const Ripple&, const Ripple&) = default;
};

// On-screen text; may hold one line feed for two lines.
struct Message {
    std::string text;
    float time = 0;  // s remaining

    friend bool operator==(const Message&, const Message&) = default;
};

struct Particle {
    float x = 0;
    float y = 0;
    float vx = 0;
    float vy = 0;
    float life = 0;  // s remaining
    float max_life = 0;
    std::uint32_t colour = 0;  // 0xRRGGBB
    float gravity = 0;         // added to vy per second; negative rises

    friend bool operator==(const Particle&, const Particle&) = default;
};

struct Moth {
    float x = 0;
    float y = 0;
    float vx = 0;
    float vy = 0;
    float t = 0;          // age in s
    float orbit_dir = 0;  // -1 or +1: the sense it circles its target
    float wander_x = 0;
    float wander_y = 0;
    float wander_timer = 0;
    float stun_timer = 0;
    float dwell = 0;            // s spent close to the lantern it circles
    float ignore_lanterns = 0;  // s left during which lanterns do not attract it
    float chase_memory = 0;     // s left hunting the firefly out of sight
    bool near = false;          // within 20 px of the firefly and not stunned

    friend bool operator==(const Moth&, const Moth&) = default;
};

enum class ShadeState : std::uint8_t { Wander = 0, Chase = 1, Flee = 2 };

struct Shade {
    float x = 0;
    float y = 0;
    float vx = 0;
    float vy = 0;
    float t = 0;  // age in s, animation
    float wander_x = 0;
    float wander_y = 0;
    float wander_timer = 0;
    float flee_timer = 0;
    ShadeState state = ShadeState::Wander;  // what it did this frame

    friend bool operator==(const Shade&, const Shade&) = default;
};

}  // namespace pyrelle
