#include "game/game.hpp"

#include <cmath>
#include <utility>

#include "game/generate.hpp"
#include "game/records_place.hpp"
#include "game/world.hpp"

namespace pyrelle {
namespace {

constexpr float kTitleEventVolume = 0.45f;

Vec2 keys_direction(const Input& input) {
    float x = static_cast<float>(input.now.right) - static_cast<float>(input.now.left);
    float y = static_cast<float>(input.now.down) - static_cast<float>(input.now.up);
    const float length = std::sqrt(x * x + y * y);
    if (length > 1e-6f) return {x / length, y / length};
    return {0.0f, 0.0f};
}

std::uint32_t gathered_pollen(const Level& level) {
    std::uint32_t gone = 0;
    for (const PollenGrain& grain : level.pollen)
        gone += grain.present ? 0 : 1;
    return gone;
}

void append_companions(Level& level, std::uint32_t count) {
    for (std::uint32_t k = 0; k < count; ++k) {
        level.companions.push_back(
            {level.firefly_pos.x, level.firefly_pos.y, static_cast<float>(k) * 1.9f});
    }
}

}  // namespace

std::uint64_t run_level_seed(std::uint64_t game_seed, std::uint32_t depth) {
    return game_seed * 0x5851F42D4C957F2Dull + static_cast<std::uint64_t>(depth) * 1000003ull;
}

std::uint64_t title_level_seed(std::uint64_t game_seed, std::uint64_t rebuilds) {
    return (rebuilds * 40503ull) ^ game_seed ^ 0x7171ull;
}

Game::Game(std::uint64_t game_seed, Level first_level)
    : level(std::move(first_level)), renderer(level), seed(game_seed) {}

Game Game::create(std::uint64_t seed) {
    const std::optional<PlaceFacts> facts = this_process_place_facts();
    if (!facts) return create(seed, Records{}, std::nullopt);
    return create(seed, choose_records_place(*facts));
}

Game Game::create(std::uint64_t seed, const RecordsPlace& place) {
    Game game = create(seed, Records::load(place.older_file.value_or(place.file)), place.file);
    game.older_records_file = place.older_file;
    return game;
}

Game Game::create(std::uint64_t seed, Records records, std::optional<std::filesystem::path> file) {
    Game game(seed, generate_level(1, title_level_seed(seed, 0)));
    game.records = records;
    game.records_file = std::move(file);
    return game;
}

void Game::save() {
    if (!save_records || !records_file) return;
    prepare_records_folder(*records_file, older_records_file);
    Result<Records> saved = records.save(*records_file);
    if (saved.ok()) {
        records = std::move(saved).value();
        older_records_file.reset();
    } else {
        reports.push_back(saved.error());
    }
}

void Game::save_daily() {
    if (!save_records || !records_file || !daily_date) return;
    prepare_records_folder(*records_file, older_records_file);
    Result<DailyRecords> saved = daily.save(daily_records_path(*records_file), *records_file);
    if (saved.ok()) {
        daily = std::move(saved).value();
    } else {
        reports.push_back(saved.error());
    }
}

void Game::start_daily(std::uint32_t date) {
    daily_date = date;
    const DailyRecords loaded =
        records_file ? DailyRecords::load(daily_records_path(*records_file)) : DailyRecords{};
    daily = daily_records_of(loaded, date);
}

void Game::record_daily_time() {
    new_daily_record = false;
    if (!daily_date) return;
    std::optional<float>& slot = night ? daily.best_time_night : daily.best_time;
    new_daily_record = !slot || *slot > run_time;
    if (!new_daily_record) return;
    slot = run_time;
    save_daily();
}

void Game::toggle_ghost() {
    ghost.wanted = !ghost.wanted;
    sound_notice = ghost.wanted ? kGhostShown : kGhostHidden;
    sound_notice_timer = 1.5f;
}

void Game::enter_depth(std::uint32_t depth) {
    autopilot = Autopilot{};
    const bool hint_shown = level.moth_hint_shown;
    level = generate_level(depth, run_level_seed(seed, depth));
    level.moth_hint_shown = hint_shown;
    level.night = night;
    append_companions(level, companions_following);
    companions_at_level_start = companions_following;
    renderer.reset(level);
    if (depth > records.best_depth) {
        records.best_depth = depth;
        save();
    }
}

void Game::change_volume(std::int32_t steps) {
    const std::int64_t wanted = std::int64_t{volume} + std::int64_t{steps} * kVolumeStep;
    volume = static_cast<std::uint32_t>(std::clamp<std::int64_t>(wanted, 0, 100));
    synth.set_volume(static_cast<float>(volume) / 100.0f);
    sound_notice = kVolumeNotice;
    sound_notice_timer = 1.5f;
}

void Game::return_to_title() {
    Game fresh = create(seed, records, records_file);
    fresh.synth = std::move(synth);
    fresh.autopilot_on = autopilot_on;
    fresh.save_records = save_records;
    fresh.night = night;
    fresh.volume = volume;
    fresh.reports = std::move(reports);
    fresh.older_records_file = std::move(older_records_file);
    fresh.reduced_motion = reduced_motion;
    fresh.ghost.wanted = ghost.wanted;
    fresh.ghost.run = std::move(ghost.run);
    fresh.daily_date = daily_date;
    fresh.daily = daily;
    *this = std::move(fresh);
}

bool Game::step(const Input& input, float dt) {
    total_time += dt;
    if (input.pressed(&Keys::mute)) {
        sound_notice = synth.toggle_mute() ? kSoundMuted : kSoundOn;
        sound_notice_timer = 1.5f;
    }
    if (sound_notice != kNoSoundNotice) {
        sound_notice_timer -= dt;
        if (sound_notice_timer <= 0.0f) {
            sound_notice = kNoSoundNotice;
            sound_notice_timer = 0.0f;
        }
    }
    if (screen == Screen::Play || screen == Screen::Death || screen == Screen::Descent) {
        run_time += dt;
        ghost.count_step();
    }

    switch (screen) {
        case Screen::Title:
            step_title(input, dt);
            if (input.pressed(&Keys::escape)) return false;
            break;
        case Screen::Play:
            step_play(input, dt);
            break;
        case Screen::Pause:
            if (input.pressed(&Keys::action)) {
                screen = Screen::Play;
            } else if (input.pressed(&Keys::escape)) {
                return_to_title();
            }
            break;
        case Screen::Death:
        case Screen::Descent:
        case Screen::Victory:
            step_transition(input, dt);
            break;
    }
    play_level_sounds();
    play_ambient(dt);
    return true;
}

void Game::step_title(const Input& input, float dt) {
    const Vec2 direction = autopilot.steer(level, dt);
    const UpdateOutcome outcome = level.update(direction.x, direction.y, dt);
    // The demo never dies of darkness and shows no messages.
    level.energy = 1.0f;
    level.message.reset();
    if (outcome != UpdateOutcome::Continue) {
        demo_rebuilds += 1;
        autopilot = Autopilot{};
        level = generate_level(1, title_level_seed(seed, demo_rebuilds));
        renderer.reset(level);
    }
    if (records.best_time && (input.pressed(&Keys::left) || input.pressed(&Keys::right))) {
        night = !night;
    }
    if (input.pressed(&Keys::action)) {
        synth.play(cues.start_cue());
        run_time = 0.0f;
        extinctions = 0;
        pollen_total = 0;
        companions_following = 0;
        ghost.start_run();
        enter_depth(1);
        screen = Screen::Play;
    }
}

void Game::step_play(const Input& input, float dt) {
    const Vec2 direction = autopilot_on ? autopilot.steer(level, dt) : keys_direction(input);
    if (input.pressed(&Keys::action)) level.light_burst();
    const UpdateOutcome outcome = level.update(direction.x, direction.y, dt);
    for (SoundEvent event : level.sound_events) {
        if (event == SoundEvent::CompanionJoined) companions_following += 1;
    }
    end_level_run(outcome);
    if (input.pressed(&Keys::escape)) screen = Screen::Pause;
}

void Game::end_level_run(UpdateOutcome outcome) {
    if (outcome == UpdateOutcome::Continue) return;
    pollen_total += gathered_pollen(level);
    screen_timer = 0.0f;
    if (outcome == UpdateOutcome::Died) {
        extinctions += 1;
        companions_following = companions_at_level_start;
        screen = Screen::Death;
        synth.play(cues.death_cue());
        return;
    }
    ghost.leave_depth(level.depth, run_time);
    if (level.depth < kSourceDepth) {
        screen = Screen::Descent;
        synth.play(cues.descent_cue());
        return;
    }
    std::optional<float>& slot = night ? records.best_time_night : records.best_time;
    new_record = !slot || *slot > run_time;
    if (new_record) {
        slot = run_time;
        save();
    }
    record_daily_time();
    screen = Screen::Victory;
    synth.play(cues.victory_cue());
}

void Game::step_transition(const Input& input, float dt) {
    const float t = screen_timer + dt;
    level.tick(dt);
    screen_timer = t;
    const bool action = input.pressed(&Keys::action);
    if (screen == Screen::Death) {
        if (t > 3.0f || (t > 1.0f && action)) {
            enter_depth(level.depth);
            screen = Screen::Play;
        }
    } else if (screen == Screen::Descent) {
        if (t > 2.5f) {
            enter_depth(level.depth + 1);
            screen = Screen::Play;
        }
    } else if (t > 7.5f && (action || input.pressed(&Keys::escape))) {
        return_to_title();
    }
}

void Game::play_level_sounds() {
    const bool deep = level.depth >= kSourceDepth;
    for (SoundEvent event : level.sound_events) {
        std::vector<Note> notes = cues.for_event(event, deep);
        if (screen == Screen::Title) {
            for (Note& note : notes)
                note.volume *= kTitleEventVolume;
        }
        synth.play(notes);
    }
    level.sound_events.clear();
}

void Game::play_ambient(float dt) {
    const AmbientCue tick = cues.tick(dt, level);
    switch (screen) {
        case Screen::Title:
            synth.set_drone(0.0f, 0.5f);
            break;
        case Screen::Play:
            synth.play(tick.notes);
            synth.set_drone(tick.danger, 1.0f);
            break;
        case Screen::Pause:
            synth.set_drone(0.0f, 0.3f);
            break;
        case Screen::Death:
        case Screen::Descent:
            synth.set_drone(0.0f, 0.6f);
            break;
        case Screen::Victory:
            synth.set_drone(0.0f, 0.0f);
            synth.play(cues.music(dt));
            break;
    }
}

}  // namespace pyrelle
