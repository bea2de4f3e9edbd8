#include "replay.hpp"

#include <cmath>
#include <cstring>
#include <limits>

#include "engine/file_replace.hpp"
#include "engine/small_file.hpp"

namespace pyrelle {
namespace {

constexpr std::uint8_t kSignature[8] = {'P', 'Y', 'R', 'E', 'L', 'L', 'E', 0x1A};
constexpr std::uint8_t kVersion = 1;
constexpr std::uint8_t kKeyBits = 0x7F;  // the seven keys; the top bit is never set

// Flags of the start, in this order.
enum StartFlag : std::uint16_t {
    kNight = 1u << 0,
    kAutopilot = 1u << 1,
    kWarpExit = 1u << 2,
    kWarpWater = 1u << 3,
    kWarpLost = 1u << 4,
    kMothsNear = 1u << 5,
    kLightAll = 1u << 6,
    kHasDepth = 1u << 7,
    kHasBestTime = 1u << 8,
    kHasBestTimeNight = 1u << 9,
};
constexpr std::uint16_t kKnownFlags = (1u << 10) - 1;

const char* const kTruncated = "fichier tronqué";
const char* const kInvalid = "données invalides";

// Little-endian writer.
struct Writer {
    std::vector<std::uint8_t> out;

    void bytes(std::span<const std::uint8_t> b) { out.insert(out.end(), b.begin(), b.end()); }
    template <typename T>
    void fixed(T value) {
        for (std::size_t i = 0; i < sizeof(T); ++i)
            out.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i)));
    }
    void time(float seconds) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &seconds, sizeof bits);
        fixed(bits);
    }
    // LEB128: seven bits a byte, low bits first.
    void varint(std::uint32_t value) {
        while (value >= 0x80) {
            out.push_back(static_cast<std::uint8_t>(value | 0x80));
            value >>= 7;
        }
        out.push_back(static_cast<std::uint8_t>(value));
    }
};

// Little-endian reader that records the first problem and reads zeros after it.
struct Reader {
    std::span<const std::uint8_t> in;
    std::size_t at = 0;
    const char* error = nullptr;

    void fail(const char* why) {
        if (!error) error = why;
    }
    std::size_t left() const { return in.size() - at; }
    template <typename T>
    T fixed() {
        if (error || left() < sizeof(T)) {
            fail(kTruncated);
            return 0;
        }
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            value |= static_cast<std::uint64_t>(in[at + i]) << (8 * i);
        at += sizeof(T);
        return static_cast<T>(value);
    }
    std::optional<float> time() {
        const std::uint32_t bits = fixed<std::uint32_t>();
        float seconds = 0;
        std::memcpy(&seconds, &bits, sizeof seconds);
        if (!std::isfinite(seconds) || seconds < 0.0f) fail(kInvalid);
        return seconds;
    }
    // The shortest LEB128 form of a 32-bit value only: one file, one reading.
    std::uint32_t varint() {
        std::uint64_t value = 0;
        for (int i = 0; i < 5; ++i) {
            const std::uint8_t b = fixed<std::uint8_t>();
            if (error) return 0;
            value |= static_cast<std::uint64_t>(b & 0x7F) << (7 * i);
            if (!(b & 0x80)) {
                if ((i > 0 && b == 0) || value > std::numeric_limits<std::uint32_t>::max())
                    fail(kInvalid);
                return static_cast<std::uint32_t>(value);
            }
        }
        fail(kInvalid);
        return 0;
    }
};

std::uint16_t flags_of(const ReplayStart& s) {
    std::uint16_t flags = 0;
    const std::pair<bool, StartFlag> set[] = {
        {s.night, kNight},
        {s.autopilot, kAutopilot},
        {s.warp_exit, kWarpExit},
        {s.warp_water, kWarpWater},
        {s.warp_lost, kWarpLost},
        {s.moths_near, kMothsNear},
        {s.light_all, kLightAll},
        {s.depth.has_value(), kHasDepth},
        {s.records.best_time.has_value(), kHasBestTime},
        {s.records.best_time_night.has_value(), kHasBestTimeNight},
    };
    for (const auto& [on, flag] : set)
        flags |= on ? flag : 0;
    return flags;
}

