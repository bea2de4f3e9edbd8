#include <gtest/gtest.h>

#include <cmath>

#include "game/fixtures.hpp"
#include "game/level.hpp"

namespace pyrelle {
namespace {

using fixtures::centre_of;
using fixtures::kDt;
using fixtures::level_from;
using fixtures::open_room;
using fixtures::shade_at;

TEST(Firefly, SpeedIsCappedAtNinetyAndStraightOrDiagonalAlike) {
    const float h = 0.70710677f;
    for (const Vec2 input : {Vec2{1.0f, 0.0f}, Vec2{h, h}, Vec2{0.0f, -1.0f}}) {
        Level level = open_room(60, 60, 30, 30);
        level.firefly_vel = {};
        level.update(input.x, input.y, kDt);
        // First frame from rest: 520 dt along the input, damped by 0.08^dt.
        const float first = 520.0f * kDt * std::pow(0.08f, kDt);
        EXPECT_NEAR(length(level.firefly_vel.x, level.firefly_vel.y), first, 1e-4f);
        for (int i = 0; i < 60; ++i)
            level.update(input.x, input.y, kDt);
        EXPECT_NEAR(length(level.firefly_vel.x, level.firefly_vel.y), 90.0f, 1e-3f);
        EXPECT_NEAR(level.firefly_vel.x, 90.0f * input.x, 1e-3f);
        EXPECT_NEAR(level.firefly_vel.y, 90.0f * input.y, 1e-3f);
    }
}

TEST(Firefly, CoastingSlowsAsPointZeroZeroThreeToTheTime) {
    Level level = open_room(80, 20, 5, 10);
    level.firefly_vel = {90.0f, 0.0f};
    for (int i = 0; i < 30; ++i)
        level.update(0.0f, 0.0f, kDt);
    const double want = 90.0 * std::pow(0.003, 30 * static_cast<double>(kDt));
    EXPECT_NEAR(level.firefly_vel.x, want, want * 1e-4);
    EXPECT_EQ(level.firefly_vel.y, 0.0f);
}

TEST(Firefly, DrainFollowsDepthCompanionsAndNight) {
    struct Case {
        std::uint32_t depth;
        int companions;
        bool night;
        double per_second;
    };
    const Case cases[] = {
        {1, 0, false, 0.026},        {7, 0, false, 0.062},         {4000000000u, 0, false, 0.062},
        {1, 3, false, 0.026 * 0.82}, {7, 10, false, 0.062 * 0.55},  // floor at 55 %
        {1, 0, true, 0.026 * 1.15},
    };
    for (const Case& c : cases) {
        Level level = open_room(9, 9, 4, 4);
        level.depth = c.depth;
        level.night = c.night;
        for (int i = 0; i < c.companions; ++i)
            level.companions.push_back(Companion{level.firefly_pos.x, level.firefly_pos.y, 0.0f});
        level.energy = 0.9f;
        level.update(0.0f, 0.0f, 0.1f);
        EXPECT_NEAR(level.energy, 0.9 - c.per_second * 0.1, 1e-6) << c.depth << " " << c.companions;
    }
}

TEST(Firefly, HurtTimerCountsDownToZero) {
    struct Case {
        float start, dt, want;
    };
    const Case cases[] = {
        {0.4f, 0.1f, 0.3f}, {0.4f, kDt, 0.4f - kDt}, {0.05f, 0.1f, 0.0f}, {0.0f, 0.1f, 0.0f}};
    for (const Case& c : cases) {
        Level level = open_room(9, 9, 4, 4);
        fixtures::keep_exit_closed(level);
        level.hurt_timer = c.start;
        level.update(0.0f, 0.0f, c.dt);
        EXPECT_FLOAT_EQ(level.hurt_timer, c.want) << c.start << " " << c.dt;
    }
}

TEST(Firefly, TrailSparkChanceGrowsWithSpeed) {
    int sparks_at_rest = 0, sparks_fast = 0;
    for (std::uint64_t seed = 0; seed < 40; ++seed) {
        for (bool fast : {false, true}) {
            Level level = open_room(60, 10, 30, 5);
            fixtures::keep_exit_closed(level);
            level.rng = Rng::seeded(seed);
            level.firefly_vel = fast ? Vec2{90.0f, 0.0f} : Vec2{};
            const float input = fast ? 1.0f : 0.0f;
            Rng probe = level.rng;
            const float u = probe.next_f32();
            level.update(input, 0.0f, kDt);
            const float speed = length(level.firefly_vel.x, level.firefly_vel.y);
            const bool want = 0.35f + 0.3f * speed / 90.0f > u;
            ASSERT_EQ(level.particles.size(), want ? 1u : 0u) << seed;
            if (want) {
                const Particle& p = level.particles[0];
                EXPECT_EQ(p.colour, 0x968232u);
                EXPECT_EQ(p.gravity, -6.0f);
                EXPECT_EQ(p.life, 0.7f);
                EXPECT_FLOAT_EQ(p.vx, -0.1f * level.firefly_vel.x);
                EXPECT_LE(std::abs(p.x - level.firefly_pos.x), 1.5f);
            }
            (fast ? sparks_fast : sparks_at_rest) += want;
        }
    }
    EXPECT_GT(sparks_fast, sparks_at_rest);
}

TEST(Firefly, DimSparksBelowAQuarter) {
    // At rest a spark comes with chance 0.35 per frame: 64 seeds without one would take
    // a chance of 0.65^64, about 1e-12, so running out of seeds means no spark at all.
    for (std::uint64_t seed = 0; seed < 64; ++seed) {
        Level level = open_room(9, 9, 4, 4);
        fixtures::keep_exit_closed(level);
        level.rng = Rng::seeded(seed);
        level.energy = 0.2f;
        level.update(0.0f, 0.0f, kDt);
        if (level.particles.empty()) continue;
        EXPECT_EQ(level.particles[0].colour, 0x963C1Eu);
        return;
    }
    FAIL() << "no trail spark at low energy in 64 seeds";
}

TEST(LightBurst, RefusedBelowTheCostOrDuringTheCooldown) {
    Level level = open_room(9, 9, 4, 4);
    level.energy = 0.11f;
    const Level before = level;
    EXPECT_FALSE(level.light_burst());
    EXPECT_TRUE(level == before);

    level.energy = 0.12f;
    ASSERT_TRUE(level.light_burst());
    EXPECT_FLOAT_EQ(level.energy, 0.04f);
    EXPECT_EQ(level.burst_cooldown, 3.0f);
    ASSERT_TRUE(level.burst_flash.has_value());
    EXPECT_EQ(*level.burst_flash, 0.0f);
    EXPECT_EQ(level.sound_events, std::vector<SoundEvent>{SoundEvent::Burst});
    EXPECT_EQ(level.particles.size(), 40u);

    level.energy = 1.0f;
    const Level cooling = level;
    EXPECT_FALSE(level.light_burst());
    EXPECT_TRUE(level == cooling);
    // The flash lasts 0.6 s; the cooldown runs out after 3 s and a burst fires again.
    int frames = 0;
    while (level.burst_cooldown > 0.0f && frames < 400) {
        EXPECT_FALSE(level.light_burst());
        level.update(0.0f, 0.0f, kDt);
        ++frames;
        if (frames == 35) {
            EXPECT_TRUE(level.burst_flash.has_value());
        }
        if (frames == 36) {
            EXPECT_FALSE(level.burst_flash.has_value());
        }
    }
    EXPECT_NEAR(frames, 180, 1);  // 3 s of 1/60 s steps, give or take float rounding
    EXPECT_TRUE(level.light_burst());
}

TEST(LightBurst, ReachesOnlyWhatTheFireflySeesWithinEightyPixels) {
    Level level = level_from({
        "..............",
        "..............",
        "......#.......",
        "...F..#.......",
        "......#.......",
        "..............",
    });
    const Vec2 f = level.firefly_pos;                                        // (28, 28)
    level.shades = {shade_at(f.x - 20.0f, f.y), shade_at(f.x + 36.0f, f.y),  // behind rock
                    shade_at(f.x, f.y - 20.0f)};
    level.shades[2].flee_timer = 5.0f;  // a longer flight is kept
    Moth near_moth;
    near_moth.x = f.x;
    near_moth.y = f.y + 12.0f;
    near_moth.near = true;
    Moth hidden = near_moth;
    hidden.x = f.x + 40.0f;
    hidden.y = f.y;
    level.moths = {near_moth, hidden};
    level.crystals = {Crystal{f.x - 16.0f, f.y + 8.0f, 0, 1, 0.2f, false},
                      Crystal{f.x + 32.0f, f.y, 0, 1, 0.2f, false}};
    const Level before = level;
    ASSERT_TRUE(level.light_burst());

    EXPECT_EQ(level.shades[0].flee_timer, 3.0f);
    EXPECT_EQ(level.shades[0].state, ShadeState::Flee);
    EXPECT_FLOAT_EQ(level.shades[0].vx, -140.0f);
    EXPECT_EQ(level.shades[0].vy, 0.0f);
    EXPECT_EQ(level.shades[1], before.shades[1]);
    EXPECT_EQ(level.shades[2].flee_timer, 5.0f);
    EXPECT_FLOAT_EQ(level.shades[2].vy, -140.0f);

    EXPECT_EQ(level.moths[0].stun_timer, 2.5f);
    EXPECT_FALSE(level.moths[0].near);
    EXPECT_FLOAT_EQ(level.moths[0].vy, 110.0f);
    EXPECT_EQ(level.moths[1], before.moths[1]);

    EXPECT_EQ(level.crystals[0].glow, 1.3f);
    EXPECT_EQ(level.crystals[1].glow, 0.2f);
}

TEST(LightBurst, EightyPixelsIsOutOfReach) {
    Level level = open_room(30, 5, 2, 2);
    Shade far;
    far.x = level.firefly_pos.x + 80.0f;
    far.y = level.firefly_pos.y;
    Shade close = far;
    close.x -= 0.5f;
    level.shades = {far, close};
    ASSERT_TRUE(level.light_burst());
    EXPECT_EQ(level.shades[0].flee_timer, 0.0f);
    EXPECT_EQ(level.shades[1].flee_timer, 3.0f);
}

}  // namespace
}  // namespace pyrelle
