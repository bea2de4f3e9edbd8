#pragma once
#include <cstdint>
#include <span>

namespace pyrelle {

// A glyph is 7 rows of 5 pixels; bit 4 of a row is the leftmost column.
struct GlyphMark {
    std::int8_t column;
    std::int8_t row;  // negative above the glyph, 7 and 8 below it
};

struct Glyph {
    std::uint8_t rows[7];
    std::span<const GlyphMark> mark;  // empty for plain glyphs
};

// The glyph drawn for an already upper-cased character (the hollow box when it has none).
Glyph glyph_for(char32_t capital);

}  // namespace pyrelle
