#pragma once
#include <cstdint>

namespace pyrelle {

// The picture the game draws and every platform shows enlarged, in pixels.
inline constexpr std::uint32_t kViewWidth = 320;
inline constexpr std::uint32_t kViewHeight = 180;

}  // namespace pyrelle
