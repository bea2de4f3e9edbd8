#include "game/sound_cues.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace pyrelle {
namespace {

constexpr float kStep = 0.016666668f;

// Hz of n semitones above 261.63 Hz, in double: the test's own route to the pitches.
double hz(double n) {
    return 261.63 * std::pow(2.0, n / 12.0);
}

// The cue's random stream, rewritten here: xorshift64 (12, 25, 27) and its output.
struct Stream {
    std::uint64_t state = 0x63CBE1E459320DD7;
    std::uint64_t next_state() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state;
    }
    std::uint64_t next_output() { return next_state() * 0x2545F4914F6CDD1Dull; }
};

struct Want {
    double from, to;  // Hz
    Waveform w;
    float attack, decay, volume, delay;
};

void expect_notes(const std::vector<Note>& got, const std::vector<Want>& want, const char* what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < want.size(); ++i) {
        const Note& n = got[i];
        const Want& w = want[i];
        EXPECT_NEAR(n.freq_start, w.from, w.from * 1e-5) << what << " note " << i;
        EXPECT_NEAR(n.freq_end, w.to, w.to * 1e-5) << what << " note " << i;
        EXPECT_EQ(n.waveform, w.w) << what << " note " << i;
        EXPECT_FLOAT_EQ(n.attack, w.attack) << what << " note " << i;
        EXPECT_FLOAT_EQ(n.decay, w.decay) << what << " note " << i;
        EXPECT_FLOAT_EQ(n.volume, w.volume) << what << " note " << i;
        EXPECT_FLOAT_EQ(n.delay, w.delay) << what << " note " << i;
    }
}

Want sine(double n, float attack, float decay, float volume, float delay = 0) {
    return {hz(n), hz(n), Waveform::Sine, attack, decay, volume, delay};
}

TEST(SoundCues, StartValues) {
    const SoundCues c;
    EXPECT_EQ(c.rng, 0x63CBE1E459320DD7u);
    EXPECT_EQ(c.since_pollen, FLT_MAX);
    EXPECT_EQ(c.since_chime, FLT_MAX);
    EXPECT_EQ(c.pollen_step, 0u);
    EXPECT_EQ(c.music_step, 0u);
}

TEST(SoundCues, PollenClimbsTheScaleTo19AndBackEvery16Grains) {
    SoundCues c;
    const Level level;
    // Semitones above the octave: 0 2 4 7 9 12 14 16 19 16 14 12 9 7 4 2, then again.
    const double climb[16] = {0, 2, 4, 7, 9, 12, 14, 16, 19, 16, 14, 12, 9, 7, 4, 2};
    for (int grain = 0; grain < 40; ++grain) {
        const std::vector<Note> notes = c.for_event(SoundEvent::Pollen, false);
        const double n = climb[grain % 16] + 12;
        expect_notes(notes,
                     {sine(n, 0.005f, 0.35f, 0.16f),
                      {2 * hz(n), 2 * hz(n), Waveform::Triangle, 0.005f, 0.15f, 0.04f, 0}},
                     "pollen");
        for (int i = 0; i < 30; ++i)  // half a second between grains
            c.tick(kStep, level);
    }
    // A pause of 1.6 s or more starts again from the bottom.
    for (int i = 0; i < 100; ++i)
        c.tick(kStep, level);
    EXPECT_NEAR(c.for_event(SoundEvent::Pollen, false)[0].freq_start, hz(12), 1e-3);
}

TEST(SoundCues, SecondChimeWithinSixTenthsIsSilent) {
    SoundCues c;
    Stream s;
    const Level level;
    const double scale[5] = {0, 2, 4, 7, 9};
    std::vector<Note> first = c.for_event(SoundEvent::CrystalChime, false);
    expect_notes(first, {sine(scale[s.next_output() % 5] + 12, 0.03f, 1.4f, 0.035f)}, "chime");
    for (int i = 0; i < 30; ++i)  // 0.5 s
        c.tick(kStep, level);
    EXPECT_TRUE(c.for_event(SoundEvent::CrystalChime, false).empty());
    EXPECT_EQ(c.rng, s.state) << "a silent chime draws nothing";
    for (int i = 0; i < 7; ++i)  // past 0.6 s
        c.tick(kStep, level);
    expect_notes(c.for_event(SoundEvent::CrystalChime, false),
                 {sine(scale[s.next_output() % 5] + 12, 0.03f, 1.4f, 0.035f)}, "chime again");
}

