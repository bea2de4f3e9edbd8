#pragma once
#include <cstdint>

#include "engine/view_size.hpp"

namespace pyrelle {

// The world's measures, in world pixels: one cave cell is a square of kCellSize, and the
// view shows kViewWidth x kViewHeight of them (engine/view_size.hpp).
inline constexpr std::int32_t kCellSize = 8;
inline constexpr float kCellSizeF = static_cast<float>(kCellSize);
inline constexpr float kViewWidthF = static_cast<float>(kViewWidth);
inline constexpr float kViewHeightF = static_cast<float>(kViewHeight);

// Depths count from 1; the Source waits at the last one, and every depth above it has a rift.
inline constexpr std::uint32_t kSourceDepth = 10;

}  // namespace pyrelle
