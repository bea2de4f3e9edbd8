#include "engine/text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pyrelle {
namespace {

constexpr std::uint32_t kInk = 0xFFEEDD;
constexpr std::uint32_t kPaper = 0x102030;

Canvas paper(std::uint32_t w = 80, std::uint32_t h = 30) {
    Canvas c(w, h);
    for (auto& p : c.pixels)
        p = kPaper;
    return c;
}

Canvas drawn(std::string_view text, std::int32_t x, std::int32_t y, std::int32_t scale,
             std::uint32_t w = 80, std::uint32_t h = 30) {
    Canvas c = paper(w, h);
    draw_text(c, x, y, text, kInk, scale);
    return c;
}

// A picture drawn by hand: '#' is ink; row 0 of the art sits at (x, y), each cell s × s.
Canvas art(const std::vector<std::string>& rows, std::int32_t x, std::int32_t y, std::int32_t s,
           std::uint32_t w = 80, std::uint32_t h = 30) {
    Canvas c = paper(w, h);
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t k = 0; k < rows[r].size(); ++k)
            if (rows[r][k] == '#')
                c.fill_rect(x + static_cast<std::int32_t>(k) * s,
                            y + static_cast<std::int32_t>(r) * s, s, s, kInk);
    return c;
}

std::string picture(const Canvas& c) {
    std::string out;
    for (std::uint32_t y = 0; y < c.height; ++y) {
        for (std::uint32_t x = 0; x < c.width; ++x)
            out += c.get(x, y) == kInk ? '#' : (c.get(x, y) == kPaper ? '.' : '?');
        out += '\n';
    }
    return out;
}

const std::vector<std::string> kBox = {".....", "#####", "#...#", "#...#",
                                       "#...#", "#####", "....."};

