#include "session_loop.hpp"

#include <cstdio>

#include "headless.hpp"

namespace pyrelle {

bool SessionLoop::step(const Input& input, float dt) {
    if (session_.watching()) {
        if (input.pressed(&Keys::escape)) return false;
        if (replay_paused_) {
            if (!input.pressed(&Keys::action)) return true;
            replay_paused_ = false;
        }
    }
    Keys keys = input.now;
    keys.escape = keys.escape || escape_owed_;
    escape_owed_ = false;
    const bool go_on = session_.step(keys, dt);
    print_reports(session_);
    if (session_.mismatch()) {
        // Said here: in a browser, nothing runs after the window's loop ends.
        std::fprintf(stderr, "%s\n", session_.mismatch()->c_str());
        return false;
    }
    return go_on;
}

void SessionLoop::render(Canvas& canvas) {
    game_.render(canvas);
    if (replay_paused_) draw_replay_pause(canvas);
}

bool SessionLoop::playing() const {
    return game_.screen == Screen::Play && !replay_paused_;
}

void SessionLoop::focus_lost() {
    if (session_.watching()) {
        replay_paused_ = !session_.replay_over();
    } else if (playing()) {
        escape_owed_ = true;
    }
}

}  // namespace pyrelle
