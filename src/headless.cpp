#include "headless.hpp"

#include <chrono>
#include <cstdio>

#include "engine/png.hpp"
#include "engine/step_loop.hpp"
#include "game/records.hpp"

namespace pyrelle {
namespace {

using Clock = std::chrono::steady_clock;

std::uint64_t nanoseconds_since(Clock::time_point start) {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count());
}

}  // namespace

std::string format_duration(std::uint64_t ns) {
    struct Unit {
        std::uint64_t size;
        const char* symbol;
    };
    const Unit units[] = {{1000000000, "s"}, {1000000, "ms"}, {1000, "µs"}, {1, "ns"}};
    const Unit* unit = &units[3];
    for (const Unit& u : units) {
        if (ns / u.size != 0) {
            unit = &u;
            break;
        }
    }
    std::uint64_t whole = ns / unit->size;
    const std::uint64_t rest = ns % unit->size;
    std::uint64_t hundredths = rest * 100 / unit->size;
    // Round half up on the exact remainder, carrying into the whole part.
    if ((rest * 100 % unit->size) * 2 >= unit->size && unit->size > 1) hundredths += 1;
    if (hundredths == 100) {
        whole += 1;
        hundredths = 0;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%llu.%02llu%s", static_cast<unsigned long long>(whole),
                  static_cast<unsigned long long>(hundredths), unit->symbol);
    return buffer;
}

Keys scripted_keys(std::uint32_t step) {
    static constexpr int kDirections[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    const int* d = kDirections[(step / 50) % 4];
    Keys keys;
    keys.action = step == 1;
    keys.up = d[1] < 0;
    keys.down = d[1] > 0;
    keys.left = d[0] < 0;
    keys.right = d[0] > 0;
    return keys;
}

void print_reports(PlaySession& session) {
    for (const std::string& line : session.take_reports())
        std::fprintf(stderr, "%s\n", line.c_str());
}

int run_headless(PlaySession& session, Game& game, std::uint32_t frames, bool idle,
                 const std::string& shot_path) {
    const Clock::time_point t0 = Clock::now();
    std::uint32_t run = 0;  // fewer than asked when a watched replay ends or the game quits
    while (run < frames && !session.replay_over()) {
        const bool go_on = session.step(idle ? Keys{} : scripted_keys(run), kStep);
        ++run;
        print_reports(session);
        if (!go_on) break;
    }
    Canvas picture(kViewWidth, kViewHeight);
    game.render(picture);

    const Clock::time_point t1 = Clock::now();
    Canvas timing(kViewWidth, kViewHeight);
    for (int i = 0; i < 60; ++i)
        game.render(timing);
    std::fprintf(stderr, "rendu : %s par image\n",
                 format_duration(nanoseconds_since(t1) / 60).c_str());

    const Level& level = game.level;
    std::uint32_t lit = 0;
    for (const Lantern& lantern : level.lanterns)
        lit += lantern.lit ? 1 : 0;
    std::fprintf(
        stderr, "%u frames en %s | profondeur %u | énergie %s | lanternes %u/%zu | pos (%s, %s)\n",
        run, format_duration(nanoseconds_since(t0)).c_str(), level.depth,
        two_decimals(level.energy).c_str(), lit, level.lanterns.size(),
        two_decimals(level.firefly_pos.x).c_str(), two_decimals(level.firefly_pos.y).c_str());

    if (const Result<void> written = write_png(picture, shot_path, 3); !written.ok()) {
        std::fprintf(stderr, "impossible d'écrire %s : %s\n", shot_path.c_str(),
                     written.error().c_str());
        return 1;
    }
    return 0;
}

}  // namespace pyrelle
