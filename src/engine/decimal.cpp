#include "engine/decimal.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace pyrelle {

Result<std::uint64_t> parse_unsigned(std::string_view text, std::uint64_t max) {
    if (text.empty()) return Failure{"cannot parse integer from empty string"};
    std::string_view digits = text;
    if (digits.front() == '+') {
        digits.remove_prefix(1);
        if (digits.empty()) return Failure{"invalid digit found in string"};
    }
    std::uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return Failure{"invalid digit found in string"};
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (value > (max - digit) / 10) return Failure{"number too large to fit in target type"};
        value = value * 10 + digit;
    }
    return value;
}

namespace {

std::size_t digits_at(std::string_view text, std::size_t at) {
    std::size_t n = 0;
    while (at + n < text.size() && text[at + n] >= '0' && text[at + n] <= '9')
        ++n;
    return n;
}

}  // namespace

FloatRead read_float(std::string_view text) {
    // The decimal's extent: digits, a fraction, and an exponent only when it has digits.
    std::size_t at = digits_at(text, 0);
    std::size_t mantissa_digits = at;
    if (at < text.size() && text[at] == '.') {
        const std::size_t fraction = digits_at(text, at + 1);
        mantissa_digits += fraction;
        at += 1 + fraction;
    }
    if (mantissa_digits == 0) return {};
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        std::size_t sign = at + 1 < text.size() && (text[at + 1] == '+' || text[at + 1] == '-');
        const std::size_t exponent = digits_at(text, at + 1 + sign);
        if (exponent > 0) at += 1 + sign + exponent;
    }
    // strtof rounds correctly; the game never sets a locale, so its decimal point is ".".
    const std::string decimal(text.substr(0, at));
    errno = 0;
    const float value = std::strtof(decimal.c_str(), nullptr);
    FloatRead read;
    read.used = at;
    // A subnormal result is a value; ERANGE there only says that precision was lost.
    if (errno == ERANGE && (value == 0.0f || std::isinf(value))) {
        read.error = std::errc::result_out_of_range;
    } else {
        read.value = value;
        read.error = std::errc();
    }
    return read;
}

}  // namespace pyrelle