TEST(SoundCues, LanternPicksItsRootFromTheStream) {
    SoundCues c;
    Stream s;
    const double roots[4] = {0, 2, 7, 9};
    for (int i = 0; i < 6; ++i) {
        const double b = roots[s.next_state() % 4];
        const auto tri = [&](double n, float delay) {
            return Want{hz(n), hz(n), Waveform::Triangle, 0.005f, 1.6f, 0.09f, delay};
        };
        expect_notes(c.for_event(SoundEvent::LanternLit, false),
                     {sine(b - 24, 0.005f, 2.0f, 0.12f), tri(b - 12, 0), tri(b - 8, 0.05f),
                      tri(b - 5, 0.10f), tri(b, 0.15f)},
                     "lantern");
    }
}

TEST(SoundCues, FixedEventCues) {
    SoundCues c;
    const auto tri = [](double n, float delay) {
        return Want{hz(n), hz(n), Waveform::Triangle, 0.005f, 0.9f, 0.08f, delay};
    };
    expect_notes(
        c.for_event(SoundEvent::LastLantern, true),
        {sine(-24, 0.6f, 4.0f, 0.08f), sine(-12, 0.6f, 4.0f, 0.08f), sine(-5, 0.6f, 4.0f, 0.08f),
         sine(0, 0.6f, 4.0f, 0.08f), sine(4, 0.6f, 4.0f, 0.08f), tri(12, 0.30f), tri(16, 0.42f),
         tri(19, 0.54f), tri(24, 0.66f), tri(28, 0.78f), tri(31, 0.90f), tri(36, 1.02f)},
        "last lantern, the Source");
    // The listed pitches of the Source's swell.
    const std::vector<Note> swell = c.for_event(SoundEvent::LastLantern, true);
    const double listed[5] = {65.41, 130.82, 196.00, 261.63, 329.63};
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(swell[i].freq_start, listed[i], 0.01);
    expect_notes(c.for_event(SoundEvent::LastLantern, false),
                 {sine(-12, 0.005f, 1.5f, 0.10f), sine(12, 0.005f, 0.6f, 0.11f, 0.15f),
                  sine(16, 0.005f, 0.6f, 0.11f, 0.24f), sine(19, 0.005f, 0.6f, 0.11f, 0.33f),
                  sine(24, 0.005f, 0.6f, 0.11f, 0.42f)},
                 "last lantern");
    expect_notes(c.for_event(SoundEvent::ShadeHit, false),
                 {{900, 200, Waveform::Noise, 0.005f, 0.25f, 0.40f, 0},
                  {180, 55, Waveform::Square, 0.005f, 0.30f, 0.10f, 0}},
                 "shade hit");
    expect_notes(c.for_event(SoundEvent::Splash, true),
                 {{600, 1500, Waveform::Sine, 0.005f, 0.09f, 0.09f, 0},
                  {800, 1900, Waveform::Sine, 0.005f, 0.07f, 0.05f, 0.07f},
                  {500, 250, Waveform::Noise, 0.03f, 0.35f, 0.035f, 0}},
                 "splash");
    expect_notes(c.for_event(SoundEvent::CompanionJoined, false),
                 {sine(12, 0.005f, 0.5f, 0.10f, 0),
                  sine(16, 0.005f, 0.5f, 0.10f, 0.07f),
                  sine(19, 0.005f, 0.5f, 0.10f, 0.14f),
                  sine(24, 0.005f, 0.5f, 0.10f, 0.21f),
                  sine(28, 0.005f, 0.5f, 0.10f, 0.28f),
                  {hz(31), hz(31), Waveform::Triangle, 0.005f, 0.8f, 0.05f, 0.4f}},
                 "companion");
    expect_notes(c.for_event(SoundEvent::Burst, false),
                 {{3000, 700, Waveform::Noise, 0.005f, 0.35f, 0.08f, 0},
                  sine(12, 0.005f, 0.9f, 0.06f, 0),
                  sine(16, 0.005f, 0.9f, 0.06f, 0.015f),
                  sine(19, 0.005f, 0.9f, 0.06f, 0.03f),
                  sine(24, 0.005f, 0.9f, 0.06f, 0.045f)},
                 "burst");
    EXPECT_EQ(c.rng, SoundCues{}.rng) << "fixed cues draw nothing";
}

