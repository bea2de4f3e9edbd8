#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <limits>

#include "file_fixtures.hpp"
#include "replay.hpp"

namespace pyrelle {
namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;

Keys keys(bool up, bool right, bool action) {
    Keys k;
    k.up = up;
    k.right = right;
    k.action = action;
    return k;
}

// Every field set, none at a default.
Replay full_replay() {
    Replay r;
    r.start.seed = 0x0123456789ABCDEFull;
    r.start.depth = 7;
    r.start.companions = 255;
    r.start.night = r.start.autopilot = r.start.warp_exit = r.start.warp_water = true;
    r.start.warp_lost = r.start.moths_near = r.start.light_all = true;
    r.start.records = {83.4f, 100.0f, 10};
    r.runs = {{pack_keys(keys(false, true, false)), 50},
              {pack_keys(keys(true, true, true)), 1},
              {0, 300000}};
    r.end = {Screen::Descent, 7, 300051, 0xFEDCBA9876543210ull};
    return r;
}

// Nothing optional: no depth, no best times, no steps.
Replay bare_replay() {
    Replay r;
    r.start.seed = 5;
    return r;
}

std::string reason(const std::vector<std::uint8_t>& bytes) {
    const auto decoded = decode_replay(bytes);
    return decoded.ok() ? "<accepted>" : decoded.error();
}

TEST(ReplayFile, EveryFieldComesBackAsWritten) {
    for (const Replay& replay : {full_replay(), bare_replay()}) {
        const auto decoded = decode_replay(encode_replay(replay));
        ASSERT_TRUE(decoded.ok()) << decoded.error();
        EXPECT_EQ(decoded.value(), replay);
    }
}

TEST(ReplayFile, KeysPackIntoSevenBitsAndBack) {
    for (unsigned packed = 0; packed < 128; ++packed)
        EXPECT_EQ(pack_keys(unpack_keys(static_cast<std::uint8_t>(packed))), packed);
    Keys mute;
    mute.mute = true;
    EXPECT_EQ(pack_keys(mute), 64);
    EXPECT_EQ(pack_keys(keys(true, false, false)), 1);
}

TEST(ReplayFile, EveryTruncationIsRefused) {
    const std::vector<std::uint8_t> whole = encode_replay(full_replay());
    for (std::size_t size = 0; size < whole.size(); ++size) {
        const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + size);
        EXPECT_EQ(reason(cut), size < 8 ? "pas un fichier de relecture" : "fichier tronqué")
            << size;
    }
}

