#include "engine/pad_keys.hpp"

namespace pyrelle {

Keys keys_held_by(const PadState& pad) {
    Keys held;
    held.up = pad.dpad_up || pad.stick_y < -kStickDeadZone;
    held.down = pad.dpad_down || pad.stick_y > kStickDeadZone;
    held.left = pad.dpad_left || pad.stick_x < -kStickDeadZone;
    held.right = pad.dpad_right || pad.stick_x > kStickDeadZone;
    held.action = pad.south;
    held.escape = pad.start;
    return held;
}

Keys either(const Keys& a, const Keys& b) {
    return {a.up || b.up,         a.down || b.down,     a.left || b.left, a.right || b.right,
            a.action || b.action, a.escape || b.escape, a.mute || b.mute};
}

}  // namespace pyrelle
