#include "engine/file_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace pyrelle {

Result<FileLock> FileLock::take(const std::filesystem::path& lock_file) {
    // O_NOFOLLOW: a link planted at the lock's name never makes the game create files
    // elsewhere.
    const int fd =
        ::open(lock_file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) return Failure{std::strerror(errno)};
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        const int error = errno;
        ::close(fd);
        return Failure{std::strerror(error)};
    }
    return FileLock(fd);
}

FileLock::FileLock(FileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace pyrelle
