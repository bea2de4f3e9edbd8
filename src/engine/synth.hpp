#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace pyrelle {

enum class Waveform : std::uint8_t { Sine = 0, Triangle = 1, Square = 2, Noise = 3 };

// One sound request: a pitch gliding exponentially from start to end over the note,
// a linear attack then an exponential decay, after an optional delay.
struct Note {
    float freq_start = 0.0f;  // Hz
    float freq_end = 0.0f;    // Hz
    float attack = 0.0f;      // s
    float decay = 0.0f;       // s
    float volume = 0.0f;      // peak amplitude
    float delay = 0.0f;       // s before the note starts
    Waveform waveform = Waveform::Sine;
};

// Frequency of a pitch written as semitones above middle C (261.63 Hz).
float semitone(float n);

// A playing note.
struct Voice {
    float t = 0.0f;      // s since the note's start; negative while delayed
    float phase = 0.0f;  // 0..1
    std::uint32_t noise_state = 0;
    float noise_value = 0.0f;
    float freq_start = 0.0f;
    float freq_end = 0.0f;
    float attack = 0.0f;
    float decay = 0.0f;
    float volume = 0.0f;
    float delay = 0.0f;
    Waveform waveform = Waveform::Sine;
};

// Everything the audio thread renders from; shared with the game thread behind a mutex.
struct SynthState {
    static constexpr std::size_t kMaxVoices = 48;
    static constexpr float kSoundOn = 1.4f;

    std::vector<Voice> voices;  // at most kMaxVoices, oldest first
    std::vector<float> echo;    // delay line of floor(0.23 × sample_rate) samples
    std::size_t echo_index = 0;
    float sample_rate = 48000.0f;
    float drone_target = 0.0f;
    float drone_level = 0.0f;
    float drone_phase_55 = 0.0f;
    float drone_phase_82 = 0.0f;
    float drone_phase_58 = 0.0f;
    float drone_gain = 1.0f;
    float master_gain = kSoundOn;
    std::uint32_t seed = 0x12345678;

    // A silent state for a stream of `sample_rate` Hz; the only allocation it makes.
    static SynthState create(float sample_rate);

    // For a new output device of another rate: the echo line is made anew (silent); voices,
    // drone and gains carry on.
    void set_sample_rate(float rate);

    // Adds one note as a voice, dropping the oldest voice when all are in use.
    void add_note(const Note& note);

    // Fills `out` with n mono samples in (-1, 1). Allocates nothing.
    void render(float* out, std::size_t n);
};

// The state and its lock. A failure while the lock is held marks the state unusable: the
// game's requests are then ignored and the audio thread plays silence.
struct SharedSynth {
    std::mutex mutex;
    SynthState state;
    bool unusable = false;
};

// Renders n samples under the lock, or silence from an unusable state (audio thread).
void render_shared(SharedSynth& shared, float* out, std::size_t n);

// Whatever keeps the sound output running; stopping it is its destructor's job.
class AudioStream {
  public:
    virtual ~AudioStream() = default;
};

// The game's handle on sound. A default Synth is silent: no state, no output, and every
// operation but the mute flag does nothing (headless runs, no audio device).
struct Synth {
    std::shared_ptr<SharedSynth> shared;  // declared first: outlives the stream's teardown
    std::unique_ptr<AudioStream> stream;
    bool muted = false;
    float volume = 1.0f;  // 0..1, what the sound is turned up to; kept while muted

    // Queues the notes as voices; nothing while muted or silent.
    void play(std::span<const Note> notes);
    // Danger level (clamped to [0, 1]) and loudness of the ambient drone; applies even muted.
    void set_drone(float level, float gain);
    // Flips muted and returns it; the master gain follows.
    bool toggle_mute();
    // Sets the volume (clamped to [0, 1]); the master gain follows unless muted.
    void set_volume(float v);
};

}  // namespace pyrelle
