#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "game/fixtures.hpp"
#include "game/level.hpp"

namespace pyrelle {
namespace {

using fixtures::kDt;
using fixtures::open_room;

Lantern lantern_at(float x, float y, bool lit = false) {
    return Lantern{x, y, 0.0f, lit};
}

std::size_t particles_from(const Level& level, float x, float y) {
    return static_cast<std::size_t>(
        std::count_if(level.particles.begin(), level.particles.end(),
                      [&](const Particle& p) { return p.x == x && p.y == y; }));
}

TEST(LevelUpdate, TwoLanternsInOneFrameGiveOneBurstOneSoundOneMessage) {
    Level level = open_room(40, 20, 10, 10);
    const Vec2 f = level.firefly_pos;
    level.lanterns = {lantern_at(f.x + 5.0f, f.y), lantern_at(f.x - 5.0f, f.y),
                      lantern_at(f.x + 200.0f, f.y)};
    // Keep the firefly still so the burst positions are the lanterns' own.
    level.update(0.0f, 0.0f, kDt);
    EXPECT_TRUE(level.lanterns[0].lit);
    EXPECT_TRUE(level.lanterns[1].lit);
    EXPECT_FALSE(level.lanterns[2].lit);
    EXPECT_EQ(level.sound_events, std::vector<SoundEvent>{SoundEvent::LanternLit});
    ASSERT_TRUE(level.message.has_value());
    EXPECT_EQ(level.message->text, "Plus qu'une lanterne");
    EXPECT_EQ(level.message->time, 2.5f);
    EXPECT_EQ(particles_from(level, f.x - 5.0f, f.y), 30u);  // the later one in the list
    EXPECT_EQ(particles_from(level, f.x + 5.0f, f.y), 0u);
}

TEST(LevelUpdate, LanternMessagesCountWhatIsLeft) {
    struct Case {
        int unlit_after;
        std::uint32_t depth;
        const char* text;
        float time;
        SoundEvent sound;
    };
    const Case cases[] = {
        {3, 1, "Encore 3 lanternes", 2.5f, SoundEvent::LanternLit},
        {2, 1, "Encore 2 lanternes", 2.5f, SoundEvent::LanternLit},
        {1, 1, "Plus qu'une lanterne", 2.5f, SoundEvent::LanternLit},
        {0, 9, "La faille est ouverte !", 4.0f, SoundEvent::LastLantern},
        {0, 10, "La Source s'éveille !", 4.0f, SoundEvent::LastLantern},
        {0, 4000000000u, "La Source s'éveille !", 4.0f, SoundEvent::LastLantern},
    };
    for (const Case& c : cases) {
        Level level = open_room(60, 20, 10, 10);
        level.depth = c.depth;
        const Vec2 f = level.firefly_pos;
        level.lanterns = {lantern_at(f.x + 3.0f, f.y)};
        for (int i = 0; i < c.unlit_after; ++i)
            level.lanterns.push_back(lantern_at(f.x + 100.0f + 60.0f * i, f.y));
        level.message = Message{"old", 1.0f};
        level.update(0.0f, 0.0f, kDt);
        EXPECT_EQ(level.sound_events, std::vector<SoundEvent>{c.sound}) << c.text;
        ASSERT_TRUE(level.message.has_value());
        EXPECT_EQ(level.message->text, c.text);
        EXPECT_EQ(level.message->time, c.time);
    }
}

TEST(LevelUpdate, ExitOpensOnlyOnceEveryLanternIsLit) {
    Level level = open_room(60, 20, 10, 10);
    const Vec2 f = level.firefly_pos;
    level.lanterns = {lantern_at(f.x + 3.0f, f.y), lantern_at(f.x + 300.0f, f.y)};
    level.exit_pos = {f.x + 1.0f, f.y};
    for (int i = 0; i < 120; ++i)
        EXPECT_EQ(level.update(0.0f, 0.0f, kDt), UpdateOutcome::Continue);
    EXPECT_EQ(level.exit_progress, 0.0f);
    level.lanterns[1].lit = true;
    // 0.6 per second: full after 1/0.6 s = 100 frames; reached (closer than 10 px) then.
    int frames = 0;
    UpdateOutcome outcome = UpdateOutcome::Continue;
    while (outcome == UpdateOutcome::Continue && frames < 200) {
        outcome = level.update(0.0f, 0.0f, kDt);
        ++frames;
        if (outcome != UpdateOutcome::Continue) break;
        EXPECT_NEAR(level.exit_progress, std::min(frames * 0.6 * kDt, 1.0), 1e-4);
    }
    EXPECT_EQ(outcome, UpdateOutcome::ExitReached);
    EXPECT_NEAR(frames, 100, 1);
    EXPECT_EQ(level.exit_progress, 1.0f);
}

TEST(LevelUpdate, ExitReachDependsOnDepth) {
    struct Case {
        std::uint32_t depth;
        float offset;
        UpdateOutcome want;
    };
    const Case cases[] = {{9, 9.5f, UpdateOutcome::ExitReached},
                          {9, 10.5f, UpdateOutcome::Continue},
                          {10, 13.5f, UpdateOutcome::ExitReached},
                          {10, 14.5f, UpdateOutcome::Continue}};
    for (const Case& c : cases) {
        Level level = open_room(20, 20, 10, 10);
        level.depth = c.depth;
        level.exit_progress = 1.0f;
        level.exit_pos = {level.firefly_pos.x + c.offset, level.firefly_pos.y};
        EXPECT_EQ(level.update(0.0f, 0.0f, kDt), c.want) << c.depth << " " << c.offset;
    }
}

TEST(LevelUpdate, NoLanternsMeansTheExitOpensAtOnce) {
    Level level = open_room(20, 20, 10, 10);
    level.exit_pos = {8.0f, 8.0f};
    level.update(0.0f, 0.0f, 0.1f);
    EXPECT_FLOAT_EQ(level.exit_progress, 0.06f);
}

TEST(LevelUpdate, ExitSparksRiseFromBelowTheExit) {
    int sparks = 0;
    for (std::uint64_t seed = 0; seed < 30; ++seed) {
        Level level = open_room(20, 20, 2, 2);
        level.depth = 10;
        level.exit_pos = {100.0f, 100.0f};
        level.rng = Rng::seeded(seed);
        level.update(0.0f, 0.0f, kDt);
        for (const Particle& p : level.particles) {
            if (p.colour != 0xC8B46Eu) continue;
            ++sparks;
            EXPECT_EQ(p.y, 106.0f);
            EXPECT_GE(p.x, 97.0f);
            EXPECT_LT(p.x, 103.0f);
            EXPECT_EQ(p.vy, -12.0f);
            EXPECT_EQ(p.gravity, -15.0f);
            EXPECT_EQ(p.life, 1.2f);
        }
    }
    EXPECT_GT(sparks, 3);  // about 40 % of 30
    EXPECT_LT(sparks, 25);
}

TEST(LevelUpdate, DeathWinsOverTheLastLantern) {
    Level level = open_room(20, 20, 10, 10);
    const Vec2 f = level.firefly_pos;
    level.lanterns = {lantern_at(f.x + 3.0f, f.y)};
    level.energy = 0.05f;
    Shade shade;
    shade.x = f.x - 5.0f;
    shade.y = f.y;
    level.shades = {shade};
    const std::size_t particles_before = level.particles.size();
    EXPECT_EQ(level.update(0.0f, 0.0f, kDt), UpdateOutcome::Died);
    EXPECT_TRUE(level.lanterns[0].lit);
    EXPECT_EQ(level.energy, 0.0f);
    EXPECT_EQ(level.sound_events,
              (std::vector<SoundEvent>{SoundEvent::LastLantern, SoundEvent::ShadeHit}));
    EXPECT_EQ(level.exit_progress, 0.0f);
    EXPECT_GE(level.particles.size(), particles_before + 30 + 14 + 40);
}

TEST(LevelUpdate, EnergyAboveOneIsCut) {
    Level level = open_room(20, 20, 10, 10);
    fixtures::keep_exit_closed(level);
    level.pollen = {PollenGrain{level.firefly_pos.x + 2.0f, level.firefly_pos.y, 0.0f, true}};
    level.update(0.0f, 0.0f, kDt);
    EXPECT_FALSE(level.pollen[0].present);
    EXPECT_EQ(level.energy, 1.0f);
    EXPECT_EQ(level.sound_events, std::vector<SoundEvent>{SoundEvent::Pollen});
}

TEST(LevelUpdate, PollenIsWorthLessWithMothsNear) {
    struct Case {
        int near;
        double factor;
    };
    for (const Case& c : {Case{0, 1.0}, Case{1, 0.75}, Case{2, 0.5}, Case{5, 0.25}}) {
        Level level = open_room(60, 20, 5, 5);
        fixtures::keep_exit_closed(level);
        level.energy = 0.5f;
        const Vec2 f = level.firefly_pos;
        level.pollen = {PollenGrain{f.x + 7.5f, f.y, 0.0f, true},
                        PollenGrain{f.x + 8.5f, f.y, 0.0f, true}};  // out of reach
        // Moths flagged near last frame but far off now: they gain no new flag or drain.
        for (int i = 0; i < c.near; ++i) {
            Moth m;
            m.x = 400.0f;
            m.y = 60.0f + 8.0f * i;
            m.near = true;
            m.stun_timer = 1.0f;  // stunned: after their own step they are not near
            level.moths.push_back(m);
        }
        level.update(0.0f, 0.0f, kDt);
        const double drain = 0.026 * kDt;
        EXPECT_NEAR(level.energy, 0.5 - drain + 0.08 * c.factor, 1e-6) << c.near;
        EXPECT_FALSE(level.pollen[0].present);
        EXPECT_TRUE(level.pollen[1].present);
        // Ten sparks of the grain, four more per near moth flying toward it.
        std::size_t green = 0, to_moths = 0;
        for (const Particle& p : level.particles) {
            if (p.colour != 0x8CDC46u) continue;
            ++green;
            if (p.gravity == 0.0f) {
                ++to_moths;
                EXPECT_EQ(p.life, 0.35f);
                EXPECT_GT(p.vx, (400.0f - (f.x + 7.5f)) * 3.0f - 6.0f);
            }
        }
        EXPECT_EQ(to_moths, 4u * c.near);
        EXPECT_EQ(green, 10u + 4u * c.near);
    }
}

TEST(LevelUpdate, NearbyLitLanternsFeedTheFirefly) {
    Level level = open_room(60, 20, 20, 10);
    const Vec2 f = level.firefly_pos;
    level.lanterns = {lantern_at(f.x + 43.0f, f.y, true), lantern_at(f.x - 30.0f, f.y, true),
                      lantern_at(f.x, f.y + 45.0f, true), lantern_at(f.x + 300.0f, f.y)};
    level.energy = 0.5f;
    level.update(0.0f, 0.0f, 0.1f);
    EXPECT_NEAR(level.energy, 0.5 - 0.026 * 0.1 + 2 * 0.22 * 0.1, 1e-6);
}

TEST(LevelUpdate, MessageCountsDownAndGoes) {
    Level level = open_room(20, 20, 10, 10);
    fixtures::keep_exit_closed(level);
    level.message = Message{"Allume les lanternes", 0.05f};
    level.update(0.0f, 0.0f, 0.02f);
    ASSERT_TRUE(level.message.has_value());
    EXPECT_FLOAT_EQ(level.message->time, 0.03f);
    level.update(0.0f, 0.0f, 0.02f);
    level.update(0.0f, 0.0f, 0.02f);
    EXPECT_FALSE(level.message.has_value());
}

TEST(LevelUpdate, LostCompanionJoinsAndFollowsTheTrail) {
    Level level = open_room(60, 20, 10, 10);
    fixtures::keep_exit_closed(level);
    const Vec2 f = level.firefly_pos;
    level.lost_companion = LostCompanion{f.x + 8.5f, f.y, 1.0f};
    Rng probe = level.rng;
    level.update(0.0f, 0.0f, kDt);
    ASSERT_FALSE(level.lost_companion.has_value());
    ASSERT_EQ(level.companions.size(), 1u);
    EXPECT_EQ(level.sound_events, std::vector<SoundEvent>{SoundEvent::CompanionJoined});
    ASSERT_TRUE(level.message.has_value());
    EXPECT_EQ(level.message->text, "Une pyrelle égarée te rejoint !");
    EXPECT_EQ(level.message->time, 3.0f);
    EXPECT_EQ(particles_from(level, f.x + 8.5f, f.y), 24u);
    // The phase is the first draw after the firefly's spark draws (one, or three).
    const float u = probe.next_f32();
    if (0.35f > u) {
        probe.next_f32();
        probe.next_f32();
    }
    EXPECT_EQ(level.companions[0].phase, 6.28f * probe.next_f32());
}

TEST(LevelUpdate, CompanionsFollowTenFramesApartOnATrailOfBoundedLength) {
    Level level = open_room(200, 10, 3, 5);
    fixtures::keep_exit_closed(level);
    for (int k = 0; k < 3; ++k)
        level.companions.push_back(
            Companion{level.firefly_pos.x, level.firefly_pos.y, 1.9f * static_cast<float>(k)});
    std::vector<Vec2> history;
    for (int i = 0; i < 80; ++i) {
        level.update(1.0f, 0.0f, kDt);
        history.insert(history.begin(), level.firefly_pos);
        ASSERT_EQ(level.trail.size(), std::min<std::size_t>(history.size(), 41));
    }
    for (std::size_t i = 0; i < level.trail.size(); ++i)
        EXPECT_EQ(level.trail[i], history[i]) << i;
    // One more frame: the third companion steers toward the position 30 frames back.
    const Companion before = level.companions[2];
    level.update(1.0f, 0.0f, kDt);
    const Vec2 spot = level.trail[30];
    const float t = level.time;
    const float tx = spot.x + 3.0f * std::sin(before.phase + 3.0f * t);
    const float ty = spot.y + 2.0f * std::cos(before.phase + 2.3f * t);
    const float k = 1.0f - std::pow(0.002f, kDt);
    EXPECT_NEAR(level.companions[2].x, before.x + (tx - before.x) * k, 1e-3);
    EXPECT_NEAR(level.companions[2].y, before.y + (ty - before.y) * k, 1e-3);
    EXPECT_EQ(level.trail[30], history[29]);
}

TEST(LevelUpdate, SplashAtMostEveryPointEightSecondsButRipplesEveryEntry) {
    std::vector<std::string> rows(12, std::string(30, '.'));
    for (int y = 2; y <= 9; ++y)
        for (int x = 12; x <= 25; ++x)
            rows[y][x] = '~';
    rows[6][5] = 'F';
    Level level = fixtures::level_from(rows);
    fixtures::keep_exit_closed(level);
    const Vec2 dry = level.firefly_pos;
    const Vec2 wet = fixtures::centre_of(18, 6);
    auto splashes = [&] {
        return std::count(level.sound_events.begin(), level.sound_events.end(), SoundEvent::Splash);
    };
    level.firefly_pos = wet;
    level.update(0.0f, 0.0f, kDt);
    EXPECT_TRUE(level.in_water);
    EXPECT_EQ(splashes(), 1);
    EXPECT_EQ(level.ripples.size(), 1u);  // ripple timer reset to 0, so one at once
    EXPECT_EQ(level.splash_cooldown, 0.8f);
    level.sound_events.clear();
    level.firefly_pos = dry;
    level.update(0.0f, 0.0f, kDt);
    EXPECT_FALSE(level.in_water);
    level.firefly_pos = wet;
    level.update(0.0f, 0.0f, kDt);
    EXPECT_TRUE(level.in_water);
    EXPECT_EQ(splashes(), 0);             // within 0.8 s of the first
    EXPECT_EQ(level.ripples.size(), 2u);  // but a ripple at once all the same
}

TEST(LevelUpdate, RipplesComeFasterTheFasterTheFireflyFlies) {
    struct Case {
        float start_speed;  // set again before every frame
        float input;
        float want_speed;  // once the frame's velocity step has run
        float interval;    // 0.55 - 0.3 x speed / 90
    };
    const Case cases[] = {
        {0.0f, 0.0f, 0.0f, 0.55f},
        {200.0f, 1.0f, 90.0f, 0.25f},                        // held: capped at full speed
        {45.0f / std::pow(0.003f, kDt), 0.0f, 45.0f, 0.4f},  // coasting down to 45
    };
    for (const Case& c : cases) {
        std::vector<std::string> rows(12, std::string(30, '~'));
        rows[6][15] = 'F';
        Level level = fixtures::level_from(rows);
        fixtures::keep_exit_closed(level);
        const Vec2 spot = level.firefly_pos;
        std::vector<int> spawn_frames;
        for (int frame = 0; frame < 200; ++frame) {
            level.firefly_pos = spot;
            level.firefly_vel = {c.start_speed, 0.0f};
            level.update(c.input, 0.0f, kDt);
            ASSERT_NEAR(level.firefly_vel.x, c.want_speed, 1e-3f) << c.want_speed;
            // Ripples age before new ones are added, so a new one has age 0 after the frame.
            if (!level.ripples.empty() && level.ripples.back().age == 0.0f)
                spawn_frames.push_back(frame);
        }
        ASSERT_GE(spawn_frames.size(), 4u) << c.want_speed;
        for (std::size_t i = 1; i < spawn_frames.size(); ++i) {
            EXPECT_NEAR((spawn_frames[i] - spawn_frames[i - 1]) * kDt, c.interval, kDt + 1e-6)
                << c.want_speed;
        }
        // Ripples fade after 1.3 s.
        EXPECT_LE(level.ripples.size(), static_cast<std::size_t>(1.3f / c.interval) + 1)
            << c.want_speed;
    }
}

TEST(LevelUpdate, CrystalsGlowUpFastFadeSlowlyAndChimeWhenTheyLight) {
    struct Case {
        const char* what;
        bool by_the_firefly;  // in its light; otherwise far out of it, in the dark
        float dt;
        float glow;
        bool lit;
        bool want_lit;
        bool chime;
    };
    const Case cases[] = {
        {"rises fast, stays unlit below 0.5", true, 0.05f, 0.0f, false, false, false},
        {"rises past 0.5: lights and chimes", true, 0.1f, 0.0f, false, true, true},
        {"just past 0.5 in one frame", true, kDt, 0.45f, false, true, true},
        {"an unlit crystal above 0.5 lights even while fading", false, 0.1f, 0.6f, false, true,
         true},
        {"already lit: no second chime", true, 0.1f, 0.6f, true, true, false},
        {"fades slowly, still lit above 0.15", false, 0.1f, 1.0f, true, true, false},
        {"still lit just above 0.15", false, 0.1f, 0.16f, true, true, false},
        {"below 0.15 goes out", false, 0.1f, 0.155f, true, false, false},
    };
    for (const Case& c : cases) {
        Level level = open_room(40, 20, 10, 10);
        fixtures::keep_exit_closed(level);
        level.exit_pos = {300.0f, 150.0f};
        const Vec2 f = level.firefly_pos;
        const Vec2 at = c.by_the_firefly ? f : Vec2{f.x + 150.0f, f.y};
        level.crystals = {Crystal{at.x, at.y, 0.0f, 1.0f, c.glow, c.lit}};
        level.update(0.0f, 0.0f, c.dt);
        // Only the firefly's light reaches: at its own position its full intensity, with the
        // energy left after the depth-1 drain and the flicker at the frame's time.
        const float energy = 1.0f - 0.026f * c.dt;
        const float light = c.by_the_firefly
                                ? (1.0f + 0.03f * std::sin(13.0f * c.dt)) * (0.75f + 0.6f * energy)
                                : 0.0f;
        const float target = std::min(light, 1.5f);
        const float rate = target > c.glow ? -6.0f : -0.5f;
        const float want = c.glow + (1.0f - std::exp(rate * c.dt)) * (target - c.glow);
        EXPECT_NEAR(level.crystals[0].glow, want, 1e-5f) << c.what;
        EXPECT_EQ(level.crystals[0].lit, c.want_lit) << c.what;
        const auto chimes = std::count(level.sound_events.begin(), level.sound_events.end(),
                                       SoundEvent::CrystalChime);
        EXPECT_EQ(chimes, c.chime ? 1 : 0) << c.what;
    }
}

TEST(LevelUpdate, WaterHysteresis) {
    // A lake edge: sample the water at positions across it.
    std::vector<std::string> rows(10, std::string(20, '.'));
    for (int y = 0; y < 10; ++y)
        for (int x = 10; x < 20; ++x)
            rows[y][x] = '~';
    Level level = fixtures::level_from(rows);
    fixtures::keep_exit_closed(level);
    // Water level per column (interior rows): x <= 8: 0, x = 9: 4/16, x = 10: 12/16, x >= 11: 1.
    // Between column centres 9 and 10 the sample climbs from 0.25 to 0.75.
    auto at = [&](float x) {
        level.firefly_pos = {x, 40.0f};
        level.firefly_vel = {};
        level.update(0.0f, 0.0f, kDt);
        return level.in_water;
    };
    EXPECT_FALSE(at(76.0f));  // column 9 centre: 0.25
    EXPECT_FALSE(at(80.0f));  // 0.5: not above 0.6
    EXPECT_TRUE(at(82.0f));   // 0.625 enters
    EXPECT_TRUE(at(79.0f));   // 0.4375 stays (above 0.4)
    EXPECT_FALSE(at(78.0f));  // 0.375 leaves
    EXPECT_FALSE(at(81.0f));  // 0.5625: not enough to enter again
}

TEST(LevelUpdate, ParticlesAgeAndVanishInOrder) {
    Level level = open_room(20, 20, 10, 10);
    fixtures::keep_exit_closed(level);
    level.particles = {Particle{10, 10, 10, 0, 0.05f, 1, 1, 0},
                       Particle{20, 20, 0, 0, 0.01f, 1, 2, 0},
                       Particle{30, 30, 0, 5, 1.0f, 1, 3, -20}};
    level.tick(0.02f);
    ASSERT_EQ(level.particles.size(), 2u);
    EXPECT_EQ(level.particles[0].colour, 1u);
    EXPECT_EQ(level.particles[1].colour, 3u);
    const double drag = std::pow(0.15, 0.02);
    EXPECT_NEAR(level.particles[0].vx, 10 * drag, 1e-5);
    EXPECT_NEAR(level.particles[0].x, 10 + 10 * drag * 0.02, 1e-5);
    EXPECT_NEAR(level.particles[1].vy, (5 - 20 * 0.02) * drag, 1e-5);
    EXPECT_NEAR(level.particles[1].y, 30 + (5 - 20 * 0.02) * drag * 0.02, 1e-5);
    EXPECT_FLOAT_EQ(level.particles[0].life, 0.03f);
}

TEST(LevelUpdate, TickEasesTheCameraAndGrowsLitLanternGlow) {
    Level level = open_room(100, 60, 50, 30);  // 102 x 62 cells: room to move the view
    level.camera = {0.0f, 0.0f};
    level.lanterns = {lantern_at(0, 0, true), lantern_at(0, 0, false)};
    level.lanterns[0].glow = 0.9f;
    level.tick(0.5f);
    const Vec2 f = level.firefly_pos;  // (404, 244)
    const double ease = std::pow(0.02, 0.5);
    EXPECT_NEAR(level.camera.x, (f.x - 160) * (1 - ease), 1e-3);
    EXPECT_NEAR(level.camera.y, (f.y - 90) * (1 - ease), 1e-3);
    EXPECT_EQ(level.lanterns[0].glow, 1.0f);  // capped
    EXPECT_EQ(level.lanterns[1].glow, 0.0f);
    EXPECT_EQ(level.time, 0.5f);
    // Near the cave's corner the target is clamped into the cave.
    level.firefly_pos = {5.0f, 5.0f};
    level.camera = {0.0f, 0.0f};
    level.tick(1.0f);
    EXPECT_EQ(level.camera.x, 0.0f);
    EXPECT_EQ(level.camera.y, 0.0f);
    level.firefly_pos = {2000.0f, 2000.0f};
    level.camera = {102 * 8 - 320.0f, 62 * 8 - 180.0f};
    level.tick(1.0f);
    EXPECT_EQ(level.camera.x, 102 * 8 - 320.0f);
    EXPECT_EQ(level.camera.y, 62 * 8 - 180.0f);
}

TEST(LevelUpdate, DistanceFieldRefreshesEveryPointThreeSecondsWhenSomethingHunts) {
    Level level = open_room(30, 10, 3, 5);
    fixtures::keep_exit_closed(level);
    Moth m;
    m.x = 200.0f;
    m.y = 40.0f;
    level.moths = {m};
    level.distance_timer = 0.0f;
    level.update(1.0f, 0.0f, kDt);
    EXPECT_EQ(level.distance_timer, 0.3f);
    const Cell c = cell_of(level.firefly_pos);
    EXPECT_EQ(level.distance, distance_field(level.cave, c.x, c.y));
    // Flying right: every refresh floods from the cell the firefly is in at that frame.
    std::vector<int> refresh_frames;
    for (int frame = 1; frame <= 60; ++frame) {
        const float timer_before = level.distance_timer;
        level.update(1.0f, 0.0f, kDt);
        if (level.distance_timer <= timer_before) continue;
        refresh_frames.push_back(frame);
        const Cell now = cell_of(level.firefly_pos);
        EXPECT_EQ(level.distance, distance_field(level.cave, now.x, now.y)) << frame;
    }
    ASSERT_GE(refresh_frames.size(), 2u);
    for (std::size_t i = 0; i < refresh_frames.size(); ++i) {
        const int gap = refresh_frames[i] - (i == 0 ? 0 : refresh_frames[i - 1]);
        EXPECT_NEAR(gap * kDt, 0.3, kDt + 1e-6) << i;
    }
}

}  // namespace
}  // namespace pyrelle
