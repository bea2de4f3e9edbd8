#include "engine/pad_keys.hpp"

#include <gtest/gtest.h>

#include "held_keys_text.hpp"

namespace pyrelle {
namespace {

using fixtures::keys_text;

TEST(PadKeys, DpadStickAndButtonsMapOntoTheGameKeys) {
    struct Case {
        const char* what;
        PadState pad;
        const char* want;
    };
    auto with = [](auto setup) {
        PadState p;
        setup(p);
        return p;
    };
    const Case cases[] = {
        {"nothing", {}, ""},
        {"south", with([](PadState& p) { p.south = true; }), "A"},
        {"start", with([](PadState& p) { p.start = true; }), "E"},
        {"back is a press, not a key", with([](PadState& p) { p.back = true; }), ""},
        {"d-pad", with([](PadState& p) { p.dpad_up = p.dpad_left = true; }), "UL"},
        {"d-pad", with([](PadState& p) { p.dpad_down = p.dpad_right = true; }), "DR"},
        {"stick past the dead zone", with([](PadState& p) { p.stick_x = 9831, p.stick_y = -9831; }),
         "UR"},
        {"stick past the dead zone",
         with([](PadState& p) { p.stick_x = -32768, p.stick_y = 32767; }), "DL"},
        {"stick at the dead zone's edge",
         with([](PadState& p) { p.stick_x = 9830, p.stick_y = -9830; }), ""},
        {"stick inside the dead zone", with([](PadState& p) { p.stick_x = -5000; }), ""},
        {"d-pad and stick together",
         with([](PadState& p) { p.dpad_left = true, p.stick_x = 20000; }), "LR"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keys_text(keys_held_by(c.pad)), c.want) << c.what;
}

TEST(PadKeys, EitherHoldsWhatOneOfThemHolds) {
    Keys keyboard, pad;
    keyboard.up = keyboard.action = true;
    pad.up = pad.escape = pad.right = true;
    EXPECT_EQ(keys_text(either(keyboard, pad)), "URAE");
    EXPECT_EQ(keys_text(either(Keys{}, Keys{})), "");
}

}  // namespace
}  // namespace pyrelle
