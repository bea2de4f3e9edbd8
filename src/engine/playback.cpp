#include "engine/playback.hpp"

namespace pyrelle {
namespace {

void use_rate(SharedSynth& shared, float rate) {
    std::lock_guard lock(shared.mutex);
    if (shared.state.sample_rate != rate) shared.state.set_sample_rate(rate);
}

// Tries the default device every reopen_every until it opens (true) or a stop request.
bool reopen(SoundDevice& device, SharedSynth& shared, PlaybackControl& control,
            const PlaybackTiming& timing) {
    for (;;) {
        if (control.sleep_until(PlaybackClock::now() + timing.reopen_every)) return false;
        const Result<float> opened = device.open();
        if (opened.ok()) {
            use_rate(shared, opened.value());
            return true;
        }
    }
}

}  // namespace

bool PlaybackControl::stopping() {
    std::lock_guard lock(mutex);
    return stop;
}

bool PlaybackControl::sleep_until(PlaybackClock::time_point until) {
    std::unique_lock lock(mutex);
    return changed.wait_until(lock, until, [this] { return stop; });
}

void PlaybackControl::request_stop() {
    std::lock_guard lock(mutex);
    stop = true;
    changed.notify_all();
}

bool PlaybackControl::wait_finished(std::chrono::milliseconds patience) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, patience, [this] { return finished; });
}

void PlaybackControl::finish() {
    std::lock_guard lock(mutex);
    finished = true;
    changed.notify_all();
}

void run_playback(SoundDevice& device, SharedSynth& shared, PlaybackControl& control,
                  const PlaybackTiming& timing,
                  const std::function<void(const std::string&)>& say) {
    const Result<float> first = device.open();
    if (!first.ok()) {
        say("son désactivé : " + first.error());
        std::lock_guard lock(shared.mutex);
        shared.unusable = true;  // nothing will ever render it: the game's notes go nowhere
        return;
    }
    use_rate(shared, first.value());
    bool failing = false;
    double steady = 0.0;  // seconds played since the last failure
    for (;;) {
        const SoundDevice::Played played = device.play(shared, control);
        if (played.stopped) break;
        steady += played.seconds;
        if (steady >= timing.steady_seconds) failing = false;
        if (!failing) say("erreur audio : " + played.error);
        failing = true;
        steady = 0.0;
        device.close();
        if (!reopen(device, shared, control, timing)) return;
    }
}

}  // namespace pyrelle
