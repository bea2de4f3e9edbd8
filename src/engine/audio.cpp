#include "engine/audio.hpp"

#include <alsa/asoundlib.h>

#include <cerrno>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

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
struct Failure {
    std::string text;
};

std::string alsa_text(int error) {
    return snd_strerror(error);
}

// The first of f32, s16, u16 (native order) the device takes; else the name of one it does.
std::optional<Failure> choose_format(snd_pcm_t* pcm, snd_pcm_hw_params_t* hw, Config& config) {
    const std::pair<snd_pcm_format_t, SampleFormat> wanted[] = {
        {SND_PCM_FORMAT_FLOAT, SampleFormat::F32},
        {SND_PCM_FORMAT_S16, SampleFormat::S16},
        {SND_PCM_FORMAT_U16, SampleFormat::U16},
    };
    for (const auto& [alsa, ours] : wanted) {
        if (snd_pcm_hw_params_test_format(pcm, hw, alsa) == 0) {
            const int err = snd_pcm_hw_params_set_format(pcm, hw, alsa);
            if (err < 0) return Failure{alsa_text(err)};
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
    return Failure{"format audio non géré : " + name};
}

// 48 000 Hz and two channels or the nearest the device allows; a period near 10 ms in a
// buffer near 40 ms, so that sound is heard promptly and the thread blocks between periods
// (left alone, some devices pick seconds of buffer, others one frame per period).
std::optional<Failure> configure(snd_pcm_t* pcm, Config& config) {
    snd_pcm_hw_params_t* hw = nullptr;
    if (int err = snd_pcm_hw_params_malloc(&hw); err < 0) return Failure{alsa_text(err)};
    const std::unique_ptr<snd_pcm_hw_params_t, void (*)(snd_pcm_hw_params_t*)> owner(
        hw, snd_pcm_hw_params_free);
    if (int err = snd_pcm_hw_params_any(pcm, hw); err < 0) return Failure{alsa_text(err)};
    if (int err = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED); err < 0)
        return Failure{alsa_text(err)};
    if (auto failure = choose_format(pcm, hw, config)) return failure;
    config.channels = 2;
    if (int err = snd_pcm_hw_params_set_channels_near(pcm, hw, &config.channels); err < 0)
        return Failure{alsa_text(err)};
    config.rate = 48000;
    if (int err = snd_pcm_hw_params_set_rate_near(pcm, hw, &config.rate, nullptr); err < 0)
        return Failure{alsa_text(err)};
    unsigned buffer_us = 40000, period_us = 10000;
    // Whatever these grant is accepted; a device that cannot honour them keeps its own.
    snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &buffer_us, nullptr);
    snd_pcm_hw_params_set_period_time_near(pcm, hw, &period_us, nullptr);
    if (int err = snd_pcm_hw_params(pcm, hw); err < 0) return Failure{alsa_text(err)};
    snd_pcm_hw_params_get_period_size(hw, &config.period, nullptr);
    snd_pcm_hw_params_get_buffer_size(hw, &config.buffer);
    if (config.channels == 0 || config.period == 0 || config.rate == 0)
        return Failure{"configuration audio inutilisable"};

    snd_pcm_sw_params_t* sw = nullptr;
    if (int err = snd_pcm_sw_params_malloc(&sw); err < 0) return Failure{alsa_text(err)};
    const std::unique_ptr<snd_pcm_sw_params_t, void (*)(snd_pcm_sw_params_t*)> sw_owner(
        sw, snd_pcm_sw_params_free);
    snd_pcm_sw_params_current(pcm, sw);
    snd_pcm_sw_params_set_start_threshold(pcm, sw, config.period);
    snd_pcm_sw_params_set_avail_min(pcm, sw, config.period);
    if (int err = snd_pcm_sw_params(pcm, sw); err < 0) return Failure{alsa_text(err)};
    if (int err = snd_pcm_prepare(pcm); err < 0) return Failure{alsa_text(err)};
    return std::nullopt;
}

// Our playback thread in the role of the audio callback: lock, render one period of mono
// samples, unlock, write them to every channel in the device's format, block on the device.
class AlsaStream final : public AudioStream {
  public:
    AlsaStream(Pcm pcm, std::shared_ptr<SharedSynth> shared, Config config)
        : pcm_(std::move(pcm)), shared_(std::move(shared)), config_(config) {}

