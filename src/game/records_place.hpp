#pragma once
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace pyrelle {

// What decides where the records live: the program's folder and the player's folders.
struct PlaceFacts {
    std::filesystem::path program_folder;  // absolute
    std::string xdg_data_home;             // $XDG_DATA_HOME, empty when unset
    std::string home;                      // $HOME, empty when unset
    // Whether the game may create files in a folder.
    std::function<bool(const std::filesystem::path&)> can_write;
};

// Where the records ("pyrelle.sav") and the best runs beside them are kept.
//  1. Beside the program, when it can write there and either a pyrelle.sav is already there or
//     the folder is not a system one: a portable copy (a build folder, the release archive).
//  2. Else in the player's data folder, $XDG_DATA_HOME/pyrelle/ (~/.local/share/pyrelle/ when
//     that is unset or not absolute), made with mode 0700 by the first save. The records of
//     an older copy beside the program are read from there until then, and that save takes
//     them over, best runs included.
//  3. Else (no home to speak of) beside the program all the same: its saves fail, each saying
//     so, and the records last for the session.
struct RecordsPlace {
    std::filesystem::path file;
    std::optional<std::filesystem::path> older_file;  // beside the program, to take over
};
RecordsPlace choose_records_place(const PlaceFacts& facts);

// The facts of this process: its program file's folder, its environment, access(2). Nullopt
// when the program file cannot be found.
std::optional<PlaceFacts> this_process_place_facts();

// Folders where installed programs live, which a player's records never share.
bool is_system_folder(const std::filesystem::path& folder);

// "pyrelle-meilleur.rpl" (day) or "pyrelle-meilleur-nuit.rpl" beside the records file.
std::filesystem::path best_run_path(const std::filesystem::path& records_file, bool night);

// Makes the folder of the records file when it is missing (the last one 0700: the player's
// own), and takes over an older records folder's best runs that are not there yet. Nothing
// is reported: the save that follows says whether the folder is usable.
void prepare_records_folder(const std::filesystem::path& records_file,
                            const std::optional<std::filesystem::path>& older_file);

}  // namespace pyrelle