TEST(SoundCues, FlowCues) {
    expect_notes(SoundCues::start_cue(),
                 {sine(12, 0.005f, 0.3f, 0.054f), sine(19, 0.005f, 0.5f, 0.054f, 0.08f)}, "start");
    expect_notes(SoundCues::death_cue(),
                 {{392, 98, Waveform::Triangle, 0.005f, 1.8f, 0.16f, 0},
                  {196, 49, Waveform::Sine, 0.005f, 2.2f, 0.14f, 0}},
                 "death");
    expect_notes(SoundCues::descent_cue(),
                 {{2500, 150, Waveform::Noise, 0.3f, 1.4f, 0.18f, 0},
                  {130.82, 65.41, Waveform::Sine, 0.005f, 1.6f, 0.10f, 0}},
                 "descent");
    SoundCues c;
    c.music_time = 7;
    c.music_step = 12;
    expect_notes(
        c.victory_cue(),
        {sine(-24, 1.2f, 3.0f, 0.07f), sine(-12, 1.2f, 3.0f, 0.07f), sine(0, 1.2f, 3.0f, 0.07f),
         sine(4, 1.2f, 3.0f, 0.07f), sine(7, 1.2f, 3.0f, 0.07f), sine(12, 1.2f, 3.0f, 0.07f)},
        "victory");
    EXPECT_EQ(c.music_time, 0.0f);
    EXPECT_EQ(c.music_step, 0u);
}

TEST(SoundCues, HeartbeatQuickensAsTheLightFades) {
    SoundCues c;
    Level level;
    level.energy = 0.21f;
    const std::vector<Want> beat = {{62, 45, Waveform::Sine, 0.005f, 0.14f, 0.35f, 0},
                                    {58, 42, Waveform::Sine, 0.005f, 0.12f, 0.25f, 0.16f}};
    expect_notes(c.tick(kStep, level).notes, beat, "first beat");
    EXPECT_FLOAT_EQ(c.heartbeat_timer, 6 * 0.21f + 0.5f);
    // The next beat comes 1.76 s later: on step 106 (1.76 × 60 = 105.6), not before.
    int steps = 0;
    while (c.tick(kStep, level).notes.empty() && steps < 500)
        ++steps;
    EXPECT_EQ(steps + 1, 106);
    level.energy = 0.3f;  // enough light: no beat, and the timer rests at 0
    EXPECT_TRUE(c.tick(kStep, level).notes.empty());
    EXPECT_EQ(c.heartbeat_timer, 0.0f);
    level.energy = 0.0f;  // out: no beat either
    EXPECT_TRUE(c.tick(kStep, level).notes.empty());
}

