#include "platform/sdl/pads.hpp"

#include <algorithm>

namespace pyrelle {
namespace {

SDL_JoystickID instance_of(SDL_GameController* pad) {
    return SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad));
}

bool button(SDL_GameController* pad, SDL_GameControllerButton b) {
    return SDL_GameControllerGetButton(pad, b) != 0;
}

PadState state_of(SDL_GameController* pad) {
    PadState s;
    s.south = button(pad, SDL_CONTROLLER_BUTTON_A);
    s.start = button(pad, SDL_CONTROLLER_BUTTON_START);
    s.back = button(pad, SDL_CONTROLLER_BUTTON_BACK);
    s.dpad_up = button(pad, SDL_CONTROLLER_BUTTON_DPAD_UP);
    s.dpad_down = button(pad, SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    s.dpad_left = button(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT);
    s.dpad_right = button(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
    s.stick_x = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
    s.stick_y = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY);
    return s;
}

// The one button of a press, as a pad state, to map it like a held one.
PadState pressed_alone(Uint8 b) {
    PadState s;
    s.south = b == SDL_CONTROLLER_BUTTON_A;
    s.start = b == SDL_CONTROLLER_BUTTON_START;
    s.dpad_up = b == SDL_CONTROLLER_BUTTON_DPAD_UP;
    s.dpad_down = b == SDL_CONTROLLER_BUTTON_DPAD_DOWN;
    s.dpad_left = b == SDL_CONTROLLER_BUTTON_DPAD_LEFT;
    s.dpad_right = b == SDL_CONTROLLER_BUTTON_DPAD_RIGHT;
    return s;
}

}  // namespace

Pads::~Pads() {
    for (SDL_GameController* pad : open_)
        SDL_GameControllerClose(pad);
}

PadPresses Pads::handle(const SDL_Event& event) {
    PadPresses presses;
    switch (event.type) {
        case SDL_CONTROLLERDEVICEADDED: {
            SDL_GameController* pad = SDL_GameControllerOpen(event.cdevice.which);
            if (!pad) break;
            // SDL may announce a controller twice (found at start-up, then added).
            if (std::find(open_.begin(), open_.end(), pad) != open_.end()) {
                SDL_GameControllerClose(pad);
            } else {
                open_.push_back(pad);
            }
            break;
        }
        case SDL_CONTROLLERDEVICEREMOVED: {
            const auto gone = std::find_if(
                open_.begin(), open_.end(),
                [&](SDL_GameController* pad) { return instance_of(pad) == event.cdevice.which; });
            if (gone != open_.end()) {
                SDL_GameControllerClose(*gone);
                open_.erase(gone);
            }
            break;
        }
        case SDL_CONTROLLERBUTTONDOWN:
            presses.tapped = keys_held_by(pressed_alone(event.cbutton.button));
            presses.mute = event.cbutton.button == SDL_CONTROLLER_BUTTON_BACK;
            break;
        default:
            break;
    }
    return presses;
}

Keys Pads::held() const {
    Keys held;
    for (SDL_GameController* pad : open_)
        held = either(held, keys_held_by(state_of(pad)));
    return held;
}

}  // namespace pyrelle
