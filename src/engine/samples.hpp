#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace pyrelle {

// Sample formats the sound output writes.
enum class SampleFormat : std::uint8_t { F32, S16, U16 };

std::size_t sample_bytes(SampleFormat format);

// x × 32768, clamped to [-32768, 32767], truncated toward zero (NaN gives 0).
std::int16_t to_s16(float x);
// The signed value with its top bit flipped: silence is 32768.
std::uint16_t to_u16(float x);

// Frames needed to fill `samples` interleaved samples of `channels` channels, counting a
// last partial frame.
std::size_t frames_for(std::size_t samples, std::uint32_t channels);

// Writes `samples` interleaved samples into `out` (native byte order): chunk i of
// `channels` samples, the last one possibly shorter, carries mono[i] on every channel.
// mono must hold frames_for(samples, channels) values.
void write_interleaved(std::span<const float> mono, std::uint32_t channels, SampleFormat format,
                       void* out, std::size_t samples);

}  // namespace pyrelle
