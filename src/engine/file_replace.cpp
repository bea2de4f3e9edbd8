#include "engine/file_replace.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

namespace pyrelle {
namespace {

constexpr std::size_t kUniqueChars = 6;  // the XXXXXX of mkostemp

Failure system_failure(int error) {
    return {std::strerror(error)};
}

std::filesystem::path directory_of(const std::filesystem::path& path) {
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

bool process_is_gone(long pid) {
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// "{name}.{pid}.XXXXXX" of a process that no longer runs, or the fixed "{name}.tmp" that
// earlier versions used. A live process's temporary is its own business.
bool is_stale_temporary(std::string_view entry, std::string_view name) {
    if (entry.size() <= name.size() + 1 || entry.substr(0, name.size()) != name ||
        entry[name.size()] != '.') {
        return false;
    }
    const std::string_view rest = entry.substr(name.size() + 1);
    if (rest == "tmp") return true;
    const std::size_t dot = rest.find('.');
    if (dot == 0 || dot == std::string_view::npos || rest.size() - dot - 1 != kUniqueChars)
        return false;
    long pid = 0;
    for (char c : rest.substr(0, dot)) {
        if (c < '0' || c > '9' || pid > 1'000'000'000) return false;
        pid = pid * 10 + (c - '0');
    }
    return process_is_gone(pid);
}

void remove_stale_temporaries(const std::filesystem::path& path) {
    const std::filesystem::path directory = directory_of(path);
    DIR* dir = ::opendir(directory.c_str());
    if (!dir) return;
    const std::string name = path.filename().string();
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        if (is_stale_temporary(entry->d_name, name)) stale.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    for (const std::string& entry : stale)
        ::unlink((directory / entry).c_str());
}

// The permissions an ordinary new file gets (0666 less the umask); mkostemp makes it 0600.
mode_t new_file_mode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

int write_all(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// Fills the open temporary and closes it; errno of the first failure, else 0.
int fill_and_close(int fd, std::span<const std::uint8_t> bytes) {
    int error = ::fchmod(fd, new_file_mode()) == 0 ? 0 : errno;
    if (error == 0) error = write_all(fd, bytes);
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    return error;
}

// Makes the rename itself durable. Best effort: the new content is in place either way.
void sync_directory(const std::filesystem::path& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// "{name}.{pid}.": the temporaries of one process, so others can tell whose they are.
std::string temporary_prefix(const std::filesystem::path& path, long pid) {
    return path.filename().string() + "." + std::to_string(pid) + ".";
}

}  // namespace

Result<void> replace_file(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    remove_stale_temporaries(path);
    const std::filesystem::path directory = directory_of(path);
    std::string temporary =
        (directory / temporary_prefix(path, static_cast<long>(::getpid()))).string() +
        std::string(kUniqueChars, 'X');
    // mkostemp opens with O_CREAT | O_EXCL: it never follows or reuses an existing name.
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return system_failure(errno);
    int error = fill_and_close(fd, bytes);
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return system_failure(error);
    }
    sync_directory(directory);
    return {};
}

}  // namespace pyrelle
