#include "engine/civil_date.hpp"

#include <gtest/gtest.h>

namespace pyrelle {
namespace {

TEST(CivilDate, UtcDayOfUnixTimes) {
    struct Case {
        std::int64_t seconds;
        std::uint32_t date;
    };
    const Case cases[] = {
        {0, 19700101},          {-1, 19691231},  // a second before the epoch is the day before
        {-86400, 19691231},                      // a whole day before, to the second
        {-86401, 19691230},     {951782400, 20000229},     // a leap day of a year divisible by 400
        {951868800, 20000301},  {1709164800, 20240229},    // a leap day
        {1709251199, 20240229},                            // its last second
        {1709251200, 20240301}, {1735689599, 20241231},    // the last second of a year
        {1735689600, 20250101},                            // the first of the next
        {4107456000, 21000228},                            // 2100 is no leap year: 28 February ...
        {4107542400, 21000301},                            // ... is followed by 1 March
        {1796947199, 20261210}, {253402300799, 99991231},  // the last day with four digits
        {253402300800, 0},                                 // the year 10000 has no YYYYMMDD
    };
    for (const Case& c : cases)
        EXPECT_EQ(date_number(utc_date(c.seconds)), c.date) << c.seconds;
}

TEST(CivilDate, EveryDayOfFourHundredYearsFollowsTheOneBefore) {
    // From 1 January 1970, day after day: the day advances by one, or wraps to 1 with the
    // month, which wraps to 1 with the year; February has 29 days exactly in leap years.
    CivilDate before = utc_date(0);
    for (std::int64_t day = 1; day < 146097; ++day) {
        const CivilDate d = utc_date(day * 86400);
        const bool leap =
            (before.year % 4 == 0 && before.year % 100 != 0) || before.year % 400 == 0;
        const std::uint32_t lengths[] = {31, leap ? 29u : 28u, 31, 30, 31, 30, 31, 31, 30, 31, 30,
                                         31};
        if (d.day != 1) {
            ASSERT_EQ(d.day, before.day + 1) << day;
            ASSERT_EQ(d.month, before.month) << day;
            ASSERT_EQ(d.year, before.year) << day;
        } else {
            ASSERT_EQ(before.day, lengths[before.month - 1]) << day;
            ASSERT_EQ(d.month, before.month == 12 ? 1 : before.month + 1) << day;
            ASSERT_EQ(d.year, before.year + (before.month == 12 ? 1 : 0)) << day;
        }
        before = d;
    }
    EXPECT_EQ(date_number(before), 23691231u);  // four hundred years are 146097 days
}

}  // namespace
}  // namespace pyrelle
