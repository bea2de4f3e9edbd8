#pragma once
#include <cstdint>

namespace pyrelle {

// Where the picture goes in a window or screen of the given size, in its pixels.
struct ViewRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// The largest whole multiple of the view size that fits, centred (black borders around),
// so that every picture pixel is the same number of screen pixels: 1920 x 1080 shows it 6
// times, 2560 x 1440 8 times. Only an area smaller than the view gets a fractional size,
// with the picture's proportions kept.
ViewRect fit_view(std::int32_t area_width, std::int32_t area_height, std::int32_t view_width,
                  std::int32_t view_height);

// What a window's renderer and display say about presenting in time with the screen.
struct DisplaySync {
    bool vsync = false;           // the renderer says its present waits for the refresh
    bool software = false;        // a software renderer: its "vsync" is only a sleep
    std::int32_t refresh_hz = 0;  // the display's refresh rate; 0 when it does not say
};

// Whether the window loop paces its frames itself (at most one per 1/60 s, sleeping between)
// rather than letting a present that waits for the screen's refresh do it. Either way the steps
// stay at 60 a second: a faster screen shows the latest step at every refresh.
bool keeps_frame_limiter(const DisplaySync& sync);

// Watches a loop paced by the refresh: presents that come much faster than the display refreshes
// are not waiting for it (a driver told to ignore vsync), and the loop would spin a core.
struct VsyncWatch {
    std::int32_t refresh_hz = 0;
    float seconds = 0.0f;
    std::int32_t presents = 0;

    // After each present, with the time since the previous one: true when the last second or so
    // held more than one and a half times as many presents as refreshes.
    bool presents_too_fast(float dt);
};

}  // namespace pyrelle
