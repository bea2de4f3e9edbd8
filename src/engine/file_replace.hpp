#pragma once
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "engine/result.hpp"

namespace pyrelle {

// How a path given by the player is written: a device or a pipe (/dev/null, a FIFO) in
// place, a symbolic link through to the file it names, and a regular file (or a new one)
// replaced whole. The game's own files beside the records replace whatever is at their path,
// a link included, and never write through it.
enum class WriteRule { PlayersPath, OwnFile };

// A file about to be replaced, whole or not at all. Its temporary is made when it is
// opened, beside the target, so that a destination that cannot take a file is known before
// any work is done; `commit` fills it, flushes it and renames it over the target. Dropped
// without a commit, the temporary goes. While open, the temporary is locked, so that
// another process's clean-up can tell it from a dead one's, in any PID namespace.
class PendingFile {
  public:
    static Result<PendingFile> open(const std::filesystem::path& path, WriteRule rule);

    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&& other) noexcept;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile();

    // Once only. A failure (the system's error text) leaves the old file as it was.
    Result<void> commit(std::span<const std::uint8_t> bytes);

  private:
    PendingFile() = default;
    void discard();

    std::filesystem::path target_;     // the file replaced, or the device or pipe written
    std::filesystem::path temporary_;  // empty when written in place
    int fd_ = -1;                      // the temporary, open and locked
};

// PendingFile::open and commit in one go.
Result<void> write_file(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                        WriteRule rule);
// The same for the game's own files: `path` itself is replaced, a link there included.
Result<void> replace_file(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// The temporaries this program makes beside `target`: ".{name}.pyrelle-tmp.{pid}.{6 chars}".
// The marker keeps every name a person could choose out of the clean-up.
std::string temporary_prefix(const std::filesystem::path& target);
// Whether `entry` (a name in the target's folder) is one of those temporaries left behind
// by a process that is gone: no process holds its lock, it is older than kStaleAfter, and
// its process does not run here. Only such names are ever removed.
inline constexpr std::int64_t kStaleAfterSeconds = 10 * 60;
bool is_stale_temporary(const std::filesystem::path& folder, std::string_view entry,
                        std::string_view prefix);

}  // namespace pyrelle
