#include <gtest/gtest.h>

#include <vector>

#include "game/level_stages.hpp"

namespace pyrelle {
namespace {

TEST(EmitBurst, ThreeDrawsPerParticleInOrder) {
    std::vector<Particle> particles(2);
    Rng rng = Rng::seeded(77);
    Rng replay = rng;
    emit_burst(particles, rng, 5, 0x123456, 10.0f, 20.0f, 50.0f, 2.0f);
    ASSERT_EQ(particles.size(), 7u);
    for (std::size_t i = 2; i < particles.size(); ++i) {
        const Particle& p = particles[i];
        const double angle = 6.2831855 * replay.next_f32();
        const double speed = 15.0 + replay.next_f32() * 35.0;
        const double life = 1.0 + replay.next_f32() * 1.0;
        EXPECT_EQ(p.x, 10.0f);
        EXPECT_EQ(p.y, 20.0f);
        EXPECT_NEAR(p.vx, speed * std::cos(angle), 1e-4);
        EXPECT_NEAR(p.vy, speed * std::sin(angle), 1e-4);
        EXPECT_NEAR(p.life, life, 1e-6);
        EXPECT_EQ(p.life, p.max_life);
        EXPECT_EQ(p.colour, 0x123456u);
        EXPECT_EQ(p.gravity, -10.0f);
    }
    EXPECT_EQ(rng, replay);
}

}  // namespace
}  // namespace pyrelle
