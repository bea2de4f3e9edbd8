// Which light cells each source reaches. The rule is the cell walk of cave_path_clear for
// every light cell; the exact shortcuts below give the same answers with fewer walks:
//
// - Every walk is monotone: each step moves one cell by the sign of the direction along x
//   or y, so it never leaves the rectangle spanned by its start and end cells, except that
//   rounding may carry its last step one cell past a target lying on a border (overshoot).
//   If that rectangle (and the overshoot cells) is all open, the walk sees: span_open.
// - For the same reason the cells it enters form a staircase of open cells away from the
//   source. If no such staircase reaches the target (or the overshoot ends), it is
//   blocked: StaircaseReach::walk_may_pass.
// - Between the two, a tighter test covers every light cell of a target cave cell at once:
//   a walk enters only cells near its segment, and the segments to the points of a cell
//   fill the hull of the source point and that cell. If every cell near the hull is open,
//   they all see: hull_open.
// - Only past all three is a walk run, and it stops as soon as the rest of its rectangle
//   is open.
#include <algorithm>
#include <climits>
#include <cmath>

#include "engine/light/falloff.hpp"
#include "engine/light/light_map.hpp"
#include "engine/simd.hpp"

namespace pyrelle {

namespace {

// Cave cells kept around the view for the summed-area table; sources farther out walk.
constexpr std::int32_t kWindowMargin = 32;

// The walk's parameters carry rounding: each of its at most 2 × kMaxReach steps adds a
// float below 2 (off by at most 2^-24), and its start and direction come from cave
// coordinates below kMaxCoordinate, a few half-ulps each. A parameter is thus off
// by less than 1e-5, and the point it stands for by less than 1e-5 × kMaxReach < 1e-3
// cell. Two border crossings can only come out of order when the segment passes that close
// to a cell corner; the last step can only pass the target's cell when the target lies
// that close to the border beyond it. kBorder keeps a wide margin over that distance.
// Sources reaching farther than kMaxReach cells walk without shortcuts; it also bounds the
// staircase square StaircaseReach reserves.
constexpr std::int32_t kMaxReach = 64;
constexpr float kBorder = 1.0f / 64.0f;  // cells

// The bound on cave coordinates (in size) that argument needs. Only the game's generator
// keeps to it (its caves are far smaller), so it is checked: every point the shortcuts
// reason about lies in the window (a source one cell inside it, its targets in the view),
// and the window is only made within the bound. Past it, every source takes the plain walk.
constexpr std::int64_t kMaxCoordinate = 1 << 8;

// A summed-area query costs several steps of a walk; it pays on long walks only.
constexpr std::int64_t kClearCheckSteps = 16;

// -1 or +1 when a walk in direction d towards `target` may step one cell past the target's
// cell on that side (the target lies within kBorder of the border it would cross), else 0.
std::int32_t overshoot(float target, float d, float cave_cell) {
    const float u = target / cave_cell;
    const float frac = u - std::floor(u);
    if (d < 0.0f && frac < kBorder) return -1;
    if (d > 0.0f && frac > 1.0f - kBorder) return 1;
    return 0;
}

// Along a row of light cells the shortcut answers depend only on the target's cave column,
// the sign of the walk's x direction (-, 0, +) and the column's overshoot (-1, 0, +1); down
// a column, on the same three along y. Distinct triples give distinct keys.
std::int64_t shortcut_key(std::int32_t target_x, float dx, std::int32_t over_x) {
    const std::int64_t sign = (dx > 0.0f) * 2 + (dx < 0.0f);  // 0, 1 or 2
    return (std::int64_t{target_x} * 3 + sign) * 3 + (over_x + 1);
}

}  // namespace

// Summed-area table and open mask of the cave cells around the view.
void LightMap::build_blocked_table(CaveTiles cave) {
    const std::int64_t x0 = std::int64_t{cells_.cave_col.front()} - kWindowMargin;
    const std::int64_t y0 = std::int64_t{cells_.cave_row.front()} - kWindowMargin;
    const std::int64_t w = std::int64_t{cells_.cave_col.back()} - x0 + 1 + kWindowMargin;
    const std::int64_t h = std::int64_t{cells_.cave_row.back()} - y0 + 1 + kWindowMargin;
    // Only within kMaxCoordinate, which also keeps the table small and its sums in range:
    // caves larger than the game's, odd scales (tiny cave cells) and far cameras just walk.
    const bool usable = x0 > -kMaxCoordinate && y0 > -kMaxCoordinate && x0 + w <= kMaxCoordinate &&
                        y0 + h <= kMaxCoordinate;
    window_.x0 = usable ? static_cast<std::int32_t>(x0) : 0;
    window_.y0 = usable ? static_cast<std::int32_t>(y0) : 0;
    window_.w = usable ? static_cast<std::int32_t>(w) : 0;
    window_.h = usable ? static_cast<std::int32_t>(h) : 0;
    const std::size_t stride = static_cast<std::size_t>(window_.w) + 1;
    // The window's size varies by a cell as the camera moves: grow with room to spare,
    // so that later frames allocate nothing.
    const std::size_t sums = stride * (static_cast<std::size_t>(window_.h) + 1);
    const std::size_t cells =
        static_cast<std::size_t>(window_.w) * static_cast<std::size_t>(window_.h);
    const std::size_t roomy = (stride + 2) * (static_cast<std::size_t>(window_.h) + 3);
    if (window_.blocked_sum.capacity() < sums) window_.blocked_sum.reserve(roomy);
    if (window_.open.capacity() < cells) window_.open.reserve(roomy);
    window_.blocked_sum.resize(sums);
    window_.open.resize(cells);
    std::fill(window_.blocked_sum.begin(),
              window_.blocked_sum.begin() + static_cast<std::ptrdiff_t>(stride), 0u);
    for (std::int32_t y = 0; y < window_.h; ++y) {
        std::uint32_t row = 0;
        std::uint32_t* above = &window_.blocked_sum[static_cast<std::size_t>(y) * stride];
        std::uint32_t* here = above + stride;
        std::uint8_t* open = &window_.open[static_cast<std::size_t>(y) * window_.w];
        here[0] = 0;
        // The window's columns that lie on the cave, on a row that does: the rest is rock.
        const std::int64_t cy = std::int64_t{window_.y0} + y;
        const bool on_rows = cy >= 0 && cy < cave.height;
        const std::int64_t in_lo =
            on_rows ? std::clamp<std::int64_t>(-std::int64_t{window_.x0}, 0, window_.w) : 0;
        const std::int64_t in_hi =
            on_rows
                ? std::clamp<std::int64_t>(std::int64_t{cave.width} - window_.x0, in_lo, window_.w)
                : 0;
        const std::int64_t first = on_rows ? cy * cave.width + window_.x0 : 0;  // of column 0
        for (std::int64_t x = 0; x < window_.w; ++x) {
            const bool is_open =
                x >= in_lo && x < in_hi && cave.tiles[static_cast<std::size_t>(first + x)] == 0;
            open[x] = is_open;
            row += is_open ? 0u : 1u;
            here[x + 1] = above[x + 1] + row;
        }
    }
}

// Blocked cells in the window rectangle [x0, x1) × [y0, y1); the caller keeps it inside.
std::uint32_t LightMap::blocked_in(std::int64_t x0, std::int64_t y0, std::int64_t x1,
                                   std::int64_t y1) const {
    const std::size_t stride = static_cast<std::size_t>(window_.w) + 1;
    const auto at = [&](std::int64_t x, std::int64_t y) {
        return window_
            .blocked_sum[static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * stride];
    };
    return at(x1, y1) - at(x0, y1) - at(x1, y0) + at(x0, y0);
}

// True when every cell a walk from window cell (ax, ay) towards (bx, by) may enter is open:
// the rectangle between them, grown by one cell past b where the walk may overshoot
// (ox, oy). Cell a itself is not counted when `skip_start` (the source's cell is never
// tested). Then the walk sees through without being run. A rectangle reaching out of the
// window answers false, which only means the walk is run.
bool LightMap::span_open(std::int64_t ax, std::int64_t ay, std::int64_t bx, std::int64_t by,
                         std::int32_t ox, std::int32_t oy, bool skip_start) const {
    std::int64_t x0 = std::min(ax, bx), x1 = std::max(ax, bx) + 1;
    std::int64_t y0 = std::min(ay, by), y1 = std::max(ay, by) + 1;
    x0 += std::min(ox, 0);
    x1 += std::max(ox, 0);
    y0 += std::min(oy, 0);
    y1 += std::max(oy, 0);
    if (x0 < 0 || y0 < 0 || x1 > window_.w || y1 > window_.h) return false;
    const std::uint32_t start = skip_start ? blocked_in(ax, ay, ax + 1, ay + 1) : 0u;
    return blocked_in(x0, y0, x1, y1) == start;
}

namespace {

// floor() of a double well inside the int64 range, without a library call.
std::int64_t floor_i64(double v) {
    const auto i = static_cast<std::int64_t>(v);
    return static_cast<double>(i) > v ? i - 1 : i;
}

// Keeps the part of [lo, hi] where a + t × slope <= v (at_most) or >= v.
void clip(double& lo, double& hi, double a, double slope, double v, bool at_most) {
    if (slope == 0.0) {
        if (at_most ? a > v : a < v) hi = -1.0;  // nowhere
        return;
    }
    const double t = (v - a) / slope;
    if ((slope > 0.0) == at_most)
        hi = std::min(hi, t);
    else
        lo = std::max(lo, t);
}

}  // namespace

// True when every walk from the source point (sx, sy) (in cave cells) to any point of cave
// cell (tx, ty) sees through. A walk enters only cells that come within a thousandth of a
// cell of its segment (see kBorder), and those segments make up the convex hull of the
// point and the cell. So it is enough that every cell meeting that hull, grown by kBorder,
// is open, the source's own cell aside (a walk never tests its start). The grown hull is
// the union over t in [0, 1] of the boxes (1 - t) A + t B, A and B the point's and the
// cell's boxes grown by kBorder; row by row of cells, the t where that box meets the row
// give the row's span of columns. Computed in doubles, whose rounding is far inside the
// margin; a span leaving the window answers false, which only means the walks are run.
bool LightMap::hull_open(double sx, double sy, std::int64_t tx, std::int64_t ty,
                         std::int64_t source_x, std::int64_t source_y) const {
    const double m = kBorder;
    const double ax0 = sx - m, ax1 = sx + m, ay0 = sy - m, ay1 = sy + m;
    const double bx0 = static_cast<double>(tx) - m, bx1 = static_cast<double>(tx) + 1.0 + m;
    const double by0 = static_cast<double>(ty) - m, by1 = static_cast<double>(ty) + 1.0 + m;
    const std::int64_t first_row = floor_i64(std::min(ay0, by0));
    const std::int64_t last_row = floor_i64(std::max(ay1, by1));
    for (std::int64_t r = first_row; r <= last_row; ++r) {
        double lo = 0.0, hi = 1.0;
        clip(lo, hi, ay0, by0 - ay0, static_cast<double>(r + 1), true);  // box's top edge
        clip(lo, hi, ay1, by1 - ay1, static_cast<double>(r), false);     // its bottom edge
        if (lo > hi) continue;
        const double left = std::min(ax0 + lo * (bx0 - ax0), ax0 + hi * (bx0 - ax0));
        const double right = std::max(ax1 + lo * (bx1 - ax1), ax1 + hi * (bx1 - ax1));
        const std::int64_t c0 = floor_i64(left) - window_.x0;
        const std::int64_t c1 = floor_i64(right) - window_.x0;
        const std::int64_t wr = r - window_.y0;
        if (c0 < 0 || wr < 0 || c1 >= window_.w || wr >= window_.h) return false;
        std::uint32_t blocked = blocked_in(c0, wr, c1 + 1, wr + 1);
        const std::int64_t sc = source_x - window_.x0;
        if (r == source_y && sc >= c0 && sc <= c1) blocked -= blocked_in(sc, wr, sc + 1, wr + 1);
        if (blocked != 0) return false;
    }
    return true;
}

// Open when the hull test passes for target cave cell (tx, ty) of the current source,
// else Walk; remembered per cave cell.
LightMap::Sight LightMap::hull_sight(std::int32_t tx, std::int32_t ty) {
    Sight& known =
        hull_.sight[static_cast<std::size_t>(tx - hull_.x0) +
                    static_cast<std::size_t>(ty - hull_.y0) * static_cast<std::size_t>(hull_.w)];
    if (known == Sight::Unknown)
        known = hull_open(hull_.x, hull_.y, tx, ty, hull_.cell_x, hull_.cell_y) ? Sight::Open
                                                                                : Sight::Walk;
    return known;
}

// cave_path_clear on the window's open mask, for walks known to stay inside the window
// (its cells are the cave's cells, so the answers are the same). Every kClearCheckSteps
// steps it asks whether the rest of the way is plainly open: the rest of a walk is a walk
// from the current cell, so span_open covers it.
bool LightMap::walk_in_window(std::int32_t x, std::int32_t y, std::int32_t end_x,
                              std::int32_t end_y, WalkAxis ax, WalkAxis ay, std::int32_t ox,
                              std::int32_t oy) const {
    // The walk's cell as its index in the window: one addition per step.
    struct IndexCursor {
        std::int64_t at;
        std::int64_t stride;
        void advance(bool vertical, std::int32_t step_x, std::int32_t step_y) {
            at += vertical ? step_y * stride : step_x;
        }
        bool operator==(const IndexCursor& other) const { return at == other.at; }
    };
    const std::uint8_t* const open = window_.open.data();
    const std::int64_t stride = window_.w;
    const std::int64_t steps = std::abs(end_x - x) + std::abs(end_y - y);
    return walk_cells(IndexCursor{x + y * stride, stride},
                      IndexCursor{end_x + end_y * stride, stride}, steps, ax, ay,
                      [&](const IndexCursor& c, std::int64_t i) {
                          if (!open[c.at]) return WalkCell::Blocked;
                          if (i % kClearCheckSteps == 0 &&
                              span_open(c.at % stride, c.at / stride, end_x, end_y, ox, oy, false))
                              return WalkCell::ClearBeyond;
                          return WalkCell::Open;
                      });
}

// (1 - (d / R)²)² for the light cells k0..k1 of one row, 0 from the radius on; four
// cells at a time.
void LightMap::row_falloff(const LightSource& s, float ddy, std::int32_t k0, std::int32_t k1) {
    using namespace simd;
    float* falloff = source_.falloff.data();
    const float* centre = cells_.centre_x.data();
    std::int32_t k = k0;
    const F4 sx = splat(s.x), dy2 = splat(ddy * ddy), radius = splat(s.radius);
    for (; k + 3 <= k1; k += 4) {
        const F4 ddx = load(centre + k) - sx;
        store(falloff + k, light_falloff(simd::sqrt(ddx * ddx + dy2), radius));
    }
    for (; k <= k1; ++k) {
        const float ddx = centre[k] - s.x;
        falloff[k] = light_falloff(std::sqrt(ddx * ddx + ddy * ddy), s.radius);
    }
}

namespace {

// Adds red, green and blue planes to four light cells stored r g b one after the other.
void add_cells(float* cells, simd::F4 r, simd::F4 g, simd::F4 b) {
    using namespace simd;
    // Back to r g b per cell: r0 g0 b0 r1 | g1 b1 r2 g2 | b2 r3 g3 b3.
    const F4 low = shuffle<0, 4, 1, 5>(r, g);   // r0 g0 r1 g1
    const F4 high = shuffle<2, 6, 3, 7>(r, g);  // r2 g2 r3 g3
    const F4 middle = shuffle<3, 5, 3, 5>(low, b);
    store(cells, load(cells) + shuffle<0, 1, 4, 2>(low, b));
    store(cells + 4, load(cells + 4) + shuffle<0, 1, 4, 5>(middle, high));
    store(cells + 8, load(cells + 8) + shuffle<2, 6, 7, 3>(b, high));
}

// One source's light on one cell: its falloff there times the intensity, times each
// channel of its colour.
void add_light(LightRgb& l, float f, const LightSource& s) {
    const float fi = f * s.intensity;
    l.r += fi * s.r;
    l.g += fi * s.g;
    l.b += fi * s.b;
}

}  // namespace

// Whether the memo knows every light cell of [k0, k1] the source lights on the row (open,
// falloff above 0).
bool LightMap::memo_knows_row(std::size_t row, std::int32_t k0, std::int32_t k1,
                              const std::uint8_t* seen) const {
    using namespace simd;
    const float* falloff = source_.falloff.data() + k0;
    const std::uint8_t* rocks = rock.data() + row + static_cast<std::size_t>(k0);
    const std::int32_t n = k1 - k0 + 1;
    I4 missing = splat(0);
    std::int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const I4 needed = (load(falloff + i) > 0.0f) & (widen_bytes(rocks + i) == 0);
        missing |= needed & (widen_bytes(seen + i) == std::int32_t{kNotYet});
    }
    bool known = lane_bits(missing) == 0;
    for (; i < n; ++i)
        known &= !(falloff[i] > 0.0f && rocks[i] == 0 && seen[i] == kNotYet);
    return known;
}

