#include "engine/synth.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/samples.hpp"

namespace pyrelle {
namespace {

constexpr float kRate = 48000.0f;

// A state with the drone silenced, so that only the notes sound.
SynthState quiet_state() {
    SynthState s = SynthState::create(kRate);
    s.drone_gain = 0.0f;
    return s;
}

std::vector<float> render(SynthState& s, std::size_t n, std::size_t block = 480) {
    std::vector<float> out(n);
    for (std::size_t at = 0; at < n; at += block)
        s.render(out.data() + at, std::min(block, n - at));
    return out;
}

Note note(float freq, Waveform w, float attack, float decay, float volume, float delay = 0.0f) {
    return {freq, freq, attack, decay, volume, delay, w};
}

TEST(Synth, NewStateMatchesTheStartValues) {
    const SynthState s = SynthState::create(kRate);
    EXPECT_EQ(s.echo.size(), 11040u);  // floor(0.23 × 48000)
    EXPECT_EQ(SynthState::create(44100.0f).echo.size(), 10143u);
    EXPECT_TRUE(s.voices.empty());
    EXPECT_EQ(s.master_gain, 1.4f);
    EXPECT_EQ(s.drone_gain, 1.0f);
    EXPECT_EQ(s.seed, 0x12345678u);
    EXPECT_GE(s.voices.capacity(), 48u);
}

TEST(Synth, DelayedNoteIsExactSilenceThenPlaysAndIsRemoved) {
    SynthState s = quiet_state();
    const Note n = note(440.0f, Waveform::Sine, 0.01f, 0.1f, 0.5f, 0.3f);
    s.add_note(n);
    // 0.3 s is 14 400 samples; allow one sample for the f32 clock.
    std::vector<float> first = render(s, 14399);
    for (std::size_t i = 0; i < first.size(); ++i)
        ASSERT_EQ(first[i], 0.0f) << i;
    ASSERT_EQ(s.voices.size(), 1u);
    std::vector<float> sounding = render(s, 480 * 10);  // to just before 0.4 s
    float peak = 0;
    for (float v : sounding)
        peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.3f);
    EXPECT_LT(peak, std::tanh(0.5f * 1.4f) + 1e-6f);
    EXPECT_EQ(s.voices.size(), 1u) << "still sounding at 0.4 s";
    // Removed at the end of the block in which 0.3 + 0.01 + 0.1 = 0.41 s passes.
    render(s, 470);  // 19 669 samples: 0.4098 s
    EXPECT_EQ(s.voices.size(), 1u);
    render(s, 20);  // 0.4102 s
    EXPECT_TRUE(s.voices.empty());
}

TEST(Synth, FortyNinthNoteRemovesTheOldest) {
    SynthState s = quiet_state();
    for (int i = 0; i < 49; ++i)
        s.add_note(note(100.0f + float(i), Waveform::Sine, 0.1f, 0.1f, 0.1f, 5.0f));
    ASSERT_EQ(s.voices.size(), 48u);
    EXPECT_EQ(s.voices.front().freq_start, 101.0f);  // the first, not yet started, is gone
    EXPECT_EQ(s.voices.back().freq_start, 148.0f);
}

TEST(Synth, VoicesTakeNoiseSeedsFromTheLinearCongruence) {
    SynthState s = quiet_state();
    std::uint64_t seed = 0x12345678;
    for (int i = 0; i < 5; ++i) {
        s.add_note(note(300.0f, Waveform::Noise, 0.1f, 0.1f, 0.1f, 0.25f));
        seed = ((seed * 1664525 + 1013904223) % 4294967296u) | 1;
        EXPECT_EQ(s.voices.back().noise_state, seed) << i;
        EXPECT_EQ(s.voices.back().t, -0.25f);
        EXPECT_EQ(s.voices.back().phase, 0.0f);
    }
    EXPECT_EQ(s.seed, seed);
}

// Undoes the soft clipping for samples before the echo returns.
float before_clip(float out, float gain = 1.4f) {
    return std::atanh(out) / gain;
}

TEST(Synth, WaveformAmplitudes) {
    struct Case {
        Waveform w;
        float freq;
        float peak;     // largest |oscillator| expected
        bool constant;  // the square is ±0.6 on every sample
    };
    const Case cases[] = {{Waveform::Sine, 110.0f, 1.0f, false},
                          {Waveform::Triangle, 110.0f, 1.0f, false},
                          {Waveform::Square, 110.0f, 0.6f, true},
                          {Waveform::Noise, 4000.0f, 1.5f, false}};
    for (const Case& k : cases) {
        SynthState s = quiet_state();
        // Instant attack, endless decay: the envelope stays within 1e-4 of 1.
        s.add_note(note(k.freq, k.w, 1e-9f, 1e4f, 1.0f));
        const std::vector<float> out = render(s, 9600);  // 0.2 s, before any echo
        float top = 0, low = 0;
        for (std::size_t i = 1; i < out.size(); ++i) {
            const float v = before_clip(out[i]);
            top = std::max(top, v);
            low = std::min(low, v);
            if (k.constant) {
                ASSERT_NEAR(std::fabs(v), 0.6f, 1e-4f) << i;
            }
        }
        EXPECT_LE(top, k.peak + 1e-4f) << int(k.w);
        EXPECT_GE(low, -k.peak - 1e-4f) << int(k.w);
        if (k.w != Waveform::Noise) {
            EXPECT_NEAR(top, k.peak, 2e-3f) << int(k.w);
            EXPECT_NEAR(low, -k.peak, 2e-3f) << int(k.w);
        } else {
            EXPECT_GT(top - low, 1.0f);  // lightly filtered noise, well spread
        }
    }
}

// One voice straight from the rule, sample by sample: its contribution to the sum before the
// echo and the clipping. Also says, per sample, whether the note was still sounding.
struct PlainVoice {
    std::vector<float> sum;
    std::vector<bool> sounding;
};

PlainVoice plain_voice(const Note& n, std::uint32_t noise_state, std::size_t count) {
    PlainVoice v;
    const float r = kRate;
    const float two_pi = 6.2831855f;
    float t = -n.delay, phase = 0.0f, noise_value = 0.0f;
    for (std::size_t i = 0; i < count; ++i) {
        v.sounding.push_back(t < n.attack + n.decay);
        if (t < 0.0f) {
            t += 1.0f / r;
            v.sum.push_back(0.0f);
            continue;
        }
        const float k = std::min(t / (n.attack + n.decay), 1.0f);
        const float f = n.freq_start * std::pow(n.freq_end / n.freq_start, k);
        const float e = t < n.attack ? t / n.attack
                                     : (std::exp(-5.0f * (t - n.attack) / n.decay) - 0.006737947f) /
                                           0.99326205f;
        phase += f / r;
        phase -= std::floor(phase);
        float osc = 0.0f;
        switch (n.waveform) {
            case Waveform::Sine:
                osc = std::sin(two_pi * phase);
                break;
            case Waveform::Triangle:
                osc = std::fabs(phase - 0.5f) * 4.0f - 1.0f;
                break;
            case Waveform::Square:
                osc = phase < 0.5f ? 0.6f : -0.6f;
                break;
            case Waveform::Noise: {
                noise_state ^= noise_state << 13;
                noise_state ^= noise_state >> 17;
                noise_state ^= noise_state << 5;
                const float white = static_cast<float>(noise_state) * 0x1p-32f * 2.0f - 1.0f;
                noise_value += (white - noise_value) * std::min(two_pi * f / r, 1.0f);
                osc = 1.5f * noise_value;
                break;
            }
        }
        t += 1.0f / r;
        v.sum.push_back(e * osc * n.volume);
    }
    return v;
}

TEST(Synth, EachWaveformAndTheEnvelopeFollowTheirFormulas) {
    // The first voice of a fresh state takes the seed one step along the congruence, odd.
    const std::uint32_t first_noise_seed = (0x12345678u * 1664525u + 1013904223u) | 1u;
    const Note cases[] = {
        {440.0f, 440.0f, 0.02f, 0.15f, 0.5f, 0.0f, Waveform::Sine},
        {330.0f, 330.0f, 0.01f, 0.18f, 0.5f, 0.0f, Waveform::Triangle},
        {200.0f, 200.0f, 0.005f, 0.1f, 0.5f, 0.0f, Waveform::Square},
        {900.0f, 200.0f, 0.005f, 0.15f, 0.4f, 0.0f, Waveform::Noise},      // the filter glides down
        {3000.0f, 700.0f, 0.005f, 0.15f, 0.3f, 0.0f, Waveform::Noise},     // lightly filtered
        {600.0f, 1500.0f, 0.03f, 0.09f, 0.5f, 0.02f, Waveform::Triangle},  // delayed glide
    };
    for (const Note& n : cases) {
        SynthState s = quiet_state();
        s.add_note(n);
        const std::size_t count = 10000;  // 0.21 s: the echo returns after 0.23 s
        const std::vector<float> out = render(s, count);
        const PlainVoice want = plain_voice(n, first_noise_seed, count);
        int compared = 0;
        for (std::size_t i = 0; i < count && want.sounding[i]; ++i, ++compared)
            ASSERT_NEAR(out[i], std::tanh(want.sum[i] * 1.4f), 1e-4f)
                << int(n.waveform) << " " << n.freq_start << " sample " << i;
        EXPECT_GT(compared, 4000) << int(n.waveform) << " " << n.freq_start;
    }
}

TEST(Synth, PitchGlidesExponentially) {
    SynthState s = quiet_state();
    // 200 Hz to 800 Hz over 0.2 s, all before the echo comes back: f(t) = 200 × 4^(t / 0.2).
    s.add_note({200.0f, 800.0f, 0.1f, 0.1f, 0.5f, 0.0f, Waveform::Sine});
    const std::vector<float> out = render(s, 9600);
    const auto crossings = [&](double from, double to) {
        int n = 0;
        for (std::size_t i = std::size_t(from * kRate) + 1; i < std::size_t(to * kRate); ++i)
            n += (out[i - 1] < 0) != (out[i] < 0);
        return n;
    };
    // Cycles in [a, b] = ∫ f = 200 × 0.2 (4^(b/0.2) - 4^(a/0.2)) / ln 4; two crossings each.
    const auto cycles = [](double a, double b) {
        return 200.0 * 0.2 * (std::pow(4.0, b / 0.2) - std::pow(4.0, a / 0.2)) / std::log(4.0);
    };
    EXPECT_NEAR(crossings(0.02, 0.06), 2 * cycles(0.02, 0.06), 2);
    EXPECT_NEAR(crossings(0.08, 0.12), 2 * cycles(0.08, 0.12), 2);  // a linear glide: +8
    EXPECT_NEAR(crossings(0.14, 0.18), 2 * cycles(0.14, 0.18), 2);
}

TEST(Synth, EchoReturnsAfter11040SamplesAtTheRuleGains) {
    SynthState s = quiet_state();
    s.add_note(note(1000.0f, Waveform::Sine, 0.001f, 0.01f, 0.5f));
    // One sample per block so the voice leaves as soon as it ends: then the sum is exactly 0.
    const std::vector<float> out = render(s, 3 * 11040, 1);
    ASSERT_TRUE(s.voices.empty());
    for (std::size_t i = 600; i < 11040; ++i)
        ASSERT_EQ(out[i], 0.0f) << i;  // note over, echo not back yet
    ASSERT_EQ(out[0], 0.0f);           // t = 0: the envelope starts at 0
    for (std::size_t i : {1u, 7u, 50u, 300u}) {
        const float direct = before_clip(out[i]);
        ASSERT_NE(direct, 0.0f);
        // First return: 0.32 of it; second: 0.32 × 0.38 of it.
        EXPECT_NEAR(before_clip(out[i + 11040]), 0.32f * direct, 1e-5f) << i;
        EXPECT_NEAR(before_clip(out[i + 2 * 11040]), 0.32f * 0.38f * direct, 1e-5f) << i;
    }
}

TEST(Synth, MasterGainZeroIsExactSilenceWhileTheEchoRuns) {
    SynthState on = quiet_state();
    SynthState off = quiet_state();
    off.master_gain = 0.0f;
    for (SynthState* s : {&on, &off})
        s->add_note(note(523.0f, Waveform::Triangle, 0.005f, 0.05f, 0.4f));
    const std::vector<float> a = render(on, 4800);
    const std::vector<float> b = render(off, 4800);
    EXPECT_GT(std::fabs(a[100]), 0.01f);  // the same note, heard with sound on
    for (float v : b)
        ASSERT_EQ(v, 0.0f);
    // Sound back on: the echo tail resumes exactly as if it had never been off.
    off.master_gain = 1.4f;
    const std::vector<float> a2 = render(on, 12000);
    const std::vector<float> b2 = render(off, 12000);
    EXPECT_EQ(a2, b2);
    float tail = 0;
    for (std::size_t i = 11040 - 4800; i < 12000; ++i)
        tail = std::max(tail, std::fabs(b2[i]));
    EXPECT_GT(tail, 0.01f);
}

TEST(Synth, DroneFollowsItsTargetSmoothly) {
    SynthState s = SynthState::create(kRate);
    s.drone_target = 1.0f;
    render(s, 48000);
    // level += (3 / r)(target - level) every sample: 1 - (1 - 3/r)^r ≈ 1 - e^-3 after 1 s.
    EXPECT_NEAR(s.drone_level, 1.0 - std::pow(1.0 - 3.0 / 48000.0, 48000.0), 1e-4);
    // With no notes the output is the drone alone: quiet, never silent, never clipped.
    SynthState idle = SynthState::create(kRate);
    const std::vector<float> out = render(idle, 4800);
    float peak = 0;
    for (float v : out)
        peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.005f);
    EXPECT_LT(peak, std::tanh(1.4f * 0.012f) + 1e-6f);  // 0.008 + 0.004 at drone level 0
}

