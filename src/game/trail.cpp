#include "game/trail.hpp"

#include <algorithm>

namespace pyrelle {

void Trail::push_front(Vec2 position, std::size_t limit) {
    if (limit == 0) return;
    if (ring.size() < limit) {
        // Only when a companion joins: re-lay the entries newest first in a larger ring.
        std::vector<Vec2> grown(limit);
        for (std::size_t i = 0; i < count; ++i)
            grown[i] = (*this)[i];
        ring.swap(grown);
        head = 0;
    }
    head = (head + ring.size() - 1) % ring.size();
    ring[head] = position;
    count = std::min(count + 1, limit);
}

bool operator==(const Trail& a, const Trail& b) {
    if (a.count != b.count) return false;
    for (std::size_t i = 0; i < a.count; ++i)
        if (!(a[i] == b[i])) return false;
    return true;
}

}  // namespace pyrelle
