#pragma once
#include "engine/synth.hpp"

namespace pyrelle {

// What every platform's sound output does (one implementation is linked per build): plays
// the synthesizer's samples on the system's default output, rendered a few tens of
// milliseconds ahead off the game's own steps. When there is no usable output it prints
// "son désactivé : {reason}" once on standard error and returns a silent Synth; the game
// then runs without sound. Destroying the Synth stops the output.
Synth start_audio();

}  // namespace pyrelle
