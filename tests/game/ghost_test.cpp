#include "game/ghost.hpp"

#include <gtest/gtest.h>

#include <memory>

#include "engine/step_loop.hpp"
#include "game/game.hpp"
#include "game/state_hash.hpp"

namespace pyrelle {
namespace {

TEST(Ghost, SplitTextsInTenthsRoundedHalfAwayFromZero) {
    struct Case {
        float difference;
        const char* text;
        std::uint32_t day_colour;
        std::uint32_t night_colour;
    };
    const Case cases[] = {
        {-3.24f, "\u22123,2 s", 0xFFE178, 0xAA96E6},  // ahead: the run's colour
        {-3.25f, "\u22123,3 s", 0xFFE178, 0xAA96E6},
        {1.5f, "+1,5 s", 0xE6786E, 0xE6786E},  // behind
        {62.46f, "+62,5 s", 0xE6786E, 0xE6786E},
        {0.0f, "0,0 s", 0xC8C8C8, 0xC8C8C8},  // even
        {0.04f, "0,0 s", 0xC8C8C8, 0xC8C8C8},
        {-0.04f, "0,0 s", 0xC8C8C8, 0xC8C8C8},
        {-0.05f, "\u22120,1 s", 0xFFE178, 0xAA96E6},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(split_text(c.difference), c.text) << c.difference;
        EXPECT_EQ(split_colour(c.difference, false), c.day_colour) << c.difference;
        EXPECT_EQ(split_colour(c.difference, true), c.night_colour) << c.difference;
    }
}

// A best run of the game seed 42 that flew at depth 1 from (100, 50), a pixel a step to the
// right, left it after 10 s and depth 2 after 25 s.
std::shared_ptr<GhostRun> made_up_run(std::uint64_t seed = 42) {
    auto run = std::make_shared<GhostRun>();
    run->seed = seed;
    for (int k = 0; k < 100; ++k)
        run->steps.push_back({{100.0f + static_cast<float>(k), 50.0f}, 1, true});
    run->steps.push_back({{0.0f, 0.0f}, 1, false});  // between depths
    run->left_depth[0] = 10.0f;
    run->left_depth[1] = 25.0f;
    return run;
}

TEST(Ghost, SplitsCompareTheTimesAtTheSameDepth) {
    GhostRace race;
    race.wanted = true;
    race.run = made_up_run();
    race.start_run();
    race.leave_depth(1, 13.5f);
    ASSERT_TRUE(race.shown_split());
    EXPECT_FLOAT_EQ(*race.shown_split(), 3.5f);  // behind
    race.leave_depth(2, 20.0f);
    EXPECT_FLOAT_EQ(*race.shown_split(), -5.0f);  // ahead
    race.leave_depth(3, 40.0f);
    EXPECT_FALSE(race.shown_split());  // the best run has no time there
    race.racing = false;
    race.leave_depth(1, 13.5f);
    EXPECT_FALSE(race.shown_split());  // a run not from the title (--depth) races nothing
    race.racing = true;
    race.leave_depth(1, 13.5f);
    race.wanted = false;
    EXPECT_FALSE(race.shown_split());  // hidden with the ghost
    race.run.reset();
    race.wanted = true;
    race.leave_depth(1, 13.5f);
    EXPECT_FALSE(race.shown_split());  // no best run, no split
}

TEST(Ghost, FliesOnlyInTheSameCaveWhileTheBestRunFlies) {
    Level level;
    level.depth = 1;
    GhostRace race;
    race.wanted = true;
    race.run = made_up_run();
    race.run_steps = 7;
    EXPECT_EQ(ghost_in_cave(race, level, 42), nullptr);  // no run from the title: no race
    race.racing = true;
    ASSERT_NE(ghost_in_cave(race, level, 42), nullptr);
    EXPECT_EQ(ghost_in_cave(race, level, 42)->pos.x, 107.0f);  // one step per step
    EXPECT_EQ(ghost_in_cave(race, level, 43), nullptr);        // other caves
    level.depth = 2;
    EXPECT_EQ(ghost_in_cave(race, level, 42), nullptr);  // another depth
    level.depth = 1;
    race.run_steps = 100;
    EXPECT_EQ(ghost_in_cave(race, level, 42), nullptr);  // between depths
    race.run_steps = 101;
    EXPECT_EQ(ghost_in_cave(race, level, 42), nullptr);  // past its end
    race.run_steps = 7;
    race.wanted = false;
    EXPECT_EQ(ghost_in_cave(race, level, 42), nullptr);
}

// The bounding box of the pixels that differ from black.
struct Box {
    std::int32_t x0 = 1 << 20, y0 = 1 << 20, x1 = -1, y1 = -1;
};
Box drawn(const Canvas& canvas) {
    Box box;
    const auto width = static_cast<std::int32_t>(canvas.width);
    const auto height = static_cast<std::int32_t>(canvas.height);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            if (canvas.pixels[static_cast<std::size_t>(y * width + x)] != 0) {
                box.x0 = std::min(box.x0, x);
                box.y0 = std::min(box.y0, y);
                box.x1 = std::max(box.x1, x);
                box.y1 = std::max(box.y1, y);
            }
    return box;
}

TEST(Ghost, DrawnWhereItIsOrMarkedAtTheEdgeTowardsIt) {
    Level level;
    level.depth = 1;
    GhostRace race;
    race.wanted = true;
    race.run = made_up_run();
    race.racing = true;
    race.run_steps = 0;  // at (100, 50)

    level.camera = {0.0f, 0.0f};
    Canvas in_view(320, 180);
    draw_ghost(race, level, 42, in_view);
    const Box near = drawn(in_view);
    EXPECT_LE(near.x0, 100);
    EXPECT_GE(near.x1, 100);
    EXPECT_LE(near.y0, 50);
    EXPECT_GE(near.y1, 50);
    EXPECT_LE(near.x1 - near.x0, 16);  // a faint firefly and its glow, nothing else

    // The ghost at (-300, 0) on the screen: seen from the middle (160, 90), the line towards it
    // leaves the view by its left edge, 4 pixels in, at y = 90 - 90 * 156 / 460.
    level.camera = {400.0f, 50.0f};
    Canvas off_view(320, 180);
    draw_ghost(race, level, 42, off_view);
    const Box mark = drawn(off_view);
    EXPECT_EQ(mark.x0, 3);
    EXPECT_EQ(mark.x1, 5);
    EXPECT_EQ(mark.y0, 58);
    EXPECT_EQ(mark.y1, 60);

    race.wanted = false;
    Canvas hidden(320, 180);
    draw_ghost(race, level, 42, hidden);
    EXPECT_EQ(drawn(hidden).x1, -1);
}

TEST(Game, TheGhostKeyShowsAndHidesItWithANotice) {
    Game game = Game::create(42, Records{}, std::nullopt);
    game.toggle_ghost();
    EXPECT_TRUE(game.ghost.wanted);
    EXPECT_EQ(game.sound_notice, kGhostShown);
    game.toggle_ghost();
    EXPECT_FALSE(game.ghost.wanted);
    EXPECT_EQ(game.sound_notice, kGhostHidden);
    game.return_to_title();
    game.toggle_ghost();
    game.return_to_title();
    EXPECT_TRUE(game.ghost.wanted);  // kept from run to run
}

TEST(Game, ARunCountsItsStepsAndTimesForTheRaceWithoutChangingItsState) {
    Game with = Game::create(42, Records{}, std::nullopt);
    Game without = Game::create(42, Records{}, std::nullopt);
    with.ghost.wanted = true;
    with.ghost.run = made_up_run();
    Input input;
    input.now.action = true;
    for (int i = 0; i < 400; ++i) {
        input.now.right = i % 90 < 50;
        input.now.down = i % 70 < 20;
        ASSERT_TRUE(with.step(input, kStep));
        ASSERT_TRUE(without.step(input, kStep));
        input.prev = input.now;
        input.now.action = false;
        ASSERT_EQ(state_hash(with), state_hash(without)) << i;
    }
    EXPECT_EQ(with.screen, Screen::Play);
    EXPECT_EQ(with.ghost.run_steps, 399u);  // every step after the one that started the run
    EXPECT_EQ(with.run_time, without.run_time);
}

}  // namespace
}  // namespace pyrelle
