#pragma once
#include <string>

#include "engine/result.hpp"
#include "engine/step_loop.hpp"

namespace pyrelle {

struct AppSettings {
    std::string title;
    bool fullscreen = false;  // start on the whole screen, where the platform has one
};

// What every platform's window layer does (one implementation is linked per build):
// - shows the 320 x 180 canvas at the largest whole scale that fits, centred on black;
// - turns the keyboard (by key position for steering, by typed letter for mute) and any
//   gamepads into the held keys of `StepLoop`, which runs the fixed 1/60 s steps;
// - tells the client when the window loses the focus, and keeps the screensaver away while
//   the client is playing;
// - is the only code that talks to the window system.
struct App {
    // Runs until the window is closed or the client asks to quit (success), or until the
    // window cannot be opened or updated (the failure says why).
    static Result<void> run(const AppSettings& settings, LoopClient& client);
};

}  // namespace pyrelle
