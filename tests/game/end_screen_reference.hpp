#pragma once
// The end screen as the rules state it, pixel by pixel; the fast one is checked against it.
#include <algorithm>
#include <cmath>
#include <string>

#include "engine/canvas.hpp"
#include "engine/canvas_reference.hpp"
#include "game/game.hpp"
#include "game/screens.hpp"

namespace pyrelle::reference {

inline std::uint32_t rounded(float r, float g, float b) {
    return (round_channel(r) << 16) | (round_channel(g) << 8) | round_channel(b);
}

inline void end_screen(const Game& game, Canvas& canvas) {
    const float t = game.screen_timer;
    const float white[3] = {255.0f, 244.0f, 214.0f};
    if (t < 1.5f) {
        const float d = std::clamp(std::pow(t / 1.5f, 0.7f), 0.0f, 1.0f);
        for (std::uint32_t& p : canvas.pixels) {
            const float c[3] = {float(channel(p, 16)), float(channel(p, 8)), float(channel(p, 0))};
            p = rounded(c[0] + (white[0] - c[0]) * d, c[1] + (white[1] - c[1]) * d,
                        c[2] + (white[2] - c[2]) * d);
        }
    } else {
        const float a = std::clamp((t - 1.5f) / 2.5f, 0.0f, 1.0f);
        for (std::uint32_t y = 0; y < 180; ++y) {
            const float f = static_cast<float>(y) / 180.0f;
            const float base[3] = {std::round(8.0f + 28.0f * f), std::round(10.0f + 12.0f * f),
                                   std::round(30.0f + 24.0f * f)};
            const std::uint32_t ky = (y * 0xD8163841u) ^ 0x8B5344FDu;
            for (std::uint32_t x = 0; x < 320; ++x) {
                float c[3] = {base[0], base[1], base[2]};
                if (end_screen_mix((x * 0x8DA6B343u) ^ ky) % 400 == 0) {
                    const float s =
                        std::clamp(0.5f + 0.5f * std::sin(float(x) + 2.0f * t), 0.0f, 1.0f);
                    const float star[3] = {200.0f, 200.0f, 230.0f};
                    for (int k = 0; k < 3; ++k)
                        c[k] = std::round(base[k] + (star[k] - base[k]) * s);
                }
                canvas.pixels[x + y * 320] =
                    rounded(white[0] + (c[0] - white[0]) * a, white[1] + (c[1] - white[1]) * a,
                            white[2] + (c[2] - white[2]) * a);
            }
        }
        const std::uint32_t hill =
            rounded(255.0f - 249.0f * a, 244.0f - 236.0f * a, 214.0f - 200.0f * a);
        for (std::uint32_t x = 0; x < 320; ++x) {
            const float fx = static_cast<float>(x);
            int top =
                static_cast<int>(6.0f * std::sin(0.03f * fx) + 3.0f * std::sin(0.071f * fx)) + 156;
            const std::uint32_t cx = x * 0x8DA6B343u;
            if (end_screen_mix(cx ^ 0xF7857F9Bu) % 3 == 0)
                top -= 2 + static_cast<int>(end_screen_mix(cx ^ 0x2F9347DAu) & 3u);
            for (int y = std::max(top, 0); y < 180; ++y)
                canvas.pixels[x + static_cast<std::uint32_t>(y) * 320] = hill;
        }
        const int count = static_cast<int>(std::min(25.0f * (t - 1.5f), 90.0f));
        for (int i = 0; i < count; ++i) {
            const std::uint32_t ci = static_cast<std::uint32_t>(i) * 0x8DA6B343u;
            const auto r = [ci](std::uint32_t key) {
                return static_cast<float>(end_screen_mix(ci ^ key) % 1000) / 1000.0f;
            };
            const float g = (0.5f * r(0xB69F1BEC) + 0.3f) * t + 6.28f * r(0x8EF1C3AD);
            const float x = 320.0f * r(0x06B36B6E) + 18.0f * r(0x66EB8A6A) * std::cos(g);
            const float y =
                130.0f * r(0xDEA5532F) + 20.0f + 10.0f * r(0x3EDC722B) * std::sin(1.7f * g);
            const float b =
                ((0.5f * std::sin((2.0f * r(0x16363AE8) + 1.0f) * t + 6.28f * r(0xEE28E2A9)) +
                  0.5f) *
                     0.6f +
                 0.4f) *
                a;
            const int px = static_cast<int>(x), py = static_cast<int>(y);
            glow(canvas, 0x96C83C, float(px), float(py), 5.0f, b);
            canvas.add(px, py,
                       (clamp_channel(230.0f * b) << 16) | (clamp_channel(255.0f * b) << 8) |
                           clamp_channel(150.0f * b));
        }
    }
    if (t > 4.0f) {
        const float f = std::min(t - 4.0f, 1.0f);
        for (int j = 14; j <= 125; ++j) {
            const float g = static_cast<float>(j - 70) / 56.0f;
            blend_rect(canvas, 0, j, 320, 1, 0x080818, (1.0f - g * g) * 0.5f * f);
        }
        draw_centred(canvas, 30, "Tu as retrouvé les tiennes.",
                     rounded(20.0f + 235.0f * f, 16.0f + 219.0f * f, 42.0f + 128.0f * f));
    }
    if (t > 5.5f) {
        const float h = std::min(t - 5.5f, 1.0f);
        const std::uint32_t c = rounded(20.0f + 170.0f * h, 16.0f + 164.0f * h, 42.0f + 168.0f * h);
        draw_centred(canvas, 62,
                     "Temps : " + format_time(game.run_time) + (game.night ? " (Nuit noire)" : ""),
                     c);
        draw_centred(canvas, 74, "Extinctions : " + std::to_string(game.extinctions), c);
        draw_centred(canvas, 86, "Pollen butiné : " + std::to_string(game.pollen_total), c);
        draw_centred(canvas, 98,
                     "Pyrelles retrouvées : " + std::to_string(game.companions_following) + "/8",
                     c);
    }
    if (game.new_record && t > 6.5f) {
        const float l = std::min(t - 6.5f, 1.0f);
        draw_centred(canvas, 116, "Nouveau record !",
                     rounded(20.0f + 235.0f * l, 16.0f + 184.0f * l, 42.0f + 48.0f * l));
    }
    if (t > 7.5f && 1.6f * t - std::floor(1.6f * t) < 0.65f)
        draw_centred(canvas, 166, "Entrée : retour au titre", 0x968CA0);
}

}  // namespace pyrelle::reference
