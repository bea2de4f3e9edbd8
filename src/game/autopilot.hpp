#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "game/cave.hpp"
#include "game/level.hpp"
#include "game/vec2.hpp"

namespace pyrelle {

// Flies the firefly: lanterns in turn, pollen when it is cheap or light runs low, then the
// exit. Reset it by assigning Autopilot{} whenever a new level is installed.
struct Autopilot {
    DistanceField goal_field;
    std::optional<Vec2> goal;
    float replan_timer = 0;

    // Working buffers of the replanning, kept so that planning allocates nothing once warm.
    DistanceField reach;
    std::vector<std::int32_t> flood_queue;

    // A unit steering direction, or (0, 0) when there is nothing to do.
    Vec2 steer(const Level& level, float dt);
};

}  // namespace pyrelle
