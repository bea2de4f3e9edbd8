#include "ghost_builder.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/step_loop.hpp"
#include "file_fixtures.hpp"
#include "session.hpp"
#include "startup.hpp"

namespace pyrelle {
namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;

const fs::path kReplays = fs::path(PYRELLE_TEST_DATA_DIR) / "replays";

// Seed 2 from the title to the Source under the autopilot, by day: a best run.
const fs::path kBestRun = kReplays / "auto-victory.rpl";

Replay golden(const std::string& name) {
    auto read = read_replay(kReplays / (name + ".rpl"));
    EXPECT_TRUE(read.ok()) << name << " : " << read.error();
    return read.ok() ? std::move(read).value() : Replay{};
}

// A game started as the replay's was, played live (not watched) with its keys, its best run
// beside its records, racing it when `ghost` is on.
struct LiveGame {
    TempDir dir;
    Replay replay;  // its keys are read from here
    Game game;
    PlaySession session;
    ReplayPlayer keys;

    LiveGame(const Replay& played, bool ghost)
        : replay(played),
          game(Game::create(replay.start.seed, replay.start.records, dir.path / "pyrelle.sav")),
          session(game, replay.start, nullptr) {
        fs::copy_file(kBestRun, dir.path / "pyrelle-meilleur.rpl");
        Options options = start_options(replay.start);
        options.ghost = ghost;
        apply_start_options(game, options);
        keys.runs = replay.runs;
    }
    // One step with the next recorded keys; false once they are all played.
    bool step() {
        const std::optional<Keys> next = keys.next();
        return next && session.step(*next, kStep);
    }
};

TEST(GhostBuilder, TheBestRunFliesStepForStepWhereItFlew) {
    std::optional<GhostBuilder> builder = GhostBuilder::open(kBestRun, false);
    ASSERT_TRUE(builder);
    ASSERT_EQ(builder->advance(kMostGhostSteps), GhostBuilder::State::Done);
    const std::shared_ptr<const GhostRun> run = builder->run();
    EXPECT_EQ(run->seed, 2u);
    EXPECT_FALSE(run->night);
    for (std::size_t d = 1; d < run->left_depth.size(); ++d) {
        ASSERT_TRUE(run->left_depth[d - 1] && run->left_depth[d]) << d;
        EXPECT_LT(*run->left_depth[d - 1], *run->left_depth[d]) << d;
    }

    // The same run played again, racing its own ghost: wherever the firefly flies the ghost
    // is on it, and every split is even.
    LiveGame live(golden("auto-victory"), true);
    std::uint32_t flying = 0;
    std::uint32_t splits = 0;
    while (live.game.screen != Screen::Victory && live.step()) {
        if (live.game.screen == Screen::Play) {
            const GhostStep* ghost = ghost_in_cave(live.game.ghost, live.game.level, 2);
            ASSERT_NE(ghost, nullptr) << live.game.ghost.run_steps;
            ASSERT_EQ(ghost->pos, live.game.level.firefly_pos) << live.game.ghost.run_steps;
            ++flying;
        }
        if (live.game.screen == Screen::Descent && live.game.screen_timer == 0.0f) {
            ASSERT_EQ(live.game.ghost.shown_split(), 0.0f);
            ++splits;
        }
    }
    EXPECT_EQ(live.game.screen, Screen::Victory);
    EXPECT_EQ(live.game.ghost.shown_split(), 0.0f);
    EXPECT_EQ(splits, 9u);
    EXPECT_GT(flying, 30000u);
    EXPECT_EQ(live.game.ghost.run_steps + 1, run->steps.size());
    // And the game went on as recorded, to the step.
    while (live.step()) {
    }
    EXPECT_EQ(replay_check(live.game, golden("auto-victory").end.steps),
              golden("auto-victory").end);
}

TEST(GhostBuilder, NoGhostFromWhatIsNotABestRunOfTheMode) {
    TempDir dir;
    std::ifstream in(kBestRun, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string best = bytes.str();
    fixtures::write_file(dir.path / "cut.rpl", best.substr(0, best.size() / 2));
    fixtures::write_file(dir.path / "noise.rpl", "PYRELLE? not a replay at all");
    fixtures::write_file(dir.path / "empty.rpl", "");

    // Files that are no replays are not played at all.
    for (const char* name : {"absent.rpl", "cut.rpl", "noise.rpl", "empty.rpl"})
        EXPECT_FALSE(GhostBuilder::open(dir.path / name, false)) << name;
    EXPECT_FALSE(GhostBuilder::open(dir.path, false));  // a folder

    // Replays that are no best run of the mode give nothing once played.
    struct Case {
        fs::path file;
        bool night;
    };
    const Case cases[] = {
        {kBestRun, true},                          // a day run for a night race
        {kReplays / "depth1-cleared.rpl", false},  // never reaches the Source
        {kReplays / "descent.rpl", false},         // --depth 9: no run from the title
        {kReplays / "night-run.rpl", true},
        {kReplays / "title-demo.rpl", false},
    };
    for (const Case& c : cases) {
        std::optional<GhostBuilder> builder = GhostBuilder::open(c.file, c.night);
        ASSERT_TRUE(builder) << c.file;
        EXPECT_EQ(builder->advance(kMostGhostSteps), GhostBuilder::State::Failed) << c.file;
    }
}

TEST(GhostBuilder, AReplayTooLongToRaceIsGivenUpOn) {
    Replay endless = golden("title-demo");
    endless.runs = {KeyRun{0, 0xFFFFFFFFu}};  // no key for four billion steps
    GhostBuilder builder(endless, false);
    EXPECT_EQ(builder.advance(kMostGhostSteps - 1), GhostBuilder::State::Building);
    EXPECT_EQ(builder.advance(2), GhostBuilder::State::Failed);
}

// The ghost is drawn, never played: the golden replays played live while racing the best run
// end exactly where they were recorded, state hash included.
TEST(GhostBuilder, RacingTheGhostChangesNothingInTheGoldenReplays) {
    for (const char* name :
         {"depth1-cleared", "death-rebuild", "night-run", "descent", "keys-steer", "title-demo"}) {
        const Replay replay = golden(name);
        LiveGame live(replay, true);
        while (live.step()) {
        }
        const ReplayCheck end = replay_check(live.game, replay.end.steps);
        EXPECT_EQ(end, replay.end) << name;
        if (std::string(name) == "depth1-cleared") {
            // A day run from the title: it raced the best run (in other caves) and its
            // descent had a split.
            EXPECT_TRUE(live.game.ghost.run);
            EXPECT_TRUE(live.game.ghost.racing);
            EXPECT_TRUE(live.game.ghost.shown_split());
        }
    }
}

}  // namespace
}  // namespace pyrelle
