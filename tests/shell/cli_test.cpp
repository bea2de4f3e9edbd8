#include "cli.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace pyrelle {
namespace {

Result<Options> parse(std::vector<std::string> args) {
    return parse_command_line(args);
}

std::string error_of(const Result<Options>& r) {
    return r.ok() ? "<no error>" : r.error();
}

bool asks_for_help(const Result<Options>& r) {
    return r.ok() && r.value().help;
}

TEST(CommandLine, NoArgumentsGiveTheDefaults) {
    const Result<Options> r = parse({});
    ASSERT_TRUE(r.ok());
    const Options& o = r.value();
    EXPECT_FALSE(o.seed);
    EXPECT_FALSE(o.depth);
    EXPECT_FALSE(o.headless_frames);
    EXPECT_FALSE(o.record_path);
    EXPECT_FALSE(o.replay_path);
    EXPECT_EQ(o.shot_path, "shot.png");
    EXPECT_FALSE(o.idle || o.autopilot || o.warp_exit || o.warp_water || o.warp_lost ||
                 o.moths_near || o.night || o.light_all || o.fullscreen || o.daily || o.ghost ||
                 o.reduced_motion);
    EXPECT_EQ(o.companions, 0u);
}

TEST(CommandLine, EveryOptionSetsItsField) {
    const Result<Options> r = parse({"--seed",
                                     "9",
                                     "--depth",
                                     "3",
                                     "--headless",
                                     "120",
                                     "--shot",
                                     "a.png",
                                     "--idle",
                                     "--auto",
                                     "--warp-exit",
                                     "--warp-water",
                                     "--warp-lost",
                                     "--moths-near",
                                     "--night",
                                     "--companions",
                                     "4",
                                     "--light-all",
                                     "--fullscreen",
                                     "--record",
                                     "--idle",
                                     "--replay",
                                     "b.rpl",
                                     "--ghost",
                                     "--reduced-motion"});
    ASSERT_TRUE(r.ok()) << error_of(r);
    const Options& o = r.value();
    EXPECT_EQ(o.seed, 9u);
    EXPECT_EQ(o.depth, 3u);
    EXPECT_EQ(o.headless_frames, 120u);
    EXPECT_EQ(o.shot_path, "a.png");
    EXPECT_TRUE(o.idle && o.autopilot && o.warp_exit && o.warp_water && o.warp_lost &&
                o.moths_near && o.night && o.light_all && o.fullscreen && o.ghost &&
                o.reduced_motion);
    EXPECT_EQ(o.companions, 4u);
    EXPECT_EQ(o.record_path, "--idle");  // a value is taken verbatim
    EXPECT_EQ(o.replay_path, "b.rpl");
}

TEST(CommandLine, ErrorTable) {
    struct Case {
        std::vector<std::string> args;
        std::string want;
    };
    const Case cases[] = {
        {{"--bogus"}, "argument inconnu : --bogus"},
        {{"-x"}, "argument inconnu : -x"},
        {{"seed"}, "argument inconnu : seed"},
        {{"--SEED", "1"}, "argument inconnu : --SEED"},
        {{"--seed"}, "valeur manquante après --seed"},
        {{"--depth"}, "valeur manquante après --depth"},
        {{"--headless"}, "valeur manquante après --headless"},
        {{"--shot"}, "valeur manquante après --shot"},
        {{"--companions"}, "valeur manquante après --companions"},
        {{"--record"}, "valeur manquante après --record"},
        {{"--replay"}, "valeur manquante après --replay"},
        {{"--seed", "x"}, "--seed : invalid digit found in string"},
        {{"--depth", "x"}, "--depth : invalid digit found in string"},
        {{"--headless", "x"}, "--headless : invalid digit found in string"},
        {{"--companions", "x"}, "--companions : invalid digit found in string"},
        {{"--seed", "--idle"}, "--seed : invalid digit found in string"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(error_of(parse(c.args)), c.want) << c.args[0];
    }
}

TEST(CommandLine, NumberForms) {
    struct Case {
        std::string option, value;
        std::optional<std::uint64_t> want;
        std::string error;
    };
    const std::string empty = "cannot parse integer from empty string";
    const std::string digit = "invalid digit found in string";
    const std::string large = "number too large to fit in target type";
    std::vector<Case> cases;
    for (std::string option : {"--seed", "--depth", "--headless", "--companions"}) {
        cases.push_back({option, "", std::nullopt, empty});
        cases.push_back({option, "+", std::nullopt, digit});
        cases.push_back({option, "-", std::nullopt, digit});
        cases.push_back({option, "-1", std::nullopt, digit});
        cases.push_back({option, "1.5", std::nullopt, digit});
        cases.push_back({option, " 1", std::nullopt, digit});
        cases.push_back({option, "++1", std::nullopt, digit});
        cases.push_back({option, "+42", 42, ""});
        cases.push_back({option, "007", 7, ""});
        cases.push_back({option, "0", 0, ""});
    }
    for (std::string option : {"--depth", "--headless"}) {
        cases.push_back({option, "4294967295", 4294967295u, ""});
        cases.push_back({option, "4294967296", std::nullopt, large});
    }
    // Every companion is simulated and drawn: the count is an 8-bit number.
    cases.push_back({"--companions", "255", 255, ""});
    cases.push_back({"--companions", "256", std::nullopt, large});
    cases.push_back({"--companions", "4294967295", std::nullopt, large});
    cases.push_back({"--seed", "18446744073709551615", 18446744073709551615u, ""});
    cases.push_back({"--seed", "18446744073709551616", std::nullopt, large});
    cases.push_back({"--seed", "99999999999999999999999", std::nullopt, large});
    // Digits are checked before the range, one character at a time.
    cases.push_back({"--depth", "42949672950x", std::nullopt, large});
    cases.push_back({"--depth", "4x4294967296", std::nullopt, digit});

    for (const Case& c : cases) {
        const Result<Options> r = parse({c.option, c.value});
        if (!c.want) {
            EXPECT_EQ(error_of(r), c.option + " : " + c.error)
                << c.option << " '" << c.value << "'";
            continue;
        }
        ASSERT_TRUE(r.ok()) << c.option << " " << c.value << error_of(r);
        const Options& o = r.value();
        std::uint64_t got = 0;
        if (c.option == "--seed") got = *o.seed;
        if (c.option == "--depth") got = *o.depth;
        if (c.option == "--headless") got = *o.headless_frames;
        if (c.option == "--companions") got = o.companions;
        EXPECT_EQ(got, *c.want) << c.option << " " << c.value;
    }
}

TEST(CommandLine, ArgumentsAreHandledLeftToRight) {
    EXPECT_EQ(error_of(parse({"--bogus", "--help"})), "argument inconnu : --bogus");
    EXPECT_TRUE(asks_for_help(parse({"--seed", "5", "--help"})));
    EXPECT_TRUE(asks_for_help(parse({"-h", "--bogus"})));
    EXPECT_TRUE(asks_for_help(parse({"--help", "--seed"})));
    EXPECT_EQ(error_of(parse({"--seed", "x", "--depth", "y"})),
              "--seed : invalid digit found in string");
    EXPECT_EQ(error_of(parse({"--depth", "1", "--seed"})), "valeur manquante après --seed");
}

TEST(CommandLine, ValuesAreTakenVerbatimAndLaterOnesWin) {
    const Result<Options> r =
        parse({"--shot", "--idle", "--seed", "3", "--seed", "4", "--shot", "-h"});
    ASSERT_TRUE(r.ok()) << error_of(r);
    const Options& o = r.value();
    EXPECT_EQ(o.shot_path, "-h");
    EXPECT_FALSE(o.idle);  // "--idle" was a file name
    EXPECT_EQ(o.seed, 4u);

    const Result<Options> spaces = parse({"--shot", " dossier/ma photo.png "});
    EXPECT_EQ(spaces.value().shot_path, " dossier/ma photo.png ");
}

TEST(CommandLine, TheDaysSeedAndAGivenSeedReplaceEachOther) {
    struct Case {
        std::vector<std::string> args;
        bool daily;
        std::optional<std::uint64_t> seed;
    };
    const Case cases[] = {
        {{"--daily"}, true, std::nullopt},
        {{"--seed", "5", "--daily"}, true, std::nullopt},
        {{"--daily", "--seed", "5"}, false, 5u},
        {{"--daily", "--ghost", "--daily"}, true, std::nullopt},
    };
    for (const Case& c : cases) {
        const Result<Options> r = parse(c.args);
        ASSERT_TRUE(r.ok()) << error_of(r);
        EXPECT_EQ(r.value().daily, c.daily) << c.args.front();
        EXPECT_EQ(r.value().seed, c.seed) << c.args.front();
    }
}

TEST(CommandLine, TheDaysSeedIsTheDatesNumber) {
    EXPECT_EQ(daily_seed(20261211), 20261211u);
    const std::uint32_t today = today_utc();
    EXPECT_GE(today, 20260101u);  // the clock is read, not a constant
    EXPECT_LE(today, 99991231u);
    EXPECT_GE(today % 100, 1u);
    EXPECT_LE(today % 100, 31u);
    EXPECT_GE(today / 100 % 100, 1u);
    EXPECT_LE(today / 100 % 100, 12u);
}

TEST(CommandLine, ClockSeedIsTheCurrentUnixTime) {
    const auto unix_seconds = [] {
        return std::chrono::duration_cast<std::chrono::seconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    // Read between two readings of the clock: however slow the machine, it lies between them.
    const std::int64_t before = unix_seconds();
    const std::uint64_t seed = clock_seed();
    const std::int64_t after = unix_seconds();
    EXPECT_GT(seed, 1700000000u);  // after 2023: the clock is read, not a constant
    EXPECT_GE(static_cast<std::int64_t>(seed), before);
    EXPECT_LE(static_cast<std::int64_t>(seed), after);
}

}  // namespace
}  // namespace pyrelle
