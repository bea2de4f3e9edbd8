#pragma once
#include <optional>
#include <string>

#include "engine/step_loop.hpp"

namespace pyrelle {

struct AppSettings {
    std::string title;
    bool fullscreen = false;  // start on the whole screen (F11 or Alt+Enter toggle it)
};

// The interactive window: one SDL2 window showing the 320 x 180 canvas at the largest whole
// scale that fits, the keyboard and any gamepads turned into `Input`, fixed 1/60 s steps.
// The only code that touches the window system.
struct App {
    // Runs until the window is closed or the client asks to quit (success, nullopt),
    // or until the window cannot be opened or updated (the error description).
    static std::optional<std::string> run(const AppSettings& settings, LoopClient& client);
};

}  // namespace pyrelle
