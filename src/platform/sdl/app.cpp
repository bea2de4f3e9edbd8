// The desktop window layer: one SDL2 window (X11 or Wayland), its keyboard and every game
// controller SDL knows.
#include "platform/app.hpp"

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "engine/view_fit.hpp"
#include "platform/sdl/pads.hpp"

namespace pyrelle {
namespace {

constexpr int kScale = 4;

using Clock = std::chrono::steady_clock;

// The windowing libraries write their own complaints to standard error (a missing
// Wayland runtime directory, say); only the game's messages belong there.
class QuietStderr {
  public:
    QuietStderr() : saved_(dup(STDERR_FILENO)) {
        const int null_fd = open("/dev/null", O_WRONLY);
        if (null_fd >= 0) {
            dup2(null_fd, STDERR_FILENO);
            close(null_fd);
        }
    }
    ~QuietStderr() {
        if (saved_ >= 0) {
            dup2(saved_, STDERR_FILENO);
            close(saved_);
        }
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

  private:
    int saved_;
};

void ignore_sdl_log(void*, int, SDL_LogPriority, const char*) {}

struct Window {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    bool fullscreen = false;
    bool screensaver_allowed = true;
    bool enter_taken = false;   // Enter went down as part of Alt+Enter: not the action key
    bool limiter = true;        // the loop sleeps between frames; else the vsynced present waits
    bool vsync_failed = false;  // presents came faster than the refresh: vsync is not trusted
    VsyncWatch watch;

    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    ~Window() {
        if (texture) SDL_DestroyTexture(texture);
        if (renderer) SDL_DestroyRenderer(renderer);
        if (window) SDL_DestroyWindow(window);
        SDL_Quit();
    }
};

Failure sdl_failure() {
    return {SDL_GetError()};
}

Result<void> set_fullscreen(Window& w, bool on) {
    if (SDL_SetWindowFullscreen(w.window, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0)
        return sdl_failure();
    w.fullscreen = on;
    SDL_ShowCursor(on ? SDL_DISABLE : SDL_ENABLE);
    return {};
}

// Lets a present that waits for the display's refresh pace the loop where that holds
// (keeps_frame_limiter says when), else turns vsync off for the loop's own limiter: never both.
void choose_pacing(Window& w) {
    SDL_RenderSetVSync(w.renderer, w.vsync_failed ? 0 : 1);
    SDL_RendererInfo info{};
    DisplaySync sync;
    if (!w.vsync_failed && SDL_GetRendererInfo(w.renderer, &info) == 0) {
        sync.vsync = (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
        sync.software = (info.flags & SDL_RENDERER_SOFTWARE) != 0;
    }
    SDL_DisplayMode mode{};
    const int display = SDL_GetWindowDisplayIndex(w.window);
    if (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0)
        sync.refresh_hz = mode.refresh_rate;
    w.limiter = keeps_frame_limiter(sync);
    w.watch = VsyncWatch{sync.refresh_hz};
    if (w.limiter) SDL_RenderSetVSync(w.renderer, 0);
}

// Wayland's own protocol where the session has it (sharp at any desktop scale, frames in time
// with the compositor), X11 otherwise; either falls back to the other.
const char* video_drivers() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return wayland && *wayland ? "wayland,x11" : "x11,wayland";
}

Result<void> open_window(Window& w, const AppSettings& settings) {
    SDL_LogSetOutputFunction(ignore_sdl_log, nullptr);
    // Only real desktops: never fall back to an invisible off-screen driver.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, video_drivers(), SDL_HINT_OVERRIDE);
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    {
        QuietStderr quiet;
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return sdl_failure();
        // Without controller support (no input devices to read) the keyboard still plays.
        SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);
    }
    // The size is in the desktop's units; on a scaled desktop the drawing area has more pixels
    // (present() fits the picture to those).
    w.window = SDL_CreateWindow(settings.title.c_str(), SDL_WINDOWPOS_CENTERED,
                                SDL_WINDOWPOS_CENTERED, static_cast<int>(kViewWidth) * kScale,
                                static_cast<int>(kViewHeight) * kScale,
                                SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (!w.window) return sdl_failure();
    w.renderer = SDL_CreateRenderer(w.window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!w.renderer) return sdl_failure();
    choose_pacing(w);
    w.texture = SDL_CreateTexture(w.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                  kViewWidth, kViewHeight);
    if (!w.texture) return sdl_failure();
    if (settings.fullscreen) {
        if (auto shown = set_fullscreen(w, true); !shown.ok()) return shown;
    }
    SDL_StartTextInput();
    return {};
}

// Keys are matched by physical position (scancodes), so ZQSD works on AZERTY.
template <typename IsDown>
Keys keys_of(IsDown down, bool enter_is_action) {
    Keys held;
    held.up = down(SDL_SCANCODE_UP) || down(SDL_SCANCODE_W);
    held.down = down(SDL_SCANCODE_DOWN) || down(SDL_SCANCODE_S);
    held.left = down(SDL_SCANCODE_LEFT) || down(SDL_SCANCODE_A);
    held.right = down(SDL_SCANCODE_RIGHT) || down(SDL_SCANCODE_D);
    held.action = down(SDL_SCANCODE_SPACE) ||
                  (enter_is_action && (down(SDL_SCANCODE_RETURN) || down(SDL_SCANCODE_KP_ENTER)));
    held.escape = down(SDL_SCANCODE_ESCAPE);
    return held;
}

Keys keyboard_held(const Window& w) {
    const Uint8* state = SDL_GetKeyboardState(nullptr);
    return keys_of([state](SDL_Scancode key) { return state[key] != 0; }, !w.enter_taken);
}

bool is_enter(SDL_Scancode key) {
    return key == SDL_SCANCODE_RETURN || key == SDL_SCANCODE_KP_ENTER;
}

// What the window and the pads reported since the last turn.
struct News {
    bool closed = false;
    bool toggle_fullscreen = false;
    bool focus_lost = false;
    bool display_changed = false;
};

// `tapped` gathers the keys and buttons that went down since the last step: one that went
// down and up within a turn (or while a slow turn ran no step) still reaches the game.
void take_key_down(const SDL_KeyboardEvent& key, Window& w, News& news, Keys& tapped) {
    if (key.repeat) return;
    const SDL_Scancode code = key.keysym.scancode;
    if (code == SDL_SCANCODE_F11 || (is_enter(code) && (key.keysym.mod & KMOD_ALT))) {
        news.toggle_fullscreen = true;
        w.enter_taken = w.enter_taken || is_enter(code);
        return;
    }
    tapped = either(tapped, keys_of([code](SDL_Scancode k) { return k == code; }, !w.enter_taken));
}

News take_events(Window& w, Pads& pads, StepLoop& loop, Keys& tapped) {
    News news;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
            case SDL_QUIT:
                news.closed = true;
                break;
            case SDL_WINDOWEVENT:
                news.closed = news.closed || event.window.event == SDL_WINDOWEVENT_CLOSE;
                news.focus_lost =
                    news.focus_lost || event.window.event == SDL_WINDOWEVENT_FOCUS_LOST;
                news.display_changed =
                    news.display_changed || event.window.event == SDL_WINDOWEVENT_DISPLAY_CHANGED;
                break;
            case SDL_TEXTINPUT:
                loop.take_typed_text(event.text.text);
                break;
            case SDL_KEYDOWN:
                take_key_down(event.key, w, news, tapped);
                break;
            case SDL_KEYUP:
                if (is_enter(event.key.keysym.scancode)) w.enter_taken = false;
                break;
            default: {
                const PadPresses pad = pads.handle(event);
                tapped = either(tapped, pad.tapped);
                loop.mute_request = loop.mute_request || pad.mute;
            }
        }
    }
    return news;
}

// A run being played keeps the screen awake: with a gamepad, nothing else would.
void keep_screen_awake(Window& w, bool playing) {
    if (playing == !w.screensaver_allowed) return;
    playing ? SDL_DisableScreenSaver() : SDL_EnableScreenSaver();
    w.screensaver_allowed = !playing;
}

// Fits the picture to the drawing area in device pixels, not the window's size in desktop units:
// on a desktop scaled 2 times each picture pixel is then a whole square of device pixels.
Result<void> present(Window& w, const Canvas& canvas) {
    if (SDL_UpdateTexture(w.texture, nullptr, canvas.pixels.data(),
                          static_cast<int>(canvas.width * sizeof(std::uint32_t))) != 0) {
        return sdl_failure();
    }
    int width = 0, height = 0;
    if (SDL_GetRendererOutputSize(w.renderer, &width, &height) != 0) return sdl_failure();
    const ViewRect fit = fit_view(width, height, kViewWidth, kViewHeight);
    const SDL_Rect target{fit.x, fit.y, fit.width, fit.height};
    if (SDL_SetRenderDrawColor(w.renderer, 0, 0, 0, 255) != 0) return sdl_failure();
    if (SDL_RenderClear(w.renderer) != 0) return sdl_failure();
    if (SDL_RenderCopy(w.renderer, w.texture, nullptr, &target) != 0) return sdl_failure();
    SDL_RenderPresent(w.renderer);
    return {};
}

// Time between turns, and, while the loop paces itself, at most one presented frame per frame
// period.
struct FramePacer {
    Clock::time_point last = Clock::now();
    Clock::time_point last_present = last;