// Light cells k0.. of a row get each share above 0 times the source's light, as the walks'
// way adds it. Four cells at a time, the others plus +0, which leaves every value as it
// is: light starts at +0 and a sum is -0 only when both terms are.
void LightMap::add_shares(const LightSource& s, std::size_t row, std::int32_t k0, std::int32_t n,
                          const float* share) {
    using namespace simd;
    LightRgb* cells = &light[row + static_cast<std::size_t>(k0)];
    const F4 red = splat(s.r), green = splat(s.g), blue = splat(s.b);
    std::int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const F4 f = load(share + i);
        const I4 reached = f > 0.0f;
        const F4 fi = f * s.intensity;
        add_cells(&cells[i].r, select(reached, fi * red, splat(0.0f)),
                  select(reached, fi * green, splat(0.0f)),
                  select(reached, fi * blue, splat(0.0f)));
    }
    for (; i < n; ++i)
        if (share[i] > 0.0f) add_light(cells[i], share[i], s);
}

// A row of a still source whose shares are all known: adds them and returns true, else
// returns false, adding nothing.
bool LightMap::add_row_from_shares(const LightSource& s, std::size_t row, std::int32_t k0,
                                   std::int32_t k1, const float* share) {
    using namespace simd;
    const std::int32_t n = k1 - k0 + 1;
    I4 missing = splat(0);
    std::int32_t i = 0;
    for (; i + 4 <= n; i += 4)
        missing |= load(share + i) < 0.0f;
    bool known = lane_bits(missing) == 0;
    for (; i < n; ++i)
        known &= !(share[i] < 0.0f);
    if (known) add_shares(s, row, k0, n, share);
    return known;
}

