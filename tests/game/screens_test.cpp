#include "game/screens.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

#include "engine/text.hpp"
#include "game/end_screen_reference.hpp"
#include "game/game.hpp"

namespace pyrelle {
namespace {

struct Box {
    std::int32_t left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};

// The bounding box of the pixels where two canvases differ.
Box difference(const Canvas& a, const Canvas& b) {
    Box box;
    for (std::uint32_t y = 0; y < a.height; ++y) {
        for (std::uint32_t x = 0; x < a.width; ++x) {
            if (a.pixels[x + y * a.width] == b.pixels[x + y * a.width]) continue;
            const auto ix = static_cast<std::int32_t>(x);
            const auto iy = static_cast<std::int32_t>(y);
            box = {std::min(box.left, ix), std::min(box.top, iy), std::max(box.right, ix),
                   std::max(box.bottom, iy)};
        }
    }
    return box;
}

// Where `text` would put pixels when centred at y on an empty canvas.
Box centred_text_box(std::int32_t y, const std::string& text) {
    Canvas blank(320, 180);
    Canvas drawn(320, 180);
    draw_centred(drawn, y, text, 0xFFFFFF);
    return difference(blank, drawn);
}

void expect_same_box(const Box& got, const Box& want, const std::string& what) {
    EXPECT_EQ(got.left, want.left) << what;
    EXPECT_EQ(got.top, want.top) << what;
    EXPECT_EQ(got.right, want.right) << what;
    EXPECT_EQ(got.bottom, want.bottom) << what;
}

TEST(Screens, TimeFormat) {
    struct Case {
        float seconds;
        const char* want;
    };
    const Case cases[] = {
        {59.99f, "0:59"},        {3600.0f, "60:00"},     {65.0f, "1:05"},
        {760.0f, "12:40"},       {7.0f, "0:07"},         {-3.0f, "0:00"},
        {std::nanf(""), "0:00"}, {1e12f, "71582788:15"},  // saturates at 4294967295 s
    };
    for (const Case& c : cases)
        EXPECT_EQ(format_time(c.seconds), c.want) << c.seconds;
}

TEST(Screens, CentringAndRightAlignment) {
    Canvas canvas(320, 180);
    draw_right_aligned(canvas, 5, "PROFONDEUR 3/10", 0x968CAA);
    Canvas blank(320, 180);
    const Box box = difference(blank, canvas);
    // x = 315 - 6n: the advance of the last glyph ends at 314, its five columns at 313.
    EXPECT_EQ(box.left, 315 - 6 * 15);
    EXPECT_EQ(box.right, 313);
    const Box centred = centred_text_box(10, "AB");
    EXPECT_EQ(centred.left, 161 - 3 * 2);
}

Level hud_level(std::size_t lanterns, std::size_t companions) {
    Level level;
    level.depth = 3;
    level.energy = 0.5f;
    level.lanterns.resize(lanterns);
    level.companions.resize(companions);
    return level;
}

TEST(Screens, HudPlacesTheCompanionsAfterTheLanterns) {
    Canvas canvas(320, 180);
    draw_hud(hud_level(12, 3), canvas);
    EXPECT_EQ(canvas.get(172, 8), 0xFFF5BEu);  // 7 x 12 + 88
    Canvas digit(320, 180);
    draw_text(digit, 178, 5, "3", 0xF0DCA0, 1);
    for (std::int32_t y = 5; y < 12; ++y) {
        for (std::int32_t x = 178; x < 183; ++x) {
            if (digit.get(x, y) != 0) {
                EXPECT_EQ(canvas.get(x, y), 0xF0DCA0u) << x << "," << y;
            }
        }
    }
    Canvas alone(320, 180);
    draw_hud(hud_level(12, 0), alone);
    EXPECT_EQ(alone.get(172, 8), 0u);
}

TEST(Screens, HudLanternIconsAndEnergyBar) {
    Level level = hud_level(2, 0);
    level.lanterns[1].lit = true;
    Canvas canvas(320, 180);
    draw_hud(level, canvas);
    EXPECT_EQ(canvas.get(80, 6), 0x464050u);  // unlit frame
    EXPECT_EQ(canvas.get(81, 8), 0x14121Au);  // its dark inside
    EXPECT_EQ(canvas.get(80, 5), 0u);         // cut corner
    EXPECT_EQ(canvas.get(87, 6), 0xFFAA3Cu);  // lit frame
    EXPECT_EQ(canvas.get(89, 8), 0xFFF0B4u);  // its flame
    // Energy 0.5: d = 0.75, colour (249, 189, 95), 30 pixels from x = 7.
    EXPECT_EQ(canvas.get(7, 7), 0xF9BD5Fu);
    EXPECT_EQ(canvas.get(36, 9), 0xF9BD5Fu);
    EXPECT_EQ(canvas.get(37, 8), 0x0C0A12u);
    EXPECT_EQ(canvas.get(5, 5), 0x504660u);
}

TEST(Screens, TwoLineMessageBoxSpansRows146To170) {
    Level level = hud_level(0, 0);
    level.message = Message{
        "Les phalènes boivent ta lumière et ton pollen\nUne lanterne les distrait un temps", 5.0f};
    Canvas canvas(320, 180);
    canvas.fill_rect(0, 0, 320, 180, 0xFFFFFF);
    draw_hud(level, canvas);
    const std::int32_t w = text_width("Les phalènes boivent ta lumière et ton pollen", 1);
    const std::int32_t left = 156 - w / 2;
    EXPECT_EQ(canvas.get(left, 146), 0x808080u);
    EXPECT_EQ(canvas.get(left, 170), 0x808080u);
    EXPECT_EQ(canvas.get(left, 145), 0xFFFFFFu);
    EXPECT_EQ(canvas.get(left, 171), 0xFFFFFFu);
    EXPECT_EQ(canvas.get(left - 1, 160), 0xFFFFFFu);
    EXPECT_EQ(canvas.get(left + w + 7, 160), 0x808080u);
    EXPECT_EQ(canvas.get(left + w + 8, 160), 0xFFFFFFu);
}

Canvas render(Game& game) {
    Canvas canvas(320, 180);
    game.render(canvas);
    return canvas;
}

TEST(Screens, TitleBottomLineFollowsTheRecords) {
    struct Case {
        Records records;
        bool night;
        std::string line;
    };
    Records depth_two;
    depth_two.best_depth = 2;
    Records day_win;
    day_win.best_depth = 10;
    day_win.best_time = 83.4f;
    const Case cases[] = {
        {depth_two, false, "Record : profondeur 2/10"},
        {Records{}, true, "Moins de lumière, plus de dangers"},
        {day_win, false, "Source atteinte en 1:23"},
    };
    for (const Case& c : cases) {
        Game plain = Game::create(6, Records{}, std::nullopt);
        Game with = Game::create(6, c.records, std::nullopt);
        with.night = c.night;
        const Canvas a = render(plain);
        const Canvas b = render(with);
        Canvas a_lines = a;
        Canvas b_lines = b;
        // Only rows 118..127 (the bottom line) and, after a win, 89..98 (the selector) may differ.
        for (std::uint32_t y = 0; y < 180; ++y) {
            const bool selector = y >= 89 && y <= 98 && c.records.best_time;
            if ((y >= 118 && y <= 127) || selector) {
                for (std::uint32_t x = 0; x < 320; ++x)
                    a_lines.pixels[x + 320 * y] = b_lines.pixels[x + 320 * y] = 0;
            }
        }
        EXPECT_EQ(a_lines.pixels, b_lines.pixels) << c.line;
        Canvas a_row(320, 180);
        Canvas b_row(320, 180);
        a_row.blit(a, 0, 118, 0, 118, 320, 10);
        b_row.blit(b, 0, 118, 0, 118, 320, 10);
        expect_same_box(difference(a_row, b_row), centred_text_box(120, c.line), c.line);
    }
}

TEST(Screens, NoModeSelectorWithoutADayBestTime) {
    Game plain = Game::create(6, Records{}, std::nullopt);
    Records night_only;
    night_only.best_time_night = 100.0f;
    Game with = Game::create(6, night_only, std::nullopt);
    const Box box = difference(render(plain), render(with));
    EXPECT_EQ(box.right, -1);  // identical pictures: no selector, no bottom line in day mode
}

// The overlays, each built here from its rule over the picture underneath: the world alone
// (death, descent, end screen) or the world with the heads-up display (pause).
Canvas world_of(Game& game) {
    Canvas canvas(320, 180);
    game.renderer.render(game.level, canvas);
    return canvas;
}

void darkened(Canvas& canvas, float k) {
    for (std::uint32_t& p : canvas.pixels)
        p = scale_colour(p, k);
}

void centred(Canvas& canvas, std::int32_t y, const std::string& text, std::uint32_t colour,
             std::int32_t scale = 1) {
    draw_text(canvas, 160 - text_width(text, scale) / 2, y, text, colour, scale);
}

void expect_picture(const Canvas& got, const Canvas& want, const std::string& what) {
    const Box box = difference(got, want);
    EXPECT_EQ(box.right, -1) << what << ": differs in x " << box.left << ".." << box.right << ", y "
                             << box.top << ".." << box.bottom;
}

Game game_at_depth(std::uint32_t depth, Screen screen, float t) {
    Game game = Game::create(6, Records{}, std::nullopt);
    game.enter_depth(depth);
    game.screen = screen;
    game.screen_timer = t;
    return game;
}

TEST(Screens, PauseDarkensThePlayPictureUnderItsFourLines) {
    Game game = game_at_depth(2, Screen::Play, 0.0f);
    game.level.message.reset();
    Canvas want = render(game);  // the world and the heads-up display
    game.screen = Screen::Pause;
    darkened(want, 0.4f);
    centred(want, 56, "PAUSE", 0xFFE178, 3);
    centred(want, 92, "Entrée : reprendre", 0xE6DCC8);
    centred(want, 106, "Échap : retour au titre", 0xA096AF);
    centred(want, 120, "M : son", 0xA096AF);
    expect_picture(render(game), want, "pause");
}

TEST(Screens, DeathSinksToFifteenPercentAndFadesInItsLine) {
    for (const float t : {0.3f, 0.6f, 0.9f, 1.1f, 2.5f}) {
        Game game = game_at_depth(4, Screen::Death, t);
        Canvas want = world_of(game);
        darkened(want, std::clamp(1.0f - t / 1.2f, 0.15f, 1.0f));
        if (t > 0.6f) {
            const float c = std::min((t - 0.6f) / 0.6f, 1.0f);
            centred(want, 86, "Ta lumière s'est éteinte...", rgb(220 * c, 190 * c, 140 * c));
        }
        expect_picture(render(game), want, "death at " + std::to_string(t));
    }
}

TEST(Screens, DescentShowsTheNextDepthThenItsNewBiome) {
    struct Case {
        std::uint32_t depth;  // the depth being left
        float t;
        const char* banner;    // nullptr: not yet
        const char* subtitle;  // nullptr: none
    };
    const Case cases[] = {
        {3, 0.5f, nullptr, nullptr},
        {3, 0.9f, "Profondeur 4", nullptr},  // the world still shows, dimmed to a tenth
        {3, 1.0f, "Profondeur 4", nullptr},
        {3, 1.3f, "Profondeur 4", nullptr},  // the subtitle waits for more than 1.3 s
        {3, 1.6f, "Profondeur 4", "Les Cristaux"},
        {4, 1.6f, "Profondeur 5", nullptr},  // same biome: no subtitle
        {6, 2.2f, "Profondeur 7", "Le Lac"},
        {1, 2.0f, "Profondeur 2", nullptr},
        {9, 1.6f, "La Source", nullptr},  // the banner already names it
    };
    for (const Case& c : cases) {
        Game game = game_at_depth(c.depth, Screen::Descent, c.t);
        Canvas want = world_of(game);
        darkened(want, std::clamp(1.0f - c.t, 0.0f, 1.0f));
        if (c.banner) {
            const float a = std::min((c.t - 0.8f) * 2.0f, 1.0f);
            centred(want, 82, c.banner, rgb(170 * a, 210 * a, 255 * a), 2);
        }
        if (c.subtitle) {
            const float b = std::min((c.t - 1.3f) * 2.0f, 1.0f);
            centred(want, 104, c.subtitle, rgb(200 * b, 190 * b, 150 * b));
        }
        expect_picture(render(game), want,
                       "descent from " + std::to_string(c.depth) + " at " + std::to_string(c.t));
    }
}

TEST(Screens, VictoryWashesTheWorldToWarmWhite) {
    for (const float t : {0.0f, 0.75f, 1.4f}) {
        Game game = game_at_depth(10, Screen::Victory, t);
        const Canvas world = world_of(game);
        Canvas want(320, 180);
        const float d = std::clamp(std::pow(t / 1.5f, 0.7f), 0.0f, 1.0f);
        for (std::size_t i = 0; i < world.pixels.size(); ++i) {
            const std::uint32_t p = world.pixels[i];
            const auto towards = [&](int shift, float white) {
                const float c = static_cast<float>((p >> shift) & 0xFF);
                return static_cast<std::uint32_t>(std::round(c + (white - c) * d)) << shift;
            };
            want.pixels[i] = towards(16, 255.0f) | towards(8, 244.0f) | towards(0, 214.0f);
        }
        expect_picture(render(game), want, "victory at " + std::to_string(t));
    }
}

// Where two texts centred at y differ, drawn in one colour on a blank canvas.
Box text_difference(std::int32_t y, const std::string& a, const std::string& b) {
    Canvas ca(320, 180);
    Canvas cb(320, 180);
    draw_centred(ca, y, a, 0xFFFFFF);
    draw_centred(cb, y, b, 0xFFFFFF);
    return difference(ca, cb);
}

TEST(Screens, VictoryTalliesSitOnTheirLines) {
    const auto end_screen = [](float t, const std::function<void(Game&)>& change) {
        Game game = game_at_depth(10, Screen::Victory, t);
        game.run_time = 83.4f;
        game.extinctions = 3;
        game.pollen_total = 17;
        game.companions_following = 5;
        change(game);
        return render(game);
    };
    const auto same = [](Game&) {};
    struct Case {
        const char* what;
        float t;
        std::function<void(Game&)> change;
        std::int32_t y;
        std::string before, after;  // the line without and with the change
    };
    const Case cases[] = {
        {"night", 6.0f, [](Game& g) { g.night = true; }, 62, "Temps : 1:23",
         "Temps : 1:23 (Nuit noire)"},
        {"time", 6.0f, [](Game& g) { g.run_time = 95.0f; }, 62, "Temps : 1:23", "Temps : 1:35"},
        {"extinctions", 6.0f, [](Game& g) { g.extinctions = 4; }, 74, "Extinctions : 3",
         "Extinctions : 4"},
        {"pollen", 6.0f, [](Game& g) { g.pollen_total = 18; }, 86, "Pollen butiné : 17",
         "Pollen butiné : 18"},
        {"companions", 6.0f, [](Game& g) { g.companions_following = 6; }, 98,
         "Pyrelles retrouvées : 5/8", "Pyrelles retrouvées : 6/8"},
        {"record", 7.0f, [](Game& g) { g.new_record = true; }, 116, "", "Nouveau record !"},
    };
    for (const Case& c : cases) {
        expect_same_box(difference(end_screen(c.t, same), end_screen(c.t, c.change)),
                        text_difference(c.y, c.before, c.after), c.what);
    }
    // Before their moments nothing shows: the tallies from 5.5 s, the record from 6.5 s.
    for (const Case& c : cases) {
        const float early = c.y == 116 ? 6.4f : 5.4f;
        EXPECT_EQ(difference(end_screen(early, same), end_screen(early, c.change)).right, -1)
            << c.what;
    }
}

}  // namespace
}  // namespace pyrelle

