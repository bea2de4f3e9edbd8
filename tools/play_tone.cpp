// Drives the real sound output for tests/app/audio_test.sh, and analyses what a sound
// server recorded of it.
//   play_tone play      start the output, play a tone, mute; print the moments (ms)
//   play_tone silent    the same calls, expecting no usable device
//   play_tone beeps SECONDS    start the output and beep every 100 ms
//   play_tone heard FILE       whether a raw s16le recording holds any loud sound
//   play_tone analyse FILE TONE_MS MUTE_MS RATE   check a raw s16le stereo recording
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio.hpp"

namespace {

using pyrelle::Note;
using pyrelle::Waveform;
using Clock = std::chrono::steady_clock;

constexpr float kToneHz = 880.0f;
// Timing bounds that only a broken output crosses, however loaded the machine.
constexpr double kGrossMs = 500.0;

// Processor time of the whole program, all threads.
double cpu_seconds() {
    return double(std::clock()) / CLOCKS_PER_SEC;
}

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int play() {
    const double cpu_start = cpu_seconds();
    pyrelle::Synth synth = pyrelle::start_audio();
    const Clock::time_point start = Clock::now();  // the output's first samples go out now
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    const Note tone{kToneHz, kToneHz, 0.005f, 0.5f, 0.6f, 0.0f, Waveform::Sine};
    const double tone_ms = ms_since(start);
    synth.play({&tone, 1});
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
    const double mute_ms = ms_since(start);
    const bool muted = synth.toggle_mute();
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
    const double wall = ms_since(start);
    const double cpu = (cpu_seconds() - cpu_start) * 1000.0;
    std::printf("tone_ms %.3f\nmute_ms %.3f\nmuted %d\nwall_ms %.1f\ncpu_ms %.1f\n", tone_ms,
                mute_ms, muted ? 1 : 0, wall, cpu);
    std::lock_guard lock(synth.shared->mutex);
    return synth.shared->unusable ? 3 : 0;
}

// Whether the output's thread has given up on the device (or there is no output at all),
// waiting for its word at most two seconds: it opens the device on its own.
bool without_output(const pyrelle::Synth& synth) {
    for (int i = 0; i < 200; ++i) {
        if (!synth.shared) return true;
        {
            std::lock_guard lock(synth.shared->mutex);
            if (synth.shared->unusable) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

int silent() {
    pyrelle::Synth synth = pyrelle::start_audio();
    const bool quiet = without_output(synth);
    const Note tone{kToneHz, kToneHz, 0.005f, 0.5f, 0.6f, 0.0f, Waveform::Sine};
    synth.play({&tone, 1});
    synth.set_drone(0.5f, 1.0f);
    const bool muted = synth.toggle_mute();
    std::printf("silent %d muted %d\n", quiet ? 1 : 0, muted ? 1 : 0);
    return quiet && muted ? 0 : 1;
}

int fail(const char* what) {
    std::printf("FAIL %s\n", what);
    return 1;
}

int analyse(const char* path, double tone_ms, double mute_ms, double rate) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    const std::size_t frames = bytes.size() / 4;
    std::vector<int> left(frames), right(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        std::int16_t l, r;
        std::memcpy(&l, &bytes[i * 4], 2);
        std::memcpy(&r, &bytes[i * 4 + 2], 2);
        left[i] = l;
        right[i] = r;
    }
    std::printf("frames %zu (%.2f s)\n", frames, double(frames) / rate);
    std::size_t unequal = 0;
    for (std::size_t i = 0; i < frames; ++i)
        unequal += left[i] != right[i];
    std::printf("frames with different channels %zu\n", unequal);
    if (unequal != 0) return fail("the two channels differ");

    // The drone sounds from the output's first sample: that is where our stream begins.
    std::size_t begin = 0;
    while (begin < frames && left[begin] == 0)
        ++begin;
    if (begin == frames) return fail("nothing recorded");
    std::size_t onset = begin;
    while (onset < frames && std::abs(left[onset]) < 4000)
        ++onset;
    if (onset == frames) return fail("no tone");
    const double heard_ms = double(onset - begin) / rate * 1000.0;
    const double late_ms = heard_ms - tone_ms;
    // A measurement, not a requirement: a loaded machine delays the stream's start and the
    // tone alike. Only a tone half a second off means it was lost or played at the wrong time.
    std::printf("stream starts at %.3f s; tone played at %.1f ms, heard at %.1f ms: %.1f ms late\n",
                double(begin) / rate, tone_ms, heard_ms, late_ms);
    if (std::fabs(late_ms) > kGrossMs) return fail("tone not heard anywhere near its time");

    // Pitch from zero crossings over 200 ms of the tone.
    const std::size_t from = onset + std::size_t(0.02 * rate);
    const std::size_t to = from + std::size_t(0.2 * rate);
    if (to >= frames) return fail("recording too short");
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i)
        crossings += (left[i - 1] < 0) != (left[i] < 0);
    const double hz = crossings / 2.0 / 0.2;
    std::printf("pitch %.1f Hz (want %.1f)\n", hz, double(kToneHz));
    if (std::fabs(hz - kToneHz) > 10.0) return fail("wrong pitch");

    // Muting is placed from the tone, which went out (mute_ms - tone_ms) earlier. The sound
    // already buffered drains first; from then on the output must be exact silence.
    const std::size_t muted_at = onset + std::size_t((mute_ms - tone_ms) / 1000.0 * rate);
    if (muted_at >= frames) return fail("recording too short for the mute");
    std::size_t before = 0;
    for (std::size_t i = muted_at - std::size_t(0.1 * rate); i < muted_at; ++i)
        before += left[i] != 0;
    std::size_t last_sound = muted_at;
    for (std::size_t i = muted_at; i < frames; ++i)
        if (left[i] != 0) last_sound = i;
    const double drain_ms = double(last_sound - muted_at) / rate * 1000.0;
    const double silent_ms = double(frames - 1 - last_sound) / rate * 1000.0;
    std::printf(
        "non-zero samples in the 100 ms before muting %zu; sound drained %.1f ms after "
        "muting, then %.1f ms of exact silence\n",
        before, drain_ms, silent_ms);
    if (before == 0) return fail("no sound before muting");
    if (drain_ms > kGrossMs) return fail("muting is not silent");
    if (silent_ms < 200.0) return fail("recording too short after the mute");
    std::printf("ok\n");
    return 0;
}

// Beeps every 100 ms for `seconds`: sound that should come back after the server restarts.
int beeps(double seconds) {
    pyrelle::Synth synth = pyrelle::start_audio();
    const Note beep{kToneHz, kToneHz, 0.005f, 0.05f, 0.6f, 0.0f, Waveform::Sine};
    const Clock::time_point start = Clock::now();
    while (ms_since(start) < seconds * 1000.0) {
        synth.play({&beep, 1});
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::lock_guard lock(synth.shared->mutex);
    return synth.shared->unusable ? 3 : 0;
}

// Whether a raw s16le recording holds anything louder than a whisper.
int heard(const char* path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    std::size_t loud = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::int16_t sample;
        std::memcpy(&sample, &bytes[i], 2);
        loud += std::abs(sample) > 2000;
    }
    std::printf("loud samples %zu of %zu\n", loud, bytes.size() / 2);
    return loud > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "play") return play();
    if (mode == "silent") return silent();
    if (mode == "beeps" && argc == 3) return beeps(std::atof(argv[2]));
    if (mode == "heard" && argc == 3) return heard(argv[2]);
    if (mode == "analyse" && argc == 6)
        return analyse(argv[2], std::atof(argv[3]), std::atof(argv[4]), std::atof(argv[5]));
    std::fprintf(stderr,
                 "usage: play_tone play | silent | beeps SECONDS | heard FILE | "
                 "analyse FILE TONE_MS MUTE_MS RATE\n");
    return 2;
}