// The shares of a row whose every lit cell the memo knows: the falloff where the light
// reaches an open cell, else 0.
void LightMap::keep_shares(std::size_t row, std::int32_t k0, std::int32_t k1,
                           const std::uint8_t* seen, float* share) const {
    for (std::int32_t k = k0; k <= k1; ++k) {
        const float f = source_.falloff[static_cast<std::size_t>(k)];
        const bool reached =
            f > 0.0f && rock[row + static_cast<std::size_t>(k)] == 0 && seen[k - k0] == kReached;
        share[k - k0] = reached ? f : 0.0f;
    }
}

// The source's box of light cells, its cave cell and whether the shortcuts hold for it.
LightMap::SourceWalk LightMap::source_walk(const LightSource& s, float ox, float oy,
                                           float cave_cell) const {
    SourceWalk w{};
    const float cellf = static_cast<float>(cell);
    w.k0 = std::max(floor_i32((s.x - ox - s.radius) / cellf), 0);
    w.k1 = std::min(saturating_i32(std::ceil((s.x - ox + s.radius) / cellf)),
                    static_cast<std::int32_t>(gw) - 1);
    w.j0 = std::max(floor_i32((s.y - oy - s.radius) / cellf), 0);
    w.j1 = std::min(saturating_i32(std::ceil((s.y - oy + s.radius) / cellf)),
                    static_cast<std::int32_t>(gh) - 1);
    w.source_x = floor_i32(s.x / cave_cell);
    w.source_y = floor_i32(s.y / cave_cell);
    // Targets lie within the radius, so at most radius / cave_cell + 1 cells away, and an
    // overshoot one more.
    const float reach_f = std::ceil(s.radius / cave_cell) + 2.0f;
    w.reach = reach_f <= kMaxReach ? static_cast<std::int32_t>(reach_f) : -1;
    // Shortcuts need the source one cell inside the window: targets lie in the view, at
    // least kWindowMargin cells inside, so the walks' rectangles stay in the window.
    w.wx = std::int64_t{w.source_x} - window_.x0;
    w.wy = std::int64_t{w.source_y} - window_.y0;
    w.fast = w.reach >= 0 && window_.w > 0 && w.wx >= 1 && w.wy >= 1 && w.wx + 1 < window_.w &&
             w.wy + 1 < window_.h;
    return w;
}

