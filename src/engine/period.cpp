#include "engine/period.hpp"

namespace pyrelle {

Period Period::create(std::size_t frames, std::uint32_t channels, SampleFormat format) {
    Period period;
    period.channels = channels;
    period.format = format;
    period.mono.assign(frames, 0.0f);
    period.bytes.assign(frames * channels * sample_bytes(format), 0);
    return period;
}

void Period::fill(SharedSynth& shared) {
    render_shared(shared, mono.data(), mono.size());
    write_interleaved(mono, channels, format, bytes.data(), mono.size() * channels);
}

}  // namespace pyrelle
