#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli.hpp"
#include "game/game.hpp"
#include "headless.hpp"
#include "platform/app.hpp"
#include "platform/audio.hpp"
#include "replay.hpp"
#include "session.hpp"
#include "startup.hpp"

namespace {

using pyrelle::Keys;

// Lets the window loop drive a play session. While a replay plays, the player's Escape ends
// it, and so does a replay that ends somewhere else than it was recorded.
class WindowLoop : public pyrelle::LoopClient {
  public:
    WindowLoop(pyrelle::PlaySession& session, pyrelle::Game& game)
        : session_(session), game_(game) {}
    bool step(const pyrelle::Input& input, float dt) override {
        if (session_.watching() && input.pressed(&Keys::escape)) return false;
        const bool go_on = session_.step(input.now, dt);
        pyrelle::print_reports(session_);
        return go_on && !session_.mismatch();
    }
    void render(pyrelle::Canvas& canvas) override { game_.render(canvas); }
    bool playing() const override { return game_.screen == pyrelle::Screen::Play; }

  private:
    pyrelle::PlaySession& session_;
    pyrelle::Game& game_;
};

int run_window(pyrelle::PlaySession& session, pyrelle::Game& game, bool fullscreen) {
    game.synth = pyrelle::start_audio();
    WindowLoop loop(session, game);
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
    return options;
}

}  // namespace

int main(int argc, char** argv) {
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

    const pyrelle::Options options = game_options(given, replay ? &*replay : nullptr);
    const std::uint64_t seed = options.seed ? *options.seed : pyrelle::clock_seed();
    // A replay brings its own records and never writes any.
    pyrelle::Game game = replay ? pyrelle::Game::create(seed, replay->start.records, std::nullopt)
                                : pyrelle::Game::create(seed);
    const pyrelle::ReplayStart start = pyrelle::replay_start(options, seed, game.records);
    pyrelle::apply_start_options(game, options);
    pyrelle::PlaySession session(game, start, replay ? &*replay : nullptr);

    int status = options.headless_frames
                     ? pyrelle::run_headless(session, game, *options.headless_frames, options.idle,
                                             options.shot_path)
                     : run_window(session, game, options.fullscreen);
    if (session.mismatch()) {
        std::fprintf(stderr, "%s\n", session.mismatch()->c_str());
        status = 1;
    }
    if (given.record_path) {
        const auto written = pyrelle::write_replay(*given.record_path, session.recording());
        if (!written.ok()) {
            std::fprintf(stderr, "relecture non enregistrée (%s) : %s\n",
                         given.record_path->c_str(), written.error().c_str());
            status = 1;
        }
    }
    return status;
}