TEST(Synth, LoudSumsAreSoftClipped) {
    SynthState s = quiet_state();
    for (int i = 0; i < 10; ++i)
        s.add_note(note(100.0f, Waveform::Square, 1e-9f, 1.0f, 5.0f));
    for (float v : render(s, 9600))
        ASSERT_LE(std::fabs(v), 1.0f);
}

std::shared_ptr<SharedSynth> shared_state() {
    auto shared = std::make_shared<SharedSynth>();
    shared->state = SynthState::create(kRate);
    return shared;
}

TEST(Synth, DefaultSynthIsSilentAndCheap) {
    Synth synth;
    const Note n = note(440.0f, Waveform::Sine, 0.01f, 0.1f, 0.5f);
    synth.play({&n, 1});
    synth.set_drone(0.5f, 1.0f);
    EXPECT_TRUE(synth.toggle_mute());
    EXPECT_FALSE(synth.toggle_mute());
    EXPECT_EQ(synth.shared, nullptr);
    EXPECT_EQ(synth.stream, nullptr);
}

TEST(Synth, PlayDroneAndMuteReachTheSharedState) {
    Synth synth{shared_state(), nullptr};
    const Note notes[] = {note(440.0f, Waveform::Sine, 0.01f, 0.1f, 0.5f),
                          note(660.0f, Waveform::Sine, 0.01f, 0.1f, 0.5f)};
    synth.play(notes);
    EXPECT_EQ(synth.shared->state.voices.size(), 2u);

    synth.set_drone(3.0f, 0.6f);
    EXPECT_EQ(synth.shared->state.drone_target, 1.0f);  // clamped
    EXPECT_EQ(synth.shared->state.drone_gain, 0.6f);
    synth.set_drone(-1.0f, 0.3f);
    EXPECT_EQ(synth.shared->state.drone_target, 0.0f);

    EXPECT_TRUE(synth.toggle_mute());
    EXPECT_EQ(synth.shared->state.master_gain, 0.0f);
    synth.play(notes);  // ignored while muted
    EXPECT_EQ(synth.shared->state.voices.size(), 2u);
    synth.set_drone(0.5f, 1.0f);  // the drone still follows the game
    EXPECT_EQ(synth.shared->state.drone_target, 0.5f);
    EXPECT_FALSE(synth.toggle_mute());
    EXPECT_EQ(synth.shared->state.master_gain, 1.4f);
}

