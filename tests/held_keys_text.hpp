#pragma once
#include <string>

#include "engine/step_loop.hpp"

namespace pyrelle::fixtures {

// The held keys as letters, in a fixed order (Up, Down, Left, Right, Action, Escape): failures
// then read "UR" rather than six booleans.
inline std::string keys_text(const Keys& k) {
    std::string s;
    if (k.up) s += "U";
    if (k.down) s += "D";
    if (k.left) s += "L";
    if (k.right) s += "R";
    if (k.action) s += "A";
    if (k.escape) s += "E";
    return s;
}

}  // namespace pyrelle::fixtures
