#include <algorithm>
#include <cmath>
#include <string>

#include "engine/float_math.hpp"
#include "engine/text.hpp"
#include "game/biome.hpp"
#include "game/daily_records.hpp"
#include "game/game.hpp"
#include "game/screens.hpp"
#include "game/world.hpp"

namespace pyrelle {
namespace {

// "Caverne du 11/12/2026", with the day's best time of the mode once there is one.
std::string daily_line(const Game& game) {
    std::string line = "Caverne du " + format_date(*game.daily_date);
    const std::optional<float>& best =
        game.night ? game.daily.best_time_night : game.daily.best_time;
    if (best) line += " : " + format_time(*best);
    return line;
}

void draw_title(const Game& game, Canvas& canvas) {
    darken(canvas, 0.55f);
    const float pulse = 0.85f + 0.15f * fmath::sin(1.5f * game.total_time);
    const std::int32_t title_width = text_width("PYRELLE", 4);
    canvas.glow(0x5A4614, 160.0f, 52.0f, 0.7f * static_cast<float>(title_width), pulse);
    draw_text(canvas, 161 - title_width / 2, 39, "PYRELLE", 0x3C280A, 4);
    draw_centred(canvas, 38, "PYRELLE", faded(255, 225, 120, pulse), 4);
    draw_centred(canvas, 78, "Allume les lanternes. Ne t'éteins pas.", 0xBEAFC8);
    if (fraction(1.6f * game.total_time) < 0.65f) {
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
    const std::optional<float>& best =
        game.night ? game.records.best_time_night : game.records.best_time;
    std::string bottom;
    if (best) {
        bottom = "Source atteinte en " + format_time(*best);
    } else if (game.night) {
        bottom = "Moins de lumière, plus de dangers";
    } else if (game.records.best_depth > 1) {
        bottom = "Record : profondeur " + std::to_string(game.records.best_depth) + "/" +
                 std::to_string(kSourceDepth);
    }
    if (!bottom.empty()) draw_centred(canvas, 120, bottom, 0xA08C5A);
    if (game.daily_date) draw_centred(canvas, 132, daily_line(game), 0x8CA0BE);
}

void draw_pause(const Game& game, Canvas& canvas) {
    draw_hud(game.level, canvas);
    darken(canvas, 0.4f);
    draw_centred(canvas, 56, "PAUSE", 0xFFE178, 3);
    draw_centred(canvas, 92, "Entrée : reprendre", 0xE6DCC8);
    draw_centred(canvas, 106, "Échap : retour au titre", 0xA096AF);
    draw_centred(canvas, 120, "M : son", 0xA096AF);
}

}  // namespace

void draw_replay_pause(Canvas& canvas) {
    darken(canvas, 0.4f);
    draw_centred(canvas, 56, "PAUSE", 0xFFE178, 3);
    draw_centred(canvas, 92, "Entrée : reprendre la relecture", 0xE6DCC8);
    draw_centred(canvas, 106, "Échap : fin de la relecture", 0xA096AF);
}

namespace {

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
    const std::string banner = d == kSourceDepth ? "La Source" : "Profondeur " + std::to_string(d);
    draw_centred(canvas, 82, banner, faded(170, 210, 255, a), 2);
    const Biome next = biome_of_depth(d);
    if (t > 1.3f && d != kSourceDepth && next != game.level.biome) {
        draw_centred(canvas, 104, biome_name(next),
                     faded(200, 190, 150, std::min((t - 1.3f) * 2.0f, 1.0f)));
    }
    if (const std::optional<float> split = game.ghost.shown_split()) {
        const std::uint32_t colour = split_colour(*split, game.night);
        draw_centred(canvas, 120, split_text(*split),
                     faded(static_cast<float>(red_of(colour)), static_cast<float>(green_of(colour)),
                           static_cast<float>(blue_of(colour)), a));
    }
}

std::string notice_text(const Game& game) {
    switch (game.sound_notice) {
        case kVolumeNotice:
            return "Volume : " + std::to_string(game.volume) + " %";
        case kSoundMuted:
            return "Son coupé";
        case kGhostShown:
            return "Fantôme affiché";
        case kGhostHidden:
            return "Fantôme masqué";
        default:
            return "Son rétabli";
    }
}

void draw_sound_notice(const Game& game, Canvas& canvas) {
    if (game.sound_notice == kNoSoundNotice) return;
    const float a = std::min(game.sound_notice_timer, 1.0f);
    const std::string text = notice_text(game);
    const std::int32_t w = text_width(text, 1);
    canvas.blend_rect(309 - w, 163, w + 6, 13, 0x000000, 0.6f * a);
    draw_text(canvas, 312 - w, 166, text, faded(230, 220, 200, a), 1);
}

}  // namespace

void Game::render(Canvas& canvas) {
    // From 1.5 s on the end screen repaints every pixel: the world under it would not show.
    const bool world_hidden = screen == Screen::Victory && !(screen_timer < 1.5f);
    renderer.flash_strength = reduced_motion ? kReducedFlash : 1.0f;
    if (!world_hidden) renderer.render(level, canvas);
    if (screen != Screen::Title && screen != Screen::Victory)
        draw_ghost(ghost, level, seed, canvas);
    switch (screen) {
        case Screen::Title:
            draw_title(*this, canvas);
            break;
        case Screen::Play:
            draw_hud(level, canvas);
            if (night) draw_right_aligned(canvas, 15, format_time(run_time), 0x9687C8);
            break;
        case Screen::Pause:
            draw_pause(*this, canvas);
            break;
        case Screen::Death:
            draw_death(*this, canvas);
            break;
        case Screen::Descent:
            draw_descent(*this, canvas);
            break;
        case Screen::Victory:
            draw_victory(*this, canvas);
            break;
    }
    draw_sound_notice(*this, canvas);
}

}  // namespace pyrelle
