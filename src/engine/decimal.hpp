#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace pyrelle {

// An unsigned decimal no larger than `max`: an optional single "+", then ASCII digits only.
// Returns the value or the reason it is not one, checking digit by digit from the left.
std::variant<std::uint64_t, std::string> parse_unsigned(std::string_view text, std::uint64_t max);

}  // namespace pyrelle
