#include "engine/period.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace pyrelle {
namespace {

std::shared_ptr<SharedSynth> droning_state() {
    auto shared = std::make_shared<SharedSynth>();
    shared->state = SynthState::create(48000.0f);
    shared->state.drone_level = 1.0f;  // sounds from the first sample
    shared->state.drone_target = 1.0f;
    return shared;
}

std::uint16_t sample_at(const Period& period, std::size_t i) {
    std::uint16_t value = 0;
    std::memcpy(&value, period.bytes.data() + i * 2, 2);
    return value;
}

// What the playback thread sends each period: silence in the device's own terms from an
// unusable state, the synthesizer's sound on every channel otherwise.
TEST(Period, FillsEveryChannelFromTheSharedSynthesizer) {
    struct Case {
        SampleFormat format;
        std::uint16_t silence;
    };
    for (const Case c : {Case{SampleFormat::S16, 0}, Case{SampleFormat::U16, 0x8000}}) {
        const auto shared = droning_state();
        Period period = Period::create(480, 2, c.format);
        std::memset(period.bytes.data(), 0x55, period.bytes.size());
        shared->unusable = true;
        period.fill(*shared);
        for (std::size_t i = 0; i < 960; ++i)
            ASSERT_EQ(sample_at(period, i), c.silence) << i;

        shared->unusable = false;
        period.fill(*shared);
        std::size_t sounding = 0;
        for (std::size_t frame = 0; frame < 480; ++frame) {
            ASSERT_EQ(sample_at(period, 2 * frame), sample_at(period, 2 * frame + 1)) << frame;
            sounding += sample_at(period, 2 * frame) != c.silence;
        }
        EXPECT_GT(sounding, 400u);
    }
}

}  // namespace
}  // namespace pyrelle
