#pragma once
#include <functional>
#include <utility>

#include "engine/step_loop.hpp"
#include "game/game.hpp"
#include "session.hpp"

namespace pyrelle {

// What the window loop drives: a play session of the game. While a replay is watched, the
// watcher's Escape ends it, and so does a replay that ends somewhere else than it was
// recorded (which it says); losing the focus pauses it until Enter or Space. During a run, losing
// the focus pauses the run, exactly as Escape would.
class SessionLoop final : public LoopClient {
  public:
    // `on_shown` runs once the window is up.
    SessionLoop(PlaySession& session, Game& game, std::function<void()> on_shown = {})
        : session_(session), game_(game), on_shown_(std::move(on_shown)) {}

    bool step(const Input& input, float dt) override;
    void render(Canvas& canvas) override;
    bool playing() const override;
    void focus_lost() override;
    void change_volume(std::int32_t steps) override { game_.change_volume(steps); }
    // A replay being watched races nothing.
    void toggle_ghost() override {
        if (!session_.watching()) game_.toggle_ghost();
    }
    void window_shown() override {
        if (on_shown_) on_shown_();
    }

    bool replay_paused() const { return replay_paused_; }

  private:
    PlaySession& session_;
    Game& game_;
    std::function<void()> on_shown_;
    bool escape_owed_ = false;  // the focus went during a run: the next step gets Escape
    bool replay_paused_ = false;
};

}  // namespace pyrelle
