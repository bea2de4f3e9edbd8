// The circle-against-grid mover shared by the firefly, moths and shades.
#include "game/movement.hpp"

#include <algorithm>
#include <cmath>

#include "engine/saturating.hpp"
#include "game/world.hpp"

namespace pyrelle {

namespace {

bool blocks(const Cave& cave, const WaterMask& water, std::int32_t x, std::int32_t y,
            BlockRule rule) {
    if (!cave.in_range(x, y)) return true;
    const std::uint8_t tile = cave.tiles[cave.index(x, y)];
    if (rule == BlockRule::Rock) return tile == static_cast<std::uint8_t>(Tile::Rock);
    return tile != static_cast<std::uint8_t>(Tile::Open) || water_level(cave, water, x, y) > 0.5f;
}

// The outward normal through the nearest face of a cell square whose inside holds p.
Vec2 nearest_face_normal(Vec2 p, float left, float top) {
    const float to_left = p.x - left;
    const float to_right = left + kCellSizeF - p.x;
    const float to_top = p.y - top;
    const float to_bottom = top + kCellSizeF - p.y;
    Vec2 normal{-1.0f, 0.0f};
    float best = to_left;
    if (to_right < best) {
        normal = {1.0f, 0.0f};
        best = to_right;
    }
    if (to_top < best) {
        normal = {0.0f, -1.0f};
        best = to_top;
    }
    if (to_bottom < best) normal = {0.0f, 1.0f};
    return normal;
}

// One scan over the cells under the circle's box; true when any contact was found.
bool resolve_contacts(const Cave& cave, const WaterMask& water, Vec2& p, Vec2& v, float r,
                      BlockRule rule) {
    const std::int32_t row_lo = floor_i32((p.y - r) / kCellSizeF);
    const std::int32_t row_hi = floor_i32((p.y + r) / kCellSizeF);
    const std::int32_t col_lo = floor_i32((p.x - r) / kCellSizeF);
    const std::int32_t col_hi = floor_i32((p.x + r) / kCellSizeF);
    bool contact = false;
    for (std::int64_t row = row_lo; row <= row_hi; ++row) {
        for (std::int64_t col = col_lo; col <= col_hi; ++col) {
            const auto cx = static_cast<std::int32_t>(col);
            const auto cy = static_cast<std::int32_t>(row);
            if (!blocks(cave, water, cx, cy, rule)) continue;
            const float left = static_cast<float>(cx) * kCellSizeF;
            const float top = static_cast<float>(cy) * kCellSizeF;
            const float dx = p.x - std::clamp(p.x, left, left + kCellSizeF);
            const float dy = p.y - std::clamp(p.y, top, top + kCellSizeF);
            const float dist = length(dx, dy);
            if (!(dist < r)) continue;
            contact = true;
            Vec2 normal;
            float push;
            if (dist > 0.0001f) {
                normal = {dx / dist, dy / dist};
                push = r - dist;
            } else {
                normal = nearest_face_normal(p, left, top);
                push = r;
            }
            const float along = v.x * normal.x + v.y * normal.y;
            if (along < 0.0f) {
                v.x -= along * normal.x;
                v.y -= along * normal.y;
            }
            p.x += normal.x * push;
            p.y += normal.y * push;
        }
    }
    return contact;
}

}  // namespace

float steer_and_move(const Cave& cave, const WaterMask& water, Body body, Vec2 direction,
                     float speed, float steer, float radius, float dt, BlockRule rule) {
    body.vx += (direction.x * speed - body.vx) * steer;
    body.vy += (direction.y * speed - body.vy) * steer;
    const Vec2 before{body.x, body.y};
    Vec2 p = before;
    Vec2 v{body.vx, body.vy};
    move_circle(cave, water, p, v, radius, dt, rule);
    body.x = p.x;
    body.y = p.y;
    body.vx = v.x;
    body.vy = v.y;
    return distance(before, p);
}

void move_circle(const Cave& cave, const WaterMask& water, Vec2& position, Vec2& velocity,
                 float radius, float dt, BlockRule rule) {
    const float dx = velocity.x * dt;
    const float dy = velocity.y * dt;
    // Sub-steps of at most half the radius, so a fast mover cannot skip a wall.
    const std::int32_t n = std::max(1, saturating_i32(std::ceil(length(dx, dy) / (radius / 2.0f))));
    const float step_x = dx / static_cast<float>(n);
    const float step_y = dy / static_cast<float>(n);
    for (std::int32_t i = 0; i < n; ++i) {
        position.x += step_x;
        position.y += step_y;
        for (int pass = 0; pass < 3; ++pass)
            if (!resolve_contacts(cave, water, position, velocity, radius, rule)) break;
    }
}

}  // namespace pyrelle
