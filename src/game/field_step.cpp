#include "game/field_step.hpp"

namespace pyrelle {

std::optional<Cell> downhill_neighbour(const Cave& cave, const DistanceField& field, Cell from,
                                       std::int32_t below) {
    std::optional<Cell> best;
    std::int32_t best_value = 0;
    for (const Cell& o : kNeighbourOffsets) {
        const std::int32_t nx = from.x + o.x;
        const std::int32_t ny = from.y + o.y;
        if (!is_open(cave, nx, ny) || !is_open(cave, nx, from.y) || !is_open(cave, from.x, ny))
            continue;
        const std::int32_t value = field.at(nx, ny);
        if (value < 0 || value >= below) continue;
        if (!best || value < best_value) {
            best = Cell{nx, ny};
            best_value = value;
        }
    }
    return best;
}

}  // namespace pyrelle
