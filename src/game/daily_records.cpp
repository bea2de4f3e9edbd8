#include "game/daily_records.hpp"

#include <cstdio>
#include <span>

#include "engine/decimal.hpp"
#include "engine/file_replace.hpp"
#include "game/records.hpp"

namespace pyrelle {
namespace {

// A date the game can have written: YYYYMMDD with a month and a day that exist in some year.
std::uint32_t parse_date(std::string_view value) {
    const auto number = parse_unsigned(value, 99991231);
    if (!number.ok()) return 0;
    const auto date = static_cast<std::uint32_t>(number.value());
    const std::uint32_t month = date / 100 % 100;
    const std::uint32_t day = date % 100;
    if (date < 10000 || month < 1 || month > 12 || day < 1 || day > 31) return 0;
    return date;
}

}  // namespace

DailyRecords parse_daily_records(std::string_view text) {
    DailyRecords records;
    for_each_setting(text, [&records](std::string_view key, std::string_view value) {
        if (key == "date") {
            records.date = parse_date(value);
        } else if (key == "best_time") {
            records.best_time = parse_time(value);
        } else if (key == "best_time_night") {
            records.best_time_night = parse_time(value);
        }
    });
    return records;
}

std::string format_daily_records(const DailyRecords& records) {
    return "date=" + std::to_string(records.date) + "\n" +
           format_times(records.best_time, records.best_time_night);
}

DailyRecords daily_records_of(const DailyRecords& loaded, std::uint32_t date) {
    if (loaded.date != date || date == 0) return DailyRecords{date, std::nullopt, std::nullopt};
    return loaded;
}

DailyRecords DailyRecords::load(const std::filesystem::path& path) {
    const std::optional<std::string> text = read_settings_file(path);
    return text ? parse_daily_records(*text) : DailyRecords{};
}

Result<DailyRecords> DailyRecords::save(const std::filesystem::path& path,
                                        const std::filesystem::path& records_file) const {
    const Result<FileLock> lock = lock_records(records_file);
    const DailyRecords on_disk = daily_records_of(load(path), date);
    DailyRecords merged = *this;
    merged.best_time = shorter_time(best_time, on_disk.best_time);
    merged.best_time_night = shorter_time(best_time_night, on_disk.best_time_night);
    const std::string text = format_daily_records(merged);
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    const Result<void> saved = replace_file(path, bytes);
    if (!saved.ok())
        return Failure{"records du jour non sauvegardés (" + path.string() +
                       ") : " + saved.error()};
    return merged;
}

std::filesystem::path daily_records_path(const std::filesystem::path& records_file) {
    return records_file.parent_path() / "pyrelle-jour.sav";
}

std::filesystem::path daily_run_path(const std::filesystem::path& records_file, bool night) {
    return records_file.parent_path() / (night ? "pyrelle-jour-nuit.rpl" : "pyrelle-jour.rpl");
}

std::string format_date(std::uint32_t date) {
    char text[32];
    std::snprintf(text, sizeof text, "%02u/%02u/%u", date % 100, date / 100 % 100, date / 10000);
    return text;
}

}  // namespace pyrelle
