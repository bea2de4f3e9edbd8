#include "engine/text.hpp"

#include <unicase.h>

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "engine/font.hpp"
#include "engine/utf8.hpp"

namespace pyrelle {

namespace {

// First character of the full upper-case mapping (so "ß" folds to "S").
char32_t fold_to_capital(char32_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c;
    const std::uint32_t in = c;
    std::uint32_t buffer[8];
    std::size_t length = std::size(buffer);
    std::uint32_t* out = u32_toupper(&in, 1, nullptr, nullptr, buffer, &length);
    if (out == nullptr) return c;
    const char32_t first = length > 0 ? out[0] : c;
    if (out != buffer) std::free(out);
    return first;
}

// Pen arithmetic in 64 bits; positions far off the canvas saturate and stay off it.
std::int32_t clamp_i32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

void draw_glyph(Canvas& canvas, std::int64_t x, std::int64_t y, const Glyph& g,
                std::uint32_t colour, std::int32_t s) {
    for (int r = 0; r < 7; ++r) {
        for (int column = 0; column < 5; ++column) {
            if ((g.rows[r] >> (4 - column)) & 1u)
                canvas.fill_rect(clamp_i32(x + column * s), clamp_i32(y + r * s), s, s, colour);
        }
    }
    for (const GlyphMark& m : g.mark)
        canvas.fill_rect(clamp_i32(x + m.column * s), clamp_i32(y + m.row * s), s, s, colour);
}

}  // namespace

void draw_text(Canvas& canvas, std::int32_t x, std::int32_t y, std::string_view utf8,
               std::uint32_t colour, std::int32_t scale) {
    std::int64_t pen = x;
    for_each_char(utf8, [&](char32_t c) {
        draw_glyph(canvas, pen, y, glyph_for(fold_to_capital(c)), colour, scale);
        pen += 6 * static_cast<std::int64_t>(scale);
    });
}

std::int32_t text_width(std::string_view utf8, std::int32_t scale) {
    std::int64_t n = 0;
    for_each_char(utf8, [&](char32_t) { ++n; });
    if (n == 0) return 0;
    return clamp_i32(6 * n * scale - scale);
}

}  // namespace pyrelle
