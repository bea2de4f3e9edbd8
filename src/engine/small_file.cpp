#include "engine/small_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pyrelle {
namespace {

Failure system_failure(int error) {
    return {std::strerror(error)};
}

// Reads to the end, giving up past max_bytes (the file may have grown since it was looked at).
Result<std::string> read_at_most(int fd, std::size_t max_bytes) {
    std::string bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) return bytes;
        if (n < 0) {
            if (errno == EINTR) continue;
            return system_failure(errno);
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (bytes.size() > max_bytes) return Failure{"fichier trop grand"};
    }
}

}  // namespace

Result<std::string> read_small_file(const std::filesystem::path& path, std::size_t max_bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return system_failure(errno);
    struct stat info {};
    Result<std::string> result = Failure{"pas un fichier ordinaire"};
    if (::fstat(fd, &info) != 0) {
        result = system_failure(errno);
    } else if (S_ISREG(info.st_mode)) {
        result = static_cast<std::size_t>(info.st_size) > max_bytes
                     ? Result<std::string>(Failure{"fichier trop grand"})
                     : read_at_most(fd, max_bytes);
    }
    ::close(fd);
    return result;
}

}  // namespace pyrelle
