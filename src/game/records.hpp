#pragma once
#include <cstdint>
#include <filesystem>
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

}  // namespace pyrelle
