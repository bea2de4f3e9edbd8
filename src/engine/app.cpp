#include "engine/app.hpp"

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <thread>

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
    bool open = true;

    ~Window() {
        if (texture) SDL_DestroyTexture(texture);
        if (renderer) SDL_DestroyRenderer(renderer);
        if (window) SDL_DestroyWindow(window);
        SDL_Quit();
    }
};

std::optional<std::string> sdl_failure() {
    return std::string(SDL_GetError());
}

std::optional<std::string> open_window(Window& w, const std::string& title) {
    SDL_LogSetOutputFunction(ignore_sdl_log, nullptr);
    // Only real desktops: never fall back to an invisible off-screen driver.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11,wayland", SDL_HINT_OVERRIDE);
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    {
        QuietStderr quiet;
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return sdl_failure();
    }
    w.window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                static_cast<int>(kViewWidth) * kScale,
                                static_cast<int>(kViewHeight) * kScale, SDL_WINDOW_RESIZABLE);
    if (!w.window) return sdl_failure();
    w.renderer = SDL_CreateRenderer(w.window, -1, 0);
    if (!w.renderer) return sdl_failure();
    // Keeps the picture's proportions in a resized window, centred, with black borders.
    if (SDL_RenderSetLogicalSize(w.renderer, kViewWidth, kViewHeight) != 0) return sdl_failure();
    w.texture = SDL_CreateTexture(w.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                  kViewWidth, kViewHeight);
    if (!w.texture) return sdl_failure();
    SDL_StartTextInput();
    return std::nullopt;
}

// Keys are matched by physical position (scancodes), so ZQSD works on AZERTY.
HeldKeys keys_of(const Uint8* down) {
    HeldKeys held;
    held.up = down[SDL_SCANCODE_UP] || down[SDL_SCANCODE_W];
    held.down = down[SDL_SCANCODE_DOWN] || down[SDL_SCANCODE_S];
    held.left = down[SDL_SCANCODE_LEFT] || down[SDL_SCANCODE_A];
    held.right = down[SDL_SCANCODE_RIGHT] || down[SDL_SCANCODE_D];
    held.action =
        down[SDL_SCANCODE_RETURN] || down[SDL_SCANCODE_KP_ENTER] || down[SDL_SCANCODE_SPACE];
    held.escape = down[SDL_SCANCODE_ESCAPE];
    return held;
}

// Keys that went down since the last step ran: a tap shorter than one turn (or made
// while a slow turn ran no step) still reaches the game as one press.
struct Taps {
    Uint8 down[SDL_NUM_SCANCODES] = {};
};

// Handles pending window events: typed text feeds the mute request, a close ends the run.
void process_events(Window& w, StepLoop& loop, Taps& taps) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) w.open = false;
        if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)
            w.open = false;
        if (event.type == SDL_TEXTINPUT) loop.take_typed_text(event.text.text);
        if (event.type == SDL_KEYDOWN && !event.key.repeat)
            taps.down[event.key.keysym.scancode] = 1;
    }
}

HeldKeys read_held_keys(const Taps& taps) {
    const HeldKeys now = keys_of(SDL_GetKeyboardState(nullptr));
    const HeldKeys tapped = keys_of(taps.down);
    return {now.up || tapped.up,       now.down || tapped.down,     now.left || tapped.left,
            now.right || tapped.right, now.action || tapped.action, now.escape || tapped.escape};
}

std::optional<std::string> present(Window& w, const Canvas& canvas) {
    if (SDL_UpdateTexture(w.texture, nullptr, canvas.pixels.data(),
                          static_cast<int>(canvas.width * sizeof(std::uint32_t))) != 0) {
        return sdl_failure();
    }
    if (SDL_SetRenderDrawColor(w.renderer, 0, 0, 0, 255) != 0) return sdl_failure();
    if (SDL_RenderClear(w.renderer) != 0) return sdl_failure();
    if (SDL_RenderCopy(w.renderer, w.texture, nullptr, nullptr) != 0) return sdl_failure();
    SDL_RenderPresent(w.renderer);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> App::run(const std::string& title, LoopClient& client) {
    Window w;
    if (auto error = open_window(w, title)) return error;
    Canvas canvas(kViewWidth, kViewHeight);
    StepLoop loop;
    Taps taps;
    auto last = Clock::now();
    auto last_present = last;
    process_events(w, loop, taps);
    while (w.open) {
        const auto now = Clock::now();
        const float dt = std::chrono::duration<float>(now - last).count();
        last = now;
        const StepLoop::Turn turn =
            loop.run_turn(read_held_keys(taps), dt > 0.0f ? dt : 0.0f, client);
        if (turn.quit) return std::nullopt;
        if (turn.steps > 0) taps = Taps{};
        client.render(canvas);
        if (auto error = present(w, canvas)) return error;
        process_events(w, loop, taps);
        const auto next = last_present + std::chrono::nanoseconds(kFrameLimitNs);
        std::this_thread::sleep_until(next);
        last_present = std::max(next, Clock::now());
    }
    return std::nullopt;
}

}  // namespace pyrelle
