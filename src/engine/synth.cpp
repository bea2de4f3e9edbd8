#include "engine/synth.hpp"

#include <algorithm>
#include <cmath>
#include <exception>

#include "engine/float_math.hpp"

namespace pyrelle {

namespace {

constexpr float kTau = 6.2831855f;  // 2π in f32

// Marks the shared state unusable if the work under the lock ends by an exception.
struct PoisonOnUnwind {
    SharedSynth& shared;
    int pending = std::uncaught_exceptions();
    ~PoisonOnUnwind() {
        if (std::uncaught_exceptions() > pending) shared.unusable = true;
    }
};

// tanh made of the game's own exponential, so that every platform plays the same samples:
// 1 - 2 / (e^2x + 1), which reaches ±1 cleanly where e^2x overflows to inf or falls to 0.
float soft_clip(float x) {
    return 1.0f - 2.0f / (fmath::exp(2.0f * x) + 1.0f);
}

float wrap(float phase) {
    return phase - std::floor(phase);
}

// One sample of one started voice (t >= 0); advances its phase and noise.
float voice_sample(Voice& v, float rate) {
    const float k = std::min(v.t / (v.attack + v.decay), 1.0f);
    const float f = v.freq_start * fmath::pow(v.freq_end / v.freq_start, k);
    const float e =
        v.t < v.attack
            ? v.t / v.attack
            : (fmath::exp(-5.0f * (v.t - v.attack) / v.decay) - 0.006737947f) / 0.99326205f;
    v.phase = wrap(v.phase + f / rate);
    float osc = 0.0f;
    switch (v.waveform) {
        case Waveform::Sine:
            osc = fmath::sin(kTau * v.phase);
            break;
        case Waveform::Triangle:
            osc = std::fabs(v.phase - 0.5f) * 4.0f - 1.0f;
            break;
        case Waveform::Square:
            osc = v.phase < 0.5f ? 0.6f : -0.6f;
            break;
        case Waveform::Noise: {
            v.noise_state ^= v.noise_state << 13;
            v.noise_state ^= v.noise_state >> 17;
            v.noise_state ^= v.noise_state << 5;
            const float white = static_cast<float>(v.noise_state) * 2.3283064e-10f * 2.0f - 1.0f;
            v.noise_value += (white - v.noise_value) * std::min(kTau * f / rate, 1.0f);
            osc = 1.5f * v.noise_value;
            break;
        }
    }
    return e * osc * v.volume;
}

}  // namespace

float semitone(float n) {
    return 261.63f * fmath::exp2(n / 12.0f);
}

SynthState SynthState::create(float sample_rate) {
    SynthState s;
    s.set_sample_rate(sample_rate);
    s.voices.reserve(kMaxVoices);
    return s;
}

void SynthState::set_sample_rate(float rate) {
    sample_rate = rate;
    const float length = std::floor(0.23f * rate);
    echo.assign(length > 0.0f ? static_cast<std::size_t>(length) : 0u, 0.0f);
    echo_index = 0;
}

void SynthState::add_note(const Note& note) {
    if (voices.size() >= kMaxVoices) voices.erase(voices.begin());
    seed = seed * 1664525u + 1013904223u;
    seed |= 1u;
    Voice v;
    v.t = -note.delay;
    v.noise_state = seed;
    v.freq_start = note.freq_start;
    v.freq_end = note.freq_end;
    v.attack = note.attack;
    v.decay = note.decay;
    v.volume = note.volume;
    v.delay = note.delay;
    v.waveform = note.waveform;
    voices.push_back(v);
}

void SynthState::render(float* out, std::size_t n) {
    const float r = sample_rate;
    const float step = 1.0f / r;
    for (std::size_t i = 0; i < n; ++i) {
        float sum = 0.0f;
        for (Voice& v : voices) {
            if (v.t < 0.0f) {
                v.t += step;
                continue;
            }
            const float s = voice_sample(v, r);
            v.t += step;
            sum += s;
        }
        drone_phase_55 = wrap(drone_phase_55 + 55.0f / r);
        drone_phase_82 = wrap(drone_phase_82 + 82.4f / r);
        drone_phase_58 = wrap(drone_phase_58 + 58.3f / r);
        drone_level += (3.0f / r) * (drone_target - drone_level);
        const float o = drone_level;
        sum += drone_gain * ((0.008f + 0.09f * o) * fmath::sin(kTau * drone_phase_55) +
                             (0.004f + 0.04f * o) * fmath::sin(kTau * drone_phase_82) +
                             0.09f * o * fmath::sin(kTau * drone_phase_58));
        float d = 0.0f;
        if (!echo.empty()) {
            d = echo[echo_index];
            echo[echo_index] = 0.38f * d + sum;
            echo_index = echo_index + 1 == echo.size() ? 0 : echo_index + 1;
        }
        out[i] = soft_clip((sum + 0.32f * d) * master_gain);
    }
    std::erase_if(voices, [](const Voice& v) { return v.t >= v.attack + v.decay; });
}

void render_shared(SharedSynth& shared, float* out, std::size_t n) {
    std::lock_guard lock(shared.mutex);
    if (shared.unusable) {
        std::fill(out, out + n, 0.0f);
        return;
    }
    PoisonOnUnwind poison{shared};
    shared.state.render(out, n);
}

void Synth::play(std::span<const Note> notes) {
    if (muted || !shared) return;
    std::lock_guard lock(shared->mutex);
    if (shared->unusable) return;
    PoisonOnUnwind poison{*shared};
    for (const Note& note : notes)
        shared->state.add_note(note);
}

void Synth::set_drone(float level, float gain) {
    if (!shared) return;
    std::lock_guard lock(shared->mutex);
    if (shared->unusable) return;
    shared->state.drone_target = std::clamp(level, 0.0f, 1.0f);
    shared->state.drone_gain = gain;
}

namespace {

void set_master_gain(SharedSynth* shared, float gain) {
    if (!shared) return;
    std::lock_guard lock(shared->mutex);
    if (!shared->unusable) shared->state.master_gain = gain;
}

}  // namespace

bool Synth::toggle_mute() {
    muted = !muted;
    set_master_gain(shared.get(), muted ? 0.0f : SynthState::kSoundOn * volume);
    return muted;
}

void Synth::set_volume(float v) {
    volume = std::clamp(v, 0.0f, 1.0f);
    if (!muted) set_master_gain(shared.get(), SynthState::kSoundOn * volume);
}

}  // namespace pyrelle
