#pragma once
#include "engine/synth.hpp"

namespace pyrelle {

// Opens the system's default output through ALSA and starts a playback thread that renders
// the synthesizer into it, one period of about 10 ms at a time, about 40 ms ahead.
// On any failure prints "son désactivé : {reason}" on standard error and returns a
// silent Synth; the game then runs without sound. The Synth stops the thread and closes
// the device when it is destroyed.
Synth start_audio();

}  // namespace pyrelle
