#pragma once
// The stages of Level::update kept outside level_update.cpp, each in the file named for
// what it moves. The firefly, shades and moths have their own headers.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "game/level.hpp"

namespace pyrelle {

// A new message replaces the one showing.
inline void show_message(Level& level, std::string text, float time) {
    level.message = Message{std::move(text), time};
}

// particles.cpp: gravity, drag and motion; spent particles go, the rest keep their order.
void age_particles(std::vector<Particle>& particles, float dt);
// `count` sparks flying out of (x, y) in random directions.
void emit_burst(std::vector<Particle>& particles, Rng& rng, std::int32_t count,
                std::uint32_t colour, float x, float y, float speed, float life);

// pollen.cpp: grains within reach feed the firefly, less with moths near, which drink.
void collect_pollen(Level& level, std::int32_t near_moths);

// lanterns.cpp: unlit lanterns within reach light up; lit ones near feed the firefly.
void light_lanterns(Level& level, float dt);

// crystals.cpp: each crystal's glow follows the light reaching it.
void glow_crystals(Level& level, float dt);

// water.cpp: ripples age; entering water splashes, staying in it makes ripples.
void age_ripples(Level& level, float dt);
void handle_water(Level& level, float dt);

// companions.cpp: the lost companion joins when reached; companions follow the trail.
void pick_up_lost_companion(Level& level);
void follow_trail(Level& level, float dt);

// lanterns.cpp: once every lantern is lit the exit opens, and reaching it ends the level.
UpdateOutcome open_exit(Level& level, float dt);

}  // namespace pyrelle
