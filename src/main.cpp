#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli.hpp"
#include "engine/file_replace.hpp"
#include "game/game.hpp"
#include "headless.hpp"
#include "platform/app.hpp"
#include "platform/audio.hpp"
#include "replay.hpp"
#include "session.hpp"
#include "session_loop.hpp"
#include "startup.hpp"

namespace {

int run_window(pyrelle::PlaySession& session, pyrelle::Game& game, bool fullscreen) {
    // The sound starts once the window is up: its messages then reach standard error, which
    // the window's set-up silences while the windowing libraries load.
    pyrelle::SessionLoop loop(session, game, [&game] { game.synth = pyrelle::start_audio(); });
    if (const auto ran = pyrelle::App::run({"Pyrelle", fullscreen}, loop); !ran.ok()) {
        std::fprintf(stderr, "erreur : %s\n", ran.error().c_str());
        return 1;
    }
    return 0;
}

// The options that build the game: the command line's, or the replay's with the command
// line's way of running it (headless, shot, fullscreen).
pyrelle::Options game_options(const pyrelle::Options& given, const pyrelle::Replay* replay) {
    if (!replay) return given;
    pyrelle::Options options = pyrelle::start_options(replay->start);
    options.headless_frames = given.headless_frames;
    options.shot_path = given.shot_path;
    options.idle = given.idle;
    options.fullscreen = given.fullscreen;
    options.reduced_motion = given.reduced_motion;
    return options;
}

void say_unrecorded(const std::string& path, const std::string& why) {
    std::fprintf(stderr, "relecture non enregistrée (%s) : %s\n", path.c_str(), why.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    // A file size limit must not kill the game midway through a save: the write then fails
    // as on a full disk, which is reported and leaves the old file whole.
    std::signal(SIGXFSZ, SIG_IGN);

    const std::vector<std::string> args(argv + 1, argv + argc);
    const pyrelle::Result<pyrelle::Options> parsed = pyrelle::parse_command_line(args);
    if (!parsed.ok()) {
        std::fprintf(stderr, "%s\n", parsed.error().c_str());
        return 2;
    }
    const pyrelle::Options& given = parsed.value();
    if (given.help) {
        std::printf("%.*s\n", static_cast<int>(pyrelle::kUsage.size()), pyrelle::kUsage.data());
        return 0;
    }
    std::optional<pyrelle::Replay> replay;
    if (given.replay_path) {
        auto read = pyrelle::read_replay(*given.replay_path);
        if (!read.ok()) {
            std::fprintf(stderr, "relecture illisible (%s) : %s\n", given.replay_path->c_str(),
                         read.error().c_str());
            return 2;
        }
        replay = std::move(read).value();
    }
    // A recording that could not be written is known before the game starts, not after it.
    std::optional<pyrelle::PendingFile> record;
    if (given.record_path) {
        auto opened =
            pyrelle::PendingFile::open(*given.record_path, pyrelle::WriteRule::PlayersPath);
        if (!opened.ok()) {
            say_unrecorded(*given.record_path, opened.error());
            return 2;
        }
        record.emplace(std::move(opened).value());
    }

    const pyrelle::Options options = game_options(given, replay ? &*replay : nullptr);
    // The day's cave is the same for everyone that day: its seed is the UTC date's.
    const std::optional<std::uint32_t> day =
        options.daily ? std::optional(pyrelle::today_utc()) : std::nullopt;
    const std::uint64_t seed = day            ? pyrelle::daily_seed(*day)
                               : options.seed ? *options.seed
                                              : pyrelle::clock_seed();
    // A replay brings its own records and never writes any.
    pyrelle::Game game = replay ? pyrelle::Game::create(seed, replay->start.records, std::nullopt)
                                : pyrelle::Game::create(seed);
    const pyrelle::ReplayStart start = pyrelle::replay_start(options, seed, game.records);
    pyrelle::apply_start_options(game, options);
    if (day) game.start_daily(*day);
    pyrelle::PlaySession session(game, start, replay ? &*replay : nullptr);

    int status = options.headless_frames
                     ? pyrelle::run_headless(session, game, *options.headless_frames, options.idle,
                                             options.shot_path)
                     : run_window(session, game, options.fullscreen);
    if (session.mismatch()) {
        // The window's loop said it when it stopped there; a headless run says it after its
        // summary.
        if (options.headless_frames) std::fprintf(stderr, "%s\n", session.mismatch()->c_str());
        status = 1;
    }
    if (record) {
        const auto written = record->commit(pyrelle::encode_replay(session.recording()));
        if (!written.ok()) {
            say_unrecorded(*given.record_path, written.error());
            status = 1;
        }
    }
    return status;
}
