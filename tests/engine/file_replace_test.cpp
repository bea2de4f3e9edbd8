#include "engine/file_replace.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
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

}  // namespace
}  // namespace pyrelle
