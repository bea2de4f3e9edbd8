#include "engine/light/staircase_reach.hpp"

namespace pyrelle {

StaircaseReach::StaircaseReach(std::int32_t most) {
    const std::size_t side = 2 * static_cast<std::size_t>(most) + 1;
    bits_.reserve(side * side);
}

// Row by row away from the source, per quadrant: a cell is reached when it is open and the
// cell before it along x or along y is reached. The source cell counts as reached without
// a test, as the walk never tests its start.
void StaircaseReach::build(CaveTiles cave, std::int32_t sx, std::int32_t sy, std::int32_t reach) {
    sx_ = sx;
    sy_ = sy;
    reach_ = reach;
    if (reach < 0) return;  // not covered: every walk is run
    const std::size_t side = 2 * static_cast<std::size_t>(reach) + 1;
    bits_.assign(side * side, 0);
    const auto index = [&](std::int64_t i, std::int64_t j) {
        return static_cast<std::size_t>(i + reach) + static_cast<std::size_t>(j + reach) * side;
    };
    for (std::int32_t q = 0; q < 4; ++q) {
        const std::int32_t ex = (q & 1) ? -1 : 1;
        const std::int32_t ey = (q & 2) ? -1 : 1;
        const std::uint8_t bit = static_cast<std::uint8_t>(1u << q);
        for (std::int64_t j = 0; j <= reach; ++j) {
            for (std::int64_t i = 0; i <= reach; ++i) {
                bool r = i == 0 && j == 0;  // the source cell itself is never tested
                if (!r) {
                    const bool from_x = i > 0 && (bits_[index((i - 1) * ex, j * ey)] & bit);
                    const bool from_y = j > 0 && (bits_[index(i * ex, (j - 1) * ey)] & bit);
                    r = (from_x || from_y) &&
                        cave.open(std::int64_t{sx} + i * ex, std::int64_t{sy} + j * ey);
                }
                if (r) bits_[index(i * ex, j * ey)] |= bit;
            }
        }
    }
}

bool StaircaseReach::maybe(std::int64_t x, std::int64_t y, std::int32_t ex, std::int32_t ey) const {
    const std::int64_t i = x - sx_, j = y - sy_;
    if (i * ex < 0 || j * ey < 0) return false;  // behind the source: no staircase goes there
    if (i < -reach_ || i > reach_ || j < -reach_ || j > reach_) return true;
    const std::size_t side = 2 * static_cast<std::size_t>(reach_) + 1;
    const std::uint8_t bit = static_cast<std::uint8_t>(1u << ((ex < 0 ? 1 : 0) | (ey < 0 ? 2 : 0)));
    return bits_[static_cast<std::size_t>(i + reach_) +
                 static_cast<std::size_t>(j + reach_) * side] &
           bit;
}

// A walk moves by (sign dx, sign dy) steps. It ends visible either on reaching the target
// cell or, when its last step overshoots along one axis (the target lies at the border it
// crosses), after its step budget one step short along the other axis.
bool StaircaseReach::walk_may_pass(std::int32_t tx, std::int32_t ty, float dx, float dy,
                                   std::int32_t over_x, std::int32_t over_y) const {
    if (reach_ < 0) return true;
    const std::int32_t ex = dx < 0.0f ? -1 : 1;
    const std::int32_t ey = dy < 0.0f ? -1 : 1;
    if (maybe(tx, ty, ex, ey)) return true;
    if (over_y != 0 && tx != sx_ && maybe(std::int64_t{tx} - ex, std::int64_t{ty} + ey, ex, ey))
        return true;
    if (over_x != 0 && ty != sy_ && maybe(std::int64_t{tx} + ex, std::int64_t{ty} - ey, ex, ey))
        return true;
    return false;
}

}  // namespace pyrelle
