/* The few libunistring declarations the game uses, for the web build, where the library is
   not at hand. Implemented in src/unistring_lite/unistring.cpp; same names and signatures. */
#pragma once
#include <stdint.h>

typedef uint32_t ucs4_t;
