#include "game/ghost.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "engine/saturating.hpp"
#include "game/level.hpp"

namespace pyrelle {
namespace {

constexpr std::uint32_t kGhostColour = 0x8CDCFF;  // a cold light, never the player's warm one
constexpr float kEdgeInset = 4.0f;                // the edge mark stays this far inside the view

std::size_t depth_slot(std::uint32_t depth) {
    return std::clamp<std::uint32_t>(depth, 1, kSourceDepth) - 1;
}

void draw_faint_firefly(Canvas& canvas, float x, float y, float phase) {
    canvas.glow(scale_colour(kGhostColour, 0.6f), x, y, 8.0f, 0.7f);
    const std::int32_t ix = floor_i32(x);
    const std::int32_t iy = floor_i32(y);
    const float beat = 24.0f * phase;
    const std::int32_t wing_y = beat - std::trunc(beat) < 0.5f ? iy - 2 : iy - 1;
    canvas.blend(ix - 2, wing_y, 0xAAB4C8, 0.35f);
    canvas.blend(ix + 2, wing_y, 0xAAB4C8, 0.35f);
    canvas.blend(ix, iy, kGhostColour, 0.6f);
    canvas.blend(ix, iy + 1, kGhostColour, 0.6f);
    canvas.blend(ix - 1, iy, kGhostColour, 0.35f);
    canvas.blend(ix + 1, iy, kGhostColour, 0.35f);
}

// A small diamond on the edge of the view, on the line from its middle towards the ghost.
void draw_edge_mark(Canvas& canvas, float x, float y) {
    const float cx = 0.5f * kViewWidthF;
    const float cy = 0.5f * kViewHeightF;
    const float dx = x - cx;
    const float dy = y - cy;
    const float reach_x = dx == 0.0f ? INFINITY : (cx - kEdgeInset) / std::fabs(dx);
    const float reach_y = dy == 0.0f ? INFINITY : (cy - kEdgeInset) / std::fabs(dy);
    const float s = std::min(reach_x, reach_y);
    const std::int32_t mx = floor_i32(cx + dx * s);
    const std::int32_t my = floor_i32(cy + dy * s);
    canvas.blend(mx, my, kGhostColour, 0.9f);
    for (const auto& [ox, oy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}})
        canvas.blend(mx + ox, my + oy, kGhostColour, 0.5f);
}

}  // namespace

void GhostRace::start_run() {
    racing = true;
    run_steps = 0;
    left_depth = {};
    split.reset();
}

void GhostRace::count_step() {
    if (run_steps < UINT32_MAX) ++run_steps;
}

void GhostRace::leave_depth(std::uint32_t depth, float run_time) {
    const std::size_t slot = depth_slot(depth);
    left_depth[slot] = run_time;
    split.reset();
    if (racing && run && run->left_depth[slot]) split = run_time - *run->left_depth[slot];
}

std::optional<float> GhostRace::shown_split() const {
    return wanted ? split : std::nullopt;
}

const GhostStep* ghost_in_cave(const GhostRace& race, const Level& level, std::uint64_t game_seed) {
    if (!race.wanted || !race.racing || !race.run || race.run->seed != game_seed) return nullptr;
    if (race.run_steps >= race.run->steps.size()) return nullptr;  // it reached the Source
    const GhostStep& step = race.run->steps[race.run_steps];
    if (!step.flying || step.depth != level.depth) return nullptr;
    return &step;
}

void draw_ghost(const GhostRace& race, const Level& level, std::uint64_t game_seed,
                Canvas& canvas) {
    const GhostStep* step = ghost_in_cave(race, level, game_seed);
    if (!step) return;
    const float x = step->pos.x - static_cast<float>(floor_i32(level.camera.x));
    const float y = step->pos.y - static_cast<float>(floor_i32(level.camera.y));
    const bool in_view = x >= 0.0f && y >= 0.0f && x < kViewWidthF && y < kViewHeightF;
    if (in_view) {
        draw_faint_firefly(canvas, x, y, level.time);
    } else {
        draw_edge_mark(canvas, x, y);
    }
}

std::string split_text(float difference) {
    if (std::isnan(difference)) difference = 0.0f;
    const float tenths_f = std::round(std::clamp(difference, -1e8f, 1e8f) * 10.0f);
    const auto tenths = static_cast<std::int64_t>(tenths_f);
    const std::int64_t size = std::llabs(tenths);
    const std::string sign = tenths < 0 ? "\u2212" : tenths > 0 ? "+" : "";
    return sign + std::to_string(size / 10) + "," + std::to_string(size % 10) + " s";
}

std::uint32_t split_colour(float difference, bool night) {
    const float tenths = std::round(difference * 10.0f);
    if (tenths < 0.0f) return night ? 0xAA96E6 : 0xFFE178;
    if (tenths > 0.0f) return 0xE6786E;
    return 0xC8C8C8;
}

}  // namespace pyrelle
