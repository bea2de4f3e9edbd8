#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "game/game.hpp"
#include "game/ghost.hpp"
#include "replay.hpp"

namespace pyrelle {

// Plays a best run's replay in a game of its own, a few steps at a time, and keeps where its
// firefly was at each step of its last run from the title and when it left each depth. The
// ghost is that run's path: a game stepped beside the player's, one step per step, without a
// second level to step while playing.
class GhostBuilder {
  public:
    enum class State { Building, Done, Failed };

    // From the best run at `path` for the mode `night`; nothing when it cannot be read.
    static std::optional<GhostBuilder> open(const std::filesystem::path& path, bool night);
    GhostBuilder(Replay replay, bool night);

    // Up to `most_steps` more steps of the replay.
    State advance(std::uint32_t most_steps);
    State state() const { return state_; }
    // Once Done: the run.
    std::shared_ptr<const GhostRun> run() const { return run_; }

  private:
    std::unique_ptr<Replay> replay_;  // the player's runs point into it: it must not move
    std::unique_ptr<Game> game_;
    ReplayPlayer player_;
    Keys previous_;
    bool night_ = false;
    bool in_run_ = false;
    std::uint32_t played_ = 0;
    std::shared_ptr<GhostRun> run_;
    State state_ = State::Building;

    State step_once();
};

// Longer replays are not played: two hours of play, about 3 s of work and 7 MB of path.
inline constexpr std::uint32_t kMostGhostSteps = 2 * 60 * 60 * 60;

}  // namespace pyrelle
