#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/file_lock.hpp"
#include "engine/result.hpp"

namespace pyrelle {

// The best results kept between runs, in "pyrelle.sav" (records_place.hpp says where).
struct Records {
    std::optional<float> best_time;        // seconds to the Source, day mode
    std::optional<float> best_time_night;  // the same in night mode
    std::uint32_t best_depth = 0;

    bool operator==(const Records&) const = default;

    // Never fails: a missing, unreadable or damaged file gives no records.
    static Records load(const std::filesystem::path& path);
    // Merges these records with the file's, under the records lock, and writes the best of
    // both, so that of two games closed one after the other the later never undoes the
    // earlier's bests. The file is replaced whole or left as it was. The records written,
    // or the line to report.
    Result<Records> save(const std::filesystem::path& path) const;
};

// The deeper depth and the shorter times of the two.
Records best_of(const Records& a, const Records& b);

// The lock that saves of the records, and of the best runs beside them, hold while they
// read and write: "{records file}.lock".
Result<FileLock> lock_records(const std::filesystem::path& records_file);

// Whether the records hold exactly `time` (as the file stores it) as that mode's best time.
bool holds_best_time(const Records& records, bool night, float time);

Records parse_records(std::string_view text);
std::string format_records(const Records& records);

// The pieces of the records file that the day's file shares with it:
// - its lines "key = value" (white space trimmed, "\r\n" taken, lines without "=" skipped);
void for_each_setting(std::string_view text,
                      const std::function<void(std::string_view, std::string_view)>& take);
// - its text, or nothing when the file is missing, too large or not UTF-8;
std::optional<std::string> read_settings_file(const std::filesystem::path& path);
// - a time as a float reader takes it; nothing when it is not a finite time of at least 0;
std::optional<float> parse_time(std::string_view value);
// - a time as it is written, "83.40";
std::string two_decimals(float seconds);
// - the lines of the day and night times that are present, "best_time=83.40\n" and so on;
std::string format_times(std::optional<float> best_time, std::optional<float> best_time_night);
// - the shorter of two times that may be missing.
std::optional<float> shorter_time(std::optional<float> x, std::optional<float> y);

}  // namespace pyrelle
