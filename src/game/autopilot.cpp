#include "game/autopilot.hpp"

#include <limits>

#include "game/field_step.hpp"

namespace pyrelle {

namespace {

// With no primary goal any grain within reach is worth it.
constexpr std::int32_t kNoGoalWeight = std::numeric_limits<std::int32_t>::max() / 3;

std::int32_t field_at(const DistanceField& field, Vec2 at) {
    const Cell c = cell_of(at);
    return field.at(c.x, c.y);
}

// The nearest unlit lantern on the flood (first on ties), or the exit once all are lit.
std::optional<Vec2> primary_goal(const Level& level, const DistanceField& d) {
    bool any_unlit = false;
    std::optional<Vec2> best;
    std::int32_t best_steps = 0;
    for (const Lantern& l : level.lanterns) {
        if (l.lit) continue;
        any_unlit = true;
        const std::int32_t steps = field_at(d, Vec2{l.x, l.y});
        if (steps >= 0 && (!best || steps < best_steps)) {
            best = Vec2{l.x, l.y};
            best_steps = steps;
        }
    }
    if (!any_unlit) return level.exit_pos;
    return best;
}

struct PollenChoice {
    Vec2 at;
    std::int32_t steps;
};

std::optional<PollenChoice> nearest_pollen(const Level& level, const DistanceField& d) {
    std::optional<PollenChoice> best;
    for (const PollenGrain& g : level.pollen) {
        if (!g.present) continue;
        const std::int32_t steps = field_at(d, Vec2{g.x, g.y});
        if (steps >= 0 && (!best || steps < best->steps)) best = PollenChoice{{g.x, g.y}, steps};
    }
    return best;
}

// Pollen is taken when it is very close, when light runs low and it is not far, or when it
// is much closer than the primary goal.
bool take_pollen(const Level& level, const DistanceField& d, const std::optional<Vec2>& primary,
                 std::int32_t p) {
    if (level.energy < 0.6f && p < 14) return true;
    std::int32_t w = kNoGoalWeight;
    if (primary) {
        const Cell c = cell_of(*primary);
        w = level.cave.in_range(c.x, c.y) ? d.at(c.x, c.y) / 3 : 0;
    }
    const bool primary_stays = p > 3 && (p >= w || p > 9);
    return !primary_stays;
}

void replan(Autopilot& pilot, const Level& level) {
    const Cell here = cell_of(level.firefly_pos);
    fill_distance_field(level.cave, here.x, here.y, pilot.reach, pilot.flood_queue);
    const DistanceField& d = pilot.reach;
    std::optional<Vec2> goal = primary_goal(level, d);
    if (const auto pollen = nearest_pollen(level, d))
        if (take_pollen(level, d, goal, pollen->steps)) goal = pollen->at;
    pilot.goal = goal;
    if (goal) {
        const Cell c = cell_of(*goal);
        fill_distance_field(level.cave, c.x, c.y, pilot.goal_field, pilot.flood_queue);
    }
}

Vec2 follow_field(const Level& level, const DistanceField& field, Cell c) {
    // Every value a field holds is below the largest integer.
    const auto best =
        downhill_neighbour(level.cave, field, c, std::numeric_limits<std::int32_t>::max());
    if (!best) return Vec2{};
    const Vec2 target = cell_centre(best->x, best->y);
    return unit_or_zero(target.x - level.firefly_pos.x, target.y - level.firefly_pos.y);
}

}  // namespace

Vec2 Autopilot::steer(const Level& level, float dt) {
    replan_timer -= dt;
    if (replan_timer <= 0.0f || !goal) {
        replan(*this, level);
        replan_timer = 0.5f;
    }
    if (!goal) return Vec2{};
    const Cell c = cell_of(level.firefly_pos);
    if (level.cave.in_range(c.x, c.y) && goal_field.at(c.x, c.y) > 1)
        return follow_field(level, goal_field, c);
    return unit_or_zero(goal->x - level.firefly_pos.x, goal->y - level.firefly_pos.y);
}

}  // namespace pyrelle