TEST(ReplayFile, DamagedFilesAreRefusedWithTheirReason) {
    // Bare replay layout: signature 0-7, version 8, seed 9-16, flags 17-18, companions 19,
    // best depth 20-23, run count 24, then runs and the check.
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        const char* want;
    };
    auto bare_with = [](auto change) {
        Replay r = bare_replay();
        r.runs = {{1, 3}};
        r.end.steps = 3;
        change(r);
        std::vector<std::uint8_t> bytes = encode_replay(r);
        return bytes;
    };
    auto patched = [&](std::size_t at, std::uint8_t value) {
        std::vector<std::uint8_t> bytes = bare_with([](Replay&) {});
        bytes[at] = value;
        return bytes;
    };
    std::vector<std::uint8_t> overlong = bare_with([](Replay&) {});
    overlong[24] = 0x81;  // one run, written in two bytes
    overlong.insert(overlong.begin() + 25, 0x00);
    std::vector<std::uint8_t> trailing = bare_with([](Replay&) {});
    trailing.push_back(0);
    std::vector<std::uint8_t> absurd_count = bare_with([](Replay& r) { r.runs.clear(); });
    absurd_count[24] = 0xFF;  // 4294967295 runs announced in a file of 40 bytes
    absurd_count.insert(absurd_count.begin() + 25, {0xFF, 0xFF, 0xFF, 0x0F});

    const Case cases[] = {
        {"signature", patched(0, 'Q'), "pas un fichier de relecture"},
        {"version", patched(8, 2), "version 2 non gérée"},
        {"unknown flag", patched(18, 0x80), "données invalides"},
        {"eighth key bit", bare_with([](Replay& r) { r.runs[0].keys = 0x80; }),
         "données invalides"},
        {"empty run", bare_with([](Replay& r) {
             r.runs = {{1, 0}}, r.end.steps = 0;
         }),
         "données invalides"},
        {"overlong count", overlong, "données invalides"},
        {"screen", bare_with([](Replay& r) { r.end.screen = static_cast<Screen>(6); }),
         "données invalides"},
        {"steps that disagree", bare_with([](Replay& r) { r.end.steps = 4; }), "données invalides"},
        {"negative best time", bare_with([](Replay& r) { r.start.records.best_time = -1.0f; }),
         "données invalides"},
        {"more steps than 32 bits hold", bare_with([](Replay& r) {
             r.runs = {{0, 0xFFFFFFFFu}, {1, 1}};
         }),
         "trop de pas"},
        {"absurd run count", absurd_count, "fichier tronqué"},
        {"trailing byte", trailing, "données en trop à la fin"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(reason(c.bytes), c.want) << c.what;
}

TEST(ReplayFile, TheRecorderKeepsRunsAndThePlayerGivesBackEveryStep) {
    std::vector<Keys> steps;
    for (int i = 0; i < 1000; ++i)
        steps.push_back(keys(false, true, false));
    steps.push_back(keys(false, true, true));
    for (int i = 0; i < 1000; ++i)
        steps.push_back(Keys{});
    ReplayRecorder recorder;
    for (const Keys& k : steps)
        recorder.add(k);
    EXPECT_EQ(recorder.runs.size(), 3u);
    EXPECT_EQ(recorder.steps, 2001u);

    ReplayPlayer player{recorder.runs};
    for (std::size_t i = 0; i < steps.size(); ++i) {
        ASSERT_FALSE(player.done()) << i;
        const std::optional<Keys> k = player.next();
        ASSERT_TRUE(k) << i;
        EXPECT_EQ(pack_keys(*k), pack_keys(steps[i])) << i;
    }
    EXPECT_TRUE(player.done());
    EXPECT_FALSE(player.next());
}

// The bytes of one run of `count` steps, as the file holds them: the keys, then the count in
// LEB128 (seven bits a byte, low bits first, the high bit on every byte but the last).
TEST(ReplayFile, StepCountsAreWrittenInTheirShortestLeb128Form) {
    struct Case {
        std::uint32_t count;
        std::vector<std::uint8_t> leb128;
    };
    const Case cases[] = {
        {1, {0x01}},
        {127, {0x7F}},
        {128, {0x80, 0x01}},
        {16383, {0xFF, 0x7F}},
        {16384, {0x80, 0x80, 0x01}},
        {0xFFFFFFFFu, {0xFF, 0xFF, 0xFF, 0xFF, 0x0F}},
    };
    constexpr std::size_t kCheckBytes = 17;  // screen, depth, steps, state after the runs
    for (const Case& c : cases) {
        Replay r = bare_replay();
        r.runs = {{5, c.count}};
        r.end.steps = c.count;
        const std::vector<std::uint8_t> bytes = encode_replay(r);
        ASSERT_EQ(bytes.size(), 24 + 2 + c.leb128.size() + kCheckBytes) << c.count;
        EXPECT_EQ(bytes[24], 1) << c.count;  // one run
        EXPECT_EQ(bytes[25], 5) << c.count;  // its keys
        const std::vector<std::uint8_t> written(bytes.begin() + 26,
                                                bytes.end() - static_cast<long>(kCheckBytes));
        EXPECT_EQ(written, c.leb128) << c.count;
        const auto decoded = decode_replay(bytes);
        ASSERT_TRUE(decoded.ok()) << c.count << ": " << decoded.error();
        EXPECT_EQ(decoded.value(), r) << c.count;
    }
    // The run count itself is one too: 128 runs take two bytes.
    Replay many = bare_replay();
    for (std::uint32_t i = 0; i < 128; ++i)
        many.runs.push_back({static_cast<std::uint8_t>(i % 2), 1});
    many.end.steps = 128;
    const std::vector<std::uint8_t> bytes = encode_replay(many);
    EXPECT_EQ(bytes[24], 0x80);
    EXPECT_EQ(bytes[25], 0x01);
    ASSERT_TRUE(decode_replay(bytes).ok());
}

// A run takes at least two bytes, so a run count above half the bytes left is refused before
// any run is read (and before any room is made for them); one at the bound goes on to the
// runs, where a bad first run is what is said.
TEST(ReplayFile, ARunCountTheRestOfTheFileCannotHoldIsRefusedAtOnce) {
    for (const std::uint32_t left : {40u, 41u}) {
        for (const std::uint32_t count : {left / 2, left / 2 + 1}) {
            std::vector<std::uint8_t> bytes = encode_replay(bare_replay());
            bytes.resize(24);
            bytes.push_back(static_cast<std::uint8_t>(count));  // below 128: one byte
            bytes.push_back(0xFF);                               // a run with bad keys
            bytes.resize(25 + left, 0x01);
            EXPECT_EQ(reason(bytes), count > left / 2 ? "fichier tronqué" : "données invalides")
                << count << " runs in " << left << " bytes";
        }
    }
}

// Each start-up flag alone comes back alone: two swapped flags cannot hide behind fields
// that are all false or all true.
TEST(ReplayFile, EachStartFlagAloneComesBackAlone) {
    using Set = void (*)(ReplayStart&);
    const Set each[] = {
        [](ReplayStart& s) { s.night = true; },
        [](ReplayStart& s) { s.autopilot = true; },
        [](ReplayStart& s) { s.warp_exit = true; },
        [](ReplayStart& s) { s.warp_water = true; },
        [](ReplayStart& s) { s.warp_lost = true; },
        [](ReplayStart& s) { s.moths_near = true; },
        [](ReplayStart& s) { s.light_all = true; },
        [](ReplayStart& s) { s.depth = 3; },
        [](ReplayStart& s) { s.records.best_time = 83.4f; },
        [](ReplayStart& s) { s.records.best_time_night = 91.0f; },
    };
    for (std::size_t i = 0; i < std::size(each); ++i) {
        Replay r = bare_replay();
        each[i](r.start);
        const auto decoded = decode_replay(encode_replay(r));
        ASSERT_TRUE(decoded.ok()) << i << ": " << decoded.error();
        EXPECT_EQ(decoded.value().start, r.start) << "flag " << i;
    }
}

std::string read_reason(const fs::path& path) {
    const auto read = read_replay(path);
    return read.ok() ? "<accepted>" : read.error();
}

TEST(ReplayFile, OnlySmallRegularFilesAreRead) {
    TempDir dir;
    ASSERT_TRUE(write_replay(dir.path / "ok.rpl", full_replay()).ok());
    EXPECT_EQ(read_reason(dir.path / "ok.rpl"), "<accepted>");
    EXPECT_EQ(read_reason(dir.path), "pas un fichier ordinaire");
    ASSERT_EQ(mkfifo((dir.path / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(read_reason(dir.path / "fifo"), "pas un fichier ordinaire");  // and no waiting
    EXPECT_EQ(read_reason(dir.path / "absent.rpl"), "No such file or directory");
    fs::resize_file(dir.path / "ok.rpl", kMaxReplayBytes + 1);
    EXPECT_EQ(read_reason(dir.path / "ok.rpl"), "fichier trop grand");
}

TEST(ReplayFile, AMismatchSaysWhereTheReplayEnded) {
    const ReplayCheck want{Screen::Victory, 10, 40000, 1};
    EXPECT_EQ(describe_mismatch(want, {Screen::Play, 3, 40000, 2}),
              "la relecture ne finit pas comme la partie enregistrée : partie, profondeur 3, "
              "40000 pas au lieu de victoire, profondeur 10, 40000 pas");
    EXPECT_EQ(describe_mismatch(want, {Screen::Victory, 10, 40000, 2}),
              "la relecture ne finit pas comme la partie enregistrée : état différent "
              "(victoire, profondeur 10, 40000 pas)");
}

}  // namespace
}  // namespace pyrelle
