#include "game/game.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "engine/step_loop.hpp"
#include "game/fixtures.hpp"
#include "game/generate.hpp"

namespace pyrelle {
namespace {

namespace fs = std::filesystem;
using fixtures::read_file;
using fixtures::TempDir;

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

TEST(Game, ASaveThatFailsIsReportedOnceAndPlayGoesOn) {
    TempDir dir;
    const fs::path file = dir.path / "pyrelle.sav";
    fs::create_directory(file);  // no file can take its place
    Game game = Game::create(9, Records{}, file);
    ASSERT_TRUE(game.step(press(&Keys::action), kStep));
    EXPECT_EQ(game.screen, Screen::Play);
    ASSERT_EQ(game.reports.size(), 1u);
    EXPECT_EQ(game.reports[0].rfind("records non sauvegardés (" + file.string() + ") : ", 0), 0u)
        << game.reports[0];
    game.reports.clear();
    steps(game, 5);
    EXPECT_TRUE(game.reports.empty());  // nothing new was saved
}

TEST(Game, TheVolumeMovesInTenthsBetweenSilenceAndFullAndMuteKeepsIt) {
    Game game = make_game();
    game.synth.shared = std::make_shared<SharedSynth>();  // a sound state to look into
    const auto gain = [&] { return game.synth.shared->state.master_gain; };
    game.change_volume(-3);
    EXPECT_EQ(game.volume, 70u);
    EXPECT_EQ(game.sound_notice, kVolumeNotice);
    EXPECT_EQ(gain(), SynthState::kSoundOn * 0.7f);
    game.change_volume(-20);
    EXPECT_EQ(game.volume, 0u);
    EXPECT_EQ(gain(), 0.0f);
    EXPECT_FALSE(game.synth.muted);  // silent is not muted
    game.change_volume(4);
    ASSERT_TRUE(game.step(press(&Keys::mute), kStep));
    EXPECT_TRUE(game.synth.muted);
    EXPECT_EQ(gain(), 0.0f);
    game.change_volume(1);  // turned up while muted: heard once unmuted
    EXPECT_EQ(gain(), 0.0f);
    steps(game, 1);
    ASSERT_TRUE(game.step(press(&Keys::mute), kStep));
    EXPECT_EQ(game.volume, 50u);
    EXPECT_EQ(gain(), SynthState::kSoundOn * 0.5f);
    game.change_volume(9);
    EXPECT_EQ(game.volume, 100u);
    EXPECT_EQ(gain(), SynthState::kSoundOn);
    steps(game, 120);  // the notice goes after 1.5 s
    EXPECT_EQ(game.sound_notice, kNoSoundNotice);
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

TEST(Game, VictoryRecordsOnlyAStrictlyBetterTimeInTheSlotOfItsMode) {
    struct Case {
        bool night;
        std::optional<float> stored;
        float offset;
        bool record;
    };
    const Case cases[] = {
        {false, std::nullopt, 0.0f, true}, {false, 100.0f, 0.0f, false},  // equal time
        {false, 100.0f, -1.0f, true},      {false, 100.0f, 1.0f, false},
        {true, std::nullopt, 0.0f, true},  {true, 100.0f, 0.0f, false},
        {true, 100.0f, -1.0f, true},       {true, 100.0f, 1.0f, false},
    };
    for (const Case& c : cases) {
        Game game = make_game(8);
        game.save_records = false;
        game.night = c.night;
        std::optional<float>& slot =
            c.night ? game.records.best_time_night : game.records.best_time;
        std::optional<float>& other =
            c.night ? game.records.best_time : game.records.best_time_night;
        other = 55.0f;  // the other mode's best is never touched
        game.screen = Screen::Play;
        game.enter_depth(c.night ? 12 : 10);
        open_exit_under_firefly(game.level);
        const float finish = 100.0f + c.offset;
        game.run_time = finish - kStep;
        const float run_time_at_finish = game.run_time + kStep;
        slot = c.stored;
        if (c.stored && c.offset == 0.0f) slot = run_time_at_finish;
        const std::optional<float> before = slot;
        steps(game, 1);
        const std::string what =
            std::string(c.night ? "night " : "day ") + std::to_string(c.offset);
        EXPECT_EQ(game.screen, Screen::Victory) << what;
        EXPECT_EQ(game.new_record, c.record) << what;
        EXPECT_EQ(slot, c.record ? std::optional<float>(run_time_at_finish) : before) << what;
        EXPECT_EQ(other, 55.0f) << what;
    }
}

TEST(Game, ANewBestTimeIsWrittenToTheRecordsFile) {
    for (const bool night : {false, true}) {
        TempDir dir;
        const fs::path file = dir.path / "pyrelle.sav";
        Game game = Game::create(8, Records{}, file);
        game.night = night;
        game.screen = Screen::Play;
        game.enter_depth(10);
        ASSERT_EQ(read_file(file), "best_depth=10\n") << night;
        open_exit_under_firefly(game.level);
        game.run_time = 83.4f - kStep;
        steps(game, 1);
        ASSERT_EQ(game.screen, Screen::Victory) << night;
        // Two decimals, rounded; the slot of the run's mode only.
        EXPECT_EQ(read_file(file), night ? "best_depth=10\nbest_time_night=83.40\n"
                                         : "best_depth=10\nbest_time=83.40\n");
        const Records loaded = Records::load(file);
        EXPECT_EQ(loaded.best_depth, 10u);
        EXPECT_EQ(loaded.best_time, night ? std::nullopt : std::optional<float>(83.4f));
        EXPECT_EQ(loaded.best_time_night, night ? std::optional<float>(83.4f) : std::nullopt);
    }
}

// The day's cave keeps the day's best times apart: a victory beats the day's time of its
// mode or not, whatever the all-time records say, and another day's file holds nothing.
TEST(Game, ADailyVictoryKeepsTheDaysBestBesideTheRecords) {
    struct Case {
        const char* file_before;  // pyrelle-jour.sav, or nullptr
        float time;
        bool day_record;
        const char* file_after;
    };
    const Case cases[] = {
        {nullptr, 83.4f, true, "date=20261211\nbest_time=83.40\n"},
        {"date=20261211\nbest_time=80.00\n", 83.4f, false, "date=20261211\nbest_time=80.00\n"},
        {"date=20261211\nbest_time=90.00\n", 83.4f, true, "date=20261211\nbest_time=83.40\n"},
        // Yesterday's better time counts for nothing today.
        {"date=20261210\nbest_time=10.00\n", 83.4f, true, "date=20261211\nbest_time=83.40\n"},
        {"date=bad\nbest_time=10.00\n", 83.4f, true, "date=20261211\nbest_time=83.40\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const fs::path records = dir.path / "pyrelle.sav";
        fixtures::write_file(records, "best_depth=10\nbest_time=1.00\n");  // unbeatable
        if (c.file_before) fixtures::write_file(dir.path / "pyrelle-jour.sav", c.file_before);
        Game game = Game::create(20261211, Records::load(records), records);
        game.start_daily(20261211);
        game.screen = Screen::Play;
        game.enter_depth(10);
        open_exit_under_firefly(game.level);
        game.run_time = c.time - kStep;
        steps(game, 1);
        ASSERT_EQ(game.screen, Screen::Victory) << c.file_after;
        EXPECT_FALSE(game.new_record);
        EXPECT_EQ(game.new_daily_record, c.day_record) << c.file_after;
        EXPECT_EQ(read_file(dir.path / "pyrelle-jour.sav"), c.file_after);
    }
}

TEST(Game, WithoutTheDailyCaveNoDaysFileIsRead) {
    TempDir dir;
    const fs::path records = dir.path / "pyrelle.sav";
    Game game = Game::create(5, Records{}, records);
    game.screen = Screen::Play;
    game.enter_depth(10);
    open_exit_under_firefly(game.level);
    steps(game, 1);
    ASSERT_EQ(game.screen, Screen::Victory);
    EXPECT_FALSE(game.new_daily_record);
    EXPECT_FALSE(fs::exists(dir.path / "pyrelle-jour.sav"));
}

std::uint64_t brightness(const Canvas& canvas) {
    std::uint64_t sum = 0;
    for (std::uint32_t p : canvas.pixels)
        sum += red_of(p) + green_of(p) + blue_of(p);
    return sum;
}

// Reduced motion softens the burst's flash and the end screen's white, and nothing else.
TEST(Game, ReducedMotionSoftensTheFlashesOnly) {
    struct Moment {
        const char* name;
        std::function<void(Game&)> reach;
        bool softened;
    };
    const Moment moments[] = {
        {"burst", [](Game& g) { steps(g, 3, press(&Keys::action)); }, true},
        {"white-out",
         [](Game& g) {
             g.screen = Screen::Victory;
             g.screen_timer = 1.2f;
         },
         true},
        {"landscape",
         [](Game& g) {
             g.screen = Screen::Victory;
             g.screen_timer = 2.0f;
         },
         true},
        {"plain flight", [](Game& g) { steps(g, 30); }, false},
    };
    for (const Moment& m : moments) {
        Canvas plain(320, 180), soft(320, 180);
        for (const bool reduced : {false, true}) {
            Game game = make_game(8);
            game.screen = Screen::Play;
            game.enter_depth(2);
            game.reduced_motion = reduced;
            m.reach(game);
            game.render(reduced ? soft : plain);
        }
        if (m.softened) {
            EXPECT_LT(brightness(soft), brightness(plain)) << m.name;
        } else {
            EXPECT_EQ(soft.pixels, plain.pixels) << m.name;
        }
    }
}

// Depth 10 and every deeper one is the Source's: its exit ends the run, so the deepest depth
// a command line or a replay may ask for never wraps round to depth 0.
TEST(Game, TheExitOfAnyDepthPastTheSourceEndsTheRun) {
    for (const std::uint32_t depth : {10u, 11u, 4294967295u}) {
        Game game = make_game(8);
        game.screen = Screen::Play;
        game.enter_depth(depth);
        open_exit_under_firefly(game.level);
        steps(game, 1);
        EXPECT_EQ(game.screen, Screen::Victory) << depth;
        EXPECT_EQ(game.level.depth, depth);
    }
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
    game.screen = Screen::Play;
    game.enter_depth(10);
    open_exit_under_firefly(game.level);
    steps(game, 1);
    ASSERT_EQ(game.screen, Screen::Victory);
    EXPECT_TRUE(game.new_record);
    EXPECT_TRUE(game.records.best_time);  // in memory only
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

// A synthesizer without a device: its voices and drone show what the game asked for.
void listen(Game& game) {
    game.synth.shared = std::make_shared<SharedSynth>();
    game.synth.shared->state = SynthState::create(48000.0f);
}

// Hz of n semitones above 261.63 Hz.
float hz(float n) {
    return 261.63f * std::pow(2.0f, n / 12.0f);
}

struct Heard {
    float freq;  // at the start of the note
    Waveform waveform;
    float volume;
};

void put_pollen_under_firefly(Level& level) {
    level.pollen.push_back({level.firefly_pos.x, level.firefly_pos.y, 0.0f, true});
}

void enter_play(Game& game, std::uint32_t depth) {
    game.enter_depth(depth);
    game.screen = Screen::Play;
}

TEST(Game, SoundFollowsTheScreen) {
    using W = Waveform;
    const Heard victory_chord[] = {{hz(-24), W::Sine, 0.07f}, {hz(-12), W::Sine, 0.07f},
                                   {hz(0), W::Sine, 0.07f},   {hz(4), W::Sine, 0.07f},
                                   {hz(7), W::Sine, 0.07f},   {hz(12), W::Sine, 0.07f}};
    struct Case {
        const char* what;
        std::function<void(Game&)> setup;
        int steps;
        float drone_level, drone_gain;
        std::vector<Heard> voices;  // every voice started, in order
        bool more_may_follow = false;
        std::function<void(const Game&)> also = nullptr;
    };
    const Case cases[] = {
        {"title: the demo's events at 0.45",
         [](Game& g) { put_pollen_under_firefly(g.level); },
         1,
         0.0f,
         0.5f,
         {{hz(12), W::Sine, 0.16f * 0.45f}, {2 * hz(12), W::Triangle, 0.04f * 0.45f}}},
        {"title: a demo level that ends is rebuilt",
         [](Game& g) {
             Canvas shown(320, 180);  // the old level's rock is painted
             g.render(shown);
             open_exit_under_firefly(g.level);
         },
         1,
         0.0f,
         0.5f,
         {},
         false,
         [](const Game& g) {
             EXPECT_EQ(g.screen, Screen::Title);
             EXPECT_EQ(g.demo_rebuilds, 1u);
             EXPECT_EQ(g.level, generate_level(1, title_level_seed(42, 1)));
             // The game's renderer draws the new level as a renderer built for it does.
             WorldRenderer used = g.renderer;
             WorldRenderer fresh(g.level);
             Canvas got(320, 180), want(320, 180);
             used.render(g.level, got);
             fresh.render(g.level, want);
             EXPECT_EQ(got.pixels, want.pixels);
         }},
        {"play: events at full volume",
         [](Game& g) {
             enter_play(g, 1);
             put_pollen_under_firefly(g.level);
         },
         1,
         0.0f,
         1.0f,
         {{hz(12), W::Sine, 0.16f}, {2 * hz(12), W::Triangle, 0.04f}}},
        {"play: the heartbeat in low light",
         [](Game& g) {
             enter_play(g, 1);
             g.level.energy = 0.2f;
         },
         1,
         0.0f,
         1.0f,
         {{62.0f, W::Sine, 0.35f}, {58.0f, W::Sine, 0.25f}}},
        {"pause: a quiet drone and no heartbeat",
         [](Game& g) {
             enter_play(g, 1);
             g.level.energy = 0.2f;
             g.screen = Screen::Pause;
         },
         1,
         0.0f,
         0.3f,
         {}},
        {"death: its cue, then the drone of the transition",
         [](Game& g) {
             enter_play(g, 2);
             g.level.energy = 0.0f;
         },
         2,
         0.0f,
         0.6f,
         {{392.0f, W::Triangle, 0.16f}, {196.0f, W::Sine, 0.14f}}},
        {"descent: its cue, then the drone of the transition",
         [](Game& g) {
             enter_play(g, 3);
             open_exit_under_firefly(g.level);
         },
         2,
         0.0f,
         0.6f,
         {{2500.0f, W::Noise, 0.18f}, {130.82f, W::Sine, 0.10f}}},
        {"victory: its chord and no drone",
         [](Game& g) {
             enter_play(g, 10);
             open_exit_under_firefly(g.level);
         },
         2,
         0.0f,
         0.0f,
         {std::begin(victory_chord), std::end(victory_chord)}},
        {"victory: the music's first chord at 1.5 s",
         [](Game& g) {
             enter_play(g, 10);
             open_exit_under_firefly(g.level);
         },
         96,  // the winning step, then 1.58 s of the end screen
         0.0f,
         0.0f,
         {std::begin(victory_chord), std::end(victory_chord)},
         true,
         [](const Game& g) {
             // The chord of C: its bass two octaves down, then three triangles an octave down.
             const std::vector<Voice>& v = g.synth.shared->state.voices;
             ASSERT_GE(v.size(), 10u);
             const Heard chord[] = {{hz(-24), W::Sine, 0.12f},
                                    {hz(-12), W::Triangle, 0.035f},
                                    {hz(-8), W::Triangle, 0.035f},
                                    {hz(-5), W::Triangle, 0.035f}};
             for (std::size_t i = 0; i < 4; ++i) {
                 EXPECT_NEAR(v[6 + i].freq_start, chord[i].freq, 0.01f) << i;
                 EXPECT_EQ(v[6 + i].waveform, chord[i].waveform) << i;
                 EXPECT_FLOAT_EQ(v[6 + i].volume, chord[i].volume) << i;
             }
             for (std::size_t i = 10; i < v.size(); ++i)  // at most the melody's notes
                 EXPECT_FLOAT_EQ(v[i].volume, 0.06f) << i;
         }},
    };
    for (const Case& c : cases) {
        Game game = make_game(42);
        listen(game);
        c.setup(game);
        steps(game, c.steps);
        const SynthState& state = game.synth.shared->state;
        EXPECT_EQ(state.drone_target, c.drone_level) << c.what;
        EXPECT_EQ(state.drone_gain, c.drone_gain) << c.what;
        if (c.more_may_follow) {
            ASSERT_GE(state.voices.size(), c.voices.size()) << c.what;
        } else {
            ASSERT_EQ(state.voices.size(), c.voices.size()) << c.what;
        }
        for (std::size_t i = 0; i < c.voices.size(); ++i) {
            EXPECT_NEAR(state.voices[i].freq_start, c.voices[i].freq, 0.01f) << c.what << " " << i;
            EXPECT_EQ(state.voices[i].waveform, c.voices[i].waveform) << c.what << " " << i;
            EXPECT_FLOAT_EQ(state.voices[i].volume, c.voices[i].volume) << c.what << " " << i;
        }
        if (c.also) c.also(game);
    }
}

TEST(Game, PlayDroneFollowsTheNearestChasingShade) {
    Game game = make_game(42);
    listen(game);
    game.screen = Screen::Play;
    game.level = fixtures::open_room(40, 12, 10, 6);
    fixtures::keep_exit_closed(game.level);
    game.level.energy = 0.3f;  // too dim to keep it at bay
    game.level.shades = {
        fixtures::shade_at(game.level.firefly_pos.x + 60.0f, game.level.firefly_pos.y)};
    steps(game, 1);
    const Level& level = game.level;
    ASSERT_EQ(level.shades[0].state, ShadeState::Chase);
    const float d = std::hypot(level.shades[0].x - level.firefly_pos.x,
                               level.shades[0].y - level.firefly_pos.y);
    EXPECT_NEAR(game.synth.shared->state.drone_target, 1.0f - d / 120.0f, 1e-5f);
    EXPECT_EQ(game.synth.shared->state.drone_gain, 1.0f);
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
