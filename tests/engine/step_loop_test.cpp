#include "engine/step_loop.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace pyrelle {
namespace {

// Records what each step saw.
class Recorder : public LoopClient {
  public:
    std::vector<Input> steps;
    int renders = 0;
    int quit_at = -1;
    bool step(const Input& input, float dt) override {
        EXPECT_EQ(dt, kStep);
        steps.push_back(input);
        return static_cast<int>(steps.size()) != quit_at;
    }
    void render(Canvas&) override { ++renders; }
    bool playing() const override { return false; }
    void focus_lost() override {}
    void change_volume(std::int32_t steps) override { volume_changes.push_back(steps); }
    std::vector<std::int32_t> volume_changes;
    void toggle_ghost() override { ++ghost_toggles; }
    int ghost_toggles = 0;

    int presses(bool Keys::*key) const {
        int n = 0;
        for (const Input& i : steps)
            n += i.pressed(key);
        return n;
    }
};

constexpr float kThirtyFps = 1.0f / 30.0f;

TEST(StepLoop, ThirtyFramesPerSecondRunTwoStepsWithOnePress) {
    StepLoop loop;
    Recorder game;
    Keys held;
    held.action = true;
    const StepLoop::Turn first = loop.run_turn(held, kThirtyFps + 1e-5f, game);
    EXPECT_EQ(first.steps, 2);
    EXPECT_EQ(game.presses(&Keys::action), 1);
    EXPECT_TRUE(game.steps[0].pressed(&Keys::action));
    EXPECT_TRUE(game.steps[1].held(&Keys::action));
    // Held across later turns: still one press.
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(loop.run_turn(held, kThirtyFps, game).steps >= 1, true);
    EXPECT_EQ(game.presses(&Keys::action), 1);
}

TEST(StepLoop, ATurnWithoutAStepKeepsThePressForTheNextStep) {
    StepLoop loop;
    Recorder game;
    Keys held;
    held.left = true;
    EXPECT_EQ(loop.run_turn(held, 0.005f, game).steps, 0);
    EXPECT_EQ(loop.run_turn(held, 0.005f, game).steps, 0);
    EXPECT_EQ(loop.run_turn(held, 0.01f, game).steps, 1);
    EXPECT_EQ(game.presses(&Keys::left), 1);
}

TEST(StepLoop, AStallCatchesUpAtMostFifteenSteps) {
    StepLoop loop;
    Recorder game;
    EXPECT_EQ(loop.run_turn({}, 3.0f, game).steps, 15);
    EXPECT_LT(loop.accumulator, kStep);
    EXPECT_EQ(loop.run_turn({}, 0.0f, game).steps, 0);
}

TEST(StepLoop, ATypedMMutesForOneStepOnly) {
    for (const char* typed : {"m", "M", "mmm", "xMy"}) {
        StepLoop loop;
        Recorder game;
        loop.take_typed_text(typed);
        loop.run_turn({}, 3 * kStep + 1e-4f, game);
        ASSERT_EQ(game.steps.size(), 3u) << typed;
        EXPECT_EQ(game.presses(&Keys::mute), 1) << typed;
        EXPECT_TRUE(game.steps[0].now.mute) << typed;
        EXPECT_FALSE(game.steps[1].now.mute) << typed;
        loop.run_turn({}, kStep, game);
        EXPECT_EQ(game.presses(&Keys::mute), 1) << typed;
    }
}

TEST(StepLoop, OtherTypedTextDoesNotMute) {
    StepLoop loop;
    Recorder game;
    loop.take_typed_text("n\xC3\xA9w");  // "néw"
    loop.run_turn({}, kStep, game);
    EXPECT_EQ(game.presses(&Keys::mute), 0);
}

TEST(StepLoop, QuitStopsTheTurnAtOnce) {
    StepLoop loop;
    Recorder game;
    game.quit_at = 2;
    const StepLoop::Turn turn = loop.run_turn({}, 0.1f, game);
    EXPECT_TRUE(turn.quit);
    EXPECT_EQ(game.steps.size(), 2u);
}

TEST(StepLoop, HeldKeysReachTheInput) {
    StepLoop loop;
    Recorder game;
    Keys held{true, false, true, false, false, true};
    loop.run_turn(held, kStep, game);
    ASSERT_EQ(game.steps.size(), 1u);
    const Keys& k = game.steps[0].now;
    EXPECT_TRUE(k.up && k.left && k.escape);
    EXPECT_FALSE(k.down || k.right || k.action || k.mute);
}

TEST(StepLoop, TypedPlusAndMinusAskForTheVolumeOncePerTurn) {
    StepLoop loop;
    Recorder game;
    loop.take_typed_text("++=");
    loop.take_typed_text("-");
    loop.run_turn(Keys{}, kThirtyFps, game);
    EXPECT_EQ(game.volume_changes, std::vector<std::int32_t>{2});
    loop.run_turn(Keys{}, kThirtyFps, game);
    EXPECT_EQ(game.volume_changes.size(), 1u);  // asked once, not again
    loop.take_typed_text("--m");
    loop.run_turn(Keys{}, kThirtyFps, game);
    EXPECT_EQ(game.volume_changes, (std::vector<std::int32_t>{2, -2}));
    EXPECT_EQ(game.presses(&Keys::mute), 1);
}

TEST(StepLoop, EachTypedGTogglesTheGhostOnce) {
    StepLoop loop;
    Recorder game;
    loop.take_typed_text("gG");  // on and off again within one turn
    loop.take_typed_text("x");
    loop.run_turn(Keys{}, kThirtyFps, game);
    EXPECT_EQ(game.ghost_toggles, 2);
    loop.run_turn(Keys{}, kThirtyFps, game);
    EXPECT_EQ(game.ghost_toggles, 2);  // not asked again
    EXPECT_EQ(game.presses(&Keys::mute), 0);
}

}  // namespace
}  // namespace pyrelle
