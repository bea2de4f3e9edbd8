#pragma once
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/canvas.hpp"

namespace pyrelle {

// Letters of a sprite pattern and their colours; the first pair holding a letter wins.
struct Palette {
    std::vector<std::pair<char32_t, std::uint32_t>> entries;

    std::optional<std::uint32_t> colour_of(char32_t letter) const;
};

struct SpriteCell {
    std::uint32_t present = 0;  // 1 opaque, 0 transparent
    std::uint32_t colour = 0;
};

// A small fixed picture written as text: one line per row, '.' transparent, any other
// character a palette letter. Lines are trimmed and blank lines dropped, so patterns
// may be indented in the source.
struct Sprite {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<SpriteCell> cells;  // index column + row × width

    // Stops the program on a letter missing from the palette: built-in data is wrong.
    static Sprite from_pattern(std::string_view pattern, const Palette& palette);

    // Overwrites the canvas with the opaque cells, top-left at (x, y); clipped.
    void draw(Canvas& canvas, std::int32_t x, std::int32_t y) const;
};

// The lantern cage, 7 × 8; its flame and glow are drawn by the renderer.
Sprite lantern_sprite();

}  // namespace pyrelle
