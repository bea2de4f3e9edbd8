// The desktop sound output: the default ALSA device (PulseAudio and PipeWire desktops
// included), opened non-blocking and fed by a playback thread that renders the synthesizer
// one period of about 10 ms at a time, about 40 ms ahead.
#include "platform/audio.hpp"

#include <alsa/asoundlib.h>

#include <cerrno>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <variant>

#include "engine/period.hpp"
#include "engine/playback.hpp"
#include "engine/samples.hpp"

namespace pyrelle {

namespace {

// ALSA reports its own diagnostics on standard error unless told otherwise; the game's
// only sound messages are its own.
void silent_alsa(const char*, int, const char*, int, const char*, ...) {}

struct PcmCloser {
    void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using Pcm = std::unique_ptr<snd_pcm_t, PcmCloser>;

struct Config {
    unsigned rate = 0;
    unsigned channels = 0;
    SampleFormat format = SampleFormat::F32;
    snd_pcm_uframes_t period = 0;
    snd_pcm_uframes_t buffer = 0;
};

// What failed and why, in the words printed after "son désactivé : ".
struct DeviceFailure {
    std::string text;
};

std::string alsa_text(int error) {
    return snd_strerror(error);
}

// The first of f32, s16, u16 (native order) the device takes; else the name of one it does.
std::optional<DeviceFailure> choose_format(snd_pcm_t* pcm, snd_pcm_hw_params_t* hw,
                                           Config& config) {
    const std::pair<snd_pcm_format_t, SampleFormat> wanted[] = {
        {SND_PCM_FORMAT_FLOAT, SampleFormat::F32},
        {SND_PCM_FORMAT_S16, SampleFormat::S16},
        {SND_PCM_FORMAT_U16, SampleFormat::U16},
    };
    for (const auto& [alsa, ours] : wanted) {
        if (snd_pcm_hw_params_test_format(pcm, hw, alsa) == 0) {
            const int err = snd_pcm_hw_params_set_format(pcm, hw, alsa);
            if (err < 0) return DeviceFailure{alsa_text(err)};
            config.format = ours;
            return std::nullopt;
        }
    }
    snd_pcm_format_mask_t* mask = nullptr;
    std::string name = "inconnu";
    if (snd_pcm_format_mask_malloc(&mask) == 0) {
        snd_pcm_hw_params_get_format_mask(hw, mask);
        for (int f = 0; f <= SND_PCM_FORMAT_LAST; ++f) {
            const auto format = static_cast<snd_pcm_format_t>(f);
            if (snd_pcm_format_mask_test(mask, format)) {
                name = snd_pcm_format_name(format);
                break;
            }
        }
        snd_pcm_format_mask_free(mask);
    }
    return DeviceFailure{"format audio non géré : " + name};
}

// 48 000 Hz and two channels or the nearest the device allows; a period near 10 ms in a
// buffer near 40 ms, so that sound is heard promptly and the thread blocks between periods
// (left alone, some devices pick seconds of buffer, others one frame per period).
std::optional<DeviceFailure> configure(snd_pcm_t* pcm, Config& config) {
    snd_pcm_hw_params_t* hw = nullptr;
    if (int err = snd_pcm_hw_params_malloc(&hw); err < 0) return DeviceFailure{alsa_text(err)};
    const std::unique_ptr<snd_pcm_hw_params_t, void (*)(snd_pcm_hw_params_t*)> owner(
        hw, snd_pcm_hw_params_free);
    if (int err = snd_pcm_hw_params_any(pcm, hw); err < 0) return DeviceFailure{alsa_text(err)};
    if (int err = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED); err < 0)
        return DeviceFailure{alsa_text(err)};
    if (auto failure = choose_format(pcm, hw, config)) return failure;
    config.channels = 2;
    if (int err = snd_pcm_hw_params_set_channels_near(pcm, hw, &config.channels); err < 0)
        return DeviceFailure{alsa_text(err)};
    config.rate = 48000;
    if (int err = snd_pcm_hw_params_set_rate_near(pcm, hw, &config.rate, nullptr); err < 0)
        return DeviceFailure{alsa_text(err)};
    unsigned buffer_us = 40000, period_us = 10000;
    // Whatever these grant is accepted; a device that cannot honour them keeps its own.
    snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &buffer_us, nullptr);
    snd_pcm_hw_params_set_period_time_near(pcm, hw, &period_us, nullptr);
    if (int err = snd_pcm_hw_params(pcm, hw); err < 0) return DeviceFailure{alsa_text(err)};
    snd_pcm_hw_params_get_period_size(hw, &config.period, nullptr);
    snd_pcm_hw_params_get_buffer_size(hw, &config.buffer);
    if (config.channels == 0 || config.period == 0 || config.rate == 0)
        return DeviceFailure{"configuration audio inutilisable"};

