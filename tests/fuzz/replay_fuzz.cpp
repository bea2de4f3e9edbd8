// libFuzzer target: the replay file. Whatever the bytes, decoding either refuses them or
// gives a replay that encodes back to exactly these bytes (one file, one reading).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "replay.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto decoded = pyrelle::decode_replay({data, size});
    if (!decoded.ok()) {
        if (decoded.error().empty()) std::abort();
        return 0;
    }
    const std::vector<std::uint8_t> again = pyrelle::encode_replay(decoded.value());
    if (again.size() != size || std::memcmp(again.data(), data, size) != 0) std::abort();
    return 0;
}