TEST(SoundCues, DangerIsTheNearestChasingShade) {
    struct Case {
        std::vector<std::pair<float, ShadeState>> shades;  // distance to the east, state
        float want;
    };
    const Case cases[] = {
        {{}, 0.0f},
        {{{60, ShadeState::Chase}}, 0.5f},
        {{{60, ShadeState::Chase}, {30, ShadeState::Chase}}, 0.75f},
        {{{0, ShadeState::Wander}, {10, ShadeState::Flee}, {90, ShadeState::Chase}}, 0.25f},
        {{{200, ShadeState::Chase}, {150, ShadeState::Chase}}, 0.0f},
        {{{0, ShadeState::Chase}}, 1.0f},
    };
    for (const Case& k : cases) {
        SoundCues c;
        Level level;
        level.energy = 1.0f;
        level.firefly_pos = {100, 50};
        for (const auto& [d, state] : k.shades) {
            Shade s;
            s.x = 100 + d * 0.6f;
            s.y = 50 - d * 0.8f;
            s.state = state;
            level.shades.push_back(s);
        }
        EXPECT_NEAR(c.tick(kStep, level).danger, k.want, 1e-5) << k.shades.size();
    }
}

TEST(SoundCues, VictoryMusicStepsAtTheirTimes) {
    SoundCues c;
    Stream s;
    c.victory_cue();
    const double chords[4][4] = {{0, 0, 4, 7}, {7, 7, 11, 14}, {9, 9, 12, 16}, {5, 5, 9, 12}};
    std::vector<Note> heard;
    double clock = 0;
    for (int frame = 0; frame < 60 * 40; ++frame) {
        const std::vector<Note> notes = c.music(kStep);
        heard.insert(heard.end(), notes.begin(), notes.end());
        clock += kStep;
        // Step s is due at 1.5 + 0.375 s: every step due by now has played, none later
        // (a step due on a frame boundary may go either way with the f32 clock).
        const double done = (clock - 1.5) / 0.375 + 1;
        EXPECT_GE(double(c.music_step), std::floor(done - 1e-3)) << "frame " << frame;
        EXPECT_LE(double(c.music_step), std::max(0.0, std::ceil(done + 1e-3))) << "frame " << frame;
    }
    // The notes, step by step, from the chords and the test's own copy of the stream.
    std::vector<Want> want;
    int melody_even = 0, melody_odd = 0;
    for (std::uint32_t step = 0; step < c.music_step; ++step) {
        const double* chord = chords[(step / 8) % 4];
        if (step % 8 == 0) {
            want.push_back(sine(chord[0] - 24, 0.05f, 3.0f, 0.12f));
            const float delays[3] = {0.0f, 0.02f, 0.04f};
            for (int i = 1; i <= 3; ++i)
                want.push_back({hz(chord[i] - 12), hz(chord[i] - 12), Waveform::Triangle, 0.6f,
                                3.3f, 0.035f, delays[i - 1]});
        }
        const double chance = step % 2 == 0 ? 0.7 : 0.3;
        if (double(s.next_output() >> 40) / 16777216.0 < chance) {
            const double n = chord[1 + s.next_output() % 3];
            want.push_back(sine(n + ((s.next_state() & 1) ? 24 : 12), 0.005f, 1.1f, 0.06f));
            (step % 2 == 0 ? melody_even : melody_odd) += 1;
        }
    }
    expect_notes(heard, want, "music");
    ASSERT_GT(c.music_step, 95u);
    // Melody on about 70 % of the even steps and 30 % of the odd ones.
    EXPECT_NEAR(double(melody_even) / (c.music_step / 2), 0.7, 0.12);
    EXPECT_NEAR(double(melody_odd) / (c.music_step / 2), 0.3, 0.12);
}

TEST(SoundCues, NothingBeforeOneAndAHalfSeconds) {
    SoundCues c;
    c.victory_cue();
    for (int frame = 0; frame < 89; ++frame)
        EXPECT_TRUE(c.music(kStep).empty()) << frame;  // 89 steps: 1.483 s
    // 90 steps make 1.5 s; the first chord comes on the first step at or past it.
    std::vector<Note> chord;
    for (int frame = 0; frame < 2 && chord.empty(); ++frame)
        chord = c.music(kStep);
    ASSERT_GE(chord.size(), 4u);
    EXPECT_NEAR(chord[0].freq_start, hz(-24), 1e-3);
}

}  // namespace
}  // namespace pyrelle
