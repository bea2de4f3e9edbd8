#include <algorithm>
#include <cmath>
#include <string>

#include "engine/text.hpp"
#include "game/biome.hpp"
#include "game/game.hpp"
#include "game/screens.hpp"

namespace pyrelle {
namespace {

float frac(float v) { return v - std::floor(v); }

std::uint32_t rounded_rgb(float r, float g, float b) {
    return pack_rgb(round_channel(r), round_channel(g), round_channel(b));
}

void draw_title(const Game& game, Canvas& canvas) {
    darken(canvas, 0.55f);
    const float pulse = 0.85f + 0.15f * std::sin(1.5f * game.total_time);
    const std::int32_t title_width = text_width("PYRELLE", 4);
    canvas.glow(0x5A4614, 160.0f, 52.0f, 0.7f * static_cast<float>(title_width), pulse);
    draw_text(canvas, 161 - title_width / 2, 39, "PYRELLE", 0x3C280A, 4);
    draw_centred(canvas, 38, "PYRELLE", faded(255, 225, 120, pulse), 4);
    draw_centred(canvas, 78, "Allume les lanternes. Ne t'éteins pas.", 0xBEAFC8);
    if (frac(1.6f * game.total_time) < 0.65f) {
        draw_centred(canvas, 104, "Entrée pour commencer", 0xFFEBAA);
    }
    draw_centred(canvas, 154, "ZQSD / flèches : voler    Espace : éclat", 0x786E87);
    draw_centred(canvas, 165, "M : son     Échap : quitter", 0x786E87);
    if (game.records.best_time) {
        if (game.night) {
            draw_centred(canvas, 91, "<  Nuit noire  >", 0xAA96E6);
        } else {
            draw_centred(canvas, 91, "<  Nuit claire  >", 0xC8B98C);
        }
    }
    const std::optional<float>& best = game.night ? game.records.best_time_night : game.records.best_time;
    std::string bottom;
    if (best) {
        bottom = "Source atteinte en " + format_time(*best);
    } else if (game.night) {
        bottom = "Moins de lumière, plus de dangers";
    } else if (game.records.best_depth > 1) {
        bottom = "Record : profondeur " + std::to_string(game.records.best_depth) + "/10";
    }
    if (!bottom.empty()) draw_centred(canvas, 120, bottom, 0xA08C5A);
}

void draw_energy_bar(const Level& level, Canvas& canvas) {
    const float e = level.energy;
    canvas.fill_rect(5, 5, 64, 7, 0x0C0A12);
    canvas.rect_outline(5, 5, 64, 7, 0x504660);
    const float d = std::clamp(1.5f * e, 0.0f, 1.0f);
    std::uint32_t colour = rounded_rgb(230.0f + 25.0f * d, 80.0f + 145.0f * d, 50.0f + 60.0f * d);
    if (level.hurt_timer > 0.0f) {
        colour = 0xC83C8C;
    } else if (e < 0.25f && frac(4.0f * level.time) < 0.5f) {
        colour = pack_rgb(red_of(colour) / 2, green_of(colour) / 2, blue_of(colour) / 2);
    }
    canvas.fill_rect(7, 7, saturating_i32(std::round(60.0f * e)), 3, colour);
}

void draw_burst_indicator(const Level& level, Canvas& canvas) {
    const float k = 1.0f - level.burst_cooldown / 3.0f;
    const std::uint32_t colour = k >= 1.0f ? 0xFFF0B4 : faded(150, 140, 120, 0.4f + 0.4f * k);
    const std::int32_t points[5][2] = {{72, 6}, {71, 7}, {72, 7}, {73, 7}, {72, 8}};
    for (const auto& p : points) canvas.set(p[0], p[1], colour);
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
    canvas.blend_rect(156 - widest / 2, 166 - 10 * lines, widest + 8, 10 * lines + 5, 0x000000, 0.5f * a);
    const std::uint32_t colour = faded(240, 220, 170, a);
    std::int32_t j = 0;
    for (std::size_t start = 0;; ++j) {
        const std::size_t end = text.find('\n', start);
        draw_centred(canvas, 170 - 10 * (lines - j), text.substr(start, end - start), colour);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
}

void draw_hud(const Level& level, Canvas& canvas) {
    draw_energy_bar(level, canvas);
    draw_burst_indicator(level, canvas);
    draw_lantern_row(level, canvas);
    draw_companion_count(level, canvas);
    draw_right_aligned(canvas, 5, "PROFONDEUR " + std::to_string(level.depth) + "/10", 0x968CAA);
    draw_message(level, canvas);
}

void draw_pause(const Game& game, Canvas& canvas) {
    draw_hud(game.level, canvas);
    darken(canvas, 0.4f);
    draw_centred(canvas, 56, "PAUSE", 0xFFE178, 3);
    draw_centred(canvas, 92, "Entrée : reprendre", 0xE6DCC8);
    draw_centred(canvas, 106, "Échap : retour au titre", 0xA096AF);
    draw_centred(canvas, 120, "M : son", 0xA096AF);
}

void draw_death(const Game& game, Canvas& canvas) {
    const float t = game.screen_timer;
    darken(canvas, std::clamp(1.0f - t / 1.2f, 0.15f, 1.0f));
    if (t > 0.6f) {
        const float c = std::min((t - 0.6f) / 0.6f, 1.0f);
        draw_centred(canvas, 86, "Ta lumière s'est éteinte...", faded(220, 190, 140, c));
    }
}

void draw_descent(const Game& game, Canvas& canvas) {
    const float t = game.screen_timer;
    darken(canvas, std::clamp(1.0f - t, 0.0f, 1.0f));
    if (!(t > 0.8f)) return;
    const std::uint32_t d = game.level.depth + 1;
    const float a = std::min((t - 0.8f) * 2.0f, 1.0f);
    const std::string banner = d == 10 ? "La Source" : "Profondeur " + std::to_string(d);
    draw_centred(canvas, 82, banner, faded(170, 210, 255, a), 2);
    const Biome next = biome_of_depth(d);
    if (t > 1.3f && d != 10 && next != game.level.biome) {
        draw_centred(canvas, 104, biome_name(next), faded(200, 190, 150, std::min((t - 1.3f) * 2.0f, 1.0f)));
    }
}

void draw_sound_notice(const Game& game, Canvas& canvas) {
    if (game.sound_notice == kNoSoundNotice) return;
    const float a = std::min(game.sound_notice_timer, 1.0f);
    const std::string_view text = game.sound_notice == kSoundMuted ? "Son coupé" : "Son rétabli";
    const std::int32_t w = text_width(text, 1);
    canvas.blend_rect(309 - w, 163, w + 6, 13, 0x000000, 0.6f * a);
    draw_text(canvas, 312 - w, 166, text, faded(230, 220, 200, a), 1);
}

}  // namespace

void draw_victory(const Game& game, Canvas& canvas);  // game_victory.cpp

void Game::render(Canvas& canvas) {
    renderer.render(level, canvas);
    switch (screen) {
        case Screen::Title: draw_title(*this, canvas); break;
        case Screen::Play:
            draw_hud(level, canvas);
            if (night) draw_right_aligned(canvas, 15, format_time(run_time), 0x9687C8);
            break;
        case Screen::Pause: draw_pause(*this, canvas); break;
        case Screen::Death: draw_death(*this, canvas); break;
        case Screen::Descent: draw_descent(*this, canvas); break;
        case Screen::Victory: draw_victory(*this, canvas); break;
    }
    draw_sound_notice(*this, canvas);
}

}  // namespace pyrelle
