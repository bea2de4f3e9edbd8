#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "engine/result.hpp"
#include "engine/synth.hpp"

namespace pyrelle {

using PlaybackClock = std::chrono::steady_clock;

// The stop request from the Synth's owner and the playback thread's word that it is done.
// Held by both: a thread stuck in a hung sound server outlives an owner who stopped waiting.
struct PlaybackControl {
    std::mutex mutex;
    std::condition_variable changed;
    bool stop = false;
    bool finished = false;

    bool stopping();
    // Sleeps until `until` or a stop request; true when asked to stop.
    bool sleep_until(PlaybackClock::time_point until);
    void request_stop();
    // True when the thread finished within `patience`.
    bool wait_finished(std::chrono::milliseconds patience);
    void finish();
};

// What the playback thread needs of a sound output. The desktop's ALSA output is one; the
// tests drive the thread's rules with made-up ones.
class SoundDevice {
  public:
    virtual ~SoundDevice() = default;

    // Opens the system's default output: its sample rate, or why it cannot be used.
    virtual Result<float> open() = 0;

    struct Played {
        bool stopped = false;  // asked to stop; else the device failed
        std::string error;     // why it failed
        double seconds = 0.0;  // of sound that reached the device
    };
    // Plays the synthesizer into the open device until a stop request or a failure it cannot
    // mend.
    virtual Played play(SharedSynth& shared, PlaybackControl& control) = 0;
    virtual void close() = 0;
};

struct PlaybackTiming {
    std::chrono::milliseconds reopen_every{2000};
    // Sound that must play before a failure counts as a new outage: a device that takes a
    // period and fails again is the same outage, said once.
    double steady_seconds = 5.0;
};

// The playback thread's work, from the first open to the stop request. A device that cannot
// be opened at first: "son désactivé : {why}", the state marked unusable (the game plays
// silently) and the end. After a failure during play: "erreur audio : {why}" once per outage,
// then the default device again every reopen_every, quietly, playing on as soon as it
// opens, at its rate (which may be new). `say` gets each line; the thread has no one else to
// tell.
void run_playback(SoundDevice& device, SharedSynth& shared, PlaybackControl& control,
                  const PlaybackTiming& timing, const std::function<void(const std::string&)>& say);

}  // namespace pyrelle
