#include "engine/playback.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace pyrelle {
namespace {

// A sound output that does what its script says: each open succeeds at a rate or fails,
// each play plays so many seconds and then fails. Past its script it fails to open, and
// asks the thread to stop after `opens_before_stop` opens in all.
class ScriptedDevice final : public SoundDevice {
  public:
    std::deque<Result<float>> opens;
    std::deque<double> plays;  // seconds before each failure
    int opened = 0, played = 0, closed = 0;
    PlaybackControl* control = nullptr;

    Result<float> open() override {
        ++opened;
        if (opens.empty()) {
            control->request_stop();
            return Failure{"plus de script"};
        }
        Result<float> next = opens.front();
        opens.pop_front();
        return next;
    }
    Played play(SharedSynth&, PlaybackControl&) override {
        ++played;
        if (plays.empty()) return {true, "", 0.0};
        const double seconds = plays.front();
        plays.pop_front();
        return {false, "périphérique perdu", seconds};
    }
    void close() override { ++closed; }
};

struct Outcome {
    std::vector<std::string> said;
    SharedSynth shared;
};

// Runs the thread's rules to the end of the script, reopening every millisecond.
void run(ScriptedDevice& device, Outcome& run) {
    PlaybackControl control;
    device.control = &control;
    run.shared.state = SynthState::create(48000.0f);
    const PlaybackTiming quick{std::chrono::milliseconds(1), 5.0};
    run_playback(device, run.shared, control, quick,
                 [&](const std::string& line) { run.said.push_back(line); });
}

TEST(Playback, ADeviceThatCannotOpenAtFirstSaysSoOnceAndLeavesTheGameSilent) {
    ScriptedDevice device;
    device.opens = {Failure{"aucune sortie audio"}, 48000.0f};
    Outcome r;
    run(device, r);
    EXPECT_EQ(r.said, std::vector<std::string>{"son désactivé : aucune sortie audio"});
    EXPECT_EQ(device.opened, 1);  // no second try
    EXPECT_TRUE(r.shared.unusable);
}

TEST(Playback, ReopensUntilTheDeviceComesBackAtItsNewRate) {
    ScriptedDevice device;
    device.opens = {48000.0f, Failure{"x"}, Failure{"x"}, Failure{"x"}, 44100.0f};
    device.plays = {10.0};
    Outcome r;
    run(device, r);
    EXPECT_EQ(r.said, std::vector<std::string>{"erreur audio : périphérique perdu"});
    EXPECT_EQ(device.opened, 5);  // three failed reopens did not stop it, the fourth played
    EXPECT_EQ(device.played, 2);
    EXPECT_EQ(r.shared.state.sample_rate, 44100.0f);
    EXPECT_EQ(r.shared.state.echo.size(), 10143u);  // floor(0.23 × 44 100): made anew
    EXPECT_FALSE(r.shared.unusable);
}

TEST(Playback, OneOutageIsSaidOnceHoweverOftenTheDeviceStumbles) {
    struct Case {
        const char* name;
        std::deque<double> plays;
        std::size_t lines;
    };
    const Case cases[] = {
        // A device that takes a period and fails again is still the same outage.
        {"stumbling", {10.0, 0.01, 0.01, 0.01}, 1},
        {"short plays adding up to steady sound", {10.0, 2.0, 2.0, 0.5}, 1},
        // After seconds of steady sound, a failure is news again.
        {"recovered in between", {10.0, 0.01, 6.0, 0.01}, 2},
    };
    for (const Case& c : cases) {
        ScriptedDevice device;
        device.opens = {48000.0f, 48000.0f, 48000.0f, 48000.0f, 48000.0f};
        device.plays = c.plays;
        Outcome r;
        run(device, r);
        EXPECT_EQ(r.said.size(), c.lines) << c.name;
        EXPECT_EQ(device.closed, static_cast<int>(c.plays.size())) << c.name;
    }
}

TEST(Playback, AStopRequestEndsTheWaitForTheDevice) {
    ScriptedDevice device;
    device.opens = {48000.0f};
    device.plays = {10.0};
    PlaybackControl control;
    device.control = &control;
    SharedSynth shared;
    shared.state = SynthState::create(48000.0f);
    control.request_stop();
    const auto start = PlaybackClock::now();
    run_playback(device, shared, control, PlaybackTiming{}, [](const std::string&) {});
    EXPECT_LT(PlaybackClock::now() - start, std::chrono::seconds(1));  // not the 2 s wait
    EXPECT_EQ(device.opened, 1);
}

}  // namespace
}  // namespace pyrelle
