#include "engine/file_replace.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>
#include <vector>

#include "file_fixtures.hpp"

namespace pyrelle {
namespace {

namespace fs = std::filesystem;
using fixtures::names_in;
using fixtures::read_file;
using fixtures::TempDir;
using fixtures::write_file;

std::vector<std::uint8_t> bytes_of(const std::string& text) {
    return {text.begin(), text.end()};
}

// A file size limit makes writes fail midway, as a full disk does, even for root.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, old_handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit old_{};
    void (*old_handler_)(int) = nullptr;
};

TEST(ReplaceFile, AFailureLeavesTheOldFileWholeAndNothingBeside) {
    TempDir dir;
    const fs::path file = dir.path / "shot.png";
    write_file(file, "old picture");
    const std::vector<std::uint8_t> big(100000, 7);
    Result<void> saved;
    {
        FileSizeLimit full_disk(4096);
        saved = replace_file(file, big);
    }
    ASSERT_FALSE(saved.ok());
    EXPECT_EQ(saved.error(), "File too large");
    EXPECT_EQ(read_file(file), "old picture");
    EXPECT_EQ(names_in(dir.path), std::vector<std::string>{"shot.png"});

    EXPECT_FALSE(replace_file(dir.path / "missing" / "shot.png", big).ok());
    EXPECT_EQ(names_in(dir.path), std::vector<std::string>{"shot.png"});
}

TEST(ReplaceFile, WritesTheWholeContentWithOrdinaryPermissions) {
    TempDir dir;
    const fs::path file = dir.path / "a.sav";
    write_file(file, "a much longer old content");
    const mode_t old_mask = umask(022);
    const auto saved = replace_file(file, bytes_of("new"));
    umask(old_mask);
    ASSERT_TRUE(saved.ok()) << saved.error();
    EXPECT_EQ(read_file(file), "new");
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    EXPECT_EQ(names_in(dir.path), std::vector<std::string>{"a.sav"});
}

TEST(ReplaceFile, ALinkInPlaceIsReplacedNotFollowed) {
    TempDir dir;
    write_file(dir.path / "elsewhere", "keep me");
    fs::create_symlink(dir.path / "elsewhere", dir.path / "a.sav");
    ASSERT_TRUE(replace_file(dir.path / "a.sav", bytes_of("new")).ok());
    EXPECT_FALSE(fs::is_symlink(dir.path / "a.sav"));
    EXPECT_EQ(read_file(dir.path / "a.sav"), "new");
    EXPECT_EQ(read_file(dir.path / "elsewhere"), "keep me");
}

// Ages a file by an hour, as a temporary left behind long ago.
void make_old(const fs::path& path) {
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(1));
}

