#pragma once
#include "engine/step_loop.hpp"
#include "game/game.hpp"
#include "session.hpp"

namespace pyrelle {

// What the window loop drives: a play session of the game. While a replay is watched, the
// watcher's Escape ends it, and so does a replay that ends somewhere else than it was
// recorded; losing the focus pauses it until Enter or Space. During a run, losing the focus
// pauses the run, exactly as Escape would.
class SessionLoop final : public LoopClient {
  public:
    SessionLoop(PlaySession& session, Game& game) : session_(session), game_(game) {}

    bool step(const Input& input, float dt) override;
    void render(Canvas& canvas) override;
    bool playing() const override;
    void focus_lost() override;

    bool replay_paused() const { return replay_paused_; }

  private:
    PlaySession& session_;
    Game& game_;
    bool escape_owed_ = false;  // the focus went during a run: the next step gets Escape
    bool replay_paused_ = false;
};

}  // namespace pyrelle
