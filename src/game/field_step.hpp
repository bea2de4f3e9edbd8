#pragma once
#include <cstdint>
#include <optional>

#include "game/cave.hpp"

namespace pyrelle {

// One step down a distance field, the rule the moths' chase and the automatic pilot share:
// among the eight neighbours of `from` that are open and reached without cutting a rock
// corner (both orthogonal cells open), the one whose field value is the smallest in
// [0, below); the first in neighbour order on ties. Water is ignored (shades, which avoid
// it, use steer_step).
std::optional<Cell> downhill_neighbour(const Cave& cave, const DistanceField& field, Cell from,
                                       std::int32_t below);

}  // namespace pyrelle
