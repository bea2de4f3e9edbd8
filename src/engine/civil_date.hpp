#pragma once
#include <cstdint>

namespace pyrelle {

// A day of the proleptic Gregorian calendar.
struct CivilDate {
    std::int32_t year = 1970;
    std::uint32_t month = 1;  // 1 to 12
    std::uint32_t day = 1;    // 1 to 31

    bool operator==(const CivilDate&) const = default;
};

// The UTC day that holds this many seconds since the Unix epoch (negative: before it).
CivilDate utc_date(std::int64_t unix_seconds);

// The date as one decimal number, YYYYMMDD: 11 December 2026 is 20261211. Dates before the
// year 1 or after 9999 are not days a clock of this game reads; they give 0.
std::uint32_t date_number(const CivilDate& date);

}  // namespace pyrelle
