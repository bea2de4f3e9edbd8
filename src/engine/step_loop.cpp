#include "engine/step_loop.hpp"

#include <algorithm>

namespace pyrelle {

void StepLoop::take_typed_text(std::string_view text) {
    // Matched by character, not by key, so it works with any keyboard layout.
    for (char c : text) {
        if (c == 'm' || c == 'M') mute_request = true;
    }
}

StepLoop::Turn StepLoop::run_turn(const HeldKeys& held, float dt, LoopClient& client) {
    input.now.up = held.up;
    input.now.down = held.down;
    input.now.left = held.left;
    input.now.right = held.right;
    input.now.action = held.action;
    input.now.escape = held.escape;
    accumulator = std::min(accumulator + dt, kAccumulatorCap);
    input.now.mute = mute_request;

    Turn turn;
    while (accumulator >= kStep) {
        if (!client.step(input, kStep)) {
            turn.quit = true;
            return turn;
        }
        ++turn.steps;
        input.prev = input.now;
        mute_request = false;
        input.now.mute = false;
        accumulator -= kStep;
    }
    return turn;
}

}  // namespace pyrelle