TEST(Synth, UnusableStateIgnoresRequestsAndRendersSilence) {
    Synth synth{shared_state(), nullptr};
    synth.shared->unusable = true;
    const Note n = note(440.0f, Waveform::Sine, 0.01f, 0.1f, 0.5f);
    synth.play({&n, 1});
    synth.set_drone(1.0f, 1.0f);
    EXPECT_TRUE(synth.shared->state.voices.empty());
    EXPECT_EQ(synth.shared->state.drone_target, 0.0f);
    std::vector<float> out(256, 0.7f);
    render_shared(*synth.shared, out.data(), out.size());
    for (float v : out)
        ASSERT_EQ(v, 0.0f);
    synth.shared->unusable = false;
    render_shared(*synth.shared, out.data(), out.size());
    EXPECT_NE(out[100], 0.0f);  // the drone
}

TEST(Samples, SixteenBitConversion) {
    const struct {
        float x;
        std::int16_t s;
        std::uint16_t u;
    } cases[] = {
        {0.0f, 0, 32768},          {-0.0f, 0, 32768},     {1.0f, 32767, 65535},
        {-1.0f, -32768, 0},        {0.5f, 16384, 49152},  {-0.5f, -16384, 16384},
        {0.99999f, 32767, 65535},  {-0.00001f, 0, 32768}, {0.00004f, 1, 32769},
        {-0.00004f, -1, 32767},    {2.0f, 32767, 65535},  {-3.0f, -32768, 0},
        {std::nanf(""), 0, 32768},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(to_s16(k.x), k.s) << k.x;
        EXPECT_EQ(to_u16(k.x), k.u) << k.x;
    }
}

