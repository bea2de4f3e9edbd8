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
#include "game/entities.hpp"
#include "game/trail.hpp"
#include "game/vec2.hpp"

namespace pyrelle {

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

}  // namespace pyrelle
