#include "engine/view_fit.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/step_loop.hpp"

namespace pyrelle {
namespace {

TEST(FitView, LargestWholeScaleCentredElseKeptProportions) {
    struct Case {
        std::int32_t w, h;
        ViewRect want;
    };
    const Case cases[] = {
        {1280, 720, {0, 0, 1280, 720}},     // the window as it opens: 4 times
        {1920, 1080, {0, 0, 1920, 1080}},   // 6 times exactly
        {2560, 1440, {0, 0, 2560, 1440}},   // 8 times
        {1366, 768, {43, 24, 1280, 720}},   // 4 times with borders all round
        {1700, 1000, {50, 50, 1600, 900}},  // 5 times
        {1280, 1024, {0, 152, 1280, 720}},  // a taller screen: bands above and below
        {3000, 200, {1340, 10, 320, 180}},  // a very wide one: once
        {320, 180, {0, 0, 320, 180}},
        {319, 180, {0, 0, 319, 179}},  // smaller than the view: fractional
        {300, 100, {61, 0, 178, 100}},
        {0, 720, {0, 0, 0, 0}},  // a window with no area shows nothing
    };
    for (const Case& c : cases) {
        const ViewRect got = fit_view(c.w, c.h, 320, 180);
        EXPECT_EQ(got.x, c.want.x) << c.w << "x" << c.h;
        EXPECT_EQ(got.y, c.want.y) << c.w << "x" << c.h;
        EXPECT_EQ(got.width, c.want.width) << c.w << "x" << c.h;
        EXPECT_EQ(got.height, c.want.height) << c.w << "x" << c.h;
    }
}

TEST(FramePacing, TheRefreshPacesOnlyARealVsyncOnADisplayOfFiftyHertzOrMore) {
    struct Case {
        DisplaySync sync;
        bool limiter;
    };
    const Case cases[] = {
        {{true, false, 60}, false},   // the refresh paces the loop
        {{true, false, 144}, false},  // at the display's rate
        {{true, false, 50}, false},   // 50 Hz is still enough
        {{true, false, 49}, true},    // below, the limiter presents every step
        {{true, false, 30}, true},    // as at 30 Hz
        {{true, false, 0}, true},     // the display does not say its rate
        {{false, false, 60}, true},   // no vsync
        {{true, true, 60}, true},     // a software renderer's vsync is a sleep
        {{false, true, 144}, true},   // whatever the rate
    };
    for (const Case& c : cases) {
        EXPECT_EQ(keeps_frame_limiter(c.sync), c.limiter)
            << "vsync " << c.sync.vsync << " software " << c.sync.software << " at "
            << c.sync.refresh_hz << " Hz";
    }
}

TEST(FramePacing, TheWatchTellsPresentsThatDoNotWaitForTheRefresh) {
    struct Case {
        std::int32_t refresh_hz;
        float present_every;  // seconds
        bool too_fast;        // within three seconds
    };
    const Case cases[] = {
        {60, 1.0f / 60, false},    // every refresh
        {144, 1.0f / 144, false},  // on a faster screen
        {60, 1.0f / 85, false},    // up to one and a half times the rate: late and early frames
        {60, 1.0f / 95, true},     // beyond
        {60, 0.001f, true},        // a loop that does not wait at all
        {60, 0.2f, false},         // a slow compositor
    };
    for (const Case& c : cases) {
        VsyncWatch watch{c.refresh_hz};
        bool seen = false;
        for (float t = 0.0f; t < 3.0f && !seen; t += c.present_every)
            seen = watch.presents_too_fast(c.present_every);
        EXPECT_EQ(seen, c.too_fast) << c.refresh_hz << " Hz, a present every " << c.present_every;
    }
}

// Presenting at the refresh of a faster screen runs each step once, in turn, never two in one
// turn: 600 steps in ten seconds whatever the rate.
TEST(FramePacing, AFastScreenRunsAtMostOneStepATurnAndSixtyASecond) {
    class Counter : public LoopClient {
      public:
        int steps = 0;
        bool step(const Input&, float) override { return ++steps, true; }
        void render(Canvas&) override {}
        bool playing() const override { return true; }
        void focus_lost() override {}
    };
    for (const int hz : {60, 75, 120, 144, 240}) {
        StepLoop loop;
        Counter game;
        int most = 0;
        for (int turn = 0; turn < hz * 10; ++turn)
            most = std::max(most, loop.run_turn({}, 1.0f / float(hz), game).steps);
        EXPECT_EQ(most, 1) << hz << " Hz";
        EXPECT_NEAR(game.steps, 600, 1) << hz << " Hz";
    }
}

}  // namespace
}  // namespace pyrelle
