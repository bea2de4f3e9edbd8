#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/samples.hpp"
#include "engine/synth.hpp"

namespace pyrelle {

// One period of device output and the scratch it is made from, allocated once per device.
struct Period {
    std::uint32_t channels = 0;
    SampleFormat format = SampleFormat::F32;
    std::vector<float> mono;           // one sample per frame
    std::vector<unsigned char> bytes;  // frames × channels samples in the device's format

    static Period create(std::size_t frames, std::uint32_t channels, SampleFormat format);

    // Renders the synthesizer under its lock (silence from an unusable state) and writes each
    // sample to every channel: what the playback thread sends the device each period.
    void fill(SharedSynth& shared);
};

}  // namespace pyrelle
