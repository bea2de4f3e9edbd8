#include "game/records.hpp"

#include <fcntl.h>
#include <unistd.h>
#include <unistr.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <system_error>

#include "engine/decimal.hpp"

namespace pyrelle {
namespace {

// Unicode White_Space, the characters trimmed around keys and values.
bool is_white_space(ucs4_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

// The text is valid UTF-8 (checked on load), so decoding cannot fail here.
std::string_view trim(std::string_view s) {
    while (!s.empty()) {
        ucs4_t c = 0;
        const int n = u8_mbtouc(&c, reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
        if (!is_white_space(c)) break;
        s.remove_prefix(static_cast<std::size_t>(n));
    }
    while (!s.empty()) {
        const auto* start = reinterpret_cast<const std::uint8_t*>(s.data());
        ucs4_t c = 0;
        const std::uint8_t* last = u8_prev(&c, start + s.size(), start);
        if (!is_white_space(c)) break;
        s.remove_suffix(static_cast<std::size_t>(start + s.size() - last));
    }
    return s;
}

// A time as a float reader takes it ("71.5", "+7", "1e2"). Values that are not a finite,
// non-negative time are damaged data: no run could ever beat them.
std::optional<float> parse_time(std::string_view value) {
    std::string_view digits = value;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    if (digits.empty() || digits.front() == '+' || digits.front() == '-') return std::nullopt;
    float parsed = 0.0f;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), parsed,
                                              std::chars_format::general);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    if (!std::isfinite(parsed) || parsed < 0.0f) return std::nullopt;
    return parsed;
}

void apply_line(Records& records, std::string_view line) {
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return;
    const std::string_view key = trim(line.substr(0, eq));
    const std::string_view value = trim(line.substr(eq + 1));
    if (key == "best_time") {
        records.best_time = parse_time(value);
    } else if (key == "best_time_night") {
        records.best_time_night = parse_time(value);
    } else if (key == "best_depth") {
        const auto depth = parse_unsigned(value, std::numeric_limits<std::uint32_t>::max());
        const auto* number = std::get_if<std::uint64_t>(&depth);
        records.best_depth = number ? static_cast<std::uint32_t>(*number) : 0;
    }
}

std::string two_decimals(float seconds) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(seconds));
    return buffer;
}

// Writes the whole text to a file and flushes it to the disk; returns errno on failure.
int write_file_synced(const std::filesystem::path& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return errno;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(fd);
            return error;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    return ::close(fd) == 0 ? 0 : errno;
}

std::optional<std::string> read_whole_file(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

}  // namespace

Records parse_records(std::string_view text) {
    Records records;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r' && end != std::string_view::npos)
            line.remove_suffix(1);
        apply_line(records, line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return records;
}

std::string format_records(const Records& records) {
    std::string text = "best_depth=" + std::to_string(records.best_depth) + "\n";
    if (records.best_time) text += "best_time=" + two_decimals(*records.best_time) + "\n";
    if (records.best_time_night) {
        text += "best_time_night=" + two_decimals(*records.best_time_night) + "\n";
    }
    return text;
}

std::optional<std::filesystem::path> records_path() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !program.has_parent_path()) return std::nullopt;
    return program.parent_path() / "pyrelle.sav";
}

Records Records::load() {
    const auto path = records_path();
    return path ? load(*path) : Records{};
}

Records Records::load(const std::filesystem::path& path) {
    const std::optional<std::string> read = read_whole_file(path);
    if (!read) return {};
    const std::string& text = *read;
    if (u8_check(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()) != nullptr)
        return {};
    return parse_records(text);
}

void Records::save() const {
    if (const auto path = records_path()) save(*path);
}

void Records::save(const std::filesystem::path& path) const {
    // The new content goes to a file beside the old one and replaces it in one rename,
    // so a crash or a full disk mid-save leaves the old records whole.
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    int error = write_file_synced(temporary, format_records(*this));
    if (error == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        std::fprintf(stderr, "records non sauvegardés (%s) : %s\n", path.c_str(),
                     std::strerror(error));
    }
}

}  // namespace pyrelle
