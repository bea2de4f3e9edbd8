#include "game/records.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "game/fixtures.hpp"

namespace pyrelle {
namespace {

namespace fs = std::filesystem;
using fixtures::read_file;
using fixtures::TempDir;

void write_file(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

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
    r.save(file);
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

TEST(Records, AFailedSaveWarnsEachTimeAndKeepsTheOldFile) {
    TempDir dir;
    const fs::path file = dir.path / "pyrelle.sav";
    write_file(file, "best_depth=3\n");
    fs::create_directory(dir.path / "pyrelle.sav.tmp");  // the new content has nowhere to go
    Records r;
    r.best_depth = 4;
    for (int attempt = 0; attempt < 2; ++attempt) {
        testing::internal::CaptureStderr();
        r.save(file);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.rfind("records non sauvegardés (" + file.string() + ") : ", 0), 0u) << err;
        EXPECT_EQ(err.back(), '\n');
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    }
    EXPECT_EQ(read_file(file), "best_depth=3\n");

    testing::internal::CaptureStderr();
    r.save(dir.path / "missing" / "pyrelle.sav");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("records non sauvegardés"),
              std::string::npos);
}

TEST(Records, PathIsBesideTheProgram) {
    const auto path = records_path();
    ASSERT_TRUE(path);
    EXPECT_EQ(path->filename(), "pyrelle.sav");
    EXPECT_EQ(path->parent_path(), fs::read_symlink("/proc/self/exe").parent_path());
}

}  // namespace
}  // namespace pyrelle
