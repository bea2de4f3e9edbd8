#include "headless.hpp"

#include <gtest/gtest.h>

namespace pyrelle {
namespace {

TEST(Headless, DurationsUseTheLargestNonZeroUnitWithTwoDecimals) {
    struct Case {
        std::uint64_t ns;
        const char* want;
    };
    const Case cases[] = {
        {1250000, "1.25ms"},      {340000, "340.00µs"},  {0, "0.00ns"},       {999, "999.00ns"},
        {1000, "1.00µs"},         {1005, "1.01µs"},  // exactly half of the last digit: rounds up
        {1004, "1.00µs"},         {2500000000, "2.50s"}, {1004999, "1.00ms"},  // below the half
        {1005000, "1.01ms"},                                                   // exactly half: up
        {999996000, "1000.00ms"},  // rounding carries into the whole part, unit kept
        {61000000000, "61.00s"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(format_duration(c.ns), c.want) << c.ns;
}

TEST(Headless, KeyScriptPressesActionOnceAndTurnsEveryFiftySteps) {
    EXPECT_FALSE(scripted_keys(0).action);
    EXPECT_TRUE(scripted_keys(1).action);
    EXPECT_FALSE(scripted_keys(2).action);
    struct Case {
        std::uint32_t step;
        bool up, down, left, right;
    };
    const Case cases[] = {
        {0, false, false, false, true},   {49, false, false, false, true},
        {50, false, true, false, false},  {100, false, false, true, false},
        {150, true, false, false, false}, {199, true, false, false, false},
        {200, false, false, false, true}, {4294967295u, false, true, false, false},
    };
    for (const Case& c : cases) {
        const Keys k = scripted_keys(c.step);
        EXPECT_EQ(k.up, c.up) << c.step;
        EXPECT_EQ(k.down, c.down) << c.step;
        EXPECT_EQ(k.left, c.left) << c.step;
        EXPECT_EQ(k.right, c.right) << c.step;
        EXPECT_FALSE(k.escape || k.mute) << c.step;
    }
}

}  // namespace
}  // namespace pyrelle
