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

}  // namespace pyrelle