// The hull answers, per cave cell under the source's box, worked out when first needed.
void LightMap::begin_hull(const LightSource& s, SourceWalk& w, float cave_cell) {
    hull_.x0 = cells_.cave_col[static_cast<std::size_t>(w.k0)];
    hull_.y0 = cells_.cave_row[static_cast<std::size_t>(w.j0)];
    hull_.w = cells_.cave_col[static_cast<std::size_t>(w.k1)] - hull_.x0 + 1;
    const std::int32_t hull_h = cells_.cave_row[static_cast<std::size_t>(w.j1)] - hull_.y0 + 1;
    // Cave cells larger than light cells always fit; smaller ones may not, and then walk.
    const std::int64_t hull_cells = std::int64_t{hull_.w} * hull_h;
    w.hull_fits = hull_cells <= static_cast<std::int64_t>(hull_.sight.size());
    if (w.fast && w.hull_fits)
        std::fill(hull_.sight.begin(), hull_.sight.begin() + hull_cells, Sight::Unknown);
    hull_.x = s.x / cave_cell;
    hull_.y = s.y / cave_cell;
    hull_.cell_x = w.source_x;
    hull_.cell_y = w.source_y;
}

// Light columns in runs that share a cave column, a direction sign and an overshoot: the
// shortcut answers depend on nothing else along a row (see shortcut_key). Returns how many.
std::size_t LightMap::build_column_runs(const LightSource& s, std::int32_t k0, std::int32_t k1,
                                        float cave_cell) {
    std::size_t runs = 0;
    std::int64_t last_key = INT64_MIN;
    for (std::int32_t k = k0; k <= k1; ++k) {
        const std::size_t c = static_cast<std::size_t>(k);
        const float cx = cells_.centre_x[c];
        source_.col_overshoot[c] = overshoot(cx, cx - s.x, cave_cell);
        const std::int64_t key =
            shortcut_key(cells_.cave_col[c], cx - s.x, source_.col_overshoot[c]);
        if (key != last_key) {
            last_key = key;
            source_.runs[runs++] =
                ColumnRun{cells_.cave_col[c], cx - s.x, source_.col_overshoot[c], k, k, false};
        }
        source_.runs[runs - 1].k_end = k;
    }
    return runs;
}

