// libFuzzer target: the records text. Whatever a damaged file holds, reading it never fails,
// and what the game then writes reads back as the same records.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "game/records.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const pyrelle::Records first = pyrelle::parse_records(text);
    const std::string written = pyrelle::format_records(first);
    const pyrelle::Records second = pyrelle::parse_records(written);
    if (second.best_depth != first.best_depth) std::abort();
    if (second.best_time.has_value() != first.best_time.has_value()) std::abort();
    if (second.best_time_night.has_value() != first.best_time_night.has_value()) std::abort();
    // Times are written with two decimals: the second writing is the first one exactly.
    if (pyrelle::format_records(second) != written) std::abort();
    return 0;
}
