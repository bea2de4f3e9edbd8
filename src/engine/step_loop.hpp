#pragma once
#include <cstdint>
#include <string_view>

#include "engine/canvas.hpp"
#include "engine/input.hpp"
#include "engine/view_size.hpp"

namespace pyrelle {

inline constexpr float kStep = 0.016666668f;             // one simulation step, 1/60 s
inline constexpr float kAccumulatorCap = 0.25f;          // at most 15 steps caught up after a stall
inline constexpr std::int64_t kFrameLimitNs = 16666668;  // at most one presented frame per 1/60 s

// What the loop drives: the game, or anything that steps and draws like it.
class LoopClient {
  public:
    virtual ~LoopClient() = default;
    virtual bool step(const Input& input, float dt) = 0;  // false: quit
    virtual void render(Canvas& canvas) = 0;
    // A run is being played: the screensaver waits.
    virtual bool playing() const = 0;
    // The window lost the focus (another window, a notification): a run being played pauses.
    virtual void focus_lost() = 0;
    // The player asked for the sound that many steps louder (or softer, below 0).
    virtual void change_volume(std::int32_t steps) { (void)steps; }
    // The player asked to show or hide the ghost of the best run.
    virtual void toggle_ghost() {}
    // The window is up, before the first step: what waited for it (the sound) may start.
    virtual void window_shown() {}
};

// The fixed-step bookkeeping of the window loop, kept apart from the window layer
// so that it can be driven with made-up clock readings and keys.
struct StepLoop {
    Input input;
    float accumulator = 0.0f;
    bool mute_request = false;
    std::int32_t volume_request = 0;   // steps louder, from typed "+" (or "=") and "-"
    std::uint32_t ghost_requests = 0;  // typed "g": each one shows or hides the ghost

    // Typed text of one turn, UTF-8: an "m" or "M" asks for one mute press; "+" (or "=", the
    // same key unshifted) and "-" ask for the sound a step louder or softer; a "g" or "G"
    // shows or hides the ghost.
    void take_typed_text(std::string_view text);

    struct Turn {
        int steps = 0;
        bool quit = false;
    };
    // One loop turn after the typed text was taken: the keys the window reports as held, dt
    // since the last turn. Their mute is not looked at: mute is asked for one press at a
    // time (`mute_request`), never held.
    Turn run_turn(const Keys& held, float dt, LoopClient& client);
};

}  // namespace pyrelle
