#pragma once
#include <cstdint>
#include <filesystem>
#include <span>

#include "engine/result.hpp"

namespace pyrelle {

// Replaces the file at `path` with `bytes` so that it holds either its old content or the
// whole new one, whatever happens midway (a full disk, a kill, a power loss): the bytes go
// to a new temporary file beside it, created exclusively under a name of its own, which is
// flushed and renamed over `path`; the directory is flushed too. A symlink at `path` is
// replaced, not followed. Temporaries left beside `path` by killed processes are removed
// first. A failure (the system's error text) leaves the old file as it was.
Result<void> replace_file(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace pyrelle
