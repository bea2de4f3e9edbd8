#include "engine/samples.hpp"

#include <cstring>

namespace pyrelle {

namespace {

template <typename T>
void write_as(std::span<const float> mono, std::uint32_t channels, T (*convert)(float), void* out,
              std::size_t samples) {
    auto* bytes = static_cast<unsigned char*>(out);
    for (std::size_t i = 0; i < samples; ++i) {
        const T v = convert(mono[i / channels]);
        std::memcpy(bytes + i * sizeof(T), &v, sizeof(T));
    }
}

float as_is(float x) {
    return x;
}

}  // namespace

std::size_t sample_bytes(SampleFormat format) {
    return format == SampleFormat::F32 ? 4 : 2;
}

std::int16_t to_s16(float x) {
    const float v = x * 32768.0f;
    if (!(v == v)) return 0;
    if (v >= 32767.0f) return 32767;
    if (v <= -32768.0f) return -32768;
    return static_cast<std::int16_t>(v);
}

std::uint16_t to_u16(float x) {
    return static_cast<std::uint16_t>(static_cast<std::uint16_t>(to_s16(x)) ^ 0x8000u);
}

std::size_t frames_for(std::size_t samples, std::uint32_t channels) {
    return channels == 0 ? 0 : (samples + channels - 1) / channels;
}

void write_interleaved(std::span<const float> mono, std::uint32_t channels, SampleFormat format,
                       void* out, std::size_t samples) {
    if (channels == 0) return;
    switch (format) {
        case SampleFormat::F32:
            write_as<float>(mono, channels, as_is, out, samples);
            break;
        case SampleFormat::S16:
            write_as<std::int16_t>(mono, channels, to_s16, out, samples);
            break;
        case SampleFormat::U16:
            write_as<std::uint16_t>(mono, channels, to_u16, out, samples);
            break;
    }
}

}  // namespace pyrelle
