// The browser window layer (the desktop one is platform/sdl/app.cpp): the page's canvas
// instead of an SDL window, the browser's keyboard and Gamepad API events instead of SDL's,
// and the browser's frame callback (requestAnimationFrame) instead of a loop that sleeps.
#include <emscripten.h>
#include <emscripten/html5.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>
#include <vector>

#include "engine/pad_keys.hpp"
#include "platform/app.hpp"

namespace pyrelle {
namespace {

// The page's 320 x 180 canvas, or false when the page has none.
// clang-format off
EM_JS(bool, page_has_screen, (), { return !!document.getElementById('ecran'); });
// clang-format on

// Copies the 0x00RRGGBB pixels into the page's canvas as opaque RGBA. The first picture is
// also kept for the page (Module.firstFrame), with the time it took since the page started.
// clang-format off
EM_JS(void, present_pixels, (const std::uint32_t* pixels, int width, int height), {
    const canvas = document.getElementById('ecran');
    if (!Module.screenImage) {
        Module.screenContext = canvas.getContext('2d', {alpha : false});
        Module.screenImage = Module.screenContext.createImageData(width, height);
    }
    const rgba = Module.screenImage.data;
    const source = HEAPU32.subarray(pixels >> 2, (pixels >> 2) + width * height);
    for (let i = 0, o = 0; i < source.length; ++i, o += 4) {
        const p = source[i];
        rgba[o] = (p >> 16) & 255;
        rgba[o + 1] = (p >> 8) & 255;
        rgba[o + 2] = p & 255;
        rgba[o + 3] = 255;
    }
    Module.screenContext.putImageData(Module.screenImage, 0, 0);
    Module.framesShown = (Module.framesShown || 0) + 1;
    if (!Module.firstFrame) {
        Module.firstFrame = new Uint8ClampedArray(rgba);
        Module.firstFrameTime = performance.now();
        if (Module.onFirstFrame) Module.onFirstFrame();
    }
});
// clang-format on

// The game asked to quit (Escape on the title): a page cannot close itself, so it says so.
// clang-format off
EM_JS(void, tell_page_quit, (), {
    if (Module.onQuit) Module.onQuit();
});
// clang-format on

// The keys of the game by physical position (KeyboardEvent.code), so that ZQSD plays on an
// AZERTY keyboard as WASD does on QWERTY.
struct CodeKey {
    std::string_view code;
    bool Keys::*key;
};
constexpr CodeKey kCodeKeys[] = {
    {"ArrowUp", &Keys::up},         {"KeyW", &Keys::up},        {"ArrowDown", &Keys::down},
    {"KeyS", &Keys::down},          {"ArrowLeft", &Keys::left}, {"KeyA", &Keys::left},
    {"ArrowRight", &Keys::right},   {"KeyD", &Keys::right},     {"Enter", &Keys::action},
    {"NumpadEnter", &Keys::action}, {"Space", &Keys::action},   {"Escape", &Keys::escape},
};
constexpr std::size_t kCodeCount = std::size(kCodeKeys);

// Standard gamepad layout (the Gamepad API's "standard" mapping).
constexpr int kButtonSouth = 0;
constexpr int kButtonBack = 8;
constexpr int kButtonStart = 9;
constexpr int kButtonUp = 12;
constexpr int kButtonDown = 13;
constexpr int kButtonLeft = 14;
constexpr int kButtonRight = 15;

std::int16_t stick_axis(double value) {
    return static_cast<std::int16_t>(std::clamp(value, -1.0, 1.0) * 32767.0);
}

PadState pad_state_of(const EmscriptenGamepadEvent& pad) {
    const auto button = [&pad](int i) { return i < pad.numButtons && pad.digitalButton[i]; };
    PadState state;
    state.south = button(kButtonSouth);
    state.back = button(kButtonBack);
    state.start = button(kButtonStart);
    state.dpad_up = button(kButtonUp);
    state.dpad_down = button(kButtonDown);
    state.dpad_left = button(kButtonLeft);
    state.dpad_right = button(kButtonRight);
    if (pad.numAxes >= 2) {
        state.stick_x = stick_axis(pad.axis[0]);
        state.stick_y = stick_axis(pad.axis[1]);
    }
    return state;
}

// Everything one run of the page's loop keeps between frames.
struct WebLoop {
    LoopClient& client;
    Canvas canvas{kViewWidth, kViewHeight};
    StepLoop loop;
    bool code_down[kCodeCount] = {};
    Keys tapped;                 // went down since the last step
    std::vector<PadState> pads;  // as sampled at the previous frame, by gamepad index
    double last_ms = -1.0;       // the first frame simulates nothing: dt = 0

    explicit WebLoop(LoopClient& c) : client(c) {}

    Keys keyboard_held() const {
        Keys held;
        for (std::size_t i = 0; i < kCodeCount; ++i) {
            if (code_down[i]) held.*(kCodeKeys[i].key) = true;
        }
        return held;
    }

