#include "session.hpp"

#include "game/daily_records.hpp"
#include "game/records_place.hpp"
#include "game/state_hash.hpp"

namespace pyrelle {

PlaySession::PlaySession(Game& game, ReplayStart start, const Replay* watched)
    : game_(game), start_(std::move(start)), watched_(watched) {
    if (watched_) player_.runs = watched_->runs;
    replay_over_ = watched_ && player_.done();
}

bool PlaySession::step(const Keys& live, float dt) {
    Keys keys = live;
    if (watched_) {
        // The recorded run steers; the sound is the watcher's.
        keys = player_.next().value_or(Keys{});
        keys.mute = live.mute;
    }
    const Input input{keys, previous_};
    previous_ = keys;
    recorder_.add(keys);
    const Screen before = game_.screen;
    const bool go_on = game_.step(input, dt);
    if (watched_ && !replay_over_ && (!go_on || player_.done())) finish_replay();
    if (game_.screen == Screen::Victory && before != Screen::Victory &&
        (game_.new_record || game_.new_daily_record))
        save_best_run();
    keep_ghost_ready(before);
    return go_on;
}

Replay PlaySession::recording() const {
    return {start_, recorder_.runs, replay_check(game_, recorder_.steps)};
}

void PlaySession::finish_replay() {
    replay_over_ = true;
    const ReplayCheck got = replay_check(game_, recorder_.steps);
    if (got != watched_->end) mismatch_ = describe_mismatch(watched_->end, got);
}

void PlaySession::save_best_run() {
    if (!game_.save_records || !game_.records_file) return;
    const std::filesystem::path& records_file = *game_.records_file;
    const Result<FileLock> lock = lock_records(records_file);
    // Another game may have saved a better time since this one saved its own: its best run
    // stays beside its time.
    const float time = game_.run_time;
    if (game_.new_record && holds_best_time(Records::load(records_file), game_.night, time))
        write_best_run(best_run_path(records_file, game_.night));
    if (game_.new_daily_record && game_.daily_date) {
        const DailyRecords day = daily_records_of(
            DailyRecords::load(daily_records_path(records_file)), *game_.daily_date);
        const std::optional<float>& best = game_.night ? day.best_time_night : day.best_time;
        if (best && two_decimals(*best) == two_decimals(time))
            write_best_run(daily_run_path(records_file, game_.night));
    }
    // The next run races this one.
    ghosts_[game_.night ? 1 : 0] = GhostSlot{};
}

void PlaySession::write_best_run(const std::filesystem::path& path) {
    if (const Result<void> written = write_replay(path, recording()); !written.ok()) {
        game_.reports.push_back("meilleure partie non enregistrée (" + path.string() +
                                ") : " + written.error());
    }
}

std::optional<std::filesystem::path> PlaySession::ghost_path() const {
    if (!game_.records_file) return std::nullopt;
    if (game_.daily_date) return daily_run_path(*game_.records_file, game_.night);
    return best_run_path(*game_.records_file, game_.night);
}

void PlaySession::keep_ghost_ready(Screen before) {
    // A replay being watched races nothing; a game that races nothing reads nothing.
    if (watched_ || !game_.ghost.wanted) return;
    GhostSlot& slot = ghosts_[game_.night ? 1 : 0];
    if (!slot.opened) {
        slot.opened = true;
        if (const auto path = ghost_path()) slot.builder = GhostBuilder::open(*path, game_.night);
    }
    if (slot.builder) {
        // A run that starts races its ghost from its first step.
        const bool run_starts = before == Screen::Title && game_.screen == Screen::Play;
        const auto state = slot.builder->advance(run_starts ? kMostGhostSteps : kGhostStepsPerStep);
        if (state == GhostBuilder::State::Done) slot.run = slot.builder->run();
        if (state != GhostBuilder::State::Building) slot.builder.reset();
    }
    std::shared_ptr<const GhostRun> run = slot.run;
    // The day's ghost is another day's run once the day has changed.
    if (run && game_.daily_date && run->seed != game_.seed) run.reset();
    game_.ghost.run = std::move(run);
}

ReplayCheck replay_check(const Game& game, std::uint32_t steps) {
    return {game.screen, game.level.depth, steps, state_hash(game)};
}

}  // namespace pyrelle
