#pragma once

namespace pyrelle::fmath {

// Float sine, cosine, power and exponentials, correctly rounded (the exact value rounded to the
// nearest float, ties to even) for every argument, from IEEE basic operations only: every
// compiler and every C library, the browser's included, give the same bits, so the game's
// pictures and sound do not depend on the platform's libm. NaN in gives NaN out (pow(x, ±0)
// and pow(1, y) are 1 even then); the special cases of pow are C99 Annex F's.
float sin(float x);
float cos(float x);
float exp(float x);
float exp2(float x);
float pow(float x, float y);

}  // namespace pyrelle::fmath