// This row's answers in the memo, a byte (and a share) per light column from k0 on; none
// when the box's row or ends fall off the memo's square (its radius is smaller). The memo
// is kept per world pixel: with a usable memo the centres are whole pixels, so the casts
// below are exact, and centres side by side on the row are `cell` pixels apart, one byte
// apart in the memo's row of their phase, so column k's byte lies k - k0 after the first.
void LightMap::find_memo_row(SightMemo* memo, const SourceWalk& w, SourceRow& row) {
    row.seen = nullptr;
    row.share = nullptr;
    if (!memo) return;
    const std::int64_t my = static_cast<std::int64_t>(row.cy) - memo->y0;
    const std::int64_t first =
        static_cast<std::int64_t>(cells_.centre_x[static_cast<std::size_t>(w.k0)]) - memo->x0;
    const std::int64_t last =
        static_cast<std::int64_t>(cells_.centre_x[static_cast<std::size_t>(w.k1)]) - memo->x0;
    if (my >= 0 && my < memo->side && first >= 0 && last < memo->side) {
        const std::size_t at = memo_row(*memo, first, my);
        row.seen = memo->seen.data() + at;
        if (memo->shares_usable) row.share = memo->share.data() + at;
    }
}

// What the shortcuts say of the walks from the source to the light columns of `run` on
// this row, tried from the cheapest: Open when every cell a walk may enter is open
// (span_open), Blocked when no staircase of open cells reaches the target cell or the
// overshoot ends (StaircaseReach::walk_may_pass), Open again when the hull test passes for
// the target cell (hull_sight), else Walk. Each answer holds for every column of the run
// and every row with this row's key: the three tests look only at the target cave cell,
// the direction signs and the overshoots, which those share (shortcut_key). The staircase
// is built when first asked for: a source whose memo knows its rows never pays for it.
LightMap::Sight LightMap::shortcut_sight(CaveTiles cave, SourceWalk& w, const ColumnRun& run,
                                         const SourceRow& row) {
    if (!w.reach_ready) {
        source_.reach.build(cave, w.source_x, w.source_y, w.reach);
        w.reach_ready = true;
    }
    const std::int64_t tx = std::int64_t{run.target_x} - window_.x0;
    if (span_open(w.wx, w.wy, tx, row.ty, run.over_x, row.overshoot, true)) return Sight::Open;
    if (!source_.reach.walk_may_pass(run.target_x, row.target_y, run.dx, row.ddy, run.over_x,
                                     row.overshoot))
        return Sight::Blocked;
    return w.hull_fits ? hull_sight(run.target_x, row.target_y) : Sight::Walk;
}

