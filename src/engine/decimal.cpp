#include "engine/decimal.hpp"

namespace pyrelle {

std::variant<std::uint64_t, std::string> parse_unsigned(std::string_view text, std::uint64_t max) {
    if (text.empty()) return std::string("cannot parse integer from empty string");
    std::string_view digits = text;
    if (digits.front() == '+') {
        digits.remove_prefix(1);
        if (digits.empty()) return std::string("invalid digit found in string");
    }
    std::uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::string("invalid digit found in string");
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (value > (max - digit) / 10)
            return std::string("number too large to fit in target type");
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace pyrelle
