#pragma once
#include <cfloat>
#include <cstdint>
#include <vector>

#include "engine/synth.hpp"
#include "game/level.hpp"

namespace pyrelle {

// Heartbeat notes of one step and the danger level that sets the drone.
struct AmbientCue {
    std::vector<Note> notes;
    float danger = 0.0f;
};

// Turns what happens in the game into notes: the level's sound events, the heartbeat and
// the danger, the victory music and the cues of the game's flow. It has its own random
// stream, so sound never disturbs the simulation's.
struct SoundCues {
    std::uint64_t pollen_step = 0;
    std::uint64_t rng = 0x63CBE1E459320DD7;  // xorshift64 state
    float since_pollen = FLT_MAX;            // s
    float since_chime = FLT_MAX;             // s
    float heartbeat_timer = 0.0f;            // s
    float music_time = 0.0f;                 // s
    std::uint32_t music_step = 0;

    // The notes of one sound event; `deep` is depth 10 and deeper.
    std::vector<Note> for_event(SoundEvent event, bool deep);
    // Every step, after the events: the low-energy heartbeat and the chasing shades' danger.
    AmbientCue tick(float dt, const Level& level);
    // Every step on the victory screen: the chords and melody due by now.
    std::vector<Note> music(float dt);

    static std::vector<Note> start_cue();
    static std::vector<Note> death_cue();
    static std::vector<Note> descent_cue();
    // Also restarts the victory music's clock.
    std::vector<Note> victory_cue();

    // One xorshift64 step (12 right, 25 left, 27 right): the new state.
    std::uint64_t next_state();
    // The next state times 0x2545F4914F6CDD1D.
    std::uint64_t next_output();
};

}  // namespace pyrelle
