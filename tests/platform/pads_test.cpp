// Gamepads through SDL's virtual game controllers: no display and no device needed.
#include "platform/sdl/pads.hpp"

#include <gtest/gtest.h>

#include "held_keys_text.hpp"

namespace pyrelle {
namespace {

using fixtures::keys_text;

// One SDL virtual controller with the standard layout: button i is SDL's controller button i.
class VirtualPad {
  public:
    VirtualPad() {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        const int index = SDL_JoystickAttachVirtualEx(&desc);
        joystick_ = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
    }
    ~VirtualPad() { unplug(); }
    VirtualPad(const VirtualPad&) = delete;
    VirtualPad& operator=(const VirtualPad&) = delete;

    bool attached() const { return joystick_ != nullptr; }
    void button(SDL_GameControllerButton b, bool down) {
        SDL_JoystickSetVirtualButton(joystick_, b, down ? SDL_PRESSED : SDL_RELEASED);
    }
    void axis(SDL_GameControllerAxis a, Sint16 value) {
        SDL_JoystickSetVirtualAxis(joystick_, a, value);
    }
    void unplug() {
        if (!joystick_) return;
        const SDL_JoystickID id = SDL_JoystickInstanceID(joystick_);
        SDL_JoystickClose(joystick_);
        joystick_ = nullptr;
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
        }
    }

  private:
    SDL_Joystick* joystick_ = nullptr;
};

// What the window loop gathers from the events of one turn.
struct Gathered {
    Keys tapped;
    int mutes = 0;
};

class PadsTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(SDL_Init(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError(); }
    void TearDown() override { SDL_Quit(); }

    Gathered pump(Pads& pads) {
        Gathered gathered;
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            const PadPresses presses = pads.handle(event);
            gathered.tapped = either(gathered.tapped, presses.tapped);
            gathered.mutes += presses.mute ? 1 : 0;
        }
        return gathered;
    }
};

TEST_F(PadsTest, ButtonsAndStickBecomeGameKeys) {
    Pads pads;
    VirtualPad pad;
    ASSERT_TRUE(pad.attached()) << SDL_GetError();
    pump(pads);
    ASSERT_EQ(pads.count(), 1u);
    EXPECT_EQ(keys_text(pads.held()), "");

    pad.button(SDL_CONTROLLER_BUTTON_A, true);
    EXPECT_EQ(keys_text(pump(pads).tapped), "A");
    EXPECT_EQ(keys_text(pads.held()), "A");
    pad.button(SDL_CONTROLLER_BUTTON_A, false);
    pad.axis(SDL_CONTROLLER_AXIS_LEFTX, 20000);
    pad.axis(SDL_CONTROLLER_AXIS_LEFTY, -12000);
    pump(pads);
    EXPECT_EQ(keys_text(pads.held()), "UR");
    pad.axis(SDL_CONTROLLER_AXIS_LEFTX, 5000);  // inside the dead zone
    pad.axis(SDL_CONTROLLER_AXIS_LEFTY, -5000);
    pump(pads);
    EXPECT_EQ(keys_text(pads.held()), "");
    pad.button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
    pad.button(SDL_CONTROLLER_BUTTON_START, true);
    EXPECT_EQ(keys_text(pump(pads).tapped), "DE");
    EXPECT_EQ(keys_text(pads.held()), "DE");
}

TEST_F(PadsTest, BackAsksForMuteOncePerPress) {
    Pads pads;
    VirtualPad pad;
    ASSERT_TRUE(pad.attached()) << SDL_GetError();
    pump(pads);
    pad.button(SDL_CONTROLLER_BUTTON_BACK, true);
    const Gathered first = pump(pads);
    EXPECT_EQ(first.mutes, 1);
    EXPECT_EQ(keys_text(first.tapped), "");
    EXPECT_EQ(pump(pads).mutes, 0);  // held down: no second request
    pad.button(SDL_CONTROLLER_BUTTON_BACK, false);
    pump(pads);
    pad.button(SDL_CONTROLLER_BUTTON_BACK, true);
    EXPECT_EQ(pump(pads).mutes, 1);
}

TEST_F(PadsTest, SeveralPadsAddUpAndAPulledPadHoldsNothing) {
    VirtualPad present_at_start;  // plugged in before the game looks
    ASSERT_TRUE(present_at_start.attached()) << SDL_GetError();
    Pads pads;
    pump(pads);
    ASSERT_EQ(pads.count(), 1u);
    VirtualPad second;
    pump(pads);
    ASSERT_EQ(pads.count(), 2u);
    present_at_start.button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    second.button(SDL_CONTROLLER_BUTTON_A, true);
    second.axis(SDL_CONTROLLER_AXIS_LEFTY, -32768);
    pump(pads);
    EXPECT_EQ(keys_text(pads.held()), "ULA");

    second.unplug();  // in the middle of its press
    pump(pads);
    EXPECT_EQ(pads.count(), 1u);
    EXPECT_EQ(keys_text(pads.held()), "L");
    present_at_start.unplug();
    pump(pads);
    EXPECT_EQ(pads.count(), 0u);
    EXPECT_EQ(keys_text(pads.held()), "");
}

}  // namespace
}  // namespace pyrelle
