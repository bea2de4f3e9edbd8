#include "game/records.hpp"

#include <unistd.h>
#include <unistr.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <span>
#include <system_error>

#include "engine/decimal.hpp"
#include "engine/file_lock.hpp"
#include "engine/file_replace.hpp"
#include "engine/small_file.hpp"

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

constexpr std::optional<float> kDamaged = std::nullopt;

// Whether a well-formed decimal that a float cannot hold is too small rather than too large.
// Read as a double, a too-small value stays below 1 (or becomes 0); a too-large one does not.
bool underflows(std::string_view digits) {
    const std::string text(digits);
    return std::strtod(text.c_str(), nullptr) < 1.0;
}

}  // namespace

// A time as a float reader takes it ("71.5", "+7", "1e2"). Values that are not a finite,
// non-negative time are damaged data: no run could ever beat them. A value too small for a
// float ("1e-50") reads as 0, as a standard float parser rounds it.
std::optional<float> parse_time(std::string_view value) {
    std::string_view digits = value;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    if (digits.empty() || digits.front() == '+' || digits.front() == '-') return kDamaged;
    const FloatRead read = read_float(digits);
    if (read.used != digits.size()) return kDamaged;
    if (read.error == std::errc::result_out_of_range) return underflows(digits) ? 0.0f : kDamaged;
    if (read.error != std::errc() || !std::isfinite(read.value) || read.value < 0.0f)
        return kDamaged;
    return read.value;
}

namespace {

void apply_setting(Records& records, std::string_view key, std::string_view value) {
    if (key == "best_time") {
        records.best_time = parse_time(value);
    } else if (key == "best_time_night") {
        records.best_time_night = parse_time(value);
    } else if (key == "best_depth") {
        const auto depth = parse_unsigned(value, std::numeric_limits<std::uint32_t>::max());
        records.best_depth = depth.ok() ? static_cast<std::uint32_t>(depth.value()) : 0;
    }
}

// A records file is a few dozen bytes; anything near this size is not one.
constexpr std::size_t kMaxRecordsBytes = 64 * 1024;

}  // namespace

std::string two_decimals(float seconds) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(seconds));
    return buffer;
}

void for_each_setting(std::string_view text,
                      const std::function<void(std::string_view, std::string_view)>& take) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r' && end != std::string_view::npos)
            line.remove_suffix(1);
        if (const std::size_t eq = line.find('='); eq != std::string_view::npos)
            take(trim(line.substr(0, eq)), trim(line.substr(eq + 1)));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

std::optional<std::string> read_settings_file(const std::filesystem::path& path) {
    auto read = read_small_file(path, kMaxRecordsBytes);
    if (!read.ok()) return std::nullopt;
    std::string text = std::move(read).value();
    if (u8_check(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()) != nullptr)
        return std::nullopt;
    return text;
}

Records parse_records(std::string_view text) {
    Records records;
    for_each_setting(text, [&records](std::string_view key, std::string_view value) {
        apply_setting(records, key, value);
    });
    return records;
}

std::string format_times(std::optional<float> best_time, std::optional<float> best_time_night) {
    std::string text;
    if (best_time) text += "best_time=" + two_decimals(*best_time) + "\n";
    if (best_time_night) text += "best_time_night=" + two_decimals(*best_time_night) + "\n";
    return text;
}

std::string format_records(const Records& records) {
    return "best_depth=" + std::to_string(records.best_depth) + "\n" +
           format_times(records.best_time, records.best_time_night);
}

Records Records::load(const std::filesystem::path& path) {
    const std::optional<std::string> text = read_settings_file(path);
    return text ? parse_records(*text) : Records{};
}

Result<Records> Records::save(const std::filesystem::path& path) const {
    // Without the lock (a folder where it cannot be made) the merge still keeps the best of
    // what is there now; only a game saving at the very same moment could be missed.
    const Result<FileLock> lock = lock_records(path);
    ::unlink((path.string() + ".tmp").c_str());  // only older versions of the game wrote it
    const Records merged = best_of(*this, load(path));
    const std::string text = format_records(merged);
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    const Result<void> saved = replace_file(path, bytes);
    if (!saved.ok())
        return Failure{"records non sauvegardés (" + path.string() + ") : " + saved.error()};
    return merged;
}

std::optional<float> shorter_time(std::optional<float> x, std::optional<float> y) {
    if (!x) return y;
    if (!y) return x;
    return std::min(*x, *y);
}

Records best_of(const Records& a, const Records& b) {
    const auto shorter = shorter_time;
    Records best;
    best.best_depth = std::max(a.best_depth, b.best_depth);
    best.best_time = shorter(a.best_time, b.best_time);
    best.best_time_night = shorter(a.best_time_night, b.best_time_night);
    return best;
}

Result<FileLock> lock_records(const std::filesystem::path& records_file) {
    return FileLock::take(records_file.string() + ".lock");
}

bool holds_best_time(const Records& records, bool night, float time) {
    const std::optional<float> best = night ? records.best_time_night : records.best_time;
    return best && two_decimals(*best) == two_decimals(time);
}

}  // namespace pyrelle
