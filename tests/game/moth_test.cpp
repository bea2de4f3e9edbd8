#include "game/moth.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "game/fixtures.hpp"

namespace pyrelle {
namespace {

using fixtures::kDt;
using fixtures::moth_at;
using fixtures::open_room;

// Which target a moth chose shows in its memory: hunting the firefly sets 4 s of it.
bool chose_firefly(const Level& level) {
    return level.moths[0].chase_memory == 4.0f;
}

TEST(Moth, TargetScoreIsWeightOverClampedDistance) {
    struct Case {
        float energy;
        Vec2 moth_offset;     // from the firefly
        Vec2 lantern_offset;  // from the firefly
        float glow;
        float ignore;
        bool want_firefly;
        const char* why;
    };
    const Case cases[] = {
        {1.0f, {10, 0}, {30, 0}, 1.0f, 0.0f, false, "3.5 / 20 beats 1.2 / 10"},
        {1.0f, {10, 0}, {60, 0}, 1.0f, 0.0f, true, "3.5 / 50 loses to 1.2 / 10"},
        {1.0f, {2, 0}, {14, 0}, 0.0f, 0.0f, false, "1.5 / 12 beats 1.2 / max(2, 10)"},
        {1.0f, {10, 0}, {30, 0}, 1.0f, 5.0f, true, "lanterns ignored"},
        {1.0f, {100, 0}, {195, 0}, 1.0f, 0.0f, true, "lantern 95 px away is out of range"},
        {0.0f, {10, 0}, {95, 0}, 0.0f, 0.0f, true, "0.5 / 10 beats 1.5 / 85"},
    };
    for (const Case& c : cases) {
        Level level = open_room(60, 10, 5, 5);
        level.energy = c.energy;
        const Vec2 f = level.firefly_pos;
        level.lanterns = {
            Lantern{f.x + c.lantern_offset.x, f.y + c.lantern_offset.y, c.glow, true}};
        level.moths = {moth_at(f.x + c.moth_offset.x, f.y + c.moth_offset.y)};
        level.moths[0].ignore_lanterns = c.ignore;
        step_moths(level, kDt);
        EXPECT_EQ(chose_firefly(level), c.want_firefly) << c.why;
    }
}

TEST(Moth, FireflyOutOfRangeOrSightIsNotATarget) {
    Level level = fixtures::level_from({
        "..........................",
        "..F.......#...............",
        "..........................",
    });
    const Vec2 f = level.firefly_pos;
    // The rock at column 10 (x 80 to 88) hides all three.
    level.moths = {moth_at(f.x + 149.0f, f.y), moth_at(f.x + 151.0f, f.y),
                   moth_at(f.x + 80.0f, f.y + 1.0f)};
    step_moths(level, kDt);
    EXPECT_EQ(level.moths[0].chase_memory, 0.0f);
    EXPECT_EQ(level.moths[1].chase_memory, 0.0f);
    EXPECT_EQ(level.moths[2].chase_memory, 0.0f);
    Level open = open_room(40, 4, 2, 2);
    const Vec2 g = open.firefly_pos;
    open.moths = {moth_at(g.x + 149.0f, g.y), moth_at(g.x + 151.0f, g.y)};
    step_moths(open, kDt);
    EXPECT_EQ(open.moths[0].chase_memory, 4.0f);
    EXPECT_EQ(open.moths[1].chase_memory, 0.0f);
}

// The velocity a moth at rest takes after one step toward the orbit point of `target`.
Vec2 first_velocity(const Moth& m, Vec2 target, float speed) {
    const float t = m.t + kDt;
    const double k = 12 + 4 * std::sin(1.3 * t);
    const double a = 1.8 * t * m.orbit_dir;
    double dx = target.x + k * std::cos(a) - m.x, dy = target.y + k * std::sin(a) - m.y;
    double len = std::hypot(dx, dy);
    dx = dx / len + 0.6 * std::cos(11.0 * t);
    dy = dy / len + 0.6 * std::sin(11.0 * t);
    len = std::hypot(dx, dy);
    const double s = 1 - std::pow(0.01, static_cast<double>(kDt));
    return Vec2{static_cast<float>(dx / len * speed * s), static_cast<float>(dy / len * speed * s)};
}

TEST(Moth, EqualScoresGoToTheLaterTarget) {
    Level level = open_room(60, 30, 2, 2);
    const Vec2 m{240.0f, 120.0f};
    const Vec2 left{m.x - 40.0f, m.y}, right{m.x + 40.0f, m.y};
    level.lanterns = {Lantern{left.x, left.y, 0.5f, true}, Lantern{right.x, right.y, 0.5f, true}};
    level.moths = {moth_at(m.x, m.y)};
    level.moths[0].t = 0.3f;
    const Moth before = level.moths[0];
    step_moths(level, kDt);
    const Vec2 want = first_velocity(before, right, 55.0f);
    const Vec2 other = first_velocity(before, left, 55.0f);
    ASSERT_GT(std::abs(want.x - other.x), 1.0f);  // the two choices are told apart
    EXPECT_NEAR(level.moths[0].vx, want.x, 1e-3);
    EXPECT_NEAR(level.moths[0].vy, want.y, 1e-3);
}

TEST(Moth, ChasesTheFireflyAtItsOrbitSpeedDayAndNight) {
    for (bool night : {false, true}) {
        Level level = open_room(60, 30, 10, 10);
        level.night = night;
        const Vec2 f = level.firefly_pos;
        level.moths = {moth_at(f.x + 60.0f, f.y + 20.0f, -1.0f)};
        level.moths[0].t = 2.0f;
        const Moth before = level.moths[0];
        step_moths(level, kDt);
        const Vec2 want = first_velocity(before, f, night ? 90.0f : 82.0f);
        EXPECT_NEAR(level.moths[0].vx, want.x, 1e-3) << night;
        EXPECT_NEAR(level.moths[0].vy, want.y, 1e-3) << night;
    }
}

TEST(Moth, DwellsSevenSecondsThenIgnoresLanternsForFourteen) {
    // A small room of its own with a lantern; the firefly is walled off in another one.
    std::vector<std::string> rows(14, std::string(24, '#'));
    for (int y = 1; y <= 10; ++y)
        for (int x = 1; x <= 10; ++x)
            rows[y][x] = '.';
    rows[5][20] = 'F';
    rows[5][19] = rows[5][21] = rows[4][20] = rows[6][20] = '.';
    Level level = fixtures::level_from(rows);
    fixtures::keep_exit_closed(level);
    const Vec2 lantern{44.0f, 44.0f};
    level.lanterns.push_back(Lantern{lantern.x, lantern.y, 1.0f, true});
    level.moths = {moth_at(lantern.x + 10.0f, lantern.y)};
    int started_ignoring = -1, came_back = -1;
    for (int frame = 1; frame <= 60 * 25; ++frame) {
        level.energy = 1.0f;
        level.update(0.0f, 0.0f, kDt);
        const Moth& m = level.moths[0];
        if (started_ignoring < 0 && m.ignore_lanterns > 0.0f) {
            started_ignoring = frame;
            EXPECT_EQ(m.dwell, 0.0f);
            EXPECT_EQ(m.ignore_lanterns, 14.0f);
        }
        if (started_ignoring > 0 && m.ignore_lanterns > 0.0f) {
            EXPECT_EQ(m.dwell, 0.0f) << frame;  // not circling while it ignores lanterns
        }
        if (started_ignoring > 0 && came_back < 0 && m.dwell > 0.0f) came_back = frame;
    }
    ASSERT_GT(started_ignoring, 0);
    // Circling at 12 +- 4 px keeps it within 25 px from the start: 7 s of dwell.
    EXPECT_NEAR(started_ignoring * kDt, 7.0, 2 * kDt);
    ASSERT_GT(came_back, 0);
    EXPECT_GE((came_back - started_ignoring) * kDt, 14.0 - kDt);
}

TEST(Moth, StunnedMothNeitherChoosesNorDrainsNorCountsAsNear) {
    Level level = open_room(30, 10, 10, 5);
    fixtures::keep_exit_closed(level);
    level.energy = 0.8f;
    level.moths = {moth_at(level.firefly_pos.x + 1.0f, level.firefly_pos.y)};
    level.moths[0].stun_timer = 2.5f;
    level.moths[0].vx = 110.0f;
    level.update(0.0f, 0.0f, kDt);
    EXPECT_FALSE(level.moths[0].near);
    EXPECT_EQ(level.moths[0].chase_memory, 0.0f);
    EXPECT_NEAR(level.energy, 0.8 - 0.026 * kDt, 1e-6);
    EXPECT_FALSE(level.moth_hint_shown);
    // It keeps flying where it was thrown, at 80 px/s with its flutter.
    EXPECT_GT(level.moths[0].vx, 80.0f);
}

TEST(Moth, MothsNearDrainAndSpark) {
    int sparked = 0;
    for (std::uint64_t seed = 0; seed < 20; ++seed) {
        Level level = open_room(30, 10, 10, 5);
        fixtures::keep_exit_closed(level);
        level.rng = Rng::seeded(seed);
        level.energy = 0.8f;
        level.moth_hint_shown = true;
        const Vec2 f = level.firefly_pos;
        level.moths = {moth_at(f.x + 4.0f, f.y), moth_at(f.x, f.y + 4.0f)};
        // The moths draw nothing while they hunt; the firefly's spark comes first.
        Rng probe = level.rng;
        if (0.35f > probe.next_f32()) {
            probe.next_f32();
            probe.next_f32();
        }
        const float u = probe.next_f32();
        level.update(0.0f, 0.0f, kDt);
        ASSERT_TRUE(level.moths[0].near);
        ASSERT_TRUE(level.moths[1].near);
        EXPECT_NEAR(level.energy, 0.8 - 0.026 * kDt - 0.036 * kDt, 1e-6);
        const auto sparks = std::count_if(level.particles.begin(), level.particles.end(),
                                          [](const Particle& p) { return p.colour == 0xAA9646u; });
        EXPECT_EQ(sparks, u < 0.3f ? 1 : 0) << seed;
        sparked += static_cast<int>(sparks);
    }
    EXPECT_GT(sparked, 0);
}

TEST(Moth, HintShowsOncePerGameAndWaitsForAFreeMessageLine) {
    Level level = open_room(30, 10, 10, 5);
    fixtures::keep_exit_closed(level);
    level.moths = {moth_at(level.firefly_pos.x + 4.0f, level.firefly_pos.y)};
    level.message = Message{"Allume les lanternes", 0.05f};
    level.update(0.0f, 0.0f, kDt);
    EXPECT_EQ(level.message->text, "Allume les lanternes");
    EXPECT_FALSE(level.moth_hint_shown);
    for (int i = 0; i < 3; ++i)
        level.update(0.0f, 0.0f, kDt);  // the banner runs out, then the hint
    ASSERT_TRUE(level.message.has_value());
    EXPECT_EQ(level.message->text,
              "Les phalènes boivent ta lumière et ton pollen\nUne lanterne les distrait un temps");
    EXPECT_TRUE(level.moth_hint_shown);
    level.message.reset();
    for (int i = 0; i < 10; ++i)
        level.update(0.0f, 0.0f, kDt);
    EXPECT_FALSE(level.message.has_value());
}

TEST(MothPathStep, DescendsIgnoringWaterAndCorners) {
    const std::vector<std::string> rows = {
        ".~~.",
        "#~~.",
        "....",
    };
    Level level = fixtures::level_from(rows);
    level.distance.values = {5,  6, 7, 2,  //
                             -1, 3, 3, 1,  //
                             4,  4, 4, 0};
    // From (2, 1) with value 3: (3, 1) holds 1 (water does not matter), (3, 2) holds 0 but
    // is diagonal; its orthogonal cells (3, 1) and (2, 2) are open, so it wins.
    const Vec2 at = fixtures::centre_of(2, 1);
    auto step = moth_path_step(level, at);
    ASSERT_TRUE(step.has_value());
    EXPECT_FLOAT_EQ(step->x, std::sqrt(0.5f));
    EXPECT_FLOAT_EQ(step->y, std::sqrt(0.5f));
    // From (1, 0), value 6: (0, 0) holds 5 and (2, 0) 7; (1, 1) holds 3: down wins.
    step = moth_path_step(level, fixtures::centre_of(1, 0));
    ASSERT_TRUE(step.has_value());
    EXPECT_FLOAT_EQ(step->x, 0.0f);
    EXPECT_FLOAT_EQ(step->y, 1.0f);
    // (0, 0) with value 5: (1, 1) (value 3) is diagonal past the rock at (0, 1); only (1, 0)
    // at 6 remains, which is not lower. No step.
    EXPECT_FALSE(moth_path_step(level, fixtures::centre_of(0, 0)).has_value());
    // At the goal itself nothing is lower; outside the grid there is no step either.
    EXPECT_FALSE(moth_path_step(level, fixtures::centre_of(3, 2)).has_value());
    EXPECT_FALSE(moth_path_step(level, Vec2{-5.0f, 4.0f}).has_value());
}

TEST(MothPathStep, TiesGoToTheFirstOffset) {
    Level level = fixtures::level_from({"...", "...", "..."});
    level.distance.values = {9, 2, 9,  //
                             2, 5, 2,  //
                             9, 2, 9};
    const auto step = moth_path_step(level, fixtures::centre_of(1, 1));
    ASSERT_TRUE(step.has_value());
    EXPECT_FLOAT_EQ(step->x, 1.0f);  // right before left, down and up
    EXPECT_FLOAT_EQ(step->y, 0.0f);
}

}  // namespace
}  // namespace pyrelle