void write_start(Writer& w, const ReplayStart& s) {
    w.fixed(s.seed);
    w.fixed(flags_of(s));
    if (s.depth) w.fixed(*s.depth);
    w.fixed(static_cast<std::uint8_t>(s.companions));
    w.fixed(s.records.best_depth);
    if (s.records.best_time) w.time(*s.records.best_time);
    if (s.records.best_time_night) w.time(*s.records.best_time_night);
}

ReplayStart read_start(Reader& r) {
    ReplayStart s;
    s.seed = r.fixed<std::uint64_t>();
    const std::uint16_t flags = r.fixed<std::uint16_t>();
    if (flags & ~kKnownFlags) r.fail(kInvalid);
    s.night = flags & kNight;
    s.autopilot = flags & kAutopilot;
    s.warp_exit = flags & kWarpExit;
    s.warp_water = flags & kWarpWater;
    s.warp_lost = flags & kWarpLost;
    s.moths_near = flags & kMothsNear;
    s.light_all = flags & kLightAll;
    if (flags & kHasDepth) s.depth = r.fixed<std::uint32_t>();
    s.companions = r.fixed<std::uint8_t>();
    s.records.best_depth = r.fixed<std::uint32_t>();
    if (flags & kHasBestTime) s.records.best_time = r.time();
    if (flags & kHasBestTimeNight) s.records.best_time_night = r.time();
    return s;
}

// The runs, refusing a count that the file cannot hold or that overflows 32 bits of steps.
std::vector<KeyRun> read_runs(Reader& r, const char*& too_many) {
    const std::uint32_t count = r.varint();
    std::vector<KeyRun> runs;
    if (r.error) return runs;
    if (count > r.left() / 2) {  // a run takes at least two bytes
        r.fail(kTruncated);
        return runs;
    }
    runs.reserve(count);
    std::uint64_t steps = 0;
    for (std::uint32_t i = 0; i < count && !r.error; ++i) {
        KeyRun run;
        run.keys = r.fixed<std::uint8_t>();
        run.count = r.varint();
        if ((run.keys & ~kKeyBits) != 0 || run.count == 0) r.fail(kInvalid);
        steps += run.count;
        if (steps > std::numeric_limits<std::uint32_t>::max()) too_many = "trop de pas";
        runs.push_back(run);
    }
    return runs;
}

std::uint64_t total_steps(const std::vector<KeyRun>& runs) {
    std::uint64_t steps = 0;
    for (const KeyRun& run : runs)
        steps += run.count;
    return steps;
}

const char* screen_name(Screen screen) {
    switch (screen) {
        case Screen::Title:
            return "titre";
        case Screen::Play:
            return "partie";
        case Screen::Pause:
            return "pause";
        case Screen::Death:
            return "extinction";
        case Screen::Descent:
            return "descente";
        case Screen::Victory:
            return "victoire";
    }
    return "?";
}

}  // namespace

std::uint8_t pack_keys(const Keys& k) {
    return static_cast<std::uint8_t>(k.up << 0 | k.down << 1 | k.left << 2 | k.right << 3 |
                                     k.action << 4 | k.escape << 5 | k.mute << 6);
}

Keys unpack_keys(std::uint8_t p) {
    return {(p & 1) != 0,  (p & 2) != 0,  (p & 4) != 0, (p & 8) != 0,
            (p & 16) != 0, (p & 32) != 0, (p & 64) != 0};
}

ReplayStart replay_start(const Options& o, std::uint64_t seed, const Records& records) {
    ReplayStart s;
    s.seed = seed;
    s.depth = o.depth;
    s.companions = o.companions;
    s.night = o.night;
    s.autopilot = o.autopilot;
    s.warp_exit = o.warp_exit;
    s.warp_water = o.warp_water;
    s.warp_lost = o.warp_lost;
    s.moths_near = o.moths_near;
    s.light_all = o.light_all;
    s.records = records;
    return s;
}

