#pragma once
#include <cstddef>
#include <vector>

#include "game/vec2.hpp"

namespace pyrelle {

// Recent firefly positions, newest first. Storage grows only when the length limit does.
struct Trail {
    std::vector<Vec2> ring;
    std::size_t head = 0;  // slot of the newest entry
    std::size_t count = 0;

    // Inserts at the front and drops the oldest entries beyond `limit`.
    void push_front(Vec2 position, std::size_t limit);
    std::size_t size() const { return count; }
    Vec2 operator[](std::size_t i) const { return ring[(head + i) % ring.size()]; }  // 0 = newest

    friend bool operator==(const Trail& a, const Trail& b);  // same entries in the same order
};

}  // namespace pyrelle
