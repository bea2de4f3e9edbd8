// libFuzzer target: the command-line parser. The input is the argument list, arguments
// separated by NUL bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.emplace_back();
        } else {
            args.back() += static_cast<char>(data[i]);
        }
    }
    const pyrelle::Result<pyrelle::Options> parsed = pyrelle::parse_command_line(args);
    if (parsed.ok()) {
        // Every accepted count must be one the game can hold in memory.
        if (parsed.value().companions > 255) std::abort();
    } else if (parsed.error().empty()) {
        std::abort();
    }
    return 0;
}
