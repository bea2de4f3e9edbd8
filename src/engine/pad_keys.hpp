#pragma once
#include <cstdint>

#include "engine/step_loop.hpp"

namespace pyrelle {

// What one gamepad holds, in the terms of a standard controller layout (Xbox names: A is the
// south face button, Back is also called Select or View, Start also Menu).
struct PadState {
    bool south = false;
    bool start = false;
    bool back = false;
    bool dpad_up = false;
    bool dpad_down = false;
    bool dpad_left = false;
    bool dpad_right = false;
    std::int16_t stick_x = 0;  // left stick, -32768 (left) to 32767 (right)
    std::int16_t stick_y = 0;  // -32768 (up) to 32767 (down)
};

// 30 % of the stick's range: a resting or worn stick drifts well inside it.
inline constexpr std::int16_t kStickDeadZone = 9830;

// The game keys a pad holds: the d-pad or the left stick beyond the dead zone steer, south is
// the action and Start the escape. Back asks for mute, one press at a time, like a typed "m":
// that is the caller's business, as it depends on the press, not on the holding.
Keys keys_held_by(const PadState& pad);

// Either one holds the key.
Keys either(const Keys& a, const Keys& b);

}  // namespace pyrelle
