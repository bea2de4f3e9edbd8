#pragma once
#include <cstdint>

#include "game/game.hpp"

namespace pyrelle {

// A fingerprint of where a game stands: the screen, the run's counters and the level's moving
// state (firefly, lights, pickups, creatures, random stream). Two games that were stepped with
// the same keys from the same start have the same fingerprint; a game that went another way
// almost surely does not. Pictures and sound play no part.
std::uint64_t state_hash(const Game& game);

}  // namespace pyrelle
