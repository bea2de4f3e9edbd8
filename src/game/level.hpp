#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/light/source.hpp"
#include "engine/rng.hpp"
#include "game/biome.hpp"
#include "game/cave.hpp"
#include "game/vec2.hpp"

namespace pyrelle {

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

// Sounds the simulation queues for the synthesizer, in the order they happened.
enum class SoundEvent : std::uint8_t {
    Pollen = 0,
    LanternLit = 1,
    LastLantern = 2,
    ShadeHit = 3,
    CrystalChime = 4,
    Splash = 5,
    CompanionJoined = 6,
    Burst = 7,
};

enum class UpdateOutcome : std::uint8_t { Continue, Died, ExitReached };

// Recent firefly positions, newest first. Storage grows only when the length limit does.
struct Trail {
    std::vector<Vec2> ring;
    std::size_t head = 0;  // slot of the newest entry
    std::size_t count = 0;

    // Inserts at the front and drops the oldest entries beyond `limit`.
    void push_front(Vec2 position, std::size_t limit);
    std::size_t size() const { return count; }
    Vec2 operator[](std::size_t i) const { return ring[(head + i) % ring.size()]; }  // 0 = newest

    friend bool operator==(const Trail& a, const Trail& b);  // same entries in the same order
};

// Which light groups build_lights appends, in this fixed order.
using LightGroups = std::uint32_t;
inline constexpr LightGroups kLanternLights = 1u << 0;
inline constexpr LightGroups kExitLight = 1u << 1;
inline constexpr LightGroups kCrystalLights = 1u << 2;
inline constexpr LightGroups kFireflyLight = 1u << 3;
inline constexpr LightGroups kBurstLight = 1u << 4;
inline constexpr LightGroups kCompanionLights = 1u << 5;
inline constexpr LightGroups kLostCompanionLight = 1u << 6;
inline constexpr LightGroups kPollenLights = 1u << 7;
inline constexpr LightGroups kAllLights = 0xFFu;

// What a moth may be drawn to this frame.
struct MothTarget {
    float x = 0;
    float y = 0;
    float weight = 0;
    bool is_firefly = false;
};

// Buffers the update refills every frame; they carry no state between frames, so two
// levels compare equal whatever their scratch holds.
struct UpdateScratch {
    std::vector<LightSource> lights;
    std::vector<std::int32_t> flood_queue;
    std::vector<MothTarget> moth_targets;

    friend bool operator==(const UpdateScratch&, const UpdateScratch&) { return true; }
};

// One depth of the cave: its layout and everything that changes while the firefly flies.
struct Level {
    Cave cave;
    std::vector<Crystal> crystals;
    WaterMask water_mask;
    std::vector<Ripple> ripples;
    std::vector<Companion> companions;
    Trail trail;
    std::vector<PollenGrain> pollen;
    std::vector<Lantern> lanterns;
    std::vector<Shade> shades;
    std::vector<Moth> moths;
    std::vector<Particle> particles;
    std::vector<SoundEvent> sound_events;  // this frame's, in order; the game empties it
    DistanceField distance;                // from the firefly's cell, refreshed every 0.3 s
    std::optional<Message> message;
    std::optional<LostCompanion> lost_companion;
    std::optional<float> burst_flash;  // elapsed time of the burst flash
    Vec2 firefly_pos;
    Vec2 firefly_vel;
    float energy = 0;  // 0..1: the firefly's light and life
    float hurt_timer = 0;
    Vec2 camera;  // top-left of the view, world pixels
    Rng rng;
    std::uint64_t seed = 0;
    std::uint32_t depth = 0;
    float burst_cooldown = 0;
    float ripple_timer = 0;
    float splash_cooldown = 0;
    Vec2 exit_pos;  // the rift below depth 10, the Source from 10 on
    float exit_progress = 0;
    float time = 0;
    float distance_timer = 0;
    bool in_water = false;
    bool moth_hint_shown = false;  // kept across depths by the game
    bool night = false;
    Biome biome = Biome::Grotte;

    UpdateScratch scratch;

    // Advances one frame; (input_x, input_y) is a unit vector or (0, 0).
    UpdateOutcome update(float input_x, float input_y, float dt);
    // Time, lantern glow, particles and camera only: for screens where the level stands still.
    void tick(float dt);
    // Fires the light burst when the cooldown and energy allow; true when it fired.
    bool light_burst();

    friend bool operator==(const Level&, const Level&) = default;
};

// Appends (does not clear) the lights of the chosen groups, lanterns first, pollen last.
void build_lights(const Level& level, LightGroups groups, std::vector<LightSource>& out);
// Light reaching (x, y) from the sources that see it; colours play no part.
float light_at(const std::vector<LightSource>& lights, const Cave& cave, float x, float y);
// Grid walk from a's cell to b's cell through open cells; ties step vertically.
bool line_of_sight(const Cave& cave, Vec2 a, Vec2 b);
// `count` sparks flying out of (x, y) in random directions.
void emit_burst(std::vector<Particle>& particles, Rng& rng, std::int32_t count,
                std::uint32_t colour, float x, float y, float speed, float life);

}  // namespace pyrelle
