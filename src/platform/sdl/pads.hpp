#pragma once
#include <SDL.h>

#include <vector>

#include "engine/pad_keys.hpp"

namespace pyrelle {

// What a controller event asks of the game beyond the held state: keys that went down (a
// press shorter than one loop turn must still reach a step) and a mute request (Back).
struct PadPresses {
    Keys tapped;
    bool mute = false;
};

// Every game controller SDL knows, opened when it is plugged in (or found at start-up) and
// closed when it is pulled out; any number at once. Needs SDL's game controller subsystem.
class Pads {
  public:
    Pads() = default;
    Pads(const Pads&) = delete;
    Pads& operator=(const Pads&) = delete;
    ~Pads();

    // Takes the controller events (hot-plug, button presses); ignores every other event.
    PadPresses handle(const SDL_Event& event);
    // The keys held on all open controllers together. A controller pulled out holds nothing.
    Keys held() const;
    std::size_t count() const { return open_.size(); }

  private:
    std::vector<SDL_GameController*> open_;
};

}  // namespace pyrelle
