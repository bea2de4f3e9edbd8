// libFuzzer target: the records text, and the same bytes as the day's records. Whatever a
// damaged file holds, reading it never fails, and what the game then writes reads back as the
// same records. The input split at its
// first NUL is also two files merged as a save merges them: the best of both, whichever
// comes first.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "game/daily_records.hpp"
#include "game/records.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const pyrelle::Records first = pyrelle::parse_records(text);
    const std::string written = pyrelle::format_records(first);
    const pyrelle::Records second = pyrelle::parse_records(written);
    if (second.best_depth != first.best_depth) std::abort();
    if (second.best_time.has_value() != first.best_time.has_value()) std::abort();
    if (second.best_time_night.has_value() != first.best_time_night.has_value()) std::abort();
    // Times are written with two decimals: the second writing is the first one exactly.
    if (pyrelle::format_records(second) != written) std::abort();

    const pyrelle::DailyRecords day = pyrelle::parse_daily_records(text);
    const std::string day_written = pyrelle::format_daily_records(day);
    const pyrelle::DailyRecords day_again = pyrelle::parse_daily_records(day_written);
    if (day_again.date != day.date) std::abort();
    if (day_again.best_time.has_value() != day.best_time.has_value()) std::abort();
    if (day_again.best_time_night.has_value() != day.best_time_night.has_value()) std::abort();
    if (pyrelle::format_daily_records(day_again) != day_written) std::abort();

    const std::size_t cut = text.find('\0');
    if (cut == std::string_view::npos) return 0;
    const pyrelle::Records a = pyrelle::parse_records(text.substr(0, cut));
    const pyrelle::Records b = pyrelle::parse_records(text.substr(cut + 1));
    const pyrelle::Records merged = pyrelle::best_of(a, b);
    if (!(merged == pyrelle::best_of(b, a))) std::abort();
    if (merged.best_depth < a.best_depth || merged.best_depth < b.best_depth) std::abort();
    const auto no_worse = [](std::optional<float> best, std::optional<float> x) {
        return !x || (best && *best <= *x);
    };
    if (!no_worse(merged.best_time, a.best_time) || !no_worse(merged.best_time, b.best_time))
        std::abort();
    if (!no_worse(merged.best_time_night, a.best_time_night) ||
        !no_worse(merged.best_time_night, b.best_time_night))
        std::abort();
    return 0;
}
