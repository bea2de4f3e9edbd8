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
    bool help = false;  // -h or --help: print the usage and stop; what follows is not read
};

inline constexpr std::string_view kUsage =
    "pyrelle [--seed N] [--depth N] [--fullscreen] [--record fichier.rpl] [--replay fichier.rpl] "
    "[--headless FRAMES [--shot fichier.png] [--idle]] [--auto] [--warp-exit] [--warp-water] "
    "[--warp-lost] [--moths-near] [--night] [--companions N] [--light-all]";

// Pure: reads the arguments after the program name, left to right; a failure is the
// command line's error message.
Result<Options> parse_command_line(std::span<const std::string> args);

// Seconds since the Unix epoch, or 1 when the clock reads earlier than the epoch.
std::uint64_t clock_seed();

}  // namespace pyrelle
