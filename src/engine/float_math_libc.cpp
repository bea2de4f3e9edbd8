// The C library's functions behind the game's own names, for a build that shows what the
// game's own change (cmake -DPYRELLE_LIBC_MATH=ON): never the game's release.
#include <cmath>

#include "engine/float_math.hpp"

namespace pyrelle::fmath {

float sin(float x) {
    return std::sin(x);
}
float cos(float x) {
    return std::cos(x);
}
float exp(float x) {
    return std::exp(x);
}
float exp2(float x) {
    return std::exp2(x);
}
float pow(float x, float y) {
    return std::pow(x, y);
}

}  // namespace pyrelle::fmath
