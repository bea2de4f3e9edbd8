#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "engine/result.hpp"

namespace pyrelle {

// The best results kept between runs, in "pyrelle.sav" beside the program file.
struct Records {
    std::optional<float> best_time;        // seconds to the Source, day mode
    std::optional<float> best_time_night;  // the same in night mode
    std::uint32_t best_depth = 0;

    bool operator==(const Records&) const = default;

    // Never fails: a missing, unreadable or damaged file gives no records.
    static Records load();
    static Records load(const std::filesystem::path& path);
    // Replaces the file whole or leaves it as it was; the failure is the line to report.
    Result<void> save(const std::filesystem::path& path) const;
};

// The directory of the running program joined with "pyrelle.sav", if it can be known.
std::optional<std::filesystem::path> records_path();

Records parse_records(std::string_view text);
std::string format_records(const Records& records);

}  // namespace pyrelle
