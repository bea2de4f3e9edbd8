// The heads-up display of play: energy, burst, lanterns, companions, depth and message.
#include <algorithm>
#include <cmath>
#include <string>

#include "engine/text.hpp"
#include "game/screens.hpp"
#include "game/world.hpp"

namespace pyrelle {
namespace {

void draw_energy_bar(const Level& level, Canvas& canvas) {
    const float e = level.energy;
    canvas.fill_rect(5, 5, 64, 7, 0x0C0A12);
    canvas.rect_outline(5, 5, 64, 7, 0x504660);
    const float d = std::clamp(1.5f * e, 0.0f, 1.0f);
    std::uint32_t colour = rounded_rgb(230.0f + 25.0f * d, 80.0f + 145.0f * d, 50.0f + 60.0f * d);
    if (level.hurt_timer > 0.0f) {
        colour = 0xC83C8C;
    } else if (e < 0.25f && fraction(4.0f * level.time) < 0.5f) {
        colour = pack_rgb(red_of(colour) / 2, green_of(colour) / 2, blue_of(colour) / 2);
    }
    canvas.fill_rect(7, 7, saturating_i32(std::round(60.0f * e)), 3, colour);
}

void draw_burst_indicator(const Level& level, Canvas& canvas) {
    const float k = 1.0f - level.burst_cooldown / 3.0f;
    const std::uint32_t colour = k >= 1.0f ? 0xFFF0B4 : faded(150, 140, 120, 0.4f + 0.4f * k);
    const std::int32_t points[5][2] = {{72, 6}, {71, 7}, {72, 7}, {73, 7}, {72, 8}};
    for (const auto& p : points)
        canvas.set(p[0], p[1], colour);
}

void draw_lantern_row(const Level& level, Canvas& canvas) {
    for (std::size_t i = 0; i < level.lanterns.size(); ++i) {
        const std::int32_t x0 = 80 + 7 * static_cast<std::int32_t>(i);
        const bool lit = level.lanterns[i].lit;
        const std::uint32_t colour = lit ? 0xFFAA3C : 0x464050;
        canvas.fill_rect(x0 + 1, 5, 3, 1, colour);
        canvas.fill_rect(x0 + 1, 11, 3, 1, colour);
        canvas.fill_rect(x0, 6, 5, 5, colour);
        if (lit) {
            canvas.set(x0 + 2, 8, 0xFFF0B4);
        } else {
            canvas.fill_rect(x0 + 1, 7, 3, 3, 0x14121A);
        }
    }
}

void draw_companion_count(const Level& level, Canvas& canvas) {
    if (level.companions.empty()) return;
    const std::int32_t n = static_cast<std::int32_t>(level.lanterns.size());
    canvas.glow(0xFFD264, static_cast<float>(7 * n) + 88.5f, 8.5f, 4.0f, 0.9f);
    canvas.set(7 * n + 88, 8, 0xFFF5BE);
    draw_text(canvas, 7 * n + 94, 5, std::to_string(level.companions.size()), 0xF0DCA0, 1);
}

void draw_message(const Level& level, Canvas& canvas) {
    if (!level.message) return;
    const float a = std::clamp(level.message->time, 0.0f, 1.0f);
    const std::string_view text = level.message->text;
    std::int32_t lines = 1;
    std::int32_t widest = 0;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        widest = std::max(widest, text_width(text.substr(start, end - start), 1));
        if (end == std::string_view::npos) break;
        start = end + 1;
        ++lines;
    }
    canvas.blend_rect(156 - widest / 2, 166 - 10 * lines, widest + 8, 10 * lines + 5, 0x000000,
                      0.5f * a);
    const std::uint32_t colour = faded(240, 220, 170, a);
    std::int32_t j = 0;
    for (std::size_t start = 0;; ++j) {
        const std::size_t end = text.find('\n', start);
        draw_centred(canvas, 170 - 10 * (lines - j), text.substr(start, end - start), colour);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
}

}  // namespace

void draw_hud(const Level& level, Canvas& canvas) {
    draw_energy_bar(level, canvas);
    draw_burst_indicator(level, canvas);
    draw_lantern_row(level, canvas);
    draw_companion_count(level, canvas);
    draw_right_aligned(
        canvas, 5, "PROFONDEUR " + std::to_string(level.depth) + "/" + std::to_string(kSourceDepth),
        0x968CAA);
    draw_message(level, canvas);
}

}  // namespace pyrelle
