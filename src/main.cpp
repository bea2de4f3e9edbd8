#include <cstdio>
#include <string>
#include <vector>

#include "cli.hpp"
#include "engine/app.hpp"
#include "engine/audio.hpp"
#include "game/game.hpp"
#include "headless.hpp"
#include "startup.hpp"

namespace {

// Lets the window loop drive the game.
class GameLoop : public pyrelle::LoopClient {
  public:
    explicit GameLoop(pyrelle::Game& game) : game_(game) {}
    bool step(const pyrelle::Input& input, float dt) override { return game_.step(input, dt); }
    void render(pyrelle::Canvas& canvas) override { game_.render(canvas); }
    bool playing() const override { return game_.screen == pyrelle::Screen::Play; }

  private:
    pyrelle::Game& game_;
};

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const pyrelle::ParseResult parsed = pyrelle::parse_command_line(args);
    if (std::holds_alternative<pyrelle::HelpRequested>(parsed)) {
        std::printf("%.*s\n", static_cast<int>(pyrelle::kUsage.size()), pyrelle::kUsage.data());
        return 0;
    }
    if (const auto* error = std::get_if<pyrelle::CommandLineError>(&parsed)) {
        std::fprintf(stderr, "%s\n", error->message.c_str());
        return 2;
    }
    const pyrelle::Options& options = std::get<pyrelle::Options>(parsed);
    const std::uint64_t seed = options.seed ? *options.seed : pyrelle::clock_seed();
    pyrelle::Game game = pyrelle::Game::create(seed);
    pyrelle::apply_start_options(game, options);
    if (options.headless_frames) {
        return pyrelle::run_headless(game, *options.headless_frames, options.idle,
                                     options.shot_path);
    }
    game.synth = pyrelle::start_audio();
    GameLoop loop(game);
    if (auto error = pyrelle::App::run({"Pyrelle", options.fullscreen}, loop)) {
        std::fprintf(stderr, "erreur : %s\n", error->c_str());
        return 1;
    }
    return 0;
}
