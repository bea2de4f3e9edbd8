#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "engine/canvas.hpp"
#include "game/level.hpp"

namespace pyrelle {

// The lit-independent texture of a level's cave, one 8 × 8 block per cave cell: rock shaded
// by its distance to open space, open space grainy and tinted per cell. A block is painted
// the first time a view shows it, so entering a level pays for one view instead of the
// whole cave, and a moving camera paints a row or a column of blocks now and then.
struct Background {
    Canvas canvas;                      // (cave width × 8) × (cave height × 8) world pixels
    std::vector<std::uint8_t> painted;  // one flag per cave cell: its block is valid

    // Forgets every block, for `level`; keeps the storage of the previous level.
    void reset(const Level& level);
    // Paints the blocks under the world rectangle (x, y, w, h) not painted yet. `level` is
    // the one of the last reset.
    void paint(const Level& level, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);

  private:
    static constexpr std::int32_t kMaxSquare = 400;  // (2 × 10)²: rock beyond 10 px is deep

    std::uint32_t hash_salt_ = 0;                          // per pixel: grain and specks
    std::uint32_t tint_salt_ = 0;                          // per open cell: its tint
    std::uint32_t speck_ = 0;                              // rock colour 4
    std::array<float, 16> grain_{};                        // k for the 16 grain values
    std::array<std::uint32_t, 16> deep_{};                 // rock colour 1 × k
    std::array<std::uint32_t, 16> rim_{};                  // rock colour 3 × k
    std::array<std::array<std::uint32_t, 16>, 8> open_{};  // colour 5 × k × tint
    // Rock by four times its squared distance to open space: 0 deep, 1 rim, 2 the
    // gradient with base colour gradient_[v].
    std::array<std::uint8_t, kMaxSquare + 1> kind_{};
    std::array<std::uint32_t, kMaxSquare + 1> gradient_{};

    void paint_block(const Level& level, std::int32_t cx, std::int32_t cy);
    void paint_rock_near_open(const Cave& cave, std::int32_t cx, std::int32_t cy);
};

}  // namespace pyrelle
