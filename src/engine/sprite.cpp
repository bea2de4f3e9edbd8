#include "engine/sprite.hpp"

#include <unictype.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "engine/utf8.hpp"

namespace pyrelle {

namespace {

struct Line {
    std::string_view text;
    std::int32_t length;  // in characters
};

std::string_view trim(std::string_view s) {
    std::size_t begin = 0;
    while (begin < s.size()) {
        const Utf8Char c = decode_utf8(s, begin);
        if (!uc_is_property_white_space(c.code)) break;
        begin += c.length;
    }
    std::size_t end = begin;  // one past the last non-space character
    for (std::size_t at = begin; at < s.size();) {
        const Utf8Char c = decode_utf8(s, at);
        at += c.length;
        if (!uc_is_property_white_space(c.code)) end = at;
    }
    return s.substr(begin, end - begin);
}

std::vector<Line> pattern_rows(std::string_view pattern) {
    std::vector<Line> rows;
    std::size_t at = 0;
    while (at <= pattern.size()) {
        const std::size_t feed = std::min(pattern.find('\n', at), pattern.size());
        const std::string_view line = trim(pattern.substr(at, feed - at));
        if (!line.empty()) {
            std::int32_t n = 0;
            for_each_char(line, [&](char32_t) { ++n; });
            rows.push_back({line, n});
        }
        at = feed + 1;
    }
    return rows;
}

[[noreturn]] void missing_colour(char32_t letter) {
    char utf8[5] = {};
    const std::uint32_t c = letter;
    if (c < 0x80) {
        utf8[0] = static_cast<char>(c);
    } else if (c < 0x800) {
        utf8[0] = static_cast<char>(0xC0 | (c >> 6));
        utf8[1] = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        utf8[0] = static_cast<char>(0xE0 | (c >> 12));
        utf8[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        utf8[2] = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        utf8[0] = static_cast<char>(0xF0 | (c >> 18));
        utf8[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        utf8[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        utf8[3] = static_cast<char>(0x80 | (c & 0x3F));
    }
    std::fprintf(stderr, "couleur %s absente de la palette\n", utf8);
    std::abort();
}

}  // namespace

std::optional<std::uint32_t> Palette::colour_of(char32_t letter) const {
    for (const auto& [l, colour] : entries)
        if (l == letter) return colour;
    return std::nullopt;
}

Sprite Sprite::from_pattern(std::string_view pattern, const Palette& palette) {
    const std::vector<Line> rows = pattern_rows(pattern);
    Sprite s;
    s.height = static_cast<std::int32_t>(rows.size());
    for (const Line& row : rows)
        s.width = std::max(s.width, row.length);
    s.cells.assign(static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.height), {});
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::size_t k = 0;
        for_each_char(rows[r].text, [&](char32_t c) {
            if (c != U'.') {
                const std::optional<std::uint32_t> colour = palette.colour_of(c);
                if (!colour) missing_colour(c);
                s.cells[k + r * static_cast<std::size_t>(s.width)] = {1, *colour};
            }
            ++k;
        });
    }
    return s;
}

void Sprite::draw(Canvas& canvas, std::int32_t x, std::int32_t y) const {
    if (width <= 0 || height <= 0) return;
    for (std::int32_t r = 0; r < height; ++r) {
        const std::int64_t cy = static_cast<std::int64_t>(y) + r;
        if (cy < 0 || cy >= canvas.height) continue;
        for (std::int32_t k = 0; k < width; ++k) {
            const SpriteCell& cell = cells[static_cast<std::size_t>(k + r * width)];
            const std::int64_t cx = static_cast<std::int64_t>(x) + k;
            if (cell.present && cx >= 0 && cx < canvas.width)
                canvas.pixels[static_cast<std::size_t>(cx + cy * canvas.width)] = cell.colour;
        }
    }
}

Sprite lantern_sprite() {
    static constexpr std::string_view kPattern = R"(
        ..aaa..
        .abbba.
        accccca
        .c...c.
        .c...c.
        .c...c.
        accccca
        .abbba.
    )";
    const Palette palette{{{U'a', 0x463C36}, {U'b', 0x786450}, {U'c', 0xA0825A}}};
    return Sprite::from_pattern(kPattern, palette);
}

}  // namespace pyrelle
