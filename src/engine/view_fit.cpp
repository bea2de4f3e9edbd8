#include "engine/view_fit.hpp"

#include <algorithm>
#include <cmath>

namespace pyrelle {

ViewRect fit_view(std::int32_t area_width, std::int32_t area_height, std::int32_t view_width,
                  std::int32_t view_height) {
    if (area_width <= 0 || area_height <= 0 || view_width <= 0 || view_height <= 0) return {};
    ViewRect rect;
    const std::int32_t scale = std::min(area_width / view_width, area_height / view_height);
    if (scale >= 1) {
        rect.width = view_width * scale;
        rect.height = view_height * scale;
    } else {
        const double k =
            std::min(double(area_width) / view_width, double(area_height) / view_height);
        rect.width =
            std::max<std::int32_t>(1, static_cast<std::int32_t>(std::lround(view_width * k)));
        rect.height =
            std::max<std::int32_t>(1, static_cast<std::int32_t>(std::lround(view_height * k)));
    }
    rect.x = (area_width - rect.width) / 2;
    rect.y = (area_height - rect.height) / 2;
    return rect;
}

// Below 50 Hz a present per refresh would show fewer pictures than there are steps and hold each
// one too long: our limiter presents every step instead. A display that gives no rate (a virtual
// X server, some drivers) is one where a "vsync" present may not wait at all, or only as long as
// SDL guesses: the limiter is known to hold there, so it stays. Measuring the presents at start
// instead would take a second of frames and be thrown off by a busy machine.
bool keeps_frame_limiter(const DisplaySync& sync) {
    constexpr std::int32_t kLowestPacingHz = 50;
    return !sync.vsync || sync.software || sync.refresh_hz < kLowestPacingHz;
}

bool VsyncWatch::presents_too_fast(float dt) {
    seconds += dt;
    ++presents;
    if (seconds < 1.0f) return false;
    // Over a whole second the count is not thrown by one late or early frame.
    const bool too_fast = double(presents) > 1.5 * double(refresh_hz) * double(seconds);
    seconds = 0.0f;
    presents = 0;
    return too_fast;
}

}  // namespace pyrelle
