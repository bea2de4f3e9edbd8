#include "game/daily_records.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "game/fixtures.hpp"

namespace pyrelle {
namespace {

namespace fs = std::filesystem;
using fixtures::read_file;
using fixtures::TempDir;
using fixtures::write_file;

TEST(DailyRecords, ParsingRulesAndDamagedFiles) {
    struct Case {
        const char* text;
        std::uint32_t date;
        std::optional<float> best_time, best_time_night;
    };
    const Case cases[] = {
        {"date=20261211\nbest_time=83.40\n", 20261211, 83.4f, std::nullopt},
        {" date = 20240229 \r\nbest_time_night=95.1\r\n", 20240229, std::nullopt, 95.1f},
        {"best_time=70\ndate=20261211\n", 20261211, 70.0f, std::nullopt},  // any order
        {"", 0, std::nullopt, std::nullopt},
        // Damaged dates name no day: their times then count for no day either.
        {"date=2026-12-11\nbest_time=70\n", 0, 70.0f, std::nullopt},
        {"date=20261311\n", 0, std::nullopt, std::nullopt},   // month 13
        {"date=20261200\n", 0, std::nullopt, std::nullopt},   // day 0
        {"date=20261232\n", 0, std::nullopt, std::nullopt},   // day 32
        {"date=100000101\n", 0, std::nullopt, std::nullopt},  // a fifth digit of year
        {"date=-20261211\n", 0, std::nullopt, std::nullopt},
        {"date=\n", 0, std::nullopt, std::nullopt},
        {"date=20261211\ndate=x\n", 0, std::nullopt, std::nullopt},  // the last line wins
        // Damaged times, by the records file's rules.
        {"date=20261211\nbest_time=nan\nbest_time_night=-3\n", 20261211, std::nullopt,
         std::nullopt},
        {"date=20261211\nbest_time=1e60\nbest_time_night=inf\n", 20261211, std::nullopt,
         std::nullopt},
        {"#date=20261211\nDate=20261211\n", 0, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        const DailyRecords r = parse_daily_records(c.text);
        EXPECT_EQ(r.date, c.date) << c.text;
        EXPECT_EQ(r.best_time, c.best_time) << c.text;
        EXPECT_EQ(r.best_time_night, c.best_time_night) << c.text;
    }
}

TEST(DailyRecords, AnotherDaysTimesCountForNothingToday) {
    const DailyRecords yesterday{20261210, 60.0f, 70.0f};
    EXPECT_EQ(daily_records_of(yesterday, 20261211), (DailyRecords{20261211, {}, {}}));
    EXPECT_EQ(daily_records_of(yesterday, 20261210), yesterday);
    EXPECT_EQ(daily_records_of(DailyRecords{}, 0), DailyRecords{});  // a damaged date
}

TEST(DailyRecords, HostileFilesGiveNothing) {
    TempDir dir;
    EXPECT_EQ(DailyRecords::load(dir.path / "absent.sav"), DailyRecords{});
    EXPECT_EQ(DailyRecords::load(dir.path), DailyRecords{});  // a directory
    write_file(dir.path / "latin1.sav", "date=20261211\nbest_time=\xE9\n");
    EXPECT_EQ(DailyRecords::load(dir.path / "latin1.sav"), DailyRecords{});
    ASSERT_EQ(mkfifo((dir.path / "fifo.sav").c_str(), 0600), 0);
    EXPECT_EQ(DailyRecords::load(dir.path / "fifo.sav"), DailyRecords{});  // does not wait
    fs::create_symlink("/dev/zero", dir.path / "zero.sav");
    EXPECT_EQ(DailyRecords::load(dir.path / "zero.sav"), DailyRecords{});
    write_file(dir.path / "big.sav", "date=20261211\n" + std::string(70 * 1024, ' '));
    EXPECT_EQ(DailyRecords::load(dir.path / "big.sav"), DailyRecords{});
}

TEST(DailyRecords, ASaveKeepsTheShorterTimesOfTheSameDayOnly) {
    TempDir dir;
    const fs::path records = dir.path / "pyrelle.sav";
    const fs::path file = daily_records_path(records);
    EXPECT_EQ(file, dir.path / "pyrelle-jour.sav");

    write_file(file, "date=20261211\nbest_time=50\nbest_time_night=90\n");
    const auto same_day = DailyRecords{20261211, 60.0f, 80.0f}.save(file, records);
    ASSERT_TRUE(same_day.ok()) << same_day.error();
    EXPECT_EQ(same_day.value(), (DailyRecords{20261211, 50.0f, 80.0f}));
    EXPECT_EQ(read_file(file), "date=20261211\nbest_time=50.00\nbest_time_night=80.00\n");

    // The next day's first save replaces the file, yesterday's better times and all.
    const auto next_day = DailyRecords{20261212, 65.0f, std::nullopt}.save(file, records);
    ASSERT_TRUE(next_day.ok()) << next_day.error();
    EXPECT_EQ(read_file(file), "date=20261212\nbest_time=65.00\n");
}

TEST(DailyRecords, AFailedSaveSaysWhereAndLeavesWhatIsThere) {
    TempDir dir;
    const fs::path file = dir.path / "pyrelle-jour.sav";
    fs::create_directory(file);  // the new file cannot take its place
    write_file(file / "inside", "x");
    const auto saved = DailyRecords{20261211, 40.0f, std::nullopt}.save(file, dir.path / "p.sav");
    ASSERT_FALSE(saved.ok());
    EXPECT_EQ(saved.error(),
              "records du jour non sauvegardés (" + file.string() + ") : " + std::strerror(EISDIR));
    EXPECT_EQ(read_file(file / "inside"), "x");
}

TEST(DailyRecords, DatesAndRunFiles) {
    EXPECT_EQ(format_date(20261211), "11/12/2026");
    EXPECT_EQ(format_date(20240229), "29/02/2024");
    EXPECT_EQ(format_date(19700101), "01/01/1970");
    EXPECT_EQ(daily_run_path("/a/pyrelle.sav", false), "/a/pyrelle-jour.rpl");
    EXPECT_EQ(daily_run_path("/a/pyrelle.sav", true), "/a/pyrelle-jour-nuit.rpl");
}

}  // namespace
}  // namespace pyrelle