    snd_pcm_sw_params_t* sw = nullptr;
    if (int err = snd_pcm_sw_params_malloc(&sw); err < 0) return DeviceFailure{alsa_text(err)};
    const std::unique_ptr<snd_pcm_sw_params_t, void (*)(snd_pcm_sw_params_t*)> sw_owner(
        sw, snd_pcm_sw_params_free);
    snd_pcm_sw_params_current(pcm, sw);
    snd_pcm_sw_params_set_start_threshold(pcm, sw, config.period);
    snd_pcm_sw_params_set_avail_min(pcm, sw, config.period);
    if (int err = snd_pcm_sw_params(pcm, sw); err < 0) return DeviceFailure{alsa_text(err)};
    if (int err = snd_pcm_prepare(pcm); err < 0) return DeviceFailure{alsa_text(err)};
    return std::nullopt;
}

// Opens the default device without blocking (a busy or hung device must not stall the
// game) and sets it up; the device, or why it cannot be used.
std::variant<Pcm, DeviceFailure> open_default(Config& config) {
    snd_pcm_t* raw = nullptr;
    const int opened = snd_pcm_open(&raw, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    // No default device at all is the common case; a busy or forbidden one says why.
    if (opened == -ENOENT || opened == -ENODEV || (opened >= 0 && raw == nullptr))
        return DeviceFailure{"aucune sortie audio"};
    if (opened < 0) return DeviceFailure{alsa_text(opened)};
    Pcm pcm(raw);
    if (auto failure = configure(pcm.get(), config)) return *failure;
    return pcm;
}

constexpr auto kStopWait = std::chrono::milliseconds(200);  // the most a closing game waits
constexpr int kPollMs = 50;  // how often a write waiting on a full device looks for a stop
constexpr int kStopped = 1;

// Writes one period, recovering from under-runs. A full device is waited on kPollMs at a
// time, looking for a stop request in between, so a sound server that stops answering
// cannot hold the thread. 0, kStopped, or the error it could not mend.
int write_period(snd_pcm_t* pcm, const Period& period, PlaybackControl& control) {
    const std::size_t frame_bytes = period.channels * sample_bytes(period.format);
    const snd_pcm_uframes_t frames = period.mono.size();
    snd_pcm_uframes_t done = 0;
    while (done < frames) {
        snd_pcm_sframes_t n =
            snd_pcm_writei(pcm, period.bytes.data() + done * frame_bytes, frames - done);
        if (n >= 0) {
            done += static_cast<snd_pcm_uframes_t>(n);
            continue;
        }
        if (n == -EAGAIN) {
            if (control.stopping()) return kStopped;
            const int waited = snd_pcm_wait(pcm, kPollMs);
            if (waited >= 0) continue;  // room again, or time to look for a stop
            n = waited;
        }
        if (const int err = snd_pcm_recover(pcm, static_cast<int>(n), 1); err < 0) return err;
    }
    return 0;
}

// The system's default ALSA device, for the playback thread.
class AlsaDevice final : public SoundDevice {
  public:
    Result<float> open() override {
        auto opened = open_default(config_);
        if (const auto* failure = std::get_if<DeviceFailure>(&opened))
            return Failure{failure->text};
        pcm_ = std::move(std::get<Pcm>(opened));
        return static_cast<float>(config_.rate);
    }

    Played play(SharedSynth& shared, PlaybackControl& control) override {
        Period period = Period::create(config_.period, config_.channels, config_.format);
        const double period_seconds = double(config_.period) / config_.rate;
        const auto ahead = std::chrono::duration<double>(double(config_.buffer) / config_.rate);
        const PlaybackClock::time_point start = PlaybackClock::now();
        Played played;
        for (;;) {
            period.fill(shared);
            const int result = write_period(pcm_.get(), period, control);
            if (result == kStopped) {
                played.stopped = true;
                return played;
            }
            if (result != 0) {
                played.error = snd_strerror(result);
                return played;
            }
            played.seconds += period_seconds;
            // A device that never blocks (a null sink) must not make us spin: stay at most
            // one buffer ahead of the clock.
            const auto due = start + std::chrono::duration_cast<PlaybackClock::duration>(
                                         std::chrono::duration<double>(played.seconds) - ahead);
            if (control.sleep_until(due)) {
                played.stopped = true;
                return played;
            }
        }
    }

    // Closing can hang on a hung server: the thread's owner may have stopped waiting.
    void close() override { pcm_.reset(); }

  private:
    Config config_;
    Pcm pcm_;
};

// The playback thread, in the role of the audio callback: it opens the device itself, so
// that a sound server slow to answer never holds the window back.
void playback(std::shared_ptr<PlaybackControl> control, std::shared_ptr<SharedSynth> shared) {
    AlsaDevice device;
    if (!control->stopping()) {
        run_playback(device, *shared, *control, PlaybackTiming{},
                     [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
    }
    device.close();
    control->finish();
}

// Keeps the playback thread running; stops it when destroyed, waiting at most kStopWait so
// that closing the game never hangs on the sound device.
class AlsaStream final : public AudioStream {
  public:
    AlsaStream(std::shared_ptr<PlaybackControl> control, std::thread thread)
        : control_(std::move(control)), thread_(std::move(thread)) {}
    AlsaStream(const AlsaStream&) = delete;
    AlsaStream& operator=(const AlsaStream&) = delete;

    ~AlsaStream() override {
        control_->request_stop();
        if (control_->wait_finished(kStopWait)) {
            thread_.join();
        } else {
            thread_.detach();  // it owns all it touches; the process is ending anyway
        }
    }

  private:
    std::shared_ptr<PlaybackControl> control_;
    std::thread thread_;
};

}  // namespace

Synth start_audio() {
    snd_lib_error_set_handler(silent_alsa);
    // The device's own rate replaces this one as soon as it is known.
    auto shared = std::make_shared<SharedSynth>();
    shared->state = SynthState::create(48000.0f);
    auto control = std::make_shared<PlaybackControl>();
    std::thread thread;
    try {
        thread = std::thread(playback, control, shared);
    } catch (const std::system_error& e) {
        std::fprintf(stderr, "son désactivé : %s\n", e.what());
        return Synth{};
    }
    Synth synth;
    synth.shared = std::move(shared);
    synth.stream = std::make_unique<AlsaStream>(std::move(control), std::move(thread));
    return synth;
}

}  // namespace pyrelle
