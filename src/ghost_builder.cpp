#include "ghost_builder.hpp"

#include "engine/step_loop.hpp"
#include "startup.hpp"

namespace pyrelle {
namespace {

bool counts_run_time(Screen screen) {
    return screen == Screen::Play || screen == Screen::Death || screen == Screen::Descent;
}

GhostStep ghost_step(const Game& game) {
    return {game.level.firefly_pos, game.level.depth, game.screen == Screen::Play};
}

}  // namespace

std::optional<GhostBuilder> GhostBuilder::open(const std::filesystem::path& path, bool night) {
    Result<Replay> read = read_replay(path);
    if (!read.ok()) return std::nullopt;
    return GhostBuilder(std::move(read).value(), night);
}

GhostBuilder::GhostBuilder(Replay replay, bool night)
    : replay_(std::make_unique<Replay>(std::move(replay))), night_(night) {
    // The replay's own game, as it was built: its seed, its options, its records, no file.
    game_ = std::make_unique<Game>(
        Game::create(replay_->start.seed, replay_->start.records, std::nullopt));
    apply_start_options(*game_, start_options(replay_->start));
    player_.runs = replay_->runs;
}

GhostBuilder::State GhostBuilder::advance(std::uint32_t most_steps) {
    for (std::uint32_t i = 0; i < most_steps && state_ == State::Building; ++i)
        state_ = step_once();
    if (state_ != State::Building) {
        // What was only needed to build it goes: a finished ghost is its path alone.
        game_.reset();
        replay_.reset();
        player_ = {};
    }
    return state_;
}

GhostBuilder::State GhostBuilder::step_once() {
    const std::optional<Keys> keys = player_.next();
    if (!keys || played_ >= kMostGhostSteps) return State::Failed;
    ++played_;
    Game& game = *game_;
    const Screen before = game.screen;
    const bool go_on = game.step(Input{*keys, previous_}, kStep);
    previous_ = *keys;
    if (before == Screen::Title && game.screen == Screen::Play) {
        // A run starts: the last one before the Source is the best run.
        in_run_ = true;
        run_ = std::make_shared<GhostRun>();
        run_->seed = game.seed;
        run_->night = game.night;
        run_->steps.push_back(ghost_step(game));
    } else if (in_run_ && counts_run_time(before)) {
        run_->steps.push_back(ghost_step(game));
    }
    if (game.screen == Screen::Title) in_run_ = false;
    if (in_run_ && game.screen == Screen::Victory) {
        if (run_->night != night_) return State::Failed;
        run_->left_depth = game.ghost.left_depth;
        return State::Done;
    }
    return go_on ? State::Building : State::Failed;
}

}  // namespace pyrelle
