#pragma once
#include <cstdint>
#include <string_view>

#include "engine/canvas.hpp"

namespace pyrelle {

// Draws one line of UTF-8 text in the built-in 5 × 7 capital font, each font pixel an
// s × s block, with the top-left of the first glyph's row 0 at (x, y). Letters fold to
// capitals; French accented capitals get their mark. Opaque, single colour, clipped.
void draw_text(Canvas& canvas, std::int32_t x, std::int32_t y, std::string_view utf8,
               std::uint32_t colour, std::int32_t scale);

// From the left edge of the first glyph to the right edge of the last:
// 6 × n × s − s for n > 0 characters, else 0. Invalid bytes count as one character each.
std::int32_t text_width(std::string_view utf8, std::int32_t scale);

}  // namespace pyrelle
