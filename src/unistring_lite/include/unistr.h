/* libunistring's UTF-8 functions that the game uses (see unitypes.h). */
#pragma once
#include <stddef.h>

#include "unitypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* NULL when the n units are well-formed UTF-8, else the first unit that is not. */
const uint8_t* u8_check(const uint8_t* s, size_t n);
/* Decodes the character at s (n > 0 units there): its length; U+FFFD for a bad sequence. */
int u8_mbtouc(ucs4_t* puc, const uint8_t* s, size_t n);
/* The character that ends just before s, not before start; NULL when there is none. */
const uint8_t* u8_prev(ucs4_t* puc, const uint8_t* s, const uint8_t* start);

#ifdef __cplusplus
}
#endif