    // Focus lost or tab hidden: the browser sends no key-up for keys held then, and the
    // client pauses what it plays.
    void lose_focus() {
        std::fill(std::begin(code_down), std::end(code_down), false);
        client.focus_lost();
    }
};

int code_index(const char* code) {
    for (std::size_t i = 0; i < kCodeCount; ++i) {
        if (kCodeKeys[i].code == code) return static_cast<int>(i);
    }
    return -1;
}

// One printable character (KeyboardEvent.key of a character key, not "Meta" or "F5").
bool is_one_character(const char* key) {
    const std::size_t length = std::strlen(key);
    if (length == 0) return false;
    const auto lead = static_cast<unsigned char>(key[0]);
    const std::size_t wanted = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    return length == wanted;
}

// True tells the browser the key was the game's (no page scrolling on arrows or Space).
EM_BOOL on_key_down(int, const EmscriptenKeyboardEvent* event, void* data) {
    WebLoop& w = *static_cast<WebLoop*>(data);
    if (event->ctrlKey || event->metaKey || event->altKey) return EM_FALSE;  // the browser's
    bool taken = false;
    const int index = code_index(event->code);
    if (index >= 0) {
        w.code_down[index] = true;
        if (!event->repeat) w.tapped.*(kCodeKeys[index].key) = true;
        taken = true;
    }
    // Mute and the volume are matched by the typed character, whatever the layout, once per
    // key press.
    if (!event->repeat && is_one_character(event->key)) {
        const bool was = w.loop.mute_request;
        const std::int32_t volume_was = w.loop.volume_request;
        w.loop.take_typed_text(event->key);
        taken = taken || (w.loop.mute_request && !was) || w.loop.volume_request != volume_was;
    }
    return taken ? EM_TRUE : EM_FALSE;
}

EM_BOOL on_key_up(int, const EmscriptenKeyboardEvent* event, void* data) {
    WebLoop& w = *static_cast<WebLoop*>(data);
    const int index = code_index(event->code);
    if (index < 0) return EM_FALSE;
    w.code_down[index] = false;
    return EM_TRUE;
}

EM_BOOL on_blur(int, const EmscriptenFocusEvent*, void* data) {
    static_cast<WebLoop*>(data)->lose_focus();
    return EM_FALSE;
}

EM_BOOL on_visibility(int, const EmscriptenVisibilityChangeEvent* event, void* data) {
    if (event->hidden) static_cast<WebLoop*>(data)->lose_focus();
    return EM_FALSE;
}

Keys went_down(const Keys& before, const Keys& now) {
    return {now.up && !before.up,       now.down && !before.down,     now.left && !before.left,
            now.right && !before.right, now.action && !before.action, now.escape && !before.escape};
}

// The keys held on every gamepad; a button that went down since the previous frame is also
// a tap, and Back going down asks for one mute press.
Keys sample_pads(WebLoop& w) {
    Keys held;
    if (emscripten_sample_gamepad_data() != EMSCRIPTEN_RESULT_SUCCESS) return held;
    const int count = std::max(emscripten_get_num_gamepads(), 0);
    w.pads.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        EmscriptenGamepadEvent event{};
        PadState now;
        if (emscripten_get_gamepad_status(i, &event) == EMSCRIPTEN_RESULT_SUCCESS &&
            event.connected) {
            now = pad_state_of(event);
        }
        PadState& before = w.pads[static_cast<std::size_t>(i)];
        const Keys now_keys = keys_held_by(now);
        held = either(held, now_keys);
        w.tapped = either(w.tapped, went_down(keys_held_by(before), now_keys));
        if (now.back && !before.back) w.loop.mute_request = true;
        before = now;
    }
    return held;
}

void frame(void* data) {
    WebLoop& w = *static_cast<WebLoop*>(data);
    const double now = emscripten_get_now();
    const float dt =
        w.last_ms < 0.0 ? 0.0f : static_cast<float>(std::max(now - w.last_ms, 0.0) / 1000.0);
    w.last_ms = now;

    const Keys pads = sample_pads(w);
    const Keys held = either(either(w.keyboard_held(), pads), w.tapped);
    const StepLoop::Turn turn = w.loop.run_turn(held, dt, w.client);
    if (turn.quit) {
        emscripten_cancel_main_loop();
        tell_page_quit();
        return;
    }
    if (turn.steps > 0) w.tapped = Keys{};
    w.client.render(w.canvas);
    present_pixels(w.canvas.pixels.data(), static_cast<int>(w.canvas.width),
                   static_cast<int>(w.canvas.height));
}

}  // namespace

Result<void> App::run(const AppSettings&, LoopClient& client) {
    if (!page_has_screen()) return Failure{"la page n'a pas de canvas « ecran »"};
    // Emscripten starts with a umask of 0777, which makes every new file unreadable, the
    // records included; a desktop session's usual one instead.
    ::umask(022);
    // Lives on this stack for good: the browser's loop below never returns here, and the
    // stack is left as it is (the game on main's stack stays alive too).
    WebLoop w(client);
    client.window_shown();
    const char* window = EMSCRIPTEN_EVENT_TARGET_WINDOW;
    emscripten_set_keydown_callback(window, &w, true, on_key_down);
    emscripten_set_keyup_callback(window, &w, true, on_key_up);
    emscripten_set_blur_callback(window, &w, true, on_blur);
    emscripten_set_visibilitychange_callback(&w, true, on_visibility);
    emscripten_set_main_loop_arg(frame, &w, 0, /*simulate_infinite_loop=*/1);
    return {};  // not reached
}

}  // namespace pyrelle
