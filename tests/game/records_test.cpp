#include "game/records.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "game/fixtures.hpp"

namespace pyrelle {
namespace {

namespace fs = std::filesystem;
using fixtures::names_in;
using fixtures::read_file;
using fixtures::TempDir;
using fixtures::write_file;

TEST(Records, ParsingRules) {
    struct Case {
        const char* text;
        std::optional<float> best_time, best_time_night;
        std::uint32_t best_depth;
    };
    const Case cases[] = {
        {" best_time \t=  71.5 \n", 71.5f, std::nullopt, 0},
        {"best_time=60\nbest_time=abc\n", std::nullopt, std::nullopt,
         0},                                                        // a later bad line clears
        {"best_time=abc\nbest_time=60\n", 60.0f, std::nullopt, 0},  // the last line wins
        {"best_depth=+7", std::nullopt, std::nullopt, 7},
        {"best_depth=7\nbest_depth=-3\n", std::nullopt, std::nullopt, 0},
        {"best_depth=4294967296\n", std::nullopt, std::nullopt, 0},
        {"#best_time=12\n", std::nullopt, std::nullopt, 0},  // the hash is part of the key
        {"best_depth=5\r\nbest_time=83.40\r\n", 83.4f, std::nullopt, 5},
        {"best_time_night=99.999", std::nullopt, 99.999f, 0},
        {"Best_Depth=3\nbest_depth\nbest_depth 4\n", std::nullopt, std::nullopt, 0},
        {"best_time=1e2\nbest_time_night=+7.25\n", 100.0f, 7.25f, 0},
        {"best_time= 5=6\n", std::nullopt, std::nullopt, 0},  // value "5=6"
        {"\xC2\xA0"
         "best_depth"
         "\xE3\x80\x80"
         "=9\n",
         std::nullopt, std::nullopt, 9},  // Unicode blanks
        // Not a finite, non-negative time: damaged, so absent.
        {"best_time=nan\nbest_time_night=inf\n", std::nullopt, std::nullopt, 0},
        {"best_time=-5\nbest_time_night=1e60\n", std::nullopt, std::nullopt, 0},
        {"best_time=60\nbest_time=-infinity\n", std::nullopt, std::nullopt, 0},
        {"best_time=3.5e38\n", std::nullopt, std::nullopt, 0},  // beyond a float: damaged
        // Too small for a float: a float reader rounds it to 0.
        {"best_time=1e-50\nbest_time_night=+1e-400\n", 0.0f, 0.0f, 0},
    };
    for (const Case& c : cases) {
        const Records r = parse_records(c.text);
        EXPECT_EQ(r.best_time, c.best_time) << c.text;
        EXPECT_EQ(r.best_time_night, c.best_time_night) << c.text;
        EXPECT_EQ(r.best_depth, c.best_depth) << c.text;
    }
}

TEST(Records, FormatWritesTwoDecimalsInAFixedOrder) {
    Records r;
    r.best_depth = 10;
    EXPECT_EQ(format_records(r), "best_depth=10\n");
    r.best_time = 83.4f;
    EXPECT_EQ(format_records(r), "best_depth=10\nbest_time=83.40\n");
    r.best_time_night = 99.999f;
    EXPECT_EQ(format_records(r), "best_depth=10\nbest_time=83.40\nbest_time_night=100.00\n");
    r.best_time.reset();
    EXPECT_EQ(format_records(r), "best_depth=10\nbest_time_night=100.00\n");
}

TEST(Records, SaveThenLoadGivesTheWrittenValues) {
    TempDir dir;
    const fs::path file = dir.path / "pyrelle.sav";
    Records r;
    r.best_depth = 10;
    r.best_time_night = 99.999f;
    ASSERT_TRUE(r.save(file).ok());
    EXPECT_EQ(read_file(file), "best_depth=10\nbest_time_night=100.00\n");
    const Records back = Records::load(file);
    EXPECT_EQ(back.best_depth, 10u);
    EXPECT_EQ(back.best_time_night, 100.0f);  // the rounded value that was written
    EXPECT_FALSE(fs::exists(dir.path / "pyrelle.sav.tmp"));
}

TEST(Records, MissingOrInvalidFilesGiveNoRecords) {
    TempDir dir;
    EXPECT_EQ(Records::load(dir.path / "absent.sav"), Records{});
    write_file(dir.path / "latin1.sav", "best_depth=4\nbest_time=\xE9\n");  // not UTF-8
    EXPECT_EQ(Records::load(dir.path / "latin1.sav"), Records{});
    EXPECT_EQ(Records::load(dir.path), Records{});  // a directory
}

TEST(Records, AFailedSaveSaysWhereAndWhyAndKeepsTheOldFile) {
    TempDir dir;
    const fs::path file = dir.path / "pyrelle.sav";
    fs::create_directory(file);  // the new records cannot take its place
    write_file(file / "inside", "x");
    Records r;
    r.best_depth = 4;
    const auto saved = r.save(file);
    ASSERT_FALSE(saved.ok());
    EXPECT_EQ(saved.error(),
              "records non sauvegardés (" + file.string() + ") : " + std::strerror(EISDIR));
    EXPECT_EQ(read_file(file / "inside"), "x");
    // Nothing left over but the lock every save takes.
    EXPECT_EQ(names_in(dir.path), (std::vector<std::string>{"pyrelle.sav", "pyrelle.sav.lock"}));

    const auto nowhere = r.save(dir.path / "missing" / "pyrelle.sav");
    ASSERT_FALSE(nowhere.ok());
    EXPECT_EQ(nowhere.error().rfind("records non sauvegardés (", 0), 0u) << nowhere.error();
}

TEST(Records, SavingNeverWritesThroughALinkAtATemporaryName) {
    TempDir dir;
    const fs::path victim = dir.path / "victim";
    write_file(victim, "precious\n");
    fs::create_symlink(victim, dir.path / "pyrelle.sav.tmp");  // the name older versions used
    Records r;
    r.best_depth = 2;
    ASSERT_TRUE(r.save(dir.path / "pyrelle.sav").ok());
    EXPECT_EQ(read_file(victim), "precious\n");
    EXPECT_EQ(read_file(dir.path / "pyrelle.sav"), "best_depth=2\n");
}

TEST(Records, ASaveRemovesOnlyTheFixedTemporaryOfOlderVersions) {
    TempDir dir;
    const std::vector<std::string> kept = {
        "pyrelle.sav.999999999.abcdef",  // a name a player could have chosen, no process aside
        "pyrelle.sav.20250101.backup",
        "other.sav.tmp",
    };
    for (const std::string& name : kept)
        write_file(dir.path / name, "x");
    write_file(dir.path / "pyrelle.sav.tmp", "x");
    Records r;
    r.best_depth = 1;
    ASSERT_TRUE(r.save(dir.path / "pyrelle.sav").ok());
    std::vector<std::string> want = kept;
    want.push_back("pyrelle.sav");
    want.push_back("pyrelle.sav.lock");
    std::sort(want.begin(), want.end());
    EXPECT_EQ(names_in(dir.path), want);
}

TEST(Records, ASaveKeepsTheBestOfItsOwnAndTheFilesRecords) {
    struct Case {
        const char* on_disk;
        Records mine;
        const char* want;
    };
    const Case cases[] = {
        // A game closed later with worse records never undoes a better one.
        {"best_depth=7\nbest_time=80.00\n",
         {95.0f, std::nullopt, 3},
         "best_depth=7\nbest_time=80.00\n"},
        // Each side's better fields win, the night time included.
        {"best_depth=2\nbest_time=90.00\nbest_time_night=70.00\n",
         {85.5f, 99.0f, 10},
         "best_depth=10\nbest_time=85.50\nbest_time_night=70.00\n"},
        {"best_depth=4\n", {std::nullopt, 60.25f, 1}, "best_depth=4\nbest_time_night=60.25\n"},
        {"", {std::nullopt, std::nullopt, 0}, "best_depth=0\n"},
        // A damaged file counts as no records, as it does when the game starts.
        {"best_depth=\xFF\n", {std::nullopt, std::nullopt, 3}, "best_depth=3\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const fs::path file = dir.path / "pyrelle.sav";
        write_file(file, c.on_disk);
        const auto saved = c.mine.save(file);
        ASSERT_TRUE(saved.ok()) << saved.error();
        EXPECT_EQ(read_file(file), c.want) << c.on_disk;
        EXPECT_EQ(saved.value(), Records::load(file)) << c.on_disk;  // what the game keeps
    }
}

// Two games saving at the same time, over and over; one of them reaches a far deeper depth
// once, in the middle. Without the lock the other, having read the file just before, would
// write back its own lesser best just after, and that depth would be lost.
TEST(Records, TwoProcessesSavingAtOnceLoseNoBest) {
    TempDir dir;
    const fs::path file = dir.path / "pyrelle.sav";
    constexpr std::uint32_t kSaves = 200;
    constexpr std::uint32_t kDeepest = 1000;
    std::vector<pid_t> children;
    for (std::uint32_t game = 0; game < 2; ++game) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            for (std::uint32_t i = 0; i < kSaves; ++i) {
                Records mine;
                mine.best_depth = game == 0 && i == kSaves / 2 ? kDeepest : i;
                ok = ok && mine.save(file).ok();
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(Records::load(file).best_depth, kDeepest);
}

TEST(Records, TheBestTimeIsTheOneTheFileHolds) {
    const Records records{83.4f, 70.0f, 10};
    EXPECT_TRUE(holds_best_time(records, false, 83.4f));
    EXPECT_TRUE(holds_best_time(records, false, 83.401f));  // the same once written
    EXPECT_FALSE(holds_best_time(records, false, 83.42f));
    EXPECT_FALSE(holds_best_time(records, true, 83.4f));
    EXPECT_TRUE(holds_best_time(records, true, 70.0f));
    EXPECT_FALSE(holds_best_time(Records{}, false, 83.4f));
}

TEST(Records, OnlyASmallRegularFileHoldsRecords) {
    TempDir dir;
    const fs::path fifo = dir.path / "fifo.sav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Records::load(fifo), Records{});  // returns at once instead of waiting for a writer
    const fs::path zeros = dir.path / "zero.sav";
    fs::create_symlink("/dev/zero", zeros);
    EXPECT_EQ(Records::load(zeros), Records{});  // endless: never read

    const std::string records = "best_depth=5\n";
    const std::size_t limit = 64 * 1024;
    write_file(dir.path / "full.sav", records + std::string(limit - records.size(), ' '));
    EXPECT_EQ(Records::load(dir.path / "full.sav").best_depth, 5u);
    write_file(dir.path / "over.sav", records + std::string(limit - records.size() + 1, ' '));
    EXPECT_EQ(Records::load(dir.path / "over.sav"), Records{});
}


}  // namespace
}  // namespace pyrelle
