#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include <vector>

#include "cli.hpp"
#include "engine/input.hpp"
#include "engine/result.hpp"
#include "game/game.hpp"

namespace pyrelle {

// What builds the same game again: the seed, the start-up options that shape the game, and
// the records as they stood (a best day time lets the title switch to night mode).
struct ReplayStart {
    std::uint64_t seed = 0;
    std::optional<std::uint32_t> depth;
    std::uint32_t companions = 0;  // at most 255
    bool night = false;
    bool autopilot = false;
    bool warp_exit = false;
    bool warp_water = false;
    bool warp_lost = false;
    bool moths_near = false;
    bool light_all = false;
    Records records;

    bool operator==(const ReplayStart&) const = default;
};

// Where a game stood when its recording ended.
struct ReplayCheck {
    Screen screen = Screen::Title;
    std::uint32_t depth = 0;
    std::uint32_t steps = 0;
    std::uint64_t state = 0;  // state_hash

    bool operator==(const ReplayCheck&) const = default;
};

// `count` steps in a row with the same seven keys (packed by pack_keys).
struct KeyRun {
    std::uint8_t keys = 0;
    std::uint32_t count = 0;

    bool operator==(const KeyRun&) const = default;
};

// A recorded game: its start, the keys of every step as they reached the game, its end.
struct Replay {
    ReplayStart start;
    std::vector<KeyRun> runs;
    ReplayCheck end;

    bool operator==(const Replay&) const = default;
};

// Files larger than this are not replays: an hour of play takes a few dozen kilobytes.
inline constexpr std::size_t kMaxReplayBytes = 4 * 1024 * 1024;

std::uint8_t pack_keys(const Keys& keys);  // up, down, left, right, action, escape, mute: bits 0-6
Keys unpack_keys(std::uint8_t packed);

ReplayStart replay_start(const Options& options, std::uint64_t seed, const Records& records);
// The start-up options of a replayed game (the run's own options, headless and shot, aside).
Options start_options(const ReplayStart& start);

// The file's bytes: a signature and version, the start, the key runs, the check.
std::vector<std::uint8_t> encode_replay(const Replay& replay);
// The replay, or why these bytes are not one (one French phrase). Never trusts a count.
Result<Replay> decode_replay(std::span<const std::uint8_t> bytes);

// Reads a replay from a regular file of at most kMaxReplayBytes, without blocking.
Result<Replay> read_replay(const std::filesystem::path& path);
// Writes it as the records are written, whole or not at all: the game's own file (the best
// run), which replaces whatever is at `path`.
Result<void> write_replay(const std::filesystem::path& path, const Replay& replay);

// The keys of each step, as they reach the game, gathered into runs.
struct ReplayRecorder {
    std::vector<KeyRun> runs;
    std::uint32_t steps = 0;

    void add(const Keys& keys);
};

// The recorded keys, one step at a time.
struct ReplayPlayer {
    std::span<const KeyRun> runs;
    std::size_t run = 0;
    std::uint32_t used = 0;  // steps taken from runs[run]

    std::optional<Keys> next();  // nothing once every recorded step has been played
    bool done() const;           // every recorded step has been played
};

// One French line saying how a replay's end differs from the recorded one.
std::string describe_mismatch(const ReplayCheck& want, const ReplayCheck& got);

}  // namespace pyrelle
