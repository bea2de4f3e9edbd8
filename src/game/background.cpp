#include "game/background.hpp"

#include <algorithm>
#include <cmath>

#include "engine/rng.hpp"
#include "game/biome.hpp"
#include "game/cave.hpp"
#include "game/world.hpp"

namespace pyrelle {

namespace {

constexpr std::int32_t kReach = 2;  // open cells farther than two cells are beyond 10 px
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

// Four times the squared distance along one axis from the centre of pixel i (0..7) of a
// cell to the nearest point of the cell `a` cells away (-2..2) on that axis. Distances
// from pixel centres to cell squares are multiples of a half pixel, so these are exact
// integers, and so is any sum of two.
constexpr std::uint32_t axis_square(std::int32_t i, std::int32_t a) {
    const std::int32_t twice = a < 0 ? 2 * i + 1 - 16 * (a + 1) : a > 0 ? 16 * a - 2 * i - 1 : 0;
    return static_cast<std::uint32_t>(twice * twice);
}

constexpr auto kAxisSquare = [] {
    std::array<std::array<std::uint32_t, 2 * kReach + 1>, 8> table{};
    for (std::int32_t i = 0; i < 8; ++i)
        for (std::int32_t a = -kReach; a <= kReach; ++a)
            table[static_cast<std::size_t>(i)][static_cast<std::size_t>(a + kReach)] =
                axis_square(i, a);
    return table;
}();

}  // namespace

void Background::reset(const Level& level) {
    const Cave& cave = level.cave;
    canvas.width = static_cast<std::uint32_t>(cave.width) * kCellSize;
    canvas.height = static_cast<std::uint32_t>(cave.height) * kCellSize;
    // Stale pixels of an earlier level are harmless: only painted blocks are ever read.
    canvas.pixels.resize(static_cast<std::size_t>(canvas.width) * canvas.height);
    painted.assign(cave.tiles.size(), 0);

    const std::uint32_t s = static_cast<std::uint32_t>(level.seed);
    hash_salt_ = s * 0xCB1AB31Fu;
    tint_salt_ = (s ^ 0x4Du) * 0xCB1AB31Fu;
    // The colour of a pixel comes from a few small sets of values (16 grains, 8 tints, the
    // exact distances below), so it is computed once per value with the rule's own
    // operations and looked up per pixel.
    const auto& colours = rock_colours(level.biome);
    speck_ = colours[3];
    for (std::uint32_t n = 0; n < 16; ++n) {
        const float k = static_cast<float>(n) / 75.0f + 0.9f;
        grain_[n] = k;
        deep_[n] = scale_colour(colours[0], k);
        rim_[n] = scale_colour(colours[2], k);
        for (std::uint32_t t = 0; t < 8; ++t) {
            const float m = static_cast<float>(t) / 60.0f + 0.94f;
            open_[t][n] = scale_colour(colours[4], k * m);
        }
    }
    for (std::uint32_t v = 0; v <= kMaxSquare; ++v) {
        const float t = std::sqrt(static_cast<float>(v) * 0.25f);
        kind_[v] = t <= 1.5f ? 1 : t <= 10.0f ? 2 : 0;
        gradient_[v] =
            mix_colour(colours[1], colours[0], std::clamp((t - 1.5f) / 8.5f, 0.0f, 1.0f));
    }
}

void Background::paint(const Level& level, std::int32_t x, std::int32_t y, std::int32_t w,
                       std::int32_t h) {
    if (w <= 0 || h <= 0) return;
    const std::int64_t cx0 = std::max<std::int64_t>(std::int64_t{x} >> 3, 0);
    const std::int64_t cy0 = std::max<std::int64_t>(std::int64_t{y} >> 3, 0);
    const std::int64_t cx1 =
        std::min<std::int64_t>((std::int64_t{x} + w - 1) >> 3, level.cave.width - 1);
    const std::int64_t cy1 =
        std::min<std::int64_t>((std::int64_t{y} + h - 1) >> 3, level.cave.height - 1);
    for (std::int64_t cy = cy0; cy <= cy1; ++cy) {
        for (std::int64_t cx = cx0; cx <= cx1; ++cx) {
            std::uint8_t& done =
                painted[static_cast<std::size_t>(cx + cy * std::int64_t{level.cave.width})];
            if (done) continue;
            paint_block(level, static_cast<std::int32_t>(cx), static_cast<std::int32_t>(cy));
            done = 1;
        }
    }
}

void Background::paint_block(const Level& level, std::int32_t cx, std::int32_t cy) {
    const Cave& cave = level.cave;
    if (!is_open(cave, cx, cy)) {
        paint_rock_near_open(cave, cx, cy);
        return;
    }
    const auto& tint = open_[cell_hash(cx, cy, tint_salt_) & 7u];
    for (std::int32_t py = 8 * cy; py < 8 * cy + 8; ++py) {
        std::uint32_t* row = &canvas.pixels[static_cast<std::size_t>(py) * canvas.width];
        for (std::int32_t px = 8 * cx; px < 8 * cx + 8; ++px) {
            const std::uint32_t n = cell_hash(px, py, hash_salt_);
            row[px] = n % 61 == 0 ? speck_ : tint[n & 15u];
        }
    }
}

// A rock pixel's distance t to open space is the smallest distance from its centre to an
// open cell's square within two cells. Four times its square is an exact integer (see
// kAxisSquare), and the smallest square gives the smallest distance, since the square root
// keeps order: t = sqrt(v / 4) for the least sum v, as the rule computes it. The least sum
// is taken row of open cells by row: per row the nearest column, then the nearest row.
void Background::paint_rock_near_open(const Cave& cave, std::int32_t cx, std::int32_t cy) {
    std::uint32_t column_best[2 * kReach + 1][8];  // per row of open cells, per pixel column
    std::int32_t rows = 0;
    std::int32_t row_offset[2 * kReach + 1];
    for (std::int32_t b = -kReach; b <= kReach; ++b) {
        std::uint32_t* best = column_best[rows];
        std::fill(best, best + 8, kNone);
        bool any = false;
        for (std::int32_t a = -kReach; a <= kReach; ++a) {
            if (!is_open(cave, cx + a, cy + b)) continue;
            any = true;
            for (std::int32_t i = 0; i < 8; ++i)
                best[i] = std::min(
                    best[i],
                    kAxisSquare[static_cast<std::size_t>(i)][static_cast<std::size_t>(a + kReach)]);
        }
        if (any) row_offset[rows++] = b;
    }
    for (std::int32_t j = 0; j < 8; ++j) {
        const std::int32_t py = 8 * cy + j;
        std::uint32_t* row = &canvas.pixels[static_cast<std::size_t>(py) * canvas.width];
        for (std::int32_t i = 0; i < 8; ++i) {
            const std::int32_t px = 8 * cx + i;
            std::uint32_t v = kNone;
            for (std::int32_t r = 0; r < rows; ++r)
                v = std::min(v, kAxisSquare[static_cast<std::size_t>(j)]
                                           [static_cast<std::size_t>(row_offset[r] + kReach)] +
                                    column_best[r][i]);
            const std::uint32_t n = cell_hash(px, py, hash_salt_) & 15u;
            const std::uint8_t kind = v <= kMaxSquare ? kind_[v] : 0;
            row[px] = kind == 0   ? deep_[n]
                      : kind == 1 ? rim_[n]
                                  : scale_colour(gradient_[v], grain_[n]);
        }
    }
}

}  // namespace pyrelle
