/* libunistring's character property that the game uses (see unitypes.h). */
#pragma once
#include <stdbool.h>

#include "unitypes.h"

#ifdef __cplusplus
extern "C" {
#endif

bool uc_is_property_white_space(ucs4_t uc);

#ifdef __cplusplus
}
#endif
