#include "engine/file_replace.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>
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

// Whether some open file holds the lock of the file at `path` (a link is not followed).
// When that cannot be told, it counts as held: the file is kept.
bool lock_is_held(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return true;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);  // and with it the lock taken just now, if any
    return held;
}

// The pid of "{pid}.{6 characters}", or 0 when `rest` is not that.
long temporary_pid(std::string_view rest) {
    const std::size_t dot = rest.find('.');
    if (dot == 0 || dot == std::string_view::npos || rest.size() - dot - 1 != kUniqueChars)
        return 0;
    long pid = 0;
    for (char c : rest.substr(0, dot)) {
        if (c < '0' || c > '9' || pid > 1'000'000'000) return 0;
        pid = pid * 10 + (c - '0');
    }
    return pid;
}

void remove_stale_temporaries(const std::filesystem::path& target) {
    const std::filesystem::path folder = directory_of(target);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const std::string prefix = temporary_prefix(target);
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        if (is_stale_temporary(folder, entry->d_name, prefix)) stale.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    for (const std::string& entry : stale)
        ::unlink((folder / entry).c_str());
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

// Makes the rename itself durable. Best effort: the new content is in place either way.
void sync_directory(const std::filesystem::path& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// A device or a pipe cannot be replaced by a file, and must not be: it is written in place.
// A folder can take neither.
enum class Existing { None, Regular, InPlace, Folder };
Existing existing_at(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return Existing::None;
    if (S_ISREG(info.st_mode)) return Existing::Regular;
    return S_ISDIR(info.st_mode) ? Existing::Folder : Existing::InPlace;
}

// The file a player's path names: through a link, the file at its end.
std::filesystem::path named_file(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_symlink(path, error)) return path;
    std::filesystem::path resolved = std::filesystem::canonical(path, error);
    return error ? path : resolved;
}

}  // namespace

std::string temporary_prefix(const std::filesystem::path& target) {
    return "." + target.filename().string() + ".pyrelle-tmp.";
}

bool is_stale_temporary(const std::filesystem::path& folder, std::string_view entry,
                        std::string_view prefix) {
    if (entry.size() <= prefix.size() || entry.substr(0, prefix.size()) != prefix) return false;
    const long pid = temporary_pid(entry.substr(prefix.size()));
    if (pid == 0) return false;
    const std::filesystem::path path = folder / std::string(entry);
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if (std::time(nullptr) - info.st_mtime < kStaleAfterSeconds) return false;
    return !lock_is_held(path) && process_is_gone(pid);
}

Result<PendingFile> PendingFile::open(const std::filesystem::path& path, WriteRule rule) {
    PendingFile file;
    file.target_ = path;
    if (rule == WriteRule::PlayersPath) {
        switch (existing_at(path)) {
            case Existing::Folder:
                return system_failure(EISDIR);
            case Existing::InPlace:
                // Opened when written: a pipe's reader may come only then.
                if (::access(path.c_str(), W_OK) != 0) return system_failure(errno);
                return file;
            case Existing::None:
            case Existing::Regular:
                file.target_ = named_file(path);
                break;
        }
    }
    remove_stale_temporaries(file.target_);
    std::string temporary = (directory_of(file.target_) / temporary_prefix(file.target_)).string() +
                            std::to_string(::getpid()) + "." + std::string(kUniqueChars, 'X');
    // mkostemp opens with O_CREAT | O_EXCL: it never follows or reuses an existing name.
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return system_failure(errno);
    file.fd_ = fd;
    file.temporary_ = temporary;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fchmod(fd, new_file_mode()) != 0)
        return system_failure(errno);  // the destructor removes the temporary
    return file;
}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : target_(std::move(other.target_)),
      temporary_(std::exchange(other.temporary_, {})),
      fd_(std::exchange(other.fd_, -1)) {}

PendingFile& PendingFile::operator=(PendingFile&& other) noexcept {
    if (this != &other) {
        discard();
        target_ = std::move(other.target_);
        temporary_ = std::exchange(other.temporary_, {});
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

PendingFile::~PendingFile() {
    discard();
}

void PendingFile::discard() {
    if (fd_ < 0) return;
    ::unlink(temporary_.c_str());
    ::close(fd_);
    fd_ = -1;
    temporary_.clear();
}

Result<void> PendingFile::commit(std::span<const std::uint8_t> bytes) {
    if (temporary_.empty()) {
        const int fd = ::open(target_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) return system_failure(errno);
        const int error = write_all(fd, bytes);
        if (::close(fd) != 0 && error == 0) return system_failure(errno);
        if (error != 0) return system_failure(error);
        return {};
    }
    int error = write_all(fd_, bytes);
    if (error == 0 && ::fsync(fd_) != 0) error = errno;
    if (error == 0 && ::rename(temporary_.c_str(), target_.c_str()) != 0) error = errno;
    if (error != 0) {
        discard();
        return system_failure(error);
    }
    ::close(fd_);  // after the rename: until then the lock says the temporary is alive
    fd_ = -1;
    temporary_.clear();
    sync_directory(directory_of(target_));
    return {};
}

Result<void> write_file(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                        WriteRule rule) {
    Result<PendingFile> file = PendingFile::open(path, rule);
    if (!file.ok()) return Failure{file.error()};
    return file.value().commit(bytes);
}

Result<void> replace_file(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    return write_file(path, bytes, WriteRule::OwnFile);
}

}  // namespace pyrelle
