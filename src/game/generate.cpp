#include "game/generate.hpp"

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "game/world.hpp"

namespace pyrelle {

namespace {

constexpr std::int32_t kMaxWidth = 130;
constexpr std::int32_t kMaxHeight = 85;
constexpr float kBannerTime = 4.0f;

// Sizes grow with depth up to the Source's; 64-bit sums keep any u32 depth from wrapping.
std::int32_t cave_width(std::uint32_t depth) {
    return static_cast<std::int32_t>(
        std::min<std::uint64_t>(56 + 8 * std::uint64_t{depth}, kMaxWidth));
}
std::int32_t cave_height(std::uint32_t depth) {
    return static_cast<std::int32_t>(
        std::min<std::uint64_t>(36 + 5 * std::uint64_t{depth}, kMaxHeight));
}

std::int64_t nearest_squared_distance(Cell c, const std::vector<Cell>& points) {
    std::int64_t best = std::numeric_limits<std::int64_t>::max();
    for (const Cell& p : points)
        best = std::min(best, squared_distance(c, p));
    return best;
}

template <typename T>
const T& pick(const std::vector<T>& list, Rng& rng) {
    return list[static_cast<std::size_t>(rng.range(0, static_cast<std::int32_t>(list.size())))];
}

// Everything generation computes on the way that does not stay in the Level.
struct Layout {
    std::vector<Cell> open, roomy, clear;
    Cell start;
    Cell exit;
    std::vector<Cell> reserved;  // start, exit, then every lantern: the avoid list
    std::int32_t max_distance = -1;
};

// A cell is roomy when the 5 x 5 block around it is open and on the grid (clearance 2),
// clear when the 3 x 3 block is (clearance 1). Counted with a summed-area table of blocked
// cells over the grid and a margin of two blocked cells around it.
void list_cells(const Cave& cave, Layout& layout) {
    constexpr std::int32_t kPad = 2;
    const std::int32_t pw = cave.width + 2 * kPad;
    const std::int32_t ph = cave.height + 2 * kPad;
    const std::size_t stride = static_cast<std::size_t>(pw) + 1;
    std::vector<std::int32_t> sums(stride * (static_cast<std::size_t>(ph) + 1), 0);
    for (std::int32_t y = 0; y < ph; ++y) {
        std::int32_t row = 0;
        for (std::int32_t x = 0; x < pw; ++x) {
            row += is_open(cave, x - kPad, y - kPad) ? 0 : 1;
            sums[static_cast<std::size_t>(x + 1) + static_cast<std::size_t>(y + 1) * stride] =
                sums[static_cast<std::size_t>(x + 1) + static_cast<std::size_t>(y) * stride] + row;
        }
    }
    // Blocked cells within r of (x, y), in grid coordinates.
    const auto blocked_around = [&](std::int32_t x, std::int32_t y, std::int32_t r) {
        const auto at = [&](std::int32_t px, std::int32_t py) {
            return sums[static_cast<std::size_t>(px) + static_cast<std::size_t>(py) * stride];
        };
        const std::int32_t x0 = x + kPad - r, x1 = x + kPad + r + 1;
        const std::int32_t y0 = y + kPad - r, y1 = y + kPad + r + 1;
        return at(x1, y1) - at(x0, y1) - at(x1, y0) + at(x0, y0);
    };
    for (std::int32_t y = 0; y < cave.height; ++y) {
        for (std::int32_t x = 0; x < cave.width; ++x) {
            if (cave.tiles[cave.index(x, y)] == static_cast<std::uint8_t>(Tile::Rock)) continue;
            layout.open.push_back({x, y});
            if (blocked_around(x, y, 2) == 0) layout.roomy.push_back({x, y});
            if (blocked_around(x, y, 1) == 0) layout.clear.push_back({x, y});
        }
    }
}

// The farthest clear cell on the flood from the start, the later one on ties.
Cell farthest_clear_cell(const Layout& layout, const DistanceField& d) {
    if (layout.clear.empty()) return layout.start;
    Cell best = layout.clear.front();
    for (const Cell& c : layout.clear)
        if (d.at(c.x, c.y) >= d.at(best.x, best.y)) best = c;
    return best;
}

std::uint32_t lantern_count(std::uint32_t depth) {
    return depth < 4 ? depth + 2 : 6;
}

// Farthest-point placement: no randomness, each lantern as far as possible from the rest.
// Each clear cell keeps its squared distance to the nearest reserved point, lowered as
// points are added: the same minimum as taken over the whole list every time.
void place_lanterns(Level& level, Layout& layout) {
    if (layout.clear.empty()) return;
    std::vector<std::int64_t> gap(layout.clear.size());
    for (std::size_t i = 0; i < layout.clear.size(); ++i)
        gap[i] = nearest_squared_distance(layout.clear[i], layout.reserved);
    for (std::uint32_t n = lantern_count(level.depth); n > 0; --n) {
        std::size_t best = 0;
        std::int64_t best_gap = -1;
        for (std::size_t i = 0; i < layout.clear.size(); ++i) {
            if (gap[i] >= best_gap) {
                best = i;
                best_gap = gap[i];
            }
        }
        const Cell chosen = layout.clear[best];
        layout.reserved.push_back(chosen);
        for (std::size_t i = 0; i < layout.clear.size(); ++i)
            gap[i] = std::min(gap[i], squared_distance(layout.clear[i], chosen));
        const Vec2 at = cell_centre(chosen.x, chosen.y);
        level.lanterns.push_back(Lantern{at.x, at.y, 0.0f, false});
    }
}

void place_biome_features(Level& level, const Layout& layout) {
    switch (level.biome) {
        case Biome::Cristaux:
            level.crystals = place_crystals(level.cave, level.rng, layout.reserved,
                                            static_cast<std::int32_t>(layout.open.size() / 45));
            break;
        case Biome::Lac: {
            const std::int32_t lakes = level.rng.range(3, 6);
            level.water_mask = place_lakes(level.cave, level.rng, layout.reserved, lakes);
            return;
        }
        default:
            break;
    }
    level.water_mask.cells.assign(level.cave.tiles.size(), 0);
}

void place_pollen(Level& level, const Layout& layout) {
    std::vector<Cell> candidates;
    for (const Cell& c : layout.open)
        if (level.distance.at(c.x, c.y) > 4) candidates.push_back(c);
    const std::vector<Cell>& from = candidates.empty() ? layout.open : candidates;
    const std::size_t count =
        layout.open.size() / (std::min<std::uint32_t>(level.depth, 6) * 8 + 30);
    if (from.empty()) return;
    for (std::size_t i = 0; i < count; ++i) {
        const Cell c = pick(from, level.rng);
        const float jitter_x = level.rng.next_f32() * 4.0f - 2.0f;
        const float jitter_y = level.rng.next_f32() * 4.0f - 2.0f;
        const float phase = level.rng.next_f32() * 6.28f;
        const Vec2 at = cell_centre(c.x, c.y);
        level.pollen.push_back(PollenGrain{at.x + jitter_x, at.y + jitter_y, phase, true});
    }
}

bool dry(const Level& level, Cell c) {
    return water_level(level.cave, level.water_mask, c.x, c.y) == 0.0f;
}

void place_lost_companion(Level& level, const Layout& layout) {
    if (level.depth < 2 || level.depth >= kSourceDepth) return;
    const std::int32_t m = layout.max_distance;
    std::vector<Cell> first, fallback;
    for (const Cell& c : layout.clear) {
        const std::int32_t d = level.distance.at(c.x, c.y);
        if (!dry(level, c)) continue;
        if (m * 35 / 100 < d && d < m * 75 / 100 &&
            nearest_squared_distance(c, layout.reserved) > 64)
            first.push_back(c);
        if (d > m / 3) fallback.push_back(c);
    }
    const std::vector<Cell>& from = first.empty() ? fallback : first;
    if (from.empty()) return;
    const Cell c = pick(from, level.rng);
    const Vec2 at = cell_centre(c.x, c.y);
    level.lost_companion = LostCompanion{at.x, at.y, level.rng.next_f32() * 6.28f};
}

void place_shades(Level& level, const Layout& layout) {
    std::vector<Cell> candidates;
    const std::int32_t min_distance = std::min(layout.max_distance / 2, 30);
    for (const Cell& c : layout.clear)
        if (level.distance.at(c.x, c.y) > min_distance && dry(level, c)) candidates.push_back(c);
    // Depth 0 counts as depth 1 here: no shades rather than a wrapped count.
    const std::uint32_t count = level.depth == 0 ? 0 : std::min<std::uint32_t>(level.depth - 1, 6);
    if (candidates.empty()) return;
    for (std::uint32_t i = 0; i < count; ++i) {
        const Cell c = pick(candidates, level.rng);
        Shade shade;
        const Vec2 at = cell_centre(c.x, c.y);
        shade.x = at.x;
        shade.y = at.y;
        shade.t = level.rng.next_f32() * 6.28f;
        level.shades.push_back(shade);
    }
}

// Moths start well away from the firefly. The flood from the firefly's cell is the flood
// from the start cell, which the level already holds.
void place_moths(Level& level) {
    if (level.depth <= 2) return;
    std::vector<Cell> candidates;
    for (std::int32_t y = 0; y < level.cave.height; ++y)
        for (std::int32_t x = 0; x < level.cave.width; ++x)
            if (is_open(level.cave, x, y) && level.distance.at(x, y) > 15)
                candidates.push_back({x, y});
    if (candidates.empty()) return;
    const std::uint32_t count = std::min<std::uint32_t>(level.depth - 2, 5);
    for (std::uint32_t i = 0; i < count; ++i) {
        const Cell c = pick(candidates, level.rng);
        Moth moth;
        const Vec2 at = cell_centre(c.x, c.y);
        moth.x = at.x;
        moth.y = at.y;
        moth.t = level.rng.next_f32() * 6.2831855f;
        moth.orbit_dir = moth.t > 3.14f ? 1.0f : -1.0f;
        level.moths.push_back(moth);
    }
}

std::string banner(std::uint32_t depth, std::size_t lanterns) {
    if (depth <= 1) return std::string(biome_hint(biome_of_depth(depth)));
    if (depth == 2) return "Espace : un éclat de lumière fait fuir les ombres";
    if (biome_of_depth(depth) != biome_of_depth(depth - 1))
        return std::string(biome_hint(biome_of_depth(depth)));
    return std::to_string(lanterns) + " lanternes dans le noir...";
}

}  // namespace

Level generate_level(std::uint32_t depth, std::uint64_t seed) {
    Level level;
    level.depth = depth;
    level.seed = seed;
    level.biome = biome_of_depth(depth);
    level.cave = carve_cave(cave_width(depth), cave_height(depth), seed);
    level.rng = Rng::seeded(seed ^ 0x5EED1A7Eu);

    Layout layout;
    list_cells(level.cave, layout);
    layout.start =
        layout.roomy.empty() ? pick(layout.open, level.rng) : pick(layout.roomy, level.rng);
    level.distance = distance_field(level.cave, layout.start.x, layout.start.y);
    layout.exit = farthest_clear_cell(layout, level.distance);
    layout.reserved = {layout.start, layout.exit};
    place_lanterns(level, layout);
    place_biome_features(level, layout);
    place_pollen(level, layout);
    for (const Cell& c : layout.open)
        layout.max_distance = std::max(layout.max_distance, level.distance.at(c.x, c.y));
    place_lost_companion(level, layout);
    place_shades(level, layout);

    level.exit_pos = cell_centre(layout.exit.x, layout.exit.y);
    level.firefly_pos = cell_centre(layout.start.x, layout.start.y);
    level.energy = 1.0f;
    level.camera = camera_target(level.cave, level.firefly_pos);
    place_moths(level);
    level.message = Message{banner(depth, level.lanterns.size()), kBannerTime};
    return level;
}

}  // namespace pyrelle
