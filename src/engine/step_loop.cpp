#include "engine/step_loop.hpp"

#include <algorithm>
#include <utility>

namespace pyrelle {

void StepLoop::take_typed_text(std::string_view text) {
    // Matched by character, not by key, so it works with any keyboard layout.
    for (char c : text) {
        if (c == 'm' || c == 'M') mute_request = true;
        if (c == '+' || c == '=') ++volume_request;
        if (c == '-') --volume_request;
        if (c == 'g' || c == 'G') ++ghost_requests;
    }
}

StepLoop::Turn StepLoop::run_turn(const Keys& held, float dt, LoopClient& client) {
    if (volume_request != 0) client.change_volume(std::exchange(volume_request, 0));
    for (std::uint32_t n = std::exchange(ghost_requests, 0); n > 0; --n)
        client.toggle_ghost();
    input.now = held;
    input.now.mute = mute_request;
    accumulator = std::min(accumulator + dt, kAccumulatorCap);

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
