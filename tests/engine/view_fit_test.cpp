#include "engine/view_fit.hpp"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace pyrelle
