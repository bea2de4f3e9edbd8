#include "engine/civil_date.hpp"

namespace pyrelle {

CivilDate utc_date(std::int64_t unix_seconds) {
    // Whole days, rounded towards minus infinity: a second before the epoch is 31 December.
    std::int64_t days = unix_seconds / 86400;
    if (unix_seconds % 86400 < 0) days -= 1;
    // Days counted from 1 March of year 0, so that the leap day ends each 400-year era's years.
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t day_of_era = z - era * 146097;
    const std::int64_t year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const std::int64_t day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::int64_t shifted_month = (5 * day_of_year + 2) / 153;  // 0 is March
    CivilDate date;
    date.day = static_cast<std::uint32_t>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
    date.month =
        static_cast<std::uint32_t>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
    date.year = static_cast<std::int32_t>(year_of_era + era * 400 + (date.month <= 2 ? 1 : 0));
    return date;
}

std::uint32_t date_number(const CivilDate& date) {
    if (date.year < 1 || date.year > 9999) return 0;
    return static_cast<std::uint32_t>(date.year) * 10000u + date.month * 100u + date.day;
}

}  // namespace pyrelle
