#include "session.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/step_loop.hpp"
#include "file_fixtures.hpp"
#include "game/autopilot.hpp"
#include "startup.hpp"

namespace pyrelle {
namespace {

using fixtures::TempDir;

// Keys a player would press to fly where the autopilot steers: each axis past 0.38 (the
// sectors of eight directions).
Keys keys_toward(Vec2 direction) {
    constexpr float kAxis = 0.38f;
    Keys keys;
    keys.up = direction.y < -kAxis;
    keys.down = direction.y > kAxis;
    keys.left = direction.x < -kAxis;
    keys.right = direction.x > kAxis;
    return keys;
}

struct Played {
    Replay replay;
    bool won = false;
};

// From the title to the Source with the autopilot's keys: Enter starts, then it flies until
// the end screen (or `most` steps).
Played fly_to_the_source(std::uint64_t seed, std::uint32_t most) {
    Game game = Game::create(seed, Records{}, std::nullopt);
    const Options options;
    PlaySession session(game, replay_start(options, seed, game.records), nullptr);
    apply_start_options(game, options);
    Autopilot pilot;
    std::uint64_t flown_level = 0;
    for (std::uint32_t i = 0; i < most && game.screen != Screen::Victory; ++i) {
        Keys keys;
        if (game.screen == Screen::Title) keys.action = i == 1;
        if (game.screen == Screen::Play) {
            if (game.level.seed != flown_level) pilot = Autopilot{};
            flown_level = game.level.seed;
            keys = keys_toward(pilot.steer(game.level, kStep));
        }
        if (!session.step(keys, kStep)) break;
    }
    return {session.recording(), game.screen == Screen::Victory};
}

struct Watched {
    Replay recording;
    ReplayCheck end;
    std::optional<std::string> mismatch;
};

Watched watch(const Replay& replay) {
    Game game = Game::create(replay.start.seed, replay.start.records, std::nullopt);
    PlaySession session(game, replay.start, &replay);
    apply_start_options(game, start_options(replay.start));
    while (!session.replay_over())
        session.step(Keys{}, kStep);
    return {session.recording(), replay_check(game, session.recording().end.steps),
            session.mismatch()};
}

TEST(PlaySession, ATitleToVictoryRunComesBackKeyForKeyToTheSameEnd) {
    Played played;
    for (std::uint64_t seed = 1; seed <= 4 && !played.won; ++seed)
        played = fly_to_the_source(seed, 120000);
    ASSERT_TRUE(played.won) << "no seed from 1 to 4 reached the Source with the autopilot's keys";
    EXPECT_EQ(played.replay.end.screen, Screen::Victory);
    EXPECT_EQ(played.replay.end.depth, 10u);

    const auto decoded = decode_replay(encode_replay(played.replay));
    ASSERT_TRUE(decoded.ok()) << decoded.error();
    const Watched watched = watch(decoded.value());
    EXPECT_FALSE(watched.mismatch) << *watched.mismatch;
    EXPECT_EQ(watched.end, played.replay.end);
    EXPECT_EQ(watched.recording.runs, played.replay.runs);  // the same keys went in

    // One key changed in the middle of the run sends the game elsewhere, and it shows.
    Replay changed = played.replay;
    KeyRun& run = changed.runs[changed.runs.size() / 2];
    run.keys ^= pack_keys(Keys{false, false, true, true});  // left and right flipped
    const Watched diverted = watch(changed);
    ASSERT_TRUE(diverted.mismatch);
    EXPECT_NE(diverted.end, played.replay.end);
}

// A game one step from the Source's door, saving beside `records_file` when `save` is on.
struct NearTheSource {
    Game game;
    PlaySession session;

    NearTheSource(const std::filesystem::path& records_file, bool night, bool save)
        : game(Game::create(77, Records{}, records_file)),
          session(game, replay_start(options(night), 77, game.records), nullptr) {
        apply_start_options(game, options(night));
        game.save_records = save;  // as a game started from the title may
    }
    static Options options(bool night) {
        Options o;
        o.depth = 10;
        o.night = night;
        o.warp_exit = o.light_all = o.autopilot = true;
        return o;
    }
    bool reach_the_source() {
        for (int i = 0; i < 3000 && game.screen != Screen::Victory; ++i)
            session.step(Keys{}, kStep);
        return game.screen == Screen::Victory;
    }
};

TEST(PlaySession, ARunThatSetsABestTimeLeavesItsReplayBesideTheRecords) {
    struct Case {
        bool night, save;
        const char* file;  // the replay expected, or nullptr for none at all
    };
    const Case cases[] = {
        {false, true, "pyrelle-meilleur.rpl"},
        {true, true, "pyrelle-meilleur-nuit.rpl"},
        {false, false, nullptr},
    };
    for (const Case& c : cases) {
        TempDir dir;
        NearTheSource run(dir.path / "pyrelle.sav", c.night, c.save);
        ASSERT_TRUE(run.reach_the_source()) << c.night;
        ASSERT_TRUE(run.game.new_record);
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path))
            if (entry.path().extension() == ".rpl") files.push_back(entry.path().filename());
        if (!c.file) {
            EXPECT_TRUE(files.empty());
            continue;
        }
        ASSERT_EQ(files, std::vector<std::string>{c.file});
        const auto read = read_replay(dir.path / c.file);
        ASSERT_TRUE(read.ok()) << read.error();
        const Watched watched = watch(read.value());
        EXPECT_FALSE(watched.mismatch) << *watched.mismatch;
        EXPECT_EQ(watched.end.screen, Screen::Victory);
        EXPECT_EQ(watched.end, run.session.recording().end);
    }
}

