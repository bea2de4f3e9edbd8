#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/decimal.hpp"
#include "engine/result.hpp"

namespace pyrelle {

// What the command line asks for; built once, read-only afterwards.
struct Options {
    std::optional<std::uint64_t> seed;
    std::optional<std::uint32_t> depth;
    std::optional<std::uint32_t> headless_frames;
    std::string shot_path = "shot.png";
    bool idle = false;
    bool autopilot = false;
    bool warp_exit = false;
    bool warp_water = false;
    bool warp_lost = false;
    bool moths_near = false;
    bool night = false;
    std::uint32_t companions = 0;  // at most 255
    bool light_all = false;
    bool fullscreen = false;
    std::optional<std::string> record_path;  // --record: the steps of this game go there
    std::optional<std::string> replay_path;  // --replay: the game and its steps come from there
    bool daily = false;           // --daily: the seed is the day's (UTC), and its best is kept
    bool ghost = false;           // --ghost: the best run flies beside each run from the title
    bool reduced_motion = false;  // --reduced-motion: softer flashes
    bool help = false;  // -h or --help: print the usage and stop; what follows is not read
};

inline constexpr std::string_view kUsage =
    "pyrelle [--seed N] [--depth N] [--fullscreen] [--record fichier.rpl] [--replay fichier.rpl] "
    "[--daily] [--ghost] [--reduced-motion] [--headless FRAMES [--shot fichier.png] [--idle]] "
    "[--auto] [--warp-exit] [--warp-water] "
    "[--warp-lost] [--moths-near] [--night] [--companions N] [--light-all]";

// Pure: reads the arguments after the program name, left to right; a failure is the
// command line's error message.
Result<Options> parse_command_line(std::span<const std::string> args);

// Seconds since the Unix epoch, or 1 when the clock reads earlier than the epoch.
std::uint64_t clock_seed();

// Today's date in UTC as YYYYMMDD (19700101 when the clock reads earlier than the epoch).
std::uint32_t today_utc();
// The seed of a day's cave: the date's number itself, so that the cave of 11 December 2026
// is also --seed 20261211.
inline std::uint64_t daily_seed(std::uint32_t date) {
    return date;
}

}  // namespace pyrelle
