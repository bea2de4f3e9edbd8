#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "engine/result.hpp"

namespace pyrelle {

// The best times of one day's cave (--daily), in "pyrelle-jour.sav" beside the records:
//   date=20261211
//   best_time=83.40
//   best_time_night=95.10
// Another day's file holds nothing for today: the first save of today replaces it.
struct DailyRecords {
    std::uint32_t date = 0;  // YYYYMMDD; 0 when the file names no valid day
    std::optional<float> best_time;
    std::optional<float> best_time_night;

    bool operator==(const DailyRecords&) const = default;

    // Never fails: a missing, unreadable or damaged file gives no day and no times.
    static DailyRecords load(const std::filesystem::path& path);
    // Under the records' lock, merged with the file when it holds the same day (the shorter
    // times of the two), replacing it whole. The records written, or the line to report.
    Result<DailyRecords> save(const std::filesystem::path& path,
                              const std::filesystem::path& records_file) const;
};

DailyRecords parse_daily_records(std::string_view text);
std::string format_daily_records(const DailyRecords& records);

// The day's records of `date` as the file holds them: those of another day count for nothing.
DailyRecords daily_records_of(const DailyRecords& loaded, std::uint32_t date);

// "pyrelle-jour.sav", and the day's best runs "pyrelle-jour.rpl" (day mode) and
// "pyrelle-jour-nuit.rpl", beside the records file.
std::filesystem::path daily_records_path(const std::filesystem::path& records_file);
std::filesystem::path daily_run_path(const std::filesystem::path& records_file, bool night);

// "11/12/2026" for 20261211.
std::string format_date(std::uint32_t date);

}  // namespace pyrelle
