#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/canvas.hpp"
#include "engine/input.hpp"
#include "engine/synth.hpp"
#include "game/autopilot.hpp"
#include "game/daily_records.hpp"
#include "game/ghost.hpp"
#include "game/level.hpp"
#include "game/records.hpp"
#include "game/records_place.hpp"
#include "game/render.hpp"
#include "game/sound_cues.hpp"

namespace pyrelle {

enum class Screen : std::uint8_t {
    Title = 0,
    Play = 1,
    Pause = 2,
    Death = 3,
    Descent = 4,
    Victory = 5
};

inline constexpr std::uint8_t kSoundOn = 0;     // "Son rétabli"
inline constexpr std::uint8_t kSoundMuted = 1;  // "Son coupé"
inline constexpr std::uint8_t kNoSoundNotice = 2;
inline constexpr std::uint8_t kVolumeNotice = 3;  // "Volume : 70 %"
inline constexpr std::uint8_t kGhostShown = 4;    // "Fantôme affiché"
inline constexpr std::uint8_t kGhostHidden = 5;   // "Fantôme masqué"
inline constexpr std::uint32_t kVolumeStep = 10;  // per cent

// The whole running game: the level, the screen, the run's counters, the records and the sound.
struct Game {
    Level level;
    WorldRenderer renderer;
    Autopilot autopilot;
    Synth synth;
    std::uint8_t sound_notice = kNoSoundNotice;
    float sound_notice_timer = 0.0f;
    std::uint32_t volume = 100;  // per cent, in steps of kVolumeStep; muting keeps it
    Screen screen = Screen::Title;
    bool new_record = false;
    float screen_timer = 0.0f;
    std::uint64_t seed = 0;
    float run_time = 0.0f;
    std::uint32_t extinctions = 0;
    std::uint32_t pollen_total = 0;
    std::uint32_t companions_following = 0;
    std::uint64_t demo_rebuilds = 0;
    SoundCues cues;
    Records records;
    float total_time = 0.0f;
    std::uint32_t companions_at_level_start = 0;
    bool autopilot_on = false;
    bool save_records = true;
    bool night = false;
    // Where saves go: the file beside the program, or nowhere when it cannot be known.
    std::optional<std::filesystem::path> records_file;
    // Records of an older copy beside the program, read until the first save takes them over.
    std::optional<std::filesystem::path> older_records_file;
    // --reduced-motion: the light burst's flash and the end screen's white are softened.
    bool reduced_motion = false;
    // The race against the best run (--ghost, G): outside the game's state.
    GhostRace ghost;
    // --daily: the day's cave (YYYYMMDD), its best times, and whether this run beat one.
    std::optional<std::uint32_t> daily_date;
    DailyRecords daily;
    bool new_daily_record = false;
    // Lines for the player's terminal (a save that failed), oldest first: whoever runs the
    // game says them and empties the list.
    std::vector<std::string> reports;

    // A new game: the title level of depth 1 and the records from where they are kept.
    static Game create(std::uint64_t seed);
    // The same with the records kept at `place`.
    static Game create(std::uint64_t seed, const RecordsPlace& place);
    // The same with records given, saving to `file` (tests keep away from the real file).
    static Game create(std::uint64_t seed, Records records,
                       std::optional<std::filesystem::path> file);

    bool step(const Input& input, float dt);  // false: quit the program
    void render(Canvas& canvas);              // the renderer reuses its buffers
    void enter_depth(std::uint32_t depth);
    // A step louder per step (softer below 0), within 0 to 100 %, with its notice.
    void change_volume(std::int32_t steps);
    void return_to_title();
    // Shows or hides the ghost of the best run, with its notice.
    void toggle_ghost();
    // Plays the cave of the day `date` (the game seed is already the day's) and reads its
    // best times from beside the records.
    void start_daily(std::uint32_t date);

  private:
    Game(std::uint64_t seed, Level first_level);
    void step_title(const Input& input, float dt);
    void step_play(const Input& input, float dt);
    void end_level_run(UpdateOutcome outcome);
    void step_transition(const Input& input, float dt);
    void play_level_sounds();
    void play_ambient(float dt);
    void save();
    void save_daily();
    void record_daily_time();
};

// Over the frozen picture of a replay being watched: it is paused, and how to go on.
void draw_replay_pause(Canvas& canvas);

// Level seeds derived from the game seed.
std::uint64_t run_level_seed(std::uint64_t game_seed, std::uint32_t depth);
std::uint64_t title_level_seed(std::uint64_t game_seed, std::uint64_t rebuilds);

}  // namespace pyrelle
