#pragma once
#include <cstddef>
#include <cstdint>

// The parts of libunistring the game uses, for the web build (the library is not built for
// WebAssembly here): plain functions, checked against the real library by the unit tests.
namespace pyrelle::unistring_lite {

// One character's full upper-case mapping: one to three characters ("ß" gives "SS").
struct UpperCase {
    std::uint8_t length = 1;
    char32_t chars[3] = {};
};

// Every character whose full upper-case mapping is not itself, in code order.
struct UpperCaseEntry {
    char32_t code;
    UpperCase upper;
};
extern const UpperCaseEntry kUpperCaseTable[];
extern const std::size_t kUpperCaseTableSize;

UpperCase full_upper_case(char32_t c);

// The Unicode White_Space property.
bool is_white_space(char32_t c);

// One character decoded from UTF-8 as libunistring's u8_mbtouc does: a bad sequence reads as
// U+FFFD as long as its lead and the continuation units after it, up to the lead's length.
struct Decoded {
    char32_t code;
    int length;
};
Decoded decode_at(const std::uint8_t* s, std::size_t n);

// The first unit that does not belong to well-formed UTF-8, or nullptr.
const std::uint8_t* first_invalid(const std::uint8_t* s, std::size_t n);

// The start of the well-formed character that ends just before `end` (not before `start`),
// with its code; nullptr when the units there are not one.
const std::uint8_t* previous_start(const std::uint8_t* end, const std::uint8_t* start,
                                   char32_t& code);

}  // namespace pyrelle::unistring_lite
