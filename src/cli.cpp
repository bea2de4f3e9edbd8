#include "cli.hpp"

#include <chrono>

#include <limits>
#include "engine/civil_date.hpp"

namespace pyrelle {

namespace {

enum class ValueKind { Seed, Depth, Headless, Shot, Companions, Record, Replay };

struct Flag {
    std::string_view name;
    bool Options::*field;
};

constexpr Flag kFlags[] = {
    {"--idle", &Options::idle},
    {"--auto", &Options::autopilot},
    {"--warp-exit", &Options::warp_exit},
    {"--warp-water", &Options::warp_water},
    {"--warp-lost", &Options::warp_lost},
    {"--moths-near", &Options::moths_near},
    {"--night", &Options::night},
    {"--light-all", &Options::light_all},
    {"--fullscreen", &Options::fullscreen},
    {"--daily", &Options::daily},
    {"--ghost", &Options::ghost},
    {"--reduced-motion", &Options::reduced_motion},
};

struct ValueOption {
    std::string_view name;
    ValueKind kind;
};

constexpr ValueOption kValueOptions[] = {
    {"--seed", ValueKind::Seed},
    {"--depth", ValueKind::Depth},
    {"--headless", ValueKind::Headless},
    {"--shot", ValueKind::Shot},
    {"--companions", ValueKind::Companions},
    {"--record", ValueKind::Record},
    {"--replay", ValueKind::Replay},
};

// Companions are drawn, lit and followed one by one every step: an 8-bit count is already
// far more than a game finds (eight), while a 32-bit one would ask for gigabytes.
constexpr std::uint64_t kMostCompanions = std::numeric_limits<std::uint8_t>::max();

std::uint64_t largest_value(ValueKind kind) {
    switch (kind) {
        case ValueKind::Seed:
            return std::numeric_limits<std::uint64_t>::max();
        case ValueKind::Companions:
            return kMostCompanions;
        default:
            return std::numeric_limits<std::uint32_t>::max();
    }
}

// Stores one option value; fails when it is not valid.
Result<void> take_value(Options& options, const ValueOption& option, const std::string& value) {
    switch (option.kind) {
        case ValueKind::Shot:
            options.shot_path = value;
            return {};
        case ValueKind::Record:
            options.record_path = value;
            return {};
        case ValueKind::Replay:
            options.replay_path = value;
            return {};
        default:
            break;
    }
    const auto parsed = parse_unsigned(value, largest_value(option.kind));
    if (!parsed.ok()) return Failure{std::string(option.name) + " : " + parsed.error()};
    const std::uint64_t number = parsed.value();
    switch (option.kind) {
        case ValueKind::Seed:
            options.seed = number;
            break;
        case ValueKind::Depth:
            options.depth = static_cast<std::uint32_t>(number);
            break;
        case ValueKind::Headless:
            options.headless_frames = static_cast<std::uint32_t>(number);
            break;
        case ValueKind::Companions:
            options.companions = static_cast<std::uint32_t>(number);
            break;
        default:
            break;
    }
    return {};
}

}  // namespace

Result<Options> parse_command_line(std::span<const std::string> args) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            options.help = true;
            return options;
        }
        bool known = false;
        for (const Flag& flag : kFlags) {
            if (arg == flag.name) {
                options.*(flag.field) = true;
                known = true;
            }
        }
        for (const ValueOption& option : kValueOptions) {
            if (arg != option.name) continue;
            known = true;
            if (i + 1 >= args.size()) return Failure{"valeur manquante après " + arg};
            if (auto taken = take_value(options, option, args[++i]); !taken.ok())
                return Failure{taken.error()};
        }
        if (!known) return Failure{"argument inconnu : " + arg};
        // The day's seed and a seed of one's own replace each other, the later one winning.
        if (arg == "--daily") options.seed.reset();
        if (arg == "--seed") options.daily = false;
    }
    return options;
}

std::uint64_t clock_seed() {
    const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    if (since_epoch.count() < 0) return 1;
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::seconds>(since_epoch).count());
}

std::uint32_t today_utc() {
    const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since_epoch).count();
    return date_number(utc_date(seconds < 0 ? 0 : static_cast<std::int64_t>(seconds)));
}

}  // namespace pyrelle
