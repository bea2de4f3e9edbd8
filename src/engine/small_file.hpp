#pragma once
#include <cstddef>
#include <filesystem>
#include <string>

#include "engine/result.hpp"

namespace pyrelle {

// The whole content of a regular file of at most `max_bytes`. Opened without blocking and
// checked before reading, so a FIFO, a device or a directory in its place neither hangs the
// game nor feeds it endless bytes. A failure says why: the system's error text, "pas un
// fichier ordinaire" or "fichier trop grand".
Result<std::string> read_small_file(const std::filesystem::path& path, std::size_t max_bytes);

}  // namespace pyrelle
