#include "game/state_hash.hpp"

#include <cstring>
#include <type_traits>

namespace pyrelle {
namespace {

// FNV-1a over the bytes of each value in turn.
struct Fingerprint {
    std::uint64_t value = 0xCBF29CE484222325ull;

    template <typename T>
    void add(const T& v) {
        static_assert(std::is_arithmetic_v<T> || std::is_enum_v<T>);
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, &v, sizeof(T));
        for (unsigned char b : bytes) {
            value ^= b;
            value *= 0x100000001B3ull;
        }
    }
    void add(Vec2 v) {
        add(v.x);
        add(v.y);
    }
};

void add_level(Fingerprint& f, const Level& level) {
    f.add(level.depth);
    f.add(level.seed);
    f.add(level.rng.state);
    f.add(level.time);
    f.add(level.firefly_pos);
    f.add(level.firefly_vel);
    f.add(level.energy);
    f.add(level.hurt_timer);
    f.add(level.burst_cooldown);
    f.add(level.exit_progress);
    f.add(level.camera);
    f.add(level.night);
    for (const Lantern& lantern : level.lanterns) {
        f.add(lantern.lit);
        f.add(lantern.glow);
    }
    for (const PollenGrain& grain : level.pollen)
        f.add(grain.present);
    f.add(level.lost_companion.has_value());
    for (const Companion& companion : level.companions)
        f.add(Vec2{companion.x, companion.y});
    for (const Shade& shade : level.shades) {
        f.add(Vec2{shade.x, shade.y});
        f.add(shade.state);
        f.add(shade.flee_timer);
    }
    for (const Moth& moth : level.moths) {
        f.add(Vec2{moth.x, moth.y});
        f.add(moth.stun_timer);
    }
    // Eight bytes on every machine: a size_t is four in WebAssembly and eight here.
    f.add(static_cast<std::uint64_t>(level.particles.size()));
}

}  // namespace

std::uint64_t state_hash(const Game& game) {
    Fingerprint f;
    f.add(game.screen);
    f.add(game.screen_timer);
    f.add(game.run_time);
    f.add(game.total_time);
    f.add(game.extinctions);
    f.add(game.pollen_total);
    f.add(game.companions_following);
    f.add(game.demo_rebuilds);
    f.add(game.night);
    f.add(game.new_record);
    add_level(f, game.level);
    return f.value;
}

}  // namespace pyrelle
