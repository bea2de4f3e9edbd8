#include "engine/sprite.hpp"

#include <gtest/gtest.h>

#include <string>

namespace pyrelle {
namespace {

const Palette kPalette{{{U'x', 0x112233}, {U'y', 0x445566}, {U'é', 0x778899}, {U'x', 0xFFFFFF}}};

// Rows as the test reads them back: '.' transparent, else the colour's palette letter.
std::vector<std::string> rows_of(const Sprite& s) {
    std::vector<std::string> rows;
    for (std::int32_t r = 0; r < s.height; ++r) {
        std::string row;
        for (std::int32_t k = 0; k < s.width; ++k) {
            const SpriteCell& c = s.cells[static_cast<std::size_t>(k + r * s.width)];
            if (!c.present) {
                row += c.colour == 0 ? '.' : '!';
            } else {
                row += c.colour == 0x112233   ? 'x'
                       : c.colour == 0x445566 ? 'y'
                       : c.colour == 0x778899 ? 'e'
                                              : '?';
            }
        }
        rows.push_back(row);
    }
    return rows;
}

TEST(Sprite, IndentationAndBlankLinesAreIgnored) {
    const Sprite bare = Sprite::from_pattern("x.y\n.x.\ny.x", kPalette);
    const Sprite indented =
        Sprite::from_pattern("\n\n    x.y   \n\t .x.\r\n   \n  y.x\n \n", kPalette);
    EXPECT_EQ(indented.width, 3);
    EXPECT_EQ(indented.height, 3);
    EXPECT_EQ(rows_of(bare), (std::vector<std::string>{"x.y", ".x.", "y.x"}));
    EXPECT_EQ(rows_of(indented), rows_of(bare));
    // A no-break space is white space too.
    EXPECT_EQ(rows_of(Sprite::from_pattern("\u00A0x.y\u00A0\n.x.\ny.x", kPalette)), rows_of(bare));
}

TEST(Sprite, WidthIsTheLongestRowInCharacters) {
    const Sprite s = Sprite::from_pattern("é\nxyé.x\n.y", kPalette);
    EXPECT_EQ(s.width, 5);  // "xyé.x" is six bytes but five characters
    EXPECT_EQ(s.height, 3);
    EXPECT_EQ(rows_of(s), (std::vector<std::string>{"e....", "xye.x", ".y..."}));
}

TEST(Sprite, FirstPaletteEntryWins) {
    const Sprite s = Sprite::from_pattern("x", kPalette);
    ASSERT_EQ(s.cells.size(), 1u);
    EXPECT_EQ(s.cells[0].colour, 0x112233u);
}

TEST(Sprite, EmptyPatternIsEmptyAndDrawsNothing) {
    const Sprite s = Sprite::from_pattern("  \n\n ", kPalette);
    EXPECT_EQ(s.width, 0);
    EXPECT_EQ(s.height, 0);
    EXPECT_TRUE(s.cells.empty());
    Canvas c(4, 4);
    s.draw(c, 0, 0);
    EXPECT_EQ(c.pixels, std::vector<std::uint32_t>(16, 0));
}

TEST(Sprite, LanternIsTheCage) {
    const Sprite s = lantern_sprite();
    ASSERT_EQ(s.width, 7);
    ASSERT_EQ(s.height, 8);
    const char* const want[] = {"..aaa..", ".abbba.", "accccca", ".c...c.",
                                ".c...c.", ".c...c.", "accccca", ".abbba."};
    std::uint32_t opaque = 0;
    for (std::int32_t r = 0; r < 8; ++r) {
        for (std::int32_t k = 0; k < 7; ++k) {
            const SpriteCell& c = s.cells[static_cast<std::size_t>(k + r * 7)];
            const char w = want[r][k];
            const std::uint32_t colour = w == 'a'   ? 0x463C36
                                         : w == 'b' ? 0x786450
                                         : w == 'c' ? 0xA0825A
                                                    : 0;
            EXPECT_EQ(c.present, w == '.' ? 0u : 1u) << k << "," << r;
            EXPECT_EQ(c.colour, colour) << k << "," << r;
            opaque += c.present;
        }
    }
    EXPECT_EQ(opaque, 33u);
}

TEST(Sprite, DrawOverwritesOnlyOpaqueCells) {
    const Sprite s = Sprite::from_pattern("x.\n.y", kPalette);
    Canvas c(4, 3);
    for (auto& p : c.pixels)
        p = 0xABCDEF;
    s.draw(c, 1, 1);
    const std::vector<std::uint32_t> want = {
        0xABCDEF, 0xABCDEF, 0xABCDEF, 0xABCDEF,  //
        0xABCDEF, 0x112233, 0xABCDEF, 0xABCDEF,  //
        0xABCDEF, 0xABCDEF, 0x445566, 0xABCDEF,
    };
    EXPECT_EQ(c.pixels, want);
    s.draw(c, 1, 1);  // twice is the same as once: no blending
    EXPECT_EQ(c.pixels, want);
}

TEST(Sprite, LanternClipsAtTheCorner) {
    const Sprite s = lantern_sprite();
    Canvas c(10, 10);
    for (auto& p : c.pixels)
        p = 0x010203;
    s.draw(c, -3, -4);
    // Only the bottom-right 4 × 4 block of the cage shows: rows 4-7, columns 3-6.
    const char* const visible[] = {"..c.", "..c.", "ccca", "bba."};
    for (std::int32_t y = 0; y < 10; ++y) {
        for (std::int32_t x = 0; x < 10; ++x) {
            std::uint32_t want = 0x010203;
            if (x < 4 && y < 4) {
                const char v = visible[y][x];
                if (v == 'a') want = 0x463C36;
                if (v == 'b') want = 0x786450;
                if (v == 'c') want = 0xA0825A;
            }
            EXPECT_EQ(c.get(x, y), want) << x << "," << y;
        }
    }
}

TEST(Sprite, DrawsAtEveryEdgeWithoutFault) {
    const Sprite s = lantern_sprite();
    const std::int32_t places[][2] = {
        {3, 3},   {-6, 0}, {0, -7},         {4, -2},
        {-7, -8}, {5, 5},  {2147483647, 0}, {-2147483647 - 1, 2147483647}};
    std::uint32_t drawn = 0;
    for (const auto& p : places) {
        Canvas one(5, 5);
        s.draw(one, p[0], p[1]);
        for (std::uint32_t v : one.pixels)
            drawn += v != 0;
    }
    // By hand: (3,3) shows cells (0..1, 0..1) = ". ." / ". a" -> 1; (-6,0) column 6 rows 0-4
    // ". . a . ." -> 1; (0,-7) row 7 columns 0-4 ".abbb" -> 4; (4,-2) column 0 rows 2-6
    // "a . . . a" -> 2; the rest show nothing.
    EXPECT_EQ(drawn, 1u + 1u + 4u + 2u);
}

TEST(SpriteDeathTest, MissingPaletteLetterStops) {
    EXPECT_DEATH(Sprite::from_pattern("x.z", kPalette), "couleur z absente de la palette");
    EXPECT_DEATH(Sprite::from_pattern("xç", kPalette), "couleur ç absente de la palette");
}

}  // namespace
}  // namespace pyrelle