// Columns k..k_end of a run the shortcuts found Blocked: no walk to them sees, as the
// answer holds for the whole run (see shortcut_sight). Their memo bytes say so for the
// columns the source lights (falloff above 0), the only ones a memo must know; the others
// are left as they are. `seen` holds the row's bytes from column k0 on.
void LightMap::hide_blocked_run(std::uint8_t* seen, const float* falloff, std::int32_t k,
                                std::int32_t k_end, std::int32_t k0) {
    if (!seen) return;
    for (; k <= k_end; ++k)
        if (falloff[k] > 0.0f) seen[k - k0] = kHidden;
}

// The walk to light column k of a run the shortcuts left undecided, on the window's mask
// (walk_in_window, whose cells are the cave's): the same steps and the same answer as
// cave_path_clear from the source to the column's centre, as its set-up is what
// cave_path_clear computes for those two points (walk_axis along x and y). That set-up is
// made when first needed, along x for every column of the run at once, along y once a row.
bool LightMap::walk_sees(const LightSource& s, const SourceWalk& w, ColumnRun& run, SourceRow& row,
                         std::int32_t k, float cave_cell) {
    if (!run.walk_ready) {
        for (std::int32_t c = run.k_begin; c <= run.k_end; ++c)
            source_.col_walk[static_cast<std::size_t>(c)] =
                walk_axis(s.x, cells_.centre_x[static_cast<std::size_t>(c)], cave_cell);
        run.walk_ready = true;
    }
    if (!row.walk_ready) {
        row.walk = walk_axis(s.y, row.cy, cave_cell);
        row.walk_ready = true;
    }
    const std::int64_t tx = std::int64_t{run.target_x} - window_.x0;
    return walk_in_window(static_cast<std::int32_t>(w.wx), static_cast<std::int32_t>(w.wy),
                          static_cast<std::int32_t>(tx), static_cast<std::int32_t>(row.ty),
                          source_.col_walk[static_cast<std::size_t>(k)], row.walk, run.over_x,
                          row.overshoot);
}

