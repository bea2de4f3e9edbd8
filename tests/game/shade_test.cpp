#include "game/shade.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "game/fixtures.hpp"

namespace pyrelle {
namespace {

using fixtures::kDt;
using fixtures::open_room;
using fixtures::shade_at;

int count_events(const Level& level, SoundEvent e) {
    return static_cast<int>(std::count(level.sound_events.begin(), level.sound_events.end(), e));
}

TEST(Shade, FireflyGlowKeepsItAtBay) {
    struct Case {
        float energy, r;
        ShadeState want;
    };
    const Case cases[] = {
        {1.0f, 45.0f, ShadeState::Flee},  // reach 50 - 4 = 46
        {1.0f, 47.0f, ShadeState::Chase},
        {0.5f, 20.0f, ShadeState::Flee},  // reach 21
        {0.5f, 22.0f, ShadeState::Chase},
        {0.08f, 10.0f, ShadeState::Chase},  // reach 0: no protection
        {1.0f, 119.0f, ShadeState::Chase},
        {1.0f, 121.0f, ShadeState::Wander},  // out of hunting range
    };
    for (const Case& c : cases) {
        Level level = open_room(40, 10, 3, 5);
        fixtures::keep_exit_closed(level);
        level.energy = c.energy;
        level.shades = {shade_at(level.firefly_pos.x + c.r, level.firefly_pos.y)};
        step_shades(level, kDt);
        EXPECT_EQ(level.shades[0].state, c.want) << c.energy << " " << c.r;
    }
}

TEST(Shade, InLightItRunsFromTheNearestLitLantern) {
    Level level = open_room(40, 30, 2, 2);
    fixtures::keep_exit_closed(level);
    const Vec2 s{160.0f, 120.0f};
    // A bright lantern 40 px left lights the shade; a dim one 30 px below is nearer.
    level.lanterns = {Lantern{s.x - 40.0f, s.y, 1.0f, true}, Lantern{s.x, s.y + 30.0f, 0.0f, true},
                      Lantern{s.x + 35.0f, s.y, 0.0f, false}};
    level.shades = {shade_at(s.x, s.y)};
    step_shades(level, kDt);
    const Shade& shade = level.shades[0];
    EXPECT_EQ(shade.state, ShadeState::Flee);
    const float steer = 1.0f - std::pow(0.02f, kDt);
    EXPECT_NEAR(shade.vx, 0.0f, 1e-4);
    EXPECT_NEAR(shade.vy, -62.0f * steer, 1e-4);  // straight up, away from the one below
}

TEST(Shade, InCrystalLightWithNoLitLanternItRunsFromTheFirefly) {
    Level level = open_room(40, 30, 5, 15);
    fixtures::keep_exit_closed(level);
    const Vec2 s{200.0f, 124.0f};
    level.crystals = {Crystal{s.x + 3.0f, s.y, 0, 1, 1.2f, true}};
    level.shades = {shade_at(s.x, s.y)};
    step_shades(level, kDt);
    EXPECT_EQ(level.shades[0].state, ShadeState::Flee);
    const Vec2 away = unit_or_zero(s.x - level.firefly_pos.x, s.y - level.firefly_pos.y);
    const float speed = length(level.shades[0].vx, level.shades[0].vy);
    EXPECT_NEAR(level.shades[0].vx / speed, away.x, 1e-4);
    EXPECT_NEAR(level.shades[0].vy / speed, away.y, 1e-4);
}

TEST(Shade, StrikesOnceThenFleesForTwoSeconds) {
    Level level = open_room(40, 10, 10, 5);
    fixtures::keep_exit_closed(level);
    level.energy = 0.3f;  // glow reach 11: the shade flees the glow but strikes on contact
    const Vec2 f = level.firefly_pos;
    level.shades = {shade_at(f.x - 6.0f, f.y)};
    level.update(0.0f, 0.0f, kDt);
    EXPECT_EQ(count_events(level, SoundEvent::ShadeHit), 1);
    EXPECT_NEAR(level.energy, 0.3 - 0.026 * kDt - 0.12, 1e-6);
    EXPECT_EQ(level.hurt_timer, 0.4f);
    EXPECT_EQ(level.shades[0].flee_timer, 2.0f);
    EXPECT_GT(level.firefly_vel.x, 100.0f);  // knocked away from the shade
    EXPECT_LT(level.shades[0].vx, -79.0f);   // the shade recoils
    EXPECT_EQ(std::count_if(level.particles.begin(), level.particles.end(),
                            [](const Particle& p) { return p.colour == 0x96286Eu; }),
              14);
    int frames = 1, hits = 1;
    while (hits == 1 && frames < 300) {
        level.sound_events.clear();
        // Keep it touching the firefly all the time.
        level.shades[0].x = level.firefly_pos.x - 5.0f;
        level.shades[0].y = level.firefly_pos.y;
        level.energy = 0.3f;
        level.update(0.0f, 0.0f, kDt);
        ++frames;
        hits += count_events(level, SoundEvent::ShadeHit);
        if (hits == 1) {
            EXPECT_EQ(level.shades[0].state, ShadeState::Flee);
        }
    }
    EXPECT_EQ(hits, 2);
    EXPECT_NEAR((frames - 1) * kDt, 2.0, kDt + 1e-6);  // struck again as soon as 2 s are over
}

TEST(Shade, NeverEntersWater) {
    std::vector<std::string> rows(16, std::string(30, '.'));
    for (int y = 3; y <= 12; ++y)
        for (int x = 10; x <= 22; ++x)
            rows[y][x] = '~';
    rows[8][16] = 'F';
    Level level = fixtures::level_from(rows);
    fixtures::keep_exit_closed(level);
    level.shades = {shade_at(40.0f, 60.0f), shade_at(220.0f, 20.0f)};
    for (int frame = 0; frame < 900; ++frame) {
        level.energy = 0.05f;  // no glow to fear, and no dying
        level.update(0.0f, 0.0f, kDt);
        for (const Shade& s : level.shades) {
            // The circle's four extreme points stay out of water cells.
            for (const Vec2 p : {Vec2{s.x - 3.99f, s.y}, Vec2{s.x + 3.99f, s.y},
                                 Vec2{s.x, s.y - 3.99f}, Vec2{s.x, s.y + 3.99f}}) {
                const Cell c = cell_of(p);
                ASSERT_FALSE(water_level(level.cave, level.water_mask, c.x, c.y) > 0.5f)
                    << frame << " at " << s.x << "," << s.y;
            }
        }
    }
    EXPECT_EQ(count_events(level, SoundEvent::ShadeHit), 0);
}

TEST(Shade, ChaseSpeedGrowsWithDepthAndNight) {
    struct Case {
        std::uint32_t depth;
        bool night;
        float speed;
    };
    const Case cases[] = {{1, false, 48.0f},
                          {5, false, 56.0f},
                          {8, true, 70.0f},
                          {20, false, 62.0f},
                          {4294967295u, true, 70.0f}};
    for (const Case& c : cases) {
        Level level = open_room(100, 3, 98, 2);
        fixtures::keep_exit_closed(level);
        level.depth = c.depth;
        level.night = c.night;
        level.energy = 0.05f;
        level.shades = {shade_at(level.firefly_pos.x - 115.0f, level.firefly_pos.y)};
        float fastest = 0.0f;
        for (int frame = 0; frame < 90; ++frame) {
            level.energy = 0.05f;
            level.update(0.0f, 0.0f, kDt);
            ASSERT_EQ(level.shades[0].state, ShadeState::Chase) << frame;
            fastest = std::max(fastest, length(level.shades[0].vx, level.shades[0].vy));
        }
        EXPECT_LE(fastest, c.speed + 1e-3f) << c.depth;
        EXPECT_GT(fastest, c.speed * 0.97f) << c.depth;
    }
}

TEST(Shade, UnreachableShadeNeverChases) {
    Level level = fixtures::level_from({
        "##########",
        "#F.......#",
        "#........#",
        "#####.####",
        "####...###",
        "##########",
    });
    // The pocket at row 4 is joined to the room; cut it off.
    level.cave.tiles[level.cave.index(5, 3)] = 1;
    const Cell f = cell_of(level.firefly_pos);
    level.distance = distance_field(level.cave, f.x, f.y);
    fixtures::keep_exit_closed(level);
    level.energy = 0.05f;
    level.shades = {shade_at(5 * 8 + 4.0f, 4 * 8 + 4.0f)};
    for (int frame = 0; frame < 60; ++frame) {
        level.energy = 0.05f;
        level.update(0.0f, 0.0f, kDt);
        EXPECT_EQ(level.shades[0].state, ShadeState::Wander) << frame;
    }
}

TEST(Shade, WanderDrawsAHeadingAndATimer) {
    Level level = open_room(60, 30, 2, 2);
    fixtures::keep_exit_closed(level);
    level.shades = {shade_at(400.0f, 200.0f)};
    level.shades[0].vx = 22.0f;  // already moving, so it does not count as stuck
    Rng replay = level.rng;
    step_shades(level, kDt);
    const float angle = 6.2831855f * replay.next_f32();
    const float timer = 1.0f + 2.0f * replay.next_f32();
    EXPECT_EQ(level.shades[0].state, ShadeState::Wander);
    EXPECT_FLOAT_EQ(level.shades[0].wander_x, std::cos(angle));
    EXPECT_FLOAT_EQ(level.shades[0].wander_y, std::sin(angle));
    EXPECT_EQ(level.shades[0].wander_timer, timer);
    EXPECT_EQ(level.rng, replay);
    EXPECT_NEAR(level.shades[0].t, kDt, 1e-7);
}

TEST(Shade, AStuckWandererTurnsNextFrame) {
    Level level = open_room(60, 30, 2, 2);
    fixtures::keep_exit_closed(level);
    level.shades = {shade_at(400.0f, 200.0f)};  // from rest it moves far less than 0.3 x 22 dt
    step_shades(level, kDt);
    EXPECT_EQ(level.shades[0].wander_timer, 0.0f);
    const Rng before = level.rng;
    step_shades(level, kDt);
    EXPECT_NE(level.rng, before);  // a new heading was drawn
}

}  // namespace
}  // namespace pyrelle
