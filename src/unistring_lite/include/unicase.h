/* libunistring's case mapping that the game uses (see unitypes.h). */
#pragma once
#include <stddef.h>

#include "unitypes.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef const struct unicode_normalization_form* uninorm_t;

/* Full upper-case mapping of s (no normalization: nf must be NULL; the language is not
   looked at). Into resultbuf when *lengthp units are enough, else into new memory. */
uint32_t* u32_toupper(const uint32_t* s, size_t n, const char* iso639_language, uninorm_t nf,
                      uint32_t* resultbuf, size_t* lengthp);

#ifdef __cplusplus
}
#endif