// The rule itself for every lit open cell of the row the memo does not know: for sources
// the shortcuts do not hold for.
void LightMap::add_row_by_walks(const LightSource& s, CaveTiles cave, const SourceWalk& w,
                                const SourceRow& row, float cave_cell) {
    const float* falloff = source_.falloff.data();
    for (std::int32_t k = w.k0; k <= w.k1; ++k) {
        const float f = falloff[k];
        if (!(f > 0.0f) || rock[row.first + static_cast<std::size_t>(k)] != 0) continue;
        std::uint8_t* seen = row.seen ? row.seen + (k - w.k0) : nullptr;
        if (seen && *seen != kNotYet) {
            if (*seen == kReached) add_light(light[row.first + static_cast<std::size_t>(k)], f, s);
            continue;
        }
        const bool visible = cave_path_clear(
            cave, s.x, s.y, cells_.centre_x[static_cast<std::size_t>(k)], row.cy, cave_cell);
        if (seen) *seen = visible ? kReached : kHidden;
        if (visible) add_light(light[row.first + static_cast<std::size_t>(k)], f, s);
    }
}

// The same answers through the shortcuts, run by run: each run's answer is asked for once
// (shortcut_sight), and only the columns it leaves undecided walk.
void LightMap::add_row_by_shortcuts(const LightSource& s, CaveTiles cave, SourceWalk& w,
                                    SourceRow& row, float cave_cell) {
    const float* falloff = source_.falloff.data();
    std::uint8_t* const seen_row = row.seen;
    const std::int32_t k0 = w.k0;
    const std::size_t first = row.first;
    for (std::size_t r = 0; r < w.runs; ++r) {
        ColumnRun& run = source_.runs[r];
        // A run lies over one cave cell: one rock byte for all of it.
        if (rock[first + static_cast<std::size_t>(run.k_begin)] != 0) continue;
        Sight& sight = source_.run_sight[r];
        for (std::int32_t k = run.k_begin; k <= run.k_end; ++k) {
            const float f = falloff[k];
            if (!(f > 0.0f)) continue;
            std::uint8_t* seen = seen_row ? seen_row + (k - k0) : nullptr;
            if (seen && *seen != kNotYet) {
                if (*seen == kReached) add_light(light[first + static_cast<std::size_t>(k)], f, s);
                continue;
            }
            if (sight == Sight::Unknown) sight = shortcut_sight(cave, w, run, row);
            if (sight == Sight::Blocked) {
                hide_blocked_run(seen_row, falloff, k, run.k_end, k0);
                break;
            }
            const bool visible = sight == Sight::Open || walk_sees(s, w, run, row, k, cave_cell);
            if (seen) *seen = visible ? kReached : kHidden;
            if (visible) add_light(light[first + static_cast<std::size_t>(k)], f, s);
        }
    }
}

