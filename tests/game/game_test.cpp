#include "game/game.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>

#include "engine/step_loop.hpp"
#include "game/generate.hpp"

namespace pyrelle {
namespace {

namespace fs = std::filesystem;

Game make_game(std::uint64_t seed = 42) {
    return Game::create(seed, Records{}, std::nullopt);
}

Input press(bool Keys::*key) {
    Input input;
    input.now.*key = true;
    return input;
}

const Input kNoKeys{};

void steps(Game& game, int n, const Input& input = kNoKeys) {
    for (int i = 0; i < n; ++i)
        ASSERT_TRUE(game.step(input, kStep));
}

// Puts the firefly on an open exit: the next update reports ExitReached.
void open_exit_under_firefly(Level& level) {
    for (Lantern& lantern : level.lanterns)
        lantern.lit = true;
    level.exit_progress = 1.0f;
    level.firefly_pos = level.exit_pos;
    level.firefly_vel = {0.0f, 0.0f};
    level.energy = 1.0f;
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class TempDir {
  public:
    TempDir() {
        char name[] = "/tmp/pyrelle-game-XXXXXX";
        path = mkdtemp(name);
    }
    ~TempDir() { fs::remove_all(path); }
    fs::path path;
};

TEST(Game, NewGameIsOnTheTitleWithTheDepthOneLevel) {
    const Game game = make_game(42);
    EXPECT_EQ(game.screen, Screen::Title);
    EXPECT_EQ(game.level, generate_level(1, 42 ^ 0x7171));
    EXPECT_EQ(game.sound_notice, kNoSoundNotice);
    EXPECT_TRUE(game.save_records);
    EXPECT_FALSE(game.night);
}

TEST(Game, LevelSeedsFollowTheGameSeed) {
    EXPECT_EQ(run_level_seed(3, 4), 3 * 0x5851F42D4C957F2Dull + 4 * 1000003ull);
    EXPECT_EQ(run_level_seed(0xFFFFFFFFFFFFFFFFull, 1),
              1000003ull - 0x5851F42D4C957F2Dull);  // wraps
    EXPECT_EQ(title_level_seed(5, 0), 5ull ^ 0x7171);
    EXPECT_EQ(title_level_seed(5, 2), (2ull * 40503) ^ 5 ^ 0x7171);
}

TEST(Game, ActionOnTheTitleStartsARunAtDepthOneAndWritesTheFirstRecord) {
    TempDir dir;
    const fs::path file = dir.path / "pyrelle.sav";
    Game game = Game::create(9, Records{}, file);
    steps(game, 3);
    ASSERT_TRUE(game.step(press(&Keys::action), kStep));
    EXPECT_EQ(game.screen, Screen::Play);
    EXPECT_EQ(game.level.depth, 1u);
    EXPECT_EQ(game.level.seed, run_level_seed(9, 1));
    EXPECT_EQ(game.records.best_depth, 1u);
    EXPECT_EQ(read_file(file), "best_depth=1\n");
}

TEST(Game, EscapeOnTheTitleQuits) {
    Game game = make_game();
    EXPECT_FALSE(game.step(press(&Keys::escape), kStep));
}

TEST(Game, PauseResumesAndReturnsToTheSameTitleLevel) {
    Game game = make_game(77);
    const Level title_level = game.level;
    steps(game, 30);  // the demo level moves
    ASSERT_TRUE(game.step(press(&Keys::action), kStep));
    steps(game, 10);
    ASSERT_TRUE(game.step(press(&Keys::escape), kStep));
    EXPECT_EQ(game.screen, Screen::Pause);
    const float paused_run_time = game.run_time;
    steps(game, 20);
    EXPECT_EQ(game.run_time, paused_run_time);  // the clock stops in the pause
    ASSERT_TRUE(game.step(press(&Keys::action), kStep));
    EXPECT_EQ(game.screen, Screen::Play);
    ASSERT_TRUE(game.step(press(&Keys::escape), kStep));
    steps(game, 1);
    ASSERT_TRUE(game.step(press(&Keys::escape), kStep));
    EXPECT_EQ(game.screen, Screen::Title);
    EXPECT_EQ(game.level, title_level);
    EXPECT_EQ(game.demo_rebuilds, 0u);
    EXPECT_EQ(game.run_time, 0.0f);
    EXPECT_EQ(game.records.best_depth, 1u);  // records are kept as held in memory
}

TEST(Game, DeathRebuildsTheSameLevelWithTheCompanionsOfItsStart) {
    Game game = make_game(5);
    game.screen = Screen::Play;
    game.companions_following = 2;
    game.enter_depth(4);
    game.companions_following = 3;  // one found on this level...
    game.level.pollen[0].present = false;
    game.level.energy = 0.0f;
    steps(game, 1);
    EXPECT_EQ(game.screen, Screen::Death);
    EXPECT_EQ(game.extinctions, 1u);
    EXPECT_EQ(game.companions_following, 2u);  // ...is lost again
    EXPECT_EQ(game.pollen_total, 1u);          // gathered pollen still counts
    steps(game, 180);                          // 3 s
    EXPECT_EQ(game.screen, Screen::Death);
    steps(game, 1);
    EXPECT_EQ(game.screen, Screen::Play);
    Level expected = generate_level(4, run_level_seed(5, 4));
    EXPECT_EQ(game.level.cave, expected.cave);
    EXPECT_EQ(game.level.lanterns, expected.lanterns);
    EXPECT_EQ(game.level.rng.state, expected.rng.state);
    ASSERT_EQ(game.level.companions.size(), 2u);
    EXPECT_EQ(game.level.companions[1].phase, 1.9f);
    EXPECT_EQ(game.level.companions[0].x, expected.firefly_pos.x);
}

TEST(Game, ActionAfterOneSecondOfDeathRestartsEarly) {
    Game game = make_game(5);
    ASSERT_TRUE(game.step(press(&Keys::action), kStep));
    game.level.energy = 0.0f;
    steps(game, 1);
    ASSERT_EQ(game.screen, Screen::Death);
    Input held_then_pressed = press(&Keys::action);
    ASSERT_TRUE(game.step(held_then_pressed, kStep));  // at 0.03 s: too early
    EXPECT_EQ(game.screen, Screen::Death);
    steps(game, 60);
    ASSERT_TRUE(game.step(press(&Keys::action), kStep));
    EXPECT_EQ(game.screen, Screen::Play);
    EXPECT_EQ(game.level.depth, 1u);
}

TEST(Game, ExitBelowTheSourceDescendsToTheNextDepth) {
    Game game = make_game(8);
    game.screen = Screen::Play;
    game.enter_depth(3);
    open_exit_under_firefly(game.level);
    steps(game, 1);
    EXPECT_EQ(game.screen, Screen::Descent);
    steps(game, 150);  // 2.5 s is not yet "more than 2.5 s"
    EXPECT_EQ(game.screen, Screen::Descent);
    steps(game, 1);
    EXPECT_EQ(game.screen, Screen::Play);
    EXPECT_EQ(game.level.depth, 4u);
    EXPECT_EQ(game.records.best_depth, 4u);
}

TEST(Game, EscapeInTheStepOfADeathOrExitPauses) {
    for (int exit = 0; exit < 2; ++exit) {
        Game game = make_game(8);
        game.screen = Screen::Play;
        game.enter_depth(2);
        if (exit) {
            open_exit_under_firefly(game.level);
        } else {
            game.level.energy = 0.0f;
        }
        // A synthesizer without a device: the voices show which notes were played.
        game.synth.shared = std::make_shared<SharedSynth>();
        game.synth.shared->state = SynthState::create(48000.0f);
        ASSERT_TRUE(game.step(press(&Keys::escape), kStep));
        EXPECT_EQ(game.screen, Screen::Pause) << exit;
        EXPECT_EQ(game.extinctions, exit ? 0u : 1u);
        // The death cue starts at 392 Hz, the descent cue at 2500 Hz.
        const float cue_start = exit ? 2500.0f : 392.0f;
        const auto& voices = game.synth.shared->state.voices;
        EXPECT_TRUE(std::any_of(voices.begin(), voices.end(), [&](const Voice& v) {
            return v.freq_start == cue_start;
        })) << exit;
    }
}

TEST(Game, VictoryRecordsOnlyAStrictlyBetterTime) {
    struct Case {
        std::optional<float> stored;
        float offset;
        bool record;
    };
    const Case cases[] = {
        {std::nullopt, 0.0f, true},
        {100.0f, 0.0f, false},  // equal time
        {100.0f, -1.0f, true},  // faster
        {100.0f, 1.0f, false},  // slower
    };
    for (const Case& c : cases) {
        Game game = make_game(8);
        game.save_records = false;
        game.records.best_time = c.stored;
        game.screen = Screen::Play;
        game.enter_depth(10);
        open_exit_under_firefly(game.level);
        const float finish = 100.0f + c.offset;
        game.run_time = finish - kStep;
        const float run_time_at_finish = game.run_time + kStep;
        if (c.stored && c.offset == 0.0f) game.records.best_time = run_time_at_finish;
        steps(game, 1);
        EXPECT_EQ(game.screen, Screen::Victory);
        EXPECT_EQ(game.new_record, c.record) << c.offset;
        EXPECT_EQ(*game.records.best_time, c.record ? run_time_at_finish : *c.stored) << c.offset;
        EXPECT_FALSE(game.records.best_time_night);
    }
}

TEST(Game, NightVictoryUsesTheNightSlot) {
    Game game = make_game(8);
    game.night = true;
    game.screen = Screen::Play;
    game.enter_depth(12);
    open_exit_under_firefly(game.level);
    steps(game, 1);
    EXPECT_EQ(game.screen, Screen::Victory);
    EXPECT_TRUE(game.records.best_time_night);
    EXPECT_FALSE(game.records.best_time);
}

TEST(Game, VictoryReturnsToTheTitleOnlyAfterItsAnimation) {
    Game game = make_game(8);
    game.screen = Screen::Play;
    game.enter_depth(10);
    open_exit_under_firefly(game.level);
    steps(game, 1);
    ASSERT_EQ(game.screen, Screen::Victory);
    for (int i = 0; i < 440; ++i) {
        ASSERT_TRUE(game.step(i % 2 ? press(&Keys::action) : kNoKeys, kStep));
        ASSERT_EQ(game.screen, Screen::Victory) << i;
    }
    steps(game, 10);
    ASSERT_TRUE(game.step(press(&Keys::escape), kStep));
    EXPECT_EQ(game.screen, Screen::Title);
}

TEST(Game, NoFileIsWrittenWhenSavingIsOff) {
    TempDir dir;
    const fs::path file = dir.path / "pyrelle.sav";
    Game game = Game::create(3, Records{}, file);
    game.save_records = false;
    game.enter_depth(5);
    EXPECT_EQ(game.records.best_depth, 5u);  // in memory only
    EXPECT_FALSE(fs::exists(file));
}

TEST(Game, NightTogglesOnTheTitleOnlyAfterADayWin) {
    Game game = make_game();
    ASSERT_TRUE(game.step(press(&Keys::left), kStep));
    EXPECT_FALSE(game.night);
    game.records.best_time = 300.0f;
    steps(game, 1);
    ASSERT_TRUE(game.step(press(&Keys::right), kStep));
    EXPECT_TRUE(game.night);
    Input held = press(&Keys::right);
    held.prev.right = true;
    ASSERT_TRUE(game.step(held, kStep));  // still held: no second press
    EXPECT_TRUE(game.night);
    steps(game, 1);
    ASSERT_TRUE(game.step(press(&Keys::left), kStep));
    EXPECT_FALSE(game.night);
}

TEST(Game, NightStartsTheRunAtNight) {
    Game game = make_game();
    game.night = true;
    ASSERT_TRUE(game.step(press(&Keys::action), kStep));
    EXPECT_TRUE(game.level.night);
}

TEST(Game, MuteTogglesOnEveryScreenAndItsNoticeFades) {
    for (Screen screen : {Screen::Title, Screen::Pause}) {
        Game game = make_game();
        game.screen = screen;
        ASSERT_TRUE(game.step(press(&Keys::mute), kStep));
        EXPECT_EQ(game.sound_notice, kSoundMuted);
        EXPECT_EQ(game.sound_notice_timer, 1.5f - kStep);
        steps(game, 1);
        ASSERT_TRUE(game.step(press(&Keys::mute), kStep));
        EXPECT_EQ(game.sound_notice, kSoundOn);
        steps(game, 87);
        EXPECT_EQ(game.sound_notice, kSoundOn);
        steps(game, 3);  // past 1.5 s: the notice is gone
        EXPECT_EQ(game.sound_notice, kNoSoundNotice);
        EXPECT_EQ(game.sound_notice_timer, 0.0f);
    }
}

TEST(Game, TitleDemoNeverDiesAndShowsNoMessage) {
    Game game = make_game(21);
    for (int i = 0; i < 600; ++i) {
        ASSERT_TRUE(game.step(kNoKeys, kStep));
        ASSERT_EQ(game.level.energy, 1.0f);
        ASSERT_FALSE(game.level.message);
    }
    EXPECT_EQ(game.screen, Screen::Title);
}

}  // namespace
}  // namespace pyrelle