TEST(Text, GlyphsMatchHandDrawnPictures) {
    struct Case {
        std::string text;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {"A", {".###.", "#...#", "#...#", "#...#", "#####", "#...#", "#...#"}},
        {"E", {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
        {"Q", {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
        {"4", {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
        {"0", {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
        {"?", {".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."}},
        {"/", {"....#", "....#", "...#.", "..#..", ".#...", "#....", "#...."}},
        {",", {".....", ".....", ".....", ".....", ".##..", "..#..", ".#..."}},
        {"'", {"..#..", "..#..", ".#...", ".....", ".....", ".....", "....."}},
        {"z", {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
        {" ", {}},
        {"#", kBox},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(picture(drawn(k.text, 3, 4, 1)), picture(art(k.rows, 3, 4, 1))) << k.text;
        EXPECT_EQ(picture(drawn(k.text, 2, 1, 3)), picture(art(k.rows, 2, 1, 3))) << k.text;
    }
}

TEST(Text, LowerCaseDrawsTheCapitals) {
    EXPECT_EQ(picture(drawn("Entrée", 2, 4, 1)), picture(drawn("ENTRÉE", 2, 4, 1)));
    EXPECT_EQ(picture(drawn("abcdefghijklm", 0, 3, 1)), picture(drawn("ABCDEFGHIJKLM", 0, 3, 1)));
    EXPECT_EQ(picture(drawn("nopqrstuvwxyz", 0, 3, 1)), picture(drawn("NOPQRSTUVWXYZ", 0, 3, 1)));
    EXPECT_EQ(picture(drawn("àâçèéêëîïôùû", 0, 3, 1, 80, 14)),
              picture(drawn("ÀÂÇÈÉÊËÎÏÔÙÛ", 0, 3, 1, 80, 14)));
}

TEST(Text, FoldingUsesTheFirstLetterOfTheFullCapital) {
    // "ß" is "SS" in capitals and the ligature "ﬁ" is "FI": only the first letter is drawn.
    EXPECT_EQ(picture(drawn("ß", 4, 4, 1)), picture(drawn("S", 4, 4, 1)));
    EXPECT_EQ(picture(drawn("\uFB01", 4, 4, 1)), picture(drawn("F", 4, 4, 1)));
}

TEST(Text, AccentedCapitalsAreTheBaseLetterPlusTheirMark) {
    struct Case {
        const char* text;
        const char* base;
        std::vector<std::pair<int, int>> mark;  // (column, row) in glyph cells
    };
    const std::vector<std::pair<int, int>> acute = {{2, -2}, {3, -2}};
    const std::vector<std::pair<int, int>> grave = {{1, -2}, {2, -2}};
    const std::vector<std::pair<int, int>> circumflex = {{1, -1}, {2, -2}, {3, -1}};
    const std::vector<std::pair<int, int>> diaeresis = {{1, -2}, {3, -2}};
    const std::vector<std::pair<int, int>> cedilla = {{2, 7}, {1, 8}};
    const Case cases[] = {
        {"À", "A", grave},      {"Â", "A", circumflex}, {"Ç", "C", cedilla},
        {"È", "E", grave},      {"É", "E", acute},      {"Ê", "E", circumflex},
        {"Ë", "E", diaeresis},  {"Î", "I", circumflex}, {"Ï", "I", diaeresis},
        {"Ô", "O", circumflex}, {"Ù", "U", grave},      {"Û", "U", circumflex},
    };
    for (const Case& k : cases) {
        for (std::int32_t s : {1, 2}) {
            Canvas want = drawn(k.base, 5, 6, s);
            for (const auto& [column, row] : k.mark)
                want.fill_rect(5 + column * s, 6 + row * s, s, s, kInk);
            EXPECT_EQ(picture(drawn(k.text, 5, 6, s)), picture(want)) << k.text << " x" << s;
        }
    }
}

TEST(Text, AcuteMarkSitsTwoRowsAboveTheGlyph) {
    const Canvas c = drawn("É", 10, 5, 1);
    EXPECT_EQ(c.get(12, 3), kInk);
    EXPECT_EQ(c.get(13, 3), kInk);
    std::int32_t top = 100, bottom = -1, count_row_minus_two = 0;
    for (std::int32_t y = 0; y < 30; ++y)
        for (std::int32_t x = 0; x < 80; ++x)
            if (c.get(x, y) == kInk) {
                top = std::min(top, y), bottom = std::max(bottom, y);
                count_row_minus_two += y == 3;
            }
    EXPECT_EQ(top, 3);      // y - 2
    EXPECT_EQ(bottom, 11);  // y + 6
    EXPECT_EQ(count_row_minus_two, 2);
}

TEST(Text, CharactersWithoutAGlyphDrawTheBoxAndAdvance) {
    const char* const cases[] = {"#", "$",  "%",          "&",    "*",      ";",    "=",
                                 "@", "\n", "\t",         "[",    "\u0301", "€",    "ÿ",
                                 "Ü", "Æ",  "\U0001F600", "\xFF", "\xC3",   "\x80", "\xAF"};
    const Canvas want = art(kBox, 7, 2, 2, 80, 20);
    for (const char* text : cases) {
        // A box between two letters: the second letter still lands 12 columns on.
        const std::string line = std::string("A") + text + "A";
        Canvas expected = art(kBox, 7 + 12, 2, 2, 80, 20);
        draw_text(expected, 7, 2, "A", kInk, 2);
        draw_text(expected, 7 + 24, 2, "A", kInk, 2);
        EXPECT_EQ(picture(drawn(line, 7, 2, 2, 80, 20)), picture(expected)) << text;
        EXPECT_EQ(text_width(text, 2), 10) << text;
    }
    EXPECT_EQ(picture(drawn("€", 7, 2, 2, 80, 20)), picture(want));
}

TEST(Text, InvalidBytesAreOnePlaceholderEach) {
    // "été" written in Latin-1: two stray bytes around a valid T.
    EXPECT_EQ(picture(drawn("\xE9t\xE9", 0, 2, 1)), picture(drawn("#T#", 0, 2, 1)));
    // An overlong slash and a truncated sequence are two and one bad bytes.
    EXPECT_EQ(picture(drawn("\xC0\xAF-\xE2\x82", 0, 2, 1)), picture(drawn("##-##", 0, 2, 1)));
    EXPECT_EQ(text_width("\xC0\xAF-\xE2\x82", 1), 6 * 5 - 1);
}

TEST(Text, BothApostrophesDrawTheSameGlyph) {
    EXPECT_EQ(picture(drawn("L'EAU", 1, 3, 2)), picture(drawn("L\u2019EAU", 1, 3, 2)));
    EXPECT_EQ(text_width("L\u2019EAU", 1), text_width("L'EAU", 1));
}

TEST(Text, WidthCountsCharactersNotBytes) {
    const struct {
        const char* text;
        std::int32_t scale, want;
    } cases[] = {
        {"", 1, 0},        {"", 3, 0},        {"A", 3, 15},   {"A", 1, 5},   {"AB", 1, 11},
        {"Entrée", 1, 35}, {"Entrée", 2, 70}, {"ÉÉÉ", 1, 17}, {"abc", 0, 0}, {"\U0001F600", 1, 5},
    };
    for (const auto& k : cases)
        EXPECT_EQ(text_width(k.text, k.scale), k.want) << k.text << " x" << k.scale;
}

TEST(Text, ScaleZeroOrNegativeDrawsNothing) {
    for (const std::int32_t scale : {0, -1, -2}) {
        EXPECT_EQ(picture(drawn("ÉCLAT 42 !", 10, 10, scale)), picture(paper())) << scale;
        EXPECT_EQ(picture(drawn("ABC", 40, 10, scale)), picture(paper())) << scale;
    }
}

TEST(Text, ClipsAtTheLeftEdge) {
    // From x = -6 the first glyph lies wholly off the canvas; the second starts at 0.
    EXPECT_EQ(picture(drawn("AB", -6, 4, 1)), picture(drawn("B", 0, 4, 1)));
    // Half a glyph off the left edge keeps exactly its visible columns.
    const std::vector<std::string> a_right = {"###.", "...#", "...#", "...#",
                                              "####", "...#", "...#"};
    EXPECT_EQ(picture(drawn("A", -1, 4, 1)), picture(art(a_right, 0, 4, 1)));
}

TEST(Text, ClippingEqualsCroppingALargerPicture) {
    // Text running off the right and bottom edges shows exactly what a larger canvas shows there.
    const Canvas clipped = drawn("ÇA VA", 70, 24, 3);
    const Canvas large = drawn("ÇA VA", 70, 24, 3, 200, 60);
    Canvas cropped = paper();
    cropped.blit(large, 0, 0, 0, 0, 80, 30);
    EXPECT_EQ(picture(clipped), picture(cropped));
    EXPECT_EQ(clipped.get(70 + 1 * 3, 24), kInk);  // C row 0 is .###.
}

TEST(Text, FarOffTextChangesNothing) {
    Canvas c = paper();
    draw_text(c, 2147483000, 0, "AAAA", kInk, 1000000);
    draw_text(c, -2147483000, 5, "AAAA", kInk, 1000000);
    draw_text(c, 0, -2147483000, "AAAA", kInk, 3);
    EXPECT_EQ(picture(c), picture(paper()));
}

}  // namespace
}  // namespace pyrelle
