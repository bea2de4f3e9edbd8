// Sight memos: the answers of the walks from sources that stay put (lanterns, crystals, the
// exit, the Source), kept from frame to frame so that a still scene walks once.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/light/light_map.hpp"

namespace pyrelle {

namespace {

// Sources farther reaching than this walk every frame: their memo would be too large.
constexpr float kMemoMaxRadius = 256.0f;
constexpr std::size_t kMaxMemos = 64;
// Pixels kept past the radius on each side: the source's box reaches a light cell beyond.
constexpr std::int32_t kMemoMargin = 4;
// Centres are taken as whole pixels only well inside the range where floats hold every
// integer, so that sums and differences of them stay exact.
constexpr float kWholePixelLimit = 1 << 20;

// The point's two floats, bit for bit (the browser's library has no std::bit_cast).
std::uint64_t point_key(float x, float y) {
    std::uint32_t bx = 0, by = 0;
    std::memcpy(&bx, &x, sizeof bx);
    std::memcpy(&by, &y, sizeof by);
    return (std::uint64_t{bx} << 32) | by;
}

bool whole(float v) {
    return std::fabs(v) < kWholePixelLimit && std::floor(v) == v;
}

}  // namespace

// Forgets every memo when the cave differs from the one they were made in (a copy of a few
// thousand bytes, compared each frame, is all it takes to know), and finds whether this
// frame's light cell centres are whole pixels.
void LightMap::begin_memos(CaveTiles cave, float cave_cell) {
    const bool same_cave = cave.width == memos_.cave_w && cave.height == memos_.cave_h &&
                           cave_cell == memos_.cave_cell &&
                           cave.tiles.size() == memos_.cave.size() &&
                           std::equal(cave.tiles.begin(), cave.tiles.end(), memos_.cave.begin());
    if (!same_cave) {
        memos_.count = 0;
        memos_.cave.assign(cave.tiles.begin(), cave.tiles.end());
        memos_.cave_w = cave.width;
        memos_.cave_h = cave.height;
        memos_.cave_cell = cave_cell;
    }
    memos_.usable = cell % 2 == 0 && whole(cells_.centre_x.front()) &&
                    whole(cells_.centre_x.back()) && whole(cells_.centre_y.front()) &&
                    whole(cells_.centre_y.back());
    for (std::size_t i = 0; i < memos_.count; ++i)
        memos_.list[i].used = false;
    memos_.points.clear();
}

// The entry of pixel (mx, my) of a memo's square, its row cleared if it is stale: sight
// bytes not yet known, shares -1.
std::size_t LightMap::memo_row(SightMemo& memo, std::int64_t mx, std::int64_t my) const {
    const std::size_t row =
        static_cast<std::size_t>(mx % cell) * static_cast<std::size_t>(memo.side) +
        static_cast<std::size_t>(my);
    const auto columns = static_cast<std::size_t>(memo.columns);
    const auto first = static_cast<std::ptrdiff_t>(row * columns);
    const auto end = first + static_cast<std::ptrdiff_t>(columns);
    if (memo.seen_rows[row] != memo.seen_stamp) {
        std::fill(memo.seen.begin() + first, memo.seen.begin() + end, kNotYet);
        memo.seen_rows[row] = memo.seen_stamp;
    }
    if (memo.share_rows[row] != memo.share_stamp) {
        std::fill(memo.share.begin() + first, memo.share.begin() + end, -1.0f);
        memo.share_rows[row] = memo.share_stamp;
    }
    return row * columns + static_cast<std::size_t>(mx / cell);
}

// The memo of a source at this point, made when the point was also lit in the last frame
// (a source that moves would only pay for it), or none. Its square covers every light cell
// of the source's box: the radius, a light cell and a pixel more on each side.
LightMap::SightMemo* LightMap::memo_for(const LightSource& s) {
    const std::uint64_t key = point_key(s.x, s.y);
    memos_.points.push_back(key);
    if (!memos_.usable || !(s.radius <= kMemoMaxRadius) || !whole(std::floor(s.x)) ||
        !whole(std::floor(s.y)))
        return nullptr;
    const std::int32_t r = static_cast<std::int32_t>(std::ceil(s.radius));
    const std::int32_t x0 = static_cast<std::int32_t>(std::floor(s.x)) - r - kMemoMargin;
    const std::int32_t y0 = static_cast<std::int32_t>(std::floor(s.y)) - r - kMemoMargin;
    const std::int32_t side = 2 * r + 2 * kMemoMargin + 2;
    SightMemo* memo = nullptr;
    for (std::size_t i = 0; i < memos_.count && !memo; ++i)
        if (point_key(memos_.list[i].x, memos_.list[i].y) == key) memo = &memos_.list[i];
    if (!memo) {
        const bool still = std::find(memos_.last_points.begin(), memos_.last_points.end(), key) !=
                           memos_.last_points.end();
        if (!still || memos_.count == kMaxMemos) return nullptr;
        if (memos_.list.size() == memos_.count) memos_.list.emplace_back();
        memo = &memos_.list[memos_.count++];
        memo->side = 0;
    }
    const bool covers = memo->side > 0 && x0 >= memo->x0 && y0 >= memo->y0 &&
                        x0 + side <= memo->x0 + memo->side && y0 + side <= memo->y0 + memo->side;
    if (!covers) {  // new, or the radius grew: start again around the point
        memo->x = s.x;
        memo->y = s.y;
        memo->x0 = x0;
        memo->y0 = y0;
        memo->side = side;
        memo->columns = side / static_cast<std::int32_t>(cell) + 1;
        // Rows are cleared when first used (memo_row): a new stamp makes every row stale.
        const std::size_t rows = static_cast<std::size_t>(cell) * static_cast<std::size_t>(side);
        memo->seen.resize(rows * static_cast<std::size_t>(memo->columns));
        memo->share.resize(memo->seen.size());
        memo->seen_rows.resize(rows);
        memo->share_rows.resize(rows);
        ++memo->seen_stamp;
        ++memo->share_stamp;
        memo->share_radius = s.radius;
    }
    // The first source at the point in a frame owns the shares: a new radius starts them
    // again. Another radius at the same point in the same frame (a burst at the firefly)
    // goes without.
    if (!memo->used && memo->share_radius != s.radius) {
        ++memo->share_stamp;
        memo->share_radius = s.radius;
    }
    memo->shares_usable = memo->share_radius == s.radius;
    memo->used = true;
    return memo;
}

// Drops the memos of sources that are gone or moved, keeping their storage for later.
void LightMap::end_memos() {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < memos_.count; ++i)
        if (memos_.list[i].used) std::swap(memos_.list[kept++], memos_.list[i]);
    memos_.count = kept;
    std::swap(memos_.last_points, memos_.points);
}

}  // namespace pyrelle
