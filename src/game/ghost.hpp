#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/canvas.hpp"
#include "game/vec2.hpp"
#include "game/world.hpp"

namespace pyrelle {

struct Level;

// Where the best run's firefly was after some steps of its run.
struct GhostStep {
    Vec2 pos;
    std::uint32_t depth = 0;
    bool flying = false;  // in play: not out, not between depths
};

// The best run of one mode, played once from its replay beside the game.
struct GhostRun {
    std::uint64_t seed = 0;  // the game seed: its caves
    bool night = false;
    // steps[k]: after k steps of run time (its pauses left out), the first at its start.
    std::vector<GhostStep> steps;
    // Run time at which it left each depth, the last one on reaching the Source.
    std::array<std::optional<float>, kSourceDepth> left_depth;
};

// What a game knows of the race against its best run. None of it is part of the game's
// state: a game plays the same with the ghost or without.
struct GhostRace {
    bool wanted = false;                  // --ghost, and the G key
    std::shared_ptr<const GhostRun> run;  // the best run of the game's mode, once played
    bool racing = false;                  // a run from the title is under way
    std::uint32_t run_steps = 0;          // steps of run time of the current run
    // This run's own times at each depth it left, as the best run's above.
    std::array<std::optional<float>, kSourceDepth> left_depth;
    // This run's time minus the best run's, when it last left a depth both left.
    std::optional<float> split;

    void start_run();
    void count_step();
    // The run left `depth` (or reached the Source from it) at `run_time`.
    void leave_depth(std::uint32_t depth, float run_time);
    // The split to show: only while the ghost is wanted.
    std::optional<float> shown_split() const;
};

// Where the ghost is now, when it flies in the cave of this level (same game seed, same depth).
const GhostStep* ghost_in_cave(const GhostRace& race, const Level& level, std::uint64_t game_seed);

// The ghost over the world picture: a faint firefly of its own colour where it is in view, or
// a small mark at the edge of the view towards it.
void draw_ghost(const GhostRace& race, const Level& level, std::uint64_t game_seed, Canvas& canvas);

// "−3,2 s" (ahead), "+1,5 s" (behind), "0,0 s": tenths, rounded half away from zero.
std::string split_text(float difference);
// The run's colour (gold by day, violet by night) when ahead, red when behind, grey when even.
std::uint32_t split_colour(float difference, bool night);

}  // namespace pyrelle