TEST(ReplaceFile, CleansUpOnlyItsOwnTemporariesLeftByGoneProcesses) {
    TempDir dir;
    const fs::path target = dir.path / "out.rpl";
    const std::string ours = temporary_prefix(target);
    EXPECT_EQ(ours, ".out.rpl.pyrelle-tmp.");
    const std::string gone = "999999999";  // above any pid this machine gives
    const std::string alive = std::to_string(getpid());
    struct Case {
        std::string name;
        bool old;
        bool removed;
    };
    const Case cases[] = {
        {ours + gone + ".abcdef", true, true},
        {ours + gone + ".fresh1", false, false},  // too young: may be a save going on
        {ours + alive + ".abcdef", true, false},  // its process still runs
        {ours + gone + ".abcdefg", true, false},
        {ours + "12x.abcdef", true, false},
        {ours + ".abcdef", true, false},
        {".other.rpl.pyrelle-tmp." + gone + ".abcdef", true, false},  // another file's
        // Names a player may have chosen, and the naming of older versions.
        {"out.rpl.4194305.abcdef", true, false},
        {"out.rpl.20250101.backup", true, false},
        {"out.rpl.tmp", true, false},
        {".tmp", true, false},
    };
    for (const Case& c : cases) {
        write_file(dir.path / c.name, "x");
        if (c.old) make_old(dir.path / c.name);
    }
    // An instance in another PID namespace: its pid means nothing here, but it holds its
    // temporary's lock, as every live writer does.
    const std::string foreign = ours + gone + ".locked";
    write_file(dir.path / foreign, "x");
    make_old(dir.path / foreign);
    const int held = open((dir.path / foreign).c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    // A link with the marker's name is not a temporary of ours either.
    const std::string link = ours + gone + ".linked";
    fs::create_symlink(dir.path / "out.rpl.tmp", dir.path / link);

    ASSERT_TRUE(replace_file(target, bytes_of("new")).ok());
    close(held);
    std::vector<std::string> want = {"out.rpl", foreign, link};
    for (const Case& c : cases)
        if (!c.removed) want.push_back(c.name);
    std::sort(want.begin(), want.end());
    EXPECT_EQ(names_in(dir.path), want);
}

TEST(PendingFile, TheTemporaryIsMadeWhenOpenedAndGoesWithoutACommit) {
    TempDir dir;
    const fs::path target = dir.path / "out.rpl";
    {
        auto pending = PendingFile::open(target, WriteRule::PlayersPath);
        ASSERT_TRUE(pending.ok()) << pending.error();
        const std::vector<std::string> names = names_in(dir.path);
        ASSERT_EQ(names.size(), 1u);
        EXPECT_EQ(names[0].rfind(temporary_prefix(target) + std::to_string(getpid()) + ".", 0), 0u)
            << names[0];
    }
    EXPECT_TRUE(names_in(dir.path).empty());

    auto pending = PendingFile::open(target, WriteRule::PlayersPath);
    ASSERT_TRUE(pending.ok());
    ASSERT_TRUE(pending.value().commit(bytes_of("steps")).ok());
    EXPECT_EQ(read_file(target), "steps");
    EXPECT_EQ(names_in(dir.path), std::vector<std::string>{"out.rpl"});

    // A destination that cannot take a file is known at once.
    const auto folder = PendingFile::open(dir.path, WriteRule::PlayersPath);
    ASSERT_FALSE(folder.ok());
    EXPECT_EQ(folder.error(), std::strerror(EISDIR));
    const auto nowhere = PendingFile::open(dir.path / "missing" / "x.rpl", WriteRule::PlayersPath);
    ASSERT_FALSE(nowhere.ok());
    EXPECT_EQ(nowhere.error(), std::strerror(ENOENT));
}

// What a player's path is: the same rule for screenshots and recordings.
TEST(WriteFile, APlayersPathIsWrittenInPlaceThroughALinkOrReplaced) {
    TempDir dir;
    const fs::path fifo = dir.path / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const fs::path linked = dir.path / "linked";
    write_file(dir.path / "real", "old");
    fs::create_symlink(dir.path / "real", linked);
    const fs::path plain = dir.path / "plain";
    write_file(plain, "old");

    // A pipe is written in place: its reader gets the bytes and it stays a pipe.
    std::string from_pipe;
    std::thread reader([&] { from_pipe = read_file(fifo); });
    ASSERT_TRUE(write_file(fifo, bytes_of("through the pipe"), WriteRule::PlayersPath).ok());
    reader.join();
    EXPECT_EQ(from_pipe, "through the pipe");
    EXPECT_TRUE(fs::is_fifo(fifo));
    // A device too.
    EXPECT_TRUE(write_file("/dev/null", bytes_of("gone"), WriteRule::PlayersPath).ok());
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    // A link leads to the file it names, which is replaced; the link stays.
    ASSERT_TRUE(write_file(linked, bytes_of("new"), WriteRule::PlayersPath).ok());
    EXPECT_TRUE(fs::is_symlink(linked));
    EXPECT_EQ(read_file(dir.path / "real"), "new");
    ASSERT_TRUE(write_file(plain, bytes_of("new"), WriteRule::PlayersPath).ok());
    EXPECT_EQ(read_file(plain), "new");
    // The game's own files replace a link instead.
    ASSERT_TRUE(write_file(linked, bytes_of("own"), WriteRule::OwnFile).ok());
    EXPECT_FALSE(fs::is_symlink(linked));
    EXPECT_EQ(read_file(dir.path / "real"), "new");
}

}  // namespace
}  // namespace pyrelle
