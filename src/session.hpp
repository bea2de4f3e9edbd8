#pragma once
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/input.hpp"
#include "game/game.hpp"
#include "ghost_builder.hpp"
#include "replay.hpp"

namespace pyrelle {

// A game being played or watched. Steps it with each step's keys and keeps them, so that the
// session can be written as a replay (--record) and a run that sets a best time is saved
// beside the records; or takes the keys from a replay being watched and checks, when its
// steps are over, that the game ended where the recording did.
class PlaySession {
  public:
    PlaySession(Game& game, ReplayStart start, const Replay* watched);

    // One step with the keys given: while a replay plays, only their mute (the rest comes
    // from the replay, and after its end nothing). False: quit.
    bool step(const Keys& live, float dt);
    bool watching() const { return watched_ != nullptr; }
    bool replay_over() const { return replay_over_; }
    // Set when the watched replay ended somewhere else than it was recorded.
    const std::optional<std::string>& mismatch() const { return mismatch_; }
    // Everything stepped so far, ending here.
    Replay recording() const;
    // What the game and the session have to report since the last call (failed saves), as
    // lines for standard error.
    std::vector<std::string> take_reports() { return std::exchange(game_.reports, {}); }

  private:
    Game& game_;
    ReplayStart start_;
    const Replay* watched_;
    ReplayPlayer player_;
    ReplayRecorder recorder_;
    Keys previous_;
    bool replay_over_ = false;
    std::optional<std::string> mismatch_;

    // The best runs to race, by mode (day, night), each played once when first wanted.
    struct GhostSlot {
        bool opened = false;
        std::optional<GhostBuilder> builder;
        std::shared_ptr<const GhostRun> run;
    };
    std::array<GhostSlot, 2> ghosts_;

    void finish_replay();
    void save_best_run();
    void write_best_run(const std::filesystem::path& path);
    void keep_ghost_ready(Screen before);
    std::optional<std::filesystem::path> ghost_path() const;
};

// Steps of a best run's replay played per step of the game while its ghost is being made:
// a short run is ready within a second or two of the title, and a frame is barely slower.
inline constexpr std::uint32_t kGhostStepsPerStep = 120;

// Where the game stands after `steps` steps.
ReplayCheck replay_check(const Game& game, std::uint32_t steps);

}  // namespace pyrelle
