#include "session_loop.hpp"

#include <gtest/gtest.h>

#include <optional>

#include "startup.hpp"

namespace pyrelle {
namespace {

Input pressing(bool Keys::*key) {
    Input input;
    input.now.*key = true;
    return input;
}

// A game of the window, on the title, with nothing recorded or watched.
struct Played {
    Game game = Game::create(5, Records{}, std::nullopt);
    PlaySession session{game, replay_start(Options{}, 5, game.records), nullptr};
    SessionLoop loop{session, game};
};

TEST(SessionLoop, LosingTheFocusPausesARunAndNothingElse) {
    struct Case {
        const char* name;
        Screen screen;  // when the focus goes
        Screen after;   // one step later
    };
    const Case cases[] = {
        {"play", Screen::Play, Screen::Pause},
        {"title", Screen::Title, Screen::Title},  // an Escape there would quit
        {"pause", Screen::Pause, Screen::Pause},  // and there go back to the title
    };
    for (const Case& c : cases) {
        Played p;
        if (c.screen != Screen::Title) {
            ASSERT_TRUE(p.loop.step(pressing(&Keys::action), kStep));
        }
        if (c.screen == Screen::Pause) {
            ASSERT_TRUE(p.loop.step(Input{}, kStep));
            ASSERT_TRUE(p.loop.step(pressing(&Keys::escape), kStep));
            ASSERT_TRUE(p.loop.step(Input{}, kStep));
        }
        ASSERT_EQ(p.game.screen, c.screen) << c.name;
        p.loop.focus_lost();
        EXPECT_TRUE(p.loop.step(Input{}, kStep)) << c.name;
        EXPECT_EQ(p.game.screen, c.after) << c.name;
        EXPECT_TRUE(p.loop.step(Input{}, kStep)) << c.name;  // the pause is owed only once
        EXPECT_EQ(p.game.screen, c.after) << c.name;
    }
}

TEST(SessionLoop, OnlyARunInPlayKeepsTheScreenAwake) {
    Played p;
    EXPECT_FALSE(p.loop.playing());  // the title
    ASSERT_TRUE(p.loop.step(pressing(&Keys::action), kStep));
    EXPECT_TRUE(p.loop.playing());
    ASSERT_TRUE(p.loop.step(Input{}, kStep));
    ASSERT_TRUE(p.loop.step(pressing(&Keys::escape), kStep));
    ASSERT_EQ(p.game.screen, Screen::Pause);
    EXPECT_FALSE(p.loop.playing());
}

// A recorded game: Enter on the title, then flight to the right for a while.
Replay recorded_run() {
    Played p;
    Input input = pressing(&Keys::action);
    for (int i = 0; i < 120; ++i) {
        EXPECT_TRUE(p.loop.step(input, kStep));
        input = pressing(&Keys::right);
    }
    return p.session.recording();
}

TEST(SessionLoop, LosingTheFocusPausesAWatchedReplayUntilEnter) {
    const Replay replay = recorded_run();
    Game game = Game::create(replay.start.seed, replay.start.records, std::nullopt);
    apply_start_options(game, start_options(replay.start));
    PlaySession session(game, replay.start, &replay);
    SessionLoop loop(session, game);
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(loop.step(Input{}, kStep));
    loop.focus_lost();
    EXPECT_TRUE(loop.replay_paused());
    EXPECT_FALSE(loop.playing());
    const std::uint32_t steps = session.recording().end.steps;
    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(loop.step(Input{}, kStep));  // the program goes on, the replay waits
    EXPECT_EQ(session.recording().end.steps, steps);
    ASSERT_TRUE(loop.step(pressing(&Keys::action), kStep));
    EXPECT_FALSE(loop.replay_paused());
    EXPECT_EQ(session.recording().end.steps, steps + 1);
    while (!session.replay_over())
        ASSERT_TRUE(loop.step(Input{}, kStep));
    EXPECT_FALSE(session.mismatch()) << *session.mismatch();

    // Escape still ends the watching, paused or not.
    Game again = Game::create(replay.start.seed, replay.start.records, std::nullopt);
    apply_start_options(again, start_options(replay.start));
    PlaySession watched(again, replay.start, &replay);
    SessionLoop viewer(watched, again);
    viewer.focus_lost();
    EXPECT_FALSE(viewer.step(pressing(&Keys::escape), kStep));
}

// G reaches the game of a player; a replay being watched races nothing.
TEST(SessionLoop, TheGhostKeyIsThePlayersNotTheWatchers) {
    Played p;
    p.loop.toggle_ghost();
    EXPECT_TRUE(p.game.ghost.wanted);
    EXPECT_EQ(p.game.sound_notice, kGhostShown);

    const Replay replay = recorded_run();
    Game game = Game::create(replay.start.seed, replay.start.records, std::nullopt);
    apply_start_options(game, start_options(replay.start));
    PlaySession session(game, replay.start, &replay);
    SessionLoop loop(session, game);
    loop.toggle_ghost();
    EXPECT_FALSE(game.ghost.wanted);
    EXPECT_EQ(game.sound_notice, kNoSoundNotice);
}

}  // namespace
}  // namespace pyrelle