template <typename T>
std::vector<T> interleave(const std::vector<float>& mono, std::uint32_t channels,
                          SampleFormat format, std::size_t samples) {
    std::vector<T> out(samples, T{});
    write_interleaved(mono, channels, format, out.data(), samples);
    return out;
}

TEST(Samples, EveryChannelOfAFrameCarriesTheSameSample) {
    const std::vector<float> mono = {0.25f, -0.5f, 1.0f};
    EXPECT_EQ(interleave<float>(mono, 2, SampleFormat::F32, 6),
              (std::vector<float>{0.25f, 0.25f, -0.5f, -0.5f, 1.0f, 1.0f}));
    EXPECT_EQ(interleave<std::int16_t>(mono, 2, SampleFormat::S16, 6),
              (std::vector<std::int16_t>{8192, 8192, -16384, -16384, 32767, 32767}));
    EXPECT_EQ(interleave<std::uint16_t>(mono, 3, SampleFormat::U16, 9),
              (std::vector<std::uint16_t>{40960, 40960, 40960, 16384, 16384, 16384, 65535, 65535,
                                          65535}));
    EXPECT_EQ(interleave<float>(mono, 1, SampleFormat::F32, 3), mono);
}

TEST(Samples, PartialLastFrameGetsTheNextMonoSample) {
    EXPECT_EQ(frames_for(5, 2), 3u);
    EXPECT_EQ(frames_for(6, 2), 3u);
    EXPECT_EQ(frames_for(7, 3), 3u);
    const std::vector<float> mono = {0.5f, -0.25f, 0.125f};
    EXPECT_EQ(interleave<std::int16_t>(mono, 2, SampleFormat::S16, 5),
              (std::vector<std::int16_t>{16384, 16384, -8192, -8192, 4096}));
    EXPECT_EQ(interleave<std::uint16_t>(mono, 3, SampleFormat::U16, 7),
              (std::vector<std::uint16_t>{49152, 49152, 49152, 24576, 24576, 24576, 36864}));
}

TEST(Samples, SilenceIsZeroSignedAnd32768Unsigned) {
    const std::vector<float> silence(4, 0.0f);
    for (std::int16_t v : interleave<std::int16_t>(silence, 2, SampleFormat::S16, 8))
        EXPECT_EQ(v, 0);
    for (std::uint16_t v : interleave<std::uint16_t>(silence, 2, SampleFormat::U16, 8))
        EXPECT_EQ(v, 32768);
    EXPECT_EQ(sample_bytes(SampleFormat::F32), 4u);
    EXPECT_EQ(sample_bytes(SampleFormat::S16), 2u);
}

}  // namespace
}  // namespace pyrelle