    float elapsed() {
        const auto now = Clock::now();
        const float dt = std::chrono::duration<float>(now - last).count();
        last = now;
        return dt > 0.0f ? dt : 0.0f;
    }
    void wait_for_next_frame() {
        const auto next = last_present + std::chrono::nanoseconds(kFrameLimitNs);
        std::this_thread::sleep_until(next);
        last_present = std::max(next, Clock::now());
    }
};

}  // namespace

Result<void> App::run(const AppSettings& settings, LoopClient& client) {
    Window w;
    if (auto opened = open_window(w, settings); !opened.ok()) return opened;
    client.window_shown();
    Pads pads;  // closed before the window takes SDL down
    Canvas canvas(kViewWidth, kViewHeight);
    StepLoop loop;
    Keys tapped;  // went down since the last step
    FramePacer pacer;
    bool drawn = false;
    for (;;) {
        const News news = take_events(w, pads, loop, tapped);
        if (news.closed) return {};
        if (news.toggle_fullscreen) {
            if (auto shown = set_fullscreen(w, !w.fullscreen); !shown.ok()) return shown;
        }
        if (news.focus_lost) client.focus_lost();
        if (news.display_changed) choose_pacing(w);

        const Keys held = either(either(keyboard_held(w), pads.held()), tapped);
        const float dt = pacer.elapsed();
        if (!w.limiter && w.watch.presents_too_fast(dt)) {
            w.vsync_failed = true;
            choose_pacing(w);
        }
        const StepLoop::Turn turn = loop.run_turn(held, dt, client);
        if (turn.quit) return {};
        if (turn.steps > 0) tapped = Keys{};
        keep_screen_awake(w, client.playing());

        // A screen faster than the steps shows the latest step again: nothing new to draw.
        if (turn.steps > 0 || !drawn) client.render(canvas);
        drawn = true;
        if (auto presented = present(w, canvas); !presented.ok()) return presented;
        if (w.limiter) pacer.wait_for_next_frame();
    }
}

}  // namespace pyrelle
