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

}  // namespace pyrelle
