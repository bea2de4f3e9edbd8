#include "engine/decimal.hpp"

#include <gtest/gtest.h>

#include <cstring>

namespace pyrelle {
namespace {

// read_float takes what std::from_chars takes in its general format, minus signs and the
// words inf and nan; the expected values are the standard library's readings.
TEST(ReadFloat, ReadsTheLongestDecimalAsFromCharsDoes) {
    struct Case {
        const char* text;
        std::size_t used;
        std::errc error;
        float value;
    };
    const Case cases[] = {
        {"71.5", 4, std::errc(), 71.5f},
        {".5", 2, std::errc(), 0.5f},
        {"5.", 2, std::errc(), 5.0f},
        {"00012.50", 8, std::errc(), 12.5f},
        {"1E2", 3, std::errc(), 100.0f},
        {"1e", 1, std::errc(), 1.0f},  // an exponent needs digits
        {"1e+", 1, std::errc(), 1.0f},
        {"0x1p3", 1, std::errc(), 0.0f},  // no hexadecimal
        {"83.40abc", 5, std::errc(), 83.4f},
        {"1e-40", 5, std::errc(), 1e-40f},  // subnormal, still a value
        {"1.5e-45", 7, std::errc(), 1.4e-45f},
        {"1e-50", 5, std::errc::result_out_of_range, 0.0f},
        {"7e-46", 5, std::errc::result_out_of_range, 0.0f},  // rounds to 0
        {"1e39", 4, std::errc::result_out_of_range, 0.0f},
        {"3.4028236e38", 12, std::errc::result_out_of_range, 0.0f},
        {".", 0, std::errc::invalid_argument, 0.0f},
        {"e5", 0, std::errc::invalid_argument, 0.0f},
        {"-1", 0, std::errc::invalid_argument, 0.0f},
        {"inf", 0, std::errc::invalid_argument, 0.0f},
        {"", 0, std::errc::invalid_argument, 0.0f},
    };
    for (const Case& c : cases) {
        const FloatRead read = read_float(c.text);
        EXPECT_EQ(read.used, c.used) << c.text;
        EXPECT_EQ(read.error, c.error) << c.text;
        if (c.error == std::errc()) {
            EXPECT_EQ(read.value, c.value) << c.text;
        }
    }
}

}  // namespace
}  // namespace pyrelle
