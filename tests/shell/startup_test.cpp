#include "startup.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "cli.hpp"
#include "game/generate.hpp"

namespace pyrelle {
namespace {

constexpr std::uint64_t kSeed = 3;
// Depth 7 has everything a placement can move: a lost companion, moths, lakes and lanterns.
constexpr std::uint32_t kDepth = 7;

Game started(const std::vector<std::string>& args) {
    const Result<Options> parsed = parse_command_line(args);
    Game game = Game::create(kSeed, Records{}, std::nullopt);
    apply_start_options(game, parsed.value());
    return game;
}

// The first open cell, rows from the top, three steps from the cell under `target`.
Vec2 three_steps_from(const Level& level, Vec2 target) {
    const DistanceField d = distance_field(level.cave, static_cast<std::int32_t>(target.x / 8.0f),
                                           static_cast<std::int32_t>(target.y / 8.0f));
    for (std::int32_t y = 0; y < level.cave.height; ++y)
        for (std::int32_t x = 0; x < level.cave.width; ++x)
            if (level.cave.tiles[static_cast<std::size_t>(x + y * level.cave.width)] == 0 &&
                d.values[static_cast<std::size_t>(x + y * level.cave.width)] == 3)
                return {(x + 0.5f) * 8.0f, (y + 0.5f) * 8.0f};
    ADD_FAILURE() << "no cell three steps away";
    return target;
}

Vec2 first_deep_water(const Level& level) {
    for (std::int32_t y = 0; y < level.cave.height; ++y)
        for (std::int32_t x = 0; x < level.cave.width; ++x)
            if (is_deep_water(level.cave, level.water_mask, x, y))
                return {(x + 0.5f) * 8.0f, (y + 0.5f) * 8.0f};
    ADD_FAILURE() << "no deep water";
    return level.firefly_pos;
}

Vec2 lost_spot(const Level& level) {
    return three_steps_from(level, {level.lost_companion->x, level.lost_companion->y});
}

void ring_moths(Level& level, Vec2 centre) {
    for (std::size_t j = 0; j < level.moths.size(); ++j) {
        const float angle = 2.1f * static_cast<float>(j);
        level.moths[j].x = centre.x + 6.0f * std::cos(angle);
        level.moths[j].y = centre.y + 6.0f * std::sin(angle);
    }
}

void add_companions(Level& level, Vec2 at, std::uint32_t n) {
    for (std::uint32_t k = 0; k < n; ++k)
        level.companions.push_back({at.x, at.y, static_cast<float>(k) * 1.9f});
}

TEST(StartOptions, EachOptionInItsPlaceInTheFixedOrder) {
    const Level title = generate_level(1, title_level_seed(kSeed, 0));
    const Level deep = generate_level(kDepth, run_level_seed(kSeed, kDepth));
    ASSERT_TRUE(deep.lost_companion);
    ASSERT_FALSE(deep.moths.empty());
    const Vec2 start = deep.firefly_pos;
    const Vec2 exit_spot = three_steps_from(deep, deep.exit_pos);
    const Vec2 lost = lost_spot(deep);
    const Vec2 water = first_deep_water(deep);
    ASSERT_NE(lost, start);
    ASSERT_NE(water, start);

    struct Want {
        Screen screen = Screen::Title;
        bool autopilot = false;
        bool save = true;
        bool night = false;
        std::uint32_t companions = 0;
    };
    const Want title_screen{};
    const Want play{Screen::Play, false, false};
    struct Case {
        std::vector<std::string> args;
        Want game;
        std::function<Level()> level;  // the level the options should leave
    };
    const auto with = [](Level level, const std::function<void(Level&)>& change) {
        change(level);
        return level;
    };
    const std::string d = std::to_string(kDepth);
    const Case cases[] = {
        {{}, title_screen, [&] { return title; }},
        {{"--auto"}, {Screen::Title, true}, [&] { return title; }},
        {{"--headless", "10"}, {Screen::Title, false, false}, [&] { return title; }},
        {{"--night"},
         {Screen::Title, false, true, true},
         [&] { return with(title, [](Level& l) { l.night = true; }); }},
        {{"--light-all"},
         title_screen,
         [&] {
             return with(title, [](Level& l) {
                 for (Lantern& lantern : l.lanterns)
                     lantern.lit = true;
             });
         }},
        {{"--depth", d}, play, [&] { return deep; }},
        // Night comes before the depth, so the depth's level is built at night.
        {{"--depth", d, "--night"},
         {Screen::Play, false, false, true},
         [&] { return with(deep, [](Level& l) { l.night = true; }); }},
        {{"--depth", d, "--warp-exit"},
         play,
         [&] { return with(deep, [&](Level& l) { l.firefly_pos = exit_spot; }); }},
        {{"--depth", d, "--warp-lost"},
         play,
         [&] { return with(deep, [&](Level& l) { l.firefly_pos = lost; }); }},
        {{"--depth", "1", "--warp-lost"},  // no lost companion at depth 1: nothing moves
         play,
         [&] { return generate_level(1, run_level_seed(kSeed, 1)); }},
        {{"--depth", d, "--warp-water"},
         play,
         [&] { return with(deep, [&](Level& l) { l.firefly_pos = water; }); }},
        {{"--depth", d, "--moths-near"},
         play,
         [&] { return with(deep, [&](Level& l) { ring_moths(l, start); }); }},
        {{"--depth", d, "--companions", "2"},
         {Screen::Play, false, false, false, 2},
         [&] { return with(deep, [&](Level& l) { add_companions(l, start, 2); }); }},
        {{"--depth", d, "--companions", "0"}, play, [&] { return deep; }},
        {{"--depth", d, "--light-all"},
         play,
         [&] {
             return with(deep, [](Level& l) {
                 for (Lantern& lantern : l.lanterns)
                     lantern.lit = true;
             });
         }},
        // The order: companions before --warp-lost, so they stay where the firefly stood.
        {{"--depth", d, "--warp-lost", "--companions", "2"},
         {Screen::Play, false, false, false, 2},
         [&] {
             return with(deep, [&](Level& l) {
                 add_companions(l, start, 2);
                 l.firefly_pos = lost;
             });
         }},
        // --warp-exit before companions, whatever the order of the arguments.
        {{"--companions", "1", "--warp-exit", "--depth", d},
         {Screen::Play, false, false, false, 1},
         [&] {
             return with(deep, [&](Level& l) {
                 l.firefly_pos = exit_spot;
                 add_companions(l, exit_spot, 1);
             });
         }},
        // --warp-lost after --warp-exit; the moths ring the firefly where the warps left it.
        {{"--moths-near", "--warp-lost", "--warp-exit", "--depth", d},
         play,
         [&] {
             return with(deep, [&](Level& l) {
                 l.firefly_pos = lost;
                 ring_moths(l, lost);
             });
         }},
        // --warp-water comes after the moths, which stay around the firefly's earlier place.
        {{"--warp-water", "--moths-near", "--depth", d},
         play,
         [&] {
             return with(deep, [&](Level& l) {
                 ring_moths(l, start);
                 l.firefly_pos = water;
             });
         }},
        {{"--warp-water", "--warp-lost", "--depth", d},
         play,
         [&] { return with(deep, [&](Level& l) { l.firefly_pos = water; }); }},
    };
    for (const Case& c : cases) {
        std::string what;
        for (const std::string& a : c.args)
            what += a + " ";
        const Game game = started(c.args);
        EXPECT_EQ(game.screen, c.game.screen) << what;
        EXPECT_EQ(game.autopilot_on, c.game.autopilot) << what;
        EXPECT_EQ(game.save_records, c.game.save) << what;
        EXPECT_EQ(game.night, c.game.night) << what;
        EXPECT_EQ(game.companions_following, c.game.companions) << what;
        EXPECT_EQ(game.companions_at_level_start, c.game.companions) << what;
        EXPECT_TRUE(game.level == c.level()) << what;
    }
}

}  // namespace
}  // namespace pyrelle