// One source's light, row by row of its box: from the memo's shares when it has them all,
// from its sight bytes when they cover every lit cell, else by the walks (or their
// shortcuts), which fill the memo for the next frames.
void LightMap::add_source(const LightSource& s, CaveTiles cave, float ox, float oy,
                          float cave_cell) {
    SourceWalk w = source_walk(s, ox, oy, cave_cell);
    if (w.k0 > w.k1 || w.j0 > w.j1) return;
    SightMemo* const memo = memo_for(s);
    begin_hull(s, w, cave_cell);
    w.runs = build_column_runs(s, w.k0, w.k1, cave_cell);
    std::int64_t last_row_key = INT64_MIN;
    for (std::int32_t j = w.j0; j <= w.j1; ++j) {
        SourceRow row{};
        row.cy = cells_.centre_y[static_cast<std::size_t>(j)];
        row.ddy = row.cy - s.y;
        row.overshoot = overshoot(row.cy, row.ddy, cave_cell);
        row.target_y = cells_.cave_row[static_cast<std::size_t>(j)];
        row.ty = std::int64_t{row.target_y} - window_.y0;
        row.first = static_cast<std::size_t>(j) * gw;
        // Light rows over the same cave row, with the same sign and overshoot, share the
        // answers of every run: they are worked out once, when first needed.
        const std::int64_t row_key = shortcut_key(row.target_y, row.ddy, row.overshoot);
        if (row_key != last_row_key) {
            last_row_key = row_key;
            std::fill(source_.run_sight.begin(),
                      source_.run_sight.begin() + static_cast<std::ptrdiff_t>(w.runs),
                      Sight::Unknown);
        }
        find_memo_row(memo, w, row);
        if (row.share && add_row_from_shares(s, row.first, w.k0, w.k1, row.share)) continue;
        row_falloff(s, row.ddy, w.k0, w.k1);
        // A row the memo knows: its shares, kept if the memo has them, make the light.
        if (row.seen && memo_knows_row(row.first, w.k0, w.k1, row.seen)) {
            float* shares = row.share ? row.share : source_.shares.data();
            keep_shares(row.first, w.k0, w.k1, row.seen, shares);
            add_shares(s, row.first, w.k0, w.k1 - w.k0 + 1, shares);
            continue;
        }
        if (w.fast)
            add_row_by_shortcuts(s, cave, w, row, cave_cell);
        else
            add_row_by_walks(s, cave, w, row, cave_cell);
        // Once the row's cells are all known, their shares are kept for the next frames.
        if (row.share) keep_shares(row.first, w.k0, w.k1, row.seen, row.share);
    }
}

}  // namespace pyrelle
