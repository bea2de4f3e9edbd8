#pragma once
#include <cstdint>
#include <string>

#include "engine/input.hpp"
#include "game/game.hpp"
#include "session.hpp"

namespace pyrelle {

// A duration in the largest of s, ms, µs, ns whose whole part is not zero, with two
// decimals rounded half up and the unit right after ("1.25ms", "340.00µs").
std::string format_duration(std::uint64_t nanoseconds);

// The fixed keys of step i of a scripted headless run: action at step 1 only, and
// right, down, left, up for 50 steps each, over and over.
Keys scripted_keys(std::uint32_t step);

// Says on standard error what the session has to report (failed saves), one line each.
void print_reports(PlaySession& session);

// Runs `frames` steps of the session's game without window or sound (fewer when a watched
// replay ends first), prints the timing and summary lines on standard error, writes the last
// picture enlarged 3 times; returns the exit status.
int run_headless(PlaySession& session, Game& game, std::uint32_t frames, bool idle,
                 const std::string& shot_path);

}  // namespace pyrelle
