#include "game/records_place.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>

#include "engine/input.hpp"
#include "engine/step_loop.hpp"
#include "game/fixtures.hpp"
#include "game/game.hpp"

namespace pyrelle {
namespace {

namespace fs = std::filesystem;
using fixtures::read_file;
using fixtures::TempDir;
using fixtures::write_file;

TEST(RecordsPlace, SystemFoldersAreTheInstalledProgramsOnes) {
    for (const char* folder : {"/usr/games", "/usr/local/bin", "/usr/bin", "/opt/pyrelle/bin",
                               "/app/bin", "/usr/games/../games"}) {
        EXPECT_TRUE(is_system_folder(folder)) << folder;
    }
    for (const char* folder : {"/home/ana/jeux/pyrelle/bin", "/tmp/pyrelle", "/usrx/bin",
                               "/home/ana/usr/bin", "/srv/build/release"}) {
        EXPECT_FALSE(is_system_folder(folder)) << folder;
    }
}

TEST(RecordsPlace, APortableCopyKeepsItsRecordsTheRestInThePlayersDataFolder) {
    TempDir dir;
    const fs::path portable = dir.path / "pyrelle-1.0.0" / "bin";
    const fs::path read_only = dir.path / "mount" / "bin";
    const fs::path data = dir.path / "data";
    const fs::path home = dir.path / "home";
    for (const fs::path& p : {portable, read_only, data, home})
        fs::create_directories(p);
    const std::set<fs::path> writable = {portable, "/usr/games"};
    struct Case {
        const char* what;
        fs::path program;
        std::string xdg_data_home, home;
        bool old_records;  // a pyrelle.sav beside the program
        fs::path want;
        bool take_over;
    };
    const Case cases[] = {
        {"portable copy", portable, data.string(), home.string(), false, portable / "pyrelle.sav",
         false},
        {"portable copy with records", portable, data.string(), home.string(), true,
         portable / "pyrelle.sav", false},
        {"system folder", "/usr/games", data.string(), home.string(), false,
         data / "pyrelle" / "pyrelle.sav", false},
        {"read-only folder with older records", read_only, data.string(), home.string(), true,
         data / "pyrelle" / "pyrelle.sav", true},
        {"read-only folder, XDG_DATA_HOME unset", read_only, "", home.string(), false,
         home / ".local" / "share" / "pyrelle" / "pyrelle.sav", false},
        {"read-only folder, XDG_DATA_HOME relative", read_only, "data", home.string(), false,
         home / ".local" / "share" / "pyrelle" / "pyrelle.sav", false},
        {"read-only folder, no home at all", read_only, "", "", true, read_only / "pyrelle.sav",
         false},
        {"read-only folder, relative home", read_only, "", "home", false, read_only / "pyrelle.sav",
         false},
    };
    for (const Case& c : cases) {
        const fs::path old = c.program / "pyrelle.sav";
        if (c.old_records) write_file(old, "best_depth=4\n");
        const PlaceFacts facts{c.program, c.xdg_data_home, c.home,
                               [&](const fs::path& f) { return writable.count(f) != 0; }};
        const RecordsPlace place = choose_records_place(facts);
        EXPECT_EQ(place.file, c.want) << c.what;
        EXPECT_EQ(place.older_file, c.take_over ? std::optional<fs::path>(old) : std::nullopt)
            << c.what;
        if (c.old_records) fs::remove(old);
    }
    // Once the data folder holds records, an older copy's are not taken over again.
    write_file(read_only / "pyrelle.sav", "best_depth=4\n");
    fs::create_directories(data / "pyrelle");
    write_file(data / "pyrelle" / "pyrelle.sav", "best_depth=9\n");
    const RecordsPlace again = choose_records_place(
        {read_only, data.string(), home.string(), [](const fs::path&) { return false; }});
    EXPECT_EQ(again.file, data / "pyrelle" / "pyrelle.sav");
    EXPECT_FALSE(again.older_file);
}

Input press_action() {
    Input input;
    input.now.action = true;
    return input;
}

// An installed game over an older copy's records: it shows them, and its first save moves
// them to the player's own folder, best run included, leaving the old ones as they were.
TEST(RecordsPlace, TheFirstSaveTakesOverTheRecordsOfAnOlderCopy) {
    TempDir dir;
    const fs::path program = dir.path / "usr" / "games";
    fs::create_directories(program);
    write_file(program / "pyrelle.sav", "best_depth=0\nbest_time=99.50\n");
    write_file(program / "pyrelle-meilleur.rpl", "the best run");
    const RecordsPlace place = choose_records_place(
        {program, (dir.path / "data").string(), "", [](const fs::path&) { return false; }});
    Game game = Game::create(3, place);
    EXPECT_EQ(game.records.best_time, 99.5f);
    ASSERT_TRUE(game.step(press_action(), kStep));  // a run starts at depth 1: a record
    ASSERT_TRUE(game.reports.empty()) << game.reports.front();
    const fs::path folder = dir.path / "data" / "pyrelle";
    struct stat info {};
    ASSERT_EQ(stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(read_file(folder / "pyrelle.sav"), "best_depth=1\nbest_time=99.50\n");
    EXPECT_EQ(read_file(folder / "pyrelle-meilleur.rpl"), "the best run");
    EXPECT_EQ(read_file(program / "pyrelle.sav"), "best_depth=0\nbest_time=99.50\n");
    EXPECT_FALSE(game.older_records_file);
}

// No folder can be made for the records (here a home that is a file): each save says so
// once, and play goes on with the records of the session.
TEST(RecordsPlace, WithoutAFolderForTheRecordsEachSaveSaysSo) {
    TempDir dir;
    write_file(dir.path / "home", "not a folder");
    const fs::path program = dir.path / "games";
    fs::create_directories(program);
    const RecordsPlace place = choose_records_place(
        {program, "", (dir.path / "home").string(), [](const fs::path&) { return false; }});
    Game game = Game::create(3, place);
    ASSERT_TRUE(game.step(press_action(), kStep));
    ASSERT_EQ(game.reports.size(), 1u);
    EXPECT_EQ(game.reports[0].rfind("records non sauvegardés (" + place.file.string() + ") : ", 0),
              0u)
        << game.reports[0];
    EXPECT_EQ(game.records.best_depth, 1u);
}

}  // namespace
}  // namespace pyrelle