// A day's run that beats the day's best leaves its replay as the day's best run, beside the
// all-time best run it also set.
TEST(PlaySession, ADailyBestLeavesTheDaysBestRun) {
    TempDir dir;
    NearTheSource run(dir.path / "pyrelle.sav", false, true);
    run.game.start_daily(20261211);
    ASSERT_TRUE(run.reach_the_source());
    ASSERT_TRUE(run.game.new_daily_record);
    for (const char* name : {"pyrelle-meilleur.rpl", "pyrelle-jour.rpl"}) {
        const auto read = read_replay(dir.path / name);
        ASSERT_TRUE(read.ok()) << name << " : " << read.error();
        EXPECT_EQ(read.value().end, run.session.recording().end) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path / "pyrelle-jour-nuit.rpl"));
}

// Another game, started before this one, saved a better time while this one flew: its
// record and its best run stay. A worse time of the other leaves this run's in their place.
TEST(PlaySession, TheBestRunBesideTheRecordsFollowsTheBestTime) {
    for (const bool other_was_faster : {true, false}) {
        TempDir dir;
        const std::filesystem::path records = dir.path / "pyrelle.sav";
        NearTheSource run(records, false, true);
        const float other_time = other_was_faster ? 0.01f : 9999.0f;
        fixtures::write_file(records, "best_depth=10\nbest_time=" +
                                          std::string(other_was_faster ? "0.01" : "9999.00") +
                                          "\n");
        fixtures::write_file(dir.path / "pyrelle-meilleur.rpl", "the other game's run");
        ASSERT_TRUE(run.reach_the_source());
        ASSERT_TRUE(run.game.new_record);  // as far as this game knew
        const Records kept = Records::load(records);
        ASSERT_TRUE(kept.best_time);
        const std::string best_run = fixtures::read_file(dir.path / "pyrelle-meilleur.rpl");
        if (other_was_faster) {
            EXPECT_EQ(*kept.best_time, other_time);
            EXPECT_EQ(best_run, "the other game's run");
        } else {
            EXPECT_EQ(*kept.best_time, Records::load(records).best_time.value());
            EXPECT_LT(*kept.best_time, other_time);
            const auto read = read_replay(dir.path / "pyrelle-meilleur.rpl");
            ASSERT_TRUE(read.ok()) << read.error();
            EXPECT_EQ(read.value().end, run.session.recording().end);
        }
        EXPECT_EQ(format_records(run.game.records), format_records(kept));  // as the file holds
    }
}

// A victory slower than the best time is no record: nothing is written beside the records.
TEST(PlaySession, AVictoryThatSetsNoRecordWritesNoBestRun) {
    TempDir dir;
    const std::filesystem::path records = dir.path / "pyrelle.sav";
    fixtures::write_file(records, "best_depth=10\nbest_time=0.01\n");
    NearTheSource run(records, false, true);
    run.game.records = Records::load(records);  // as a game started after that record holds
    ASSERT_TRUE(run.reach_the_source());
    EXPECT_FALSE(run.game.new_record);
    EXPECT_FALSE(std::filesystem::exists(dir.path / "pyrelle-meilleur.rpl"));
    EXPECT_EQ(fixtures::read_file(records), "best_depth=10\nbest_time=0.01\n");
}

// The watcher's M reaches the game while the replay steers everything else.
TEST(PlaySession, MuteIsTheWatchersWhileAReplayPlays) {
    const Played played = fly_to_the_source(1, 600);
    Game game = Game::create(played.replay.start.seed, played.replay.start.records, std::nullopt);
    PlaySession session(game, played.replay.start, &played.replay);
    apply_start_options(game, start_options(played.replay.start));
    Keys mute;
    mute.mute = true;
    mute.action = mute.up = true;  // not the watcher's
    session.step(Keys{}, kStep);
    session.step(mute, kStep);
    EXPECT_TRUE(game.synth.muted);
    while (!session.replay_over())
        session.step(Keys{}, kStep);
    EXPECT_FALSE(session.mismatch()) << *session.mismatch();
}

}  // namespace
}  // namespace pyrelle
