#include "session.hpp"

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
    if (game_.screen == Screen::Victory && before != Screen::Victory && game_.new_record)
        save_best_run();
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
    if (!holds_best_time(Records::load(records_file), game_.night, game_.run_time)) return;
    const std::filesystem::path path = best_run_path(records_file, game_.night);
    if (const Result<void> written = write_replay(path, recording()); !written.ok()) {
        game_.reports.push_back("meilleure partie non enregistrée (" + path.string() +
                                ") : " + written.error());
    }
}

ReplayCheck replay_check(const Game& game, std::uint32_t steps) {
    return {game.screen, game.level.depth, steps, state_hash(game)};
}

}  // namespace pyrelle
