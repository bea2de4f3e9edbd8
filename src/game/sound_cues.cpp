#include "game/sound_cues.hpp"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "game/vec2.hpp"

namespace pyrelle {

namespace {

constexpr float kPentatonic[9] = {0, 2, 4, 7, 9, 12, 14, 16, 19};

Note tone(float n, Waveform w, float attack, float decay, float volume, float delay = 0.0f) {
    const float f = semitone(n);
    return {f, f, attack, decay, volume, delay, w};
}

Note glide(float from, float to, Waveform w, float attack, float decay, float volume,
           float delay = 0.0f) {
    return {from, to, attack, decay, volume, delay, w};
}

struct Step {
    float n;      // semitones
    float delay;  // s
};

// Sine notes of one shape at their own pitches and moments.
void arpeggio(std::vector<Note>& out, std::initializer_list<Step> steps, float attack, float decay,
              float volume) {
    for (const Step& s : steps)
        out.push_back(tone(s.n, Waveform::Sine, attack, decay, volume, s.delay));
}

}  // namespace

std::uint64_t SoundCues::next_state() {
    rng ^= rng >> 12;
    rng ^= rng << 25;
    rng ^= rng >> 27;
    return rng;
}

std::uint64_t SoundCues::next_output() {
    return next_state() * 0x2545F4914F6CDD1Dull;
}

std::vector<Note> SoundCues::for_event(SoundEvent event, bool deep) {
    std::vector<Note> out;
    switch (event) {
        case SoundEvent::Pollen: {
            // Grains gathered in quick succession climb the scale and come back down.
            pollen_step = since_pollen < 1.6f ? pollen_step + 1 : 0;
            since_pollen = 0.0f;
            const std::uint64_t j = pollen_step % 16;
            const std::uint64_t i = j < 9 ? j : 16 - j;
            const Note low = tone(kPentatonic[i] + 12.0f, Waveform::Sine, 0.005f, 0.35f, 0.16f);
            out.push_back(low);
            out.push_back(glide(2.0f * low.freq_start, 2.0f * low.freq_start, Waveform::Triangle,
                                0.005f, 0.15f, 0.04f));
            break;
        }
        case SoundEvent::LanternLit: {
            constexpr float kRoots[4] = {0, 2, 7, 9};
            const float b = kRoots[next_state() % 4];
            out.push_back(tone(b - 24.0f, Waveform::Sine, 0.005f, 2.0f, 0.12f));
            const float steps[4][2] = {{-12, 0.0f}, {-8, 0.05f}, {-5, 0.10f}, {0, 0.15f}};
            for (const auto& [n, delay] : steps)
                out.push_back(tone(b + n, Waveform::Triangle, 0.005f, 1.6f, 0.09f, delay));
            break;
        }
        case SoundEvent::LastLantern:
            if (deep) {
                // The Source wakes: a slow swell, then a long climb.
                for (float n : {-24.0f, -12.0f, -5.0f, 0.0f, 4.0f})
                    out.push_back(tone(n, Waveform::Sine, 0.6f, 4.0f, 0.08f));
                const Step climb[] = {{12, 0.30f}, {16, 0.42f}, {19, 0.54f}, {24, 0.66f},
                                      {28, 0.78f}, {31, 0.90f}, {36, 1.02f}};
                for (const Step& c : climb)
                    out.push_back(tone(c.n, Waveform::Triangle, 0.005f, 0.9f, 0.08f, c.delay));
            } else {
                out.push_back(tone(-12.0f, Waveform::Sine, 0.005f, 1.5f, 0.10f));
                arpeggio(out, {{12, 0.15f}, {16, 0.24f}, {19, 0.33f}, {24, 0.42f}}, 0.005f, 0.6f,
                         0.11f);
            }
            break;
        case SoundEvent::ShadeHit:
            out.push_back(glide(900.0f, 200.0f, Waveform::Noise, 0.005f, 0.25f, 0.40f));
            out.push_back(glide(180.0f, 55.0f, Waveform::Square, 0.005f, 0.30f, 0.10f));
            break;
        case SoundEvent::CrystalChime:
            if (since_chime >= 0.6f) {
                since_chime = 0.0f;
                const float p = kPentatonic[next_output() % 5];
                out.push_back(tone(p + 12.0f, Waveform::Sine, 0.03f, 1.4f, 0.035f));
            }
            break;
        case SoundEvent::Splash:
            out.push_back(glide(600.0f, 1500.0f, Waveform::Sine, 0.005f, 0.09f, 0.09f));
            out.push_back(glide(800.0f, 1900.0f, Waveform::Sine, 0.005f, 0.07f, 0.05f, 0.07f));
            out.push_back(glide(500.0f, 250.0f, Waveform::Noise, 0.03f, 0.35f, 0.035f));
            break;
        case SoundEvent::CompanionJoined:
            arpeggio(out, {{12, 0.0f}, {16, 0.07f}, {19, 0.14f}, {24, 0.21f}, {28, 0.28f}}, 0.005f,
                     0.5f, 0.10f);
            out.push_back(tone(31.0f, Waveform::Triangle, 0.005f, 0.8f, 0.05f, 0.4f));
            break;
        case SoundEvent::Burst:
            out.push_back(glide(3000.0f, 700.0f, Waveform::Noise, 0.005f, 0.35f, 0.08f));
            arpeggio(out, {{12, 0.0f}, {16, 0.015f}, {19, 0.03f}, {24, 0.045f}}, 0.005f, 0.9f,
                     0.06f);
            break;
    }
    return out;
}

AmbientCue SoundCues::tick(float dt, const Level& level) {
    AmbientCue cue;
    since_pollen += dt;
    since_chime += dt;
    const float energy = level.energy;
    if (energy > 0.0f && energy < 0.25f) {
        heartbeat_timer -= dt;
        if (heartbeat_timer <= 0.0f) {
            // Beats come faster as the light fades.
            heartbeat_timer = 6.0f * energy + 0.5f;
            cue.notes.push_back(glide(62.0f, 45.0f, Waveform::Sine, 0.005f, 0.14f, 0.35f));
            cue.notes.push_back(glide(58.0f, 42.0f, Waveform::Sine, 0.005f, 0.12f, 0.25f, 0.16f));
        }
    } else {
        heartbeat_timer = 0.0f;
    }
    bool chased = false;
    float danger = 0.0f;
    for (const Shade& s : level.shades) {
        if (s.state != ShadeState::Chase) continue;
        const float d = 1.0f - distance(Vec2{s.x, s.y}, level.firefly_pos) / 120.0f;
        danger = chased ? std::max(danger, d) : d;
        chased = true;
    }
    cue.danger = std::clamp(danger, 0.0f, 1.0f);
    return cue;
}

std::vector<Note> SoundCues::music(float dt) {
    // C, G, A minor, F: the root doubled, then the triad.
    constexpr float kChords[4][4] = {{0, 0, 4, 7}, {7, 7, 11, 14}, {9, 9, 12, 16}, {5, 5, 9, 12}};
    std::vector<Note> out;
    music_time += dt;
    while (music_time >= 1.5f + 0.375f * static_cast<float>(music_step)) {
        const std::uint32_t s = music_step++;
        const float* chord = kChords[(s / 8) % 4];
        if (s % 8 == 0) {
            out.push_back(tone(chord[0] - 24.0f, Waveform::Sine, 0.05f, 3.0f, 0.12f));
            const float delays[3] = {0.0f, 0.02f, 0.04f};
            for (int i = 1; i <= 3; ++i)
                out.push_back(
                    tone(chord[i] - 12.0f, Waveform::Triangle, 0.6f, 3.3f, 0.035f, delays[i - 1]));
        }
        const float chance = s % 2 == 0 ? 0.7f : 0.3f;
        const float draw = static_cast<float>(next_output() >> 40) / 16777216.0f;
        if (draw < chance) {
            const float n = chord[1 + next_output() % 3];
            const float octave = (next_state() & 1u) ? 24.0f : 12.0f;
            out.push_back(tone(n + octave, Waveform::Sine, 0.005f, 1.1f, 0.06f));
        }
    }
    return out;
}

std::vector<Note> SoundCues::start_cue() {
    return {tone(12.0f, Waveform::Sine, 0.005f, 0.3f, 0.054f),
            tone(19.0f, Waveform::Sine, 0.005f, 0.5f, 0.054f, 0.08f)};
}

std::vector<Note> SoundCues::death_cue() {
    return {glide(392.0f, 98.0f, Waveform::Triangle, 0.005f, 1.8f, 0.16f),
            glide(196.0f, 49.0f, Waveform::Sine, 0.005f, 2.2f, 0.14f)};
}

std::vector<Note> SoundCues::descent_cue() {
    return {glide(2500.0f, 150.0f, Waveform::Noise, 0.3f, 1.4f, 0.18f),
            glide(130.82f, 65.41f, Waveform::Sine, 0.005f, 1.6f, 0.10f)};
}

std::vector<Note> SoundCues::victory_cue() {
    music_time = 0.0f;
    music_step = 0;
    std::vector<Note> out;
    for (float n : {-24.0f, -12.0f, 0.0f, 4.0f, 7.0f, 12.0f})
        out.push_back(tone(n, Waveform::Sine, 1.2f, 3.0f, 0.07f));
    return out;
}

}  // namespace pyrelle
