#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/result.hpp"

namespace pyrelle {

// An unsigned decimal no larger than `max`: an optional single "+", then ASCII digits only.
// Returns the value or the reason it is not one, checking digit by digit from the left.
Result<std::uint64_t> parse_unsigned(std::string_view text, std::uint64_t max);

// The longest decimal at the start of `text` read as a float, as std::from_chars reads one in
// its general format, except that only decimals count (no sign, no "inf" or "nan"): digits with
// an optional fraction and exponent ("71.5", ".5", "1e2"), correctly rounded. A value too large
// for a float, or too small to be anything but 0, is out of range. (The C++ library of the web
// build has no from_chars for floats.)
struct FloatRead {
    std::size_t used = 0;  // characters read; 0 when the text does not start with a decimal
    float value = 0.0f;    // when read and in range
    std::errc error = std::errc::invalid_argument;
};
FloatRead read_float(std::string_view text);

}  // namespace pyrelle
