#pragma once
#include <filesystem>

#include "engine/result.hpp"

namespace pyrelle {

// An exclusive lock shared by every process that takes it on the same lock file (flock):
// held from `take` until destroyed. The lock file is made when missing and never removed,
// so that two processes always lock the same file.
class FileLock {
  public:
    static Result<FileLock> take(const std::filesystem::path& lock_file);

    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

  private:
    explicit FileLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace pyrelle
