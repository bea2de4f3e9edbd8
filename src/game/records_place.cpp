#include "game/records_place.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string_view>
#include <system_error>

#include "engine/file_replace.hpp"
#include "engine/small_file.hpp"

namespace pyrelle {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kRecordsName = "pyrelle.sav";
constexpr std::size_t kMaxBestRunBytes = 4 * 1024 * 1024;  // as the replay reader takes

// The XDG data folder: $XDG_DATA_HOME when absolute (a relative one is to be ignored), else
// $HOME/.local/share when $HOME is absolute; else none.
std::optional<fs::path> data_home(const PlaceFacts& facts) {
    if (!facts.xdg_data_home.empty() && fs::path(facts.xdg_data_home).is_absolute())
        return fs::path(facts.xdg_data_home);
    if (!facts.home.empty() && fs::path(facts.home).is_absolute())
        return fs::path(facts.home) / ".local" / "share";
    return std::nullopt;
}

bool is_file(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

void copy_if_missing(const fs::path& from, const fs::path& to) {
    if (!is_file(from) || fs::exists(to)) return;
    const Result<std::string> bytes = read_small_file(from, kMaxBestRunBytes);
    if (!bytes.ok()) return;
    const std::string& b = bytes.value();
    (void)replace_file(to, {reinterpret_cast<const std::uint8_t*>(b.data()), b.size()});
}

}  // namespace

bool is_system_folder(const fs::path& folder) {
    static constexpr std::array<std::string_view, 10> kSystem = {
        "/usr", "/bin", "/sbin", "/lib", "/lib64", "/opt", "/app", "/snap", "/nix", "/gnu"};
    const fs::path normal = folder.lexically_normal();
    for (const std::string_view name : kSystem) {
        const fs::path root(name);
        if (std::mismatch(root.begin(), root.end(), normal.begin(), normal.end()).first ==
            root.end())
            return true;
    }
    return false;
}

RecordsPlace choose_records_place(const PlaceFacts& facts) {
    const fs::path beside = facts.program_folder / kRecordsName;
    const bool writable = facts.can_write(facts.program_folder);
    if (writable && (is_file(beside) || !is_system_folder(facts.program_folder)))
        return {beside, {}};
    const std::optional<fs::path> data = data_home(facts);
    if (!data) return {beside, {}};
    RecordsPlace place{*data / "pyrelle" / kRecordsName, {}};
    if (!is_file(place.file) && is_file(beside)) place.older_file = beside;
    return place;
}

std::optional<PlaceFacts> this_process_place_facts() {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (error || !program.has_parent_path()) return std::nullopt;
    const auto env = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    };
    return PlaceFacts{program.parent_path(), env("XDG_DATA_HOME"), env("HOME"),
                      [](const fs::path& folder) { return ::access(folder.c_str(), W_OK) == 0; }};
}

fs::path best_run_path(const fs::path& records_file, bool night) {
    return records_file.parent_path() /
           (night ? "pyrelle-meilleur-nuit.rpl" : "pyrelle-meilleur.rpl");
}

void prepare_records_folder(const fs::path& records_file,
                            const std::optional<fs::path>& older_file) {
    const fs::path folder = records_file.parent_path();
    std::error_code error;
    if (!fs::exists(folder, error)) {
        fs::create_directories(folder.parent_path(), error);
        if (::mkdir(folder.c_str(), 0700) != 0) return;
    }
    if (!older_file) return;
    for (const bool night : {false, true})
        copy_if_missing(best_run_path(*older_file, night), best_run_path(records_file, night));
}

}  // namespace pyrelle