    AlsaStream(const AlsaStream&) = delete;
    AlsaStream& operator=(const AlsaStream&) = delete;

    ~AlsaStream() override {
        {
            std::lock_guard lock(shared_->mutex);
            stop_ = true;
        }
        if (thread_.joinable()) thread_.join();
        snd_pcm_drop(pcm_.get());
    }

    void start() {
        thread_ = std::thread([this] { run(); });
    }

  private:
    Pcm pcm_;
    std::shared_ptr<SharedSynth> shared_;
    Config config_;
    bool stop_ = false;  // guarded by shared_->mutex
    std::thread thread_;

    void run();
    int write_period(const unsigned char* data);
};

// Writes one period, recovering from under-runs. 0, or the error it could not mend.
int AlsaStream::write_period(const unsigned char* data) {
    const std::size_t frame_bytes = config_.channels * sample_bytes(config_.format);
    snd_pcm_uframes_t done = 0;
    while (done < config_.period) {
        const snd_pcm_sframes_t n =
            snd_pcm_writei(pcm_.get(), data + done * frame_bytes, config_.period - done);
        if (n >= 0) {
            done += static_cast<snd_pcm_uframes_t>(n);
            continue;
        }
        if (n == -EAGAIN) continue;
        if (const int err = snd_pcm_recover(pcm_.get(), static_cast<int>(n), 1); err < 0)
            return err;
    }
    return 0;
}

void AlsaStream::run() {
    using Clock = std::chrono::steady_clock;
    const std::size_t samples = config_.period * config_.channels;
    std::vector<float> mono(config_.period);
    std::vector<unsigned char> data(samples * sample_bytes(config_.format));
    const auto period_time = std::chrono::duration<double>(double(config_.period) / config_.rate);
    const auto ahead = std::chrono::duration<double>(double(config_.buffer) / config_.rate);
    const Clock::time_point start = Clock::now();
    double written = 0;  // seconds of sound handed to the device
    bool failing = false;
    for (;;) {
        {
            std::lock_guard lock(shared_->mutex);
            if (stop_) return;
            if (shared_->unusable) {
                std::fill(mono.begin(), mono.end(), 0.0f);
            } else {
                shared_->state.render(mono.data(), mono.size());
            }
        }
        write_interleaved(mono, config_.channels, config_.format, data.data(), samples);
        const int err = write_period(data.data());
        // One message per run of failures; the device is tried again every period.
        if (err < 0 && !failing) std::fprintf(stderr, "erreur audio : %s\n", snd_strerror(err));
        failing = err < 0;
        const bool ok = !failing;
        written += period_time.count();
        // A device that never blocks (a null sink, a broken one) must not make us spin:
        // stay at most one buffer ahead of the clock.
        const auto due = start + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(written) - ahead);
        if (!ok || Clock::now() < due)
            std::this_thread::sleep_until(ok ? due : Clock::now() + period_time);
    }
}

}  // namespace

Synth start_audio() {
    snd_lib_error_set_handler(silent_alsa);
    const auto fail = [](const std::string& text) {
        std::fprintf(stderr, "son désactivé : %s\n", text.c_str());
        return Synth{};
    };
    snd_pcm_t* raw = nullptr;
    const int opened = snd_pcm_open(&raw, "default", SND_PCM_STREAM_PLAYBACK, 0);
    // No default device at all is the common case; a busy or forbidden one says why.
    if (opened == -ENOENT || opened == -ENODEV || (opened >= 0 && raw == nullptr))
        return fail("aucune sortie audio");
    if (opened < 0) return fail(snd_strerror(opened));
    Pcm pcm(raw);
    Config config;
    if (auto failure = configure(pcm.get(), config)) return fail(failure->text);

    auto shared = std::make_shared<SharedSynth>();
    shared->state = SynthState::create(static_cast<float>(config.rate));
    auto stream = std::make_unique<AlsaStream>(std::move(pcm), shared, config);
    try {
        stream->start();
    } catch (const std::system_error& e) {
        return fail(e.what());
    }
    Synth synth;
    synth.shared = std::move(shared);
    synth.stream = std::move(stream);
    return synth;
}

}  // namespace pyrelle
