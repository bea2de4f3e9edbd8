// The stand-ins for libunistring (src/unistring_lite), which the browser build links,
// answer exactly as the library does, so text and records read the same in the browser.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include <unicase.h>
#include <unictype.h>
#include <unistr.h>

#include "unistring_lite/unicode_data.hpp"

namespace pyrelle::unistring_lite {
namespace {

TEST(UnistringLite, UpperCaseOfEveryCharacterIsTheLibrarys) {
    int differences = 0;
    for (std::uint32_t c = 0; c <= 0x10FFFF && differences < 5; ++c) {
        std::uint32_t buffer[8];
        std::size_t length = 8;
        std::uint32_t* want = u32_toupper(&c, 1, nullptr, nullptr, buffer, &length);
        ASSERT_NE(want, nullptr) << std::hex << c;
        const UpperCase got = full_upper_case(c);
        bool same = got.length == length;
        for (std::size_t i = 0; same && i < length; ++i)
            same = got.chars[i] == want[i];
        if (!same) {
            ++differences;
            ADD_FAILURE() << "U+" << std::hex << c << ": " << int(got.length) << " characters, "
                          << std::hex << std::uint32_t(got.chars[0]) << "; the library: " << length
                          << ", " << want[0];
        }
        if (want != buffer) std::free(want);
    }
}

TEST(UnistringLite, WhiteSpaceOfEveryCharacterIsTheLibrarys) {
    for (std::uint32_t c = 0; c <= 0x10FFFF; ++c)
        ASSERT_EQ(is_white_space(c), uc_is_property_white_space(c)) << std::hex << c;
}

// Decoding, checking and stepping back through `units` (its first n units) as the library does.
void expect_same_reading(const std::uint8_t* units, std::size_t n) {
    ucs4_t want_code = 0;
    const int want_length = u8_mbtouc(&want_code, units, n);
    const Decoded got = decode_at(units, n);
    ASSERT_EQ(got.length, want_length) << testing::PrintToString(std::vector(units, units + n));
    ASSERT_EQ(std::uint32_t(got.code), want_code)
        << testing::PrintToString(std::vector(units, units + n));
    ASSERT_EQ(first_invalid(units, n), u8_check(units, n))
        << testing::PrintToString(std::vector(units, units + n));
    ucs4_t want_prev = 0;
    char32_t got_prev = 0;
    const std::uint8_t* want_at = u8_prev(&want_prev, units + n, units);
    ASSERT_EQ(previous_start(units + n, units, got_prev), want_at)
        << testing::PrintToString(std::vector(units, units + n));
    if (want_at) {
        ASSERT_EQ(std::uint32_t(got_prev), want_prev);
    }
}

// Every sequence of up to three units that starts with a non-ASCII one (an ASCII unit reads
// alone), each also cut short; four-unit sequences with the last unit at the edges of the
// continuation range.
TEST(UnistringLite, Utf8ReadingIsTheLibrarys) {
    for (unsigned a = 0x80; a <= 0xFF; ++a) {
        for (unsigned b = 0; b <= 0xFF; ++b) {
            for (unsigned c = 0; c <= 0xFF; ++c) {
                const std::uint8_t units[3] = {std::uint8_t(a), std::uint8_t(b), std::uint8_t(c)};
                for (std::size_t n = 1; n <= 3; ++n)
                    expect_same_reading(units, n);
                if (HasFatalFailure()) return;
            }
        }
    }
    const std::uint8_t edges[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xFF};
    for (unsigned a = 0xF0; a <= 0xFF; ++a) {
        for (unsigned b = 0; b <= 0xFF; ++b) {
            for (unsigned c = 0; c <= 0xFF; ++c) {
                for (std::uint8_t d : edges) {
                    const std::uint8_t units[4] = {std::uint8_t(a), std::uint8_t(b),
                                                   std::uint8_t(c), d};
                    expect_same_reading(units, 4);
                    if (HasFatalFailure()) return;
                }
            }
        }
    }
}

}  // namespace
}  // namespace pyrelle::unistring_lite