namespace pyrelle {
namespace {

TEST(Screens, DarkenScalesEveryPixelAsScaleColourDoes) {
    std::mt19937 gen(4);
    const float factors[] = {0.0f, 0.15f, 0.4f, 0.55f, 0.999f, 1.0f, 1.7f, -0.5f, std::nanf("")};
    for (const float k : factors) {
        Canvas c(7, 5);  // 35 pixels: four at a time and a rest
        for (std::uint32_t& p : c.pixels)
            p = gen();
        const Canvas before = c;
        darken(c, k);
        for (std::size_t i = 0; i < c.pixels.size(); ++i)
            ASSERT_EQ(c.pixels[i], scale_colour(before.pixels[i], k)) << k << " " << i;
    }
}

// The end screen over a random picture at every stage of its animation, and through the
// whole Game::render, whose world picture it hides from 1.5 s on.
TEST(Screens, EndScreenMatchesThePixelByPixelRule) {
    Game game = Game::create(5, Records{}, std::nullopt);
    game.enter_depth(10);
    game.run_time = 754.3f;
    game.pollen_total = 31;
    game.companions_following = 6;
    std::mt19937 gen(3);
    const float times[] = {0.0f,  0.4f, 1.2f, 1.4999999f, 1.5f, 1.7f, 2.9f,  4.0f,  4.3f,
                           5.12f, 5.9f, 6.7f, 7.6f,       7.9f, 8.2f, 31.0f, 100.0f};
    for (const float t : times) {
        game.screen = Screen::Victory;
        game.screen_timer = t;
        game.new_record = gen() % 2 == 0;
        game.night = gen() % 2 == 0;
        Canvas fast(320, 180), slow(320, 180);
        for (std::uint32_t& p : fast.pixels)
            p = gen() & 0xFFFFFF;
        slow.pixels = fast.pixels;
        draw_victory(game, fast);
        reference::end_screen(game, slow);
        ASSERT_EQ(fast.pixels, slow.pixels) << "t " << t;

        Canvas whole(320, 180), want(320, 180);
        game.render(whole);
        WorldRenderer world(game.level);
        world.render(game.level, want);
        reference::end_screen(game, want);
        ASSERT_EQ(whole.pixels, want.pixels) << "render, t " << t;
    }
}

}  // namespace
}  // namespace pyrelle
