#include "unistring_lite/unicode_data.hpp"

#include <algorithm>

namespace pyrelle::unistring_lite {

UpperCase full_upper_case(char32_t c) {
    const UpperCaseEntry* end = kUpperCaseTable + kUpperCaseTableSize;
    const UpperCaseEntry* found =
        std::lower_bound(kUpperCaseTable, end, c,
                         [](const UpperCaseEntry& e, char32_t code) { return e.code < code; });
    if (found != end && found->code == c) return found->upper;
    return UpperCase{1, {c, 0, 0}};
}

bool is_white_space(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

namespace {

bool is_continuation(std::uint8_t b) {
    return (b & 0xC0) == 0x80;
}

// The range the second unit of a sequence may take after its lead (Unicode's table of
// well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF).
bool second_fits(std::uint8_t lead, std::uint8_t b) {
    if (lead == 0xE0) return b >= 0xA0 && b <= 0xBF;
    if (lead == 0xED) return b >= 0x80 && b <= 0x9F;
    if (lead == 0xF0) return b >= 0x90 && b <= 0xBF;
    if (lead == 0xF4) return b >= 0x80 && b <= 0x8F;
    return is_continuation(b);
}

// The length a lead unit announces. The library reads F5 to F7 as (bad) four-unit leads too.
int sequence_length(std::uint8_t lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF7) return 4;
    return 0;
}

// The character at s, and whether it is well-formed. A bad sequence reads as U+FFFD as long
// as the lead and the continuation units that follow it, up to the announced length.
Decoded decode(const std::uint8_t* s, std::size_t n, bool& well_formed) {
    well_formed = false;
    const std::uint8_t lead = s[0];
    const int length = sequence_length(lead);
    if (length == 0) return {0xFFFD, 1};
    int units = 1;
    while (units < length && static_cast<std::size_t>(units) < n && is_continuation(s[units]))
        ++units;
    if (units < length) return {0xFFFD, units};
    if (length > 1 && (lead > 0xF4 || !second_fits(lead, s[1]))) return {0xFFFD, length};
    well_formed = true;
    if (length == 1) return {lead, 1};
    char32_t code = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i)
        code = (code << 6) | (s[i] & 0x3F);
    return {code, length};
}

}  // namespace

Decoded decode_at(const std::uint8_t* s, std::size_t n) {
    bool well_formed = false;
    return decode(s, n, well_formed);
}

const std::uint8_t* first_invalid(const std::uint8_t* s, std::size_t n) {
    const std::uint8_t* end = s + n;
    while (s < end) {
        bool well_formed = false;
        const Decoded d = decode(s, static_cast<std::size_t>(end - s), well_formed);
        if (!well_formed) return s;
        s += d.length;
    }
    return nullptr;
}

const std::uint8_t* previous_start(const std::uint8_t* end, const std::uint8_t* start,
                                   char32_t& code) {
    // Back over continuation units to the lead, which must begin exactly this many units.
    for (std::ptrdiff_t length = 1; length <= 4 && end - length >= start; ++length) {
        const std::uint8_t* at = end - length;
        if (is_continuation(*at)) continue;
        bool well_formed = false;
        const Decoded d = decode(at, static_cast<std::size_t>(length), well_formed);
        if (!well_formed || d.length != length) return nullptr;
        code = d.code;
        return at;
    }
    return nullptr;
}

}  // namespace pyrelle::unistring_lite
