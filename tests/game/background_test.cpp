#include "game/background.hpp"

#include <gtest/gtest.h>

#include <random>

#include "game/background_reference.hpp"
#include "game/generate.hpp"

namespace pyrelle {
namespace {

// Every pixel of the world rectangle that lies on the background, against the literal rule.
void expect_matches(const Background& b, const Level& level, std::int32_t x, std::int32_t y,
                    std::int32_t w, std::int32_t h, const char* what) {
    for (std::int32_t py = std::max(y, 0); py < std::min<std::int64_t>(y + h, b.canvas.height);
         ++py) {
        for (std::int32_t px = std::max(x, 0); px < std::min<std::int64_t>(x + w, b.canvas.width);
             ++px) {
            ASSERT_EQ(b.canvas.get(px, py), reference::background_pixel(level, px, py))
                << what << " depth " << level.depth << " at " << px << "," << py;
        }
    }
}

TEST(Background, WholeCaveMatchesThePixelByPixelTexture) {
    for (std::uint32_t depth : {1u, 4u, 7u, 10u}) {
        const Level level = generate_level(depth, 99 + depth);
        Background b;
        b.reset(level);
        ASSERT_EQ(b.canvas.width, static_cast<std::uint32_t>(level.cave.width) * 8);
        ASSERT_EQ(b.canvas.height, static_cast<std::uint32_t>(level.cave.height) * 8);
        b.paint(level, 0, 0, static_cast<std::int32_t>(b.canvas.width),
                static_cast<std::int32_t>(b.canvas.height));
        expect_matches(b, level, 0, 0, static_cast<std::int32_t>(b.canvas.width),
                       static_cast<std::int32_t>(b.canvas.height), "whole");
    }
}

// One background serves several levels in turn, painted a view at a time along a camera
// that jumps and creeps, partly off the cave at times: what a view shows is always the
// texture of the current level, never a block of an earlier one or an unpainted one.
TEST(Background, ViewsAlongACameraWalkShowTheCurrentLevelOnly) {
    std::mt19937 gen(2024);
    Background b;
    for (const auto& [depth, seed] : {std::pair{10u, 5u}, std::pair{2u, 8u}, std::pair{8u, 3u}}) {
        const Level level = generate_level(depth, seed);
        b.reset(level);
        const std::int32_t w = level.cave.width * 8, h = level.cave.height * 8;
        std::uniform_int_distribution<std::int32_t> jump_x(-40, w - 280), jump_y(-40, h - 140);
        std::uniform_int_distribution<std::int32_t> creep(-9, 9);
        std::int32_t x = jump_x(gen), y = jump_y(gen);
        for (int view = 0; view < 8; ++view) {
            if (view % 3 == 0) {
                x = jump_x(gen);
                y = jump_y(gen);
            } else {
                x += creep(gen);
                y += creep(gen);
            }
            b.paint(level, x, y, 320, 180);
            expect_matches(b, level, x, y, 320, 180, "view");
        }
    }
}

}  // namespace
}  // namespace pyrelle