Options start_options(const ReplayStart& s) {
    Options o;
    o.seed = s.seed;
    o.depth = s.depth;
    o.companions = s.companions;
    o.night = s.night;
    o.autopilot = s.autopilot;
    o.warp_exit = s.warp_exit;
    o.warp_water = s.warp_water;
    o.warp_lost = s.warp_lost;
    o.moths_near = s.moths_near;
    o.light_all = s.light_all;
    return o;
}

std::vector<std::uint8_t> encode_replay(const Replay& replay) {
    Writer w;
    w.bytes(kSignature);
    w.fixed(kVersion);
    write_start(w, replay.start);
    w.varint(static_cast<std::uint32_t>(replay.runs.size()));
    for (const KeyRun& run : replay.runs) {
        w.fixed(run.keys);
        w.varint(run.count);
    }
    w.fixed(static_cast<std::uint8_t>(replay.end.screen));
    w.fixed(replay.end.depth);
    w.fixed(replay.end.steps);
    w.fixed(replay.end.state);
    return w.out;
}

Result<Replay> decode_replay(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < sizeof kSignature ||
        std::memcmp(bytes.data(), kSignature, sizeof kSignature) != 0) {
        return Failure{"pas un fichier de relecture"};
    }
    Reader r{bytes, sizeof kSignature};
    const std::uint8_t version = r.fixed<std::uint8_t>();
    if (!r.error && version != kVersion)
        return Failure{"version " + std::to_string(version) + " non gérée"};
    Replay replay;
    replay.start = read_start(r);
    const char* too_many = nullptr;
    replay.runs = read_runs(r, too_many);
    if (too_many && !r.error) return Failure{too_many};
    const std::uint8_t screen = r.fixed<std::uint8_t>();
    if (screen > static_cast<std::uint8_t>(Screen::Victory)) r.fail(kInvalid);
    replay.end.screen = static_cast<Screen>(screen);
    replay.end.depth = r.fixed<std::uint32_t>();
    replay.end.steps = r.fixed<std::uint32_t>();
    replay.end.state = r.fixed<std::uint64_t>();
    if (r.error) return Failure{r.error};
    if (r.left() != 0) return Failure{"données en trop à la fin"};
    if (total_steps(replay.runs) != replay.end.steps) return Failure{kInvalid};
    return replay;
}

Result<Replay> read_replay(const std::filesystem::path& path) {
    const auto read = read_small_file(path, kMaxReplayBytes);
    if (!read.ok()) return Failure{read.error()};
    const std::string& bytes = read.value();
    return decode_replay({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
}

Result<void> write_replay(const std::filesystem::path& path, const Replay& replay) {
    return replace_file(path, encode_replay(replay));
}

void ReplayRecorder::add(const Keys& keys) {
    if (steps == std::numeric_limits<std::uint32_t>::max()) return;  // 2 years of play: enough
    const std::uint8_t packed = pack_keys(keys);
    if (!runs.empty() && runs.back().keys == packed &&
        runs.back().count < std::numeric_limits<std::uint32_t>::max()) {
        ++runs.back().count;
    } else {
        runs.push_back({packed, 1});
    }
    ++steps;
}

std::optional<Keys> ReplayPlayer::next() {
    while (run < runs.size() && used >= runs[run].count) {
        ++run;
        used = 0;
    }
    if (run >= runs.size()) return std::nullopt;
    ++used;
    return unpack_keys(runs[run].keys);
}

bool ReplayPlayer::done() const {
    std::size_t r = run;
    std::uint32_t u = used;
    while (r < runs.size() && u >= runs[r].count) {
        ++r;
        u = 0;
    }
    return r >= runs.size();
}

std::string describe_mismatch(const ReplayCheck& want, const ReplayCheck& got) {
    auto where = [](const ReplayCheck& c) {
        return std::string(screen_name(c.screen)) + ", profondeur " + std::to_string(c.depth) +
               ", " + std::to_string(c.steps) + " pas";
    };
    const std::string lead = "la relecture ne finit pas comme la partie enregistrée : ";
    if (want.screen == got.screen && want.depth == got.depth && want.steps == got.steps)
        return lead + "état différent (" + where(got) + ")";
    return lead + where(got) + " au lieu de " + where(want);
}

}  // namespace pyrelle
