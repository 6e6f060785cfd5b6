// Leaderboard file: one best time per level file, line pairs of key and time.
// Read once at start-up; afterwards the in-memory lines are the only source
// and are written back whole on every new record.
//
// Depends on: game (state), platform (text files), sim (goal), world (number
// parsing and formatting).
#pragma once

#include <cstdint>
#include <string>

#include "game/session_state.h"
#include "sim/sim_state.h"

inline const char* const kLeaderboardPath = "Res/Leaderboard.dat";

// Reads the file into the board's lines (CR LF or LF ends a line); a missing
// or unreadable file gives none. One spare empty line follows the last one.
void ReadLeaderboard(Leaderboard& board, const std::string& path);
// The time on the line after the last line equal to key; 0 without a match.
float LookUpBestTime(const Leaderboard& board, const std::string& key);
// Writes the time ("%.7g") after every line equal to key, or appends the pair,
// then rewrites the file whole (temp file, flush, rename); an empty path
// keeps the record in memory alone (a watched replay). Returns whether the
// file was written (reason, when given, says why not); the lines in memory
// are updated either way.
bool StoreRecord(Leaderboard& board, const std::string& key, float time, const std::string& path,
                 std::string* reason = nullptr);

// The time a finished run is judged by: the elapsed time, or in survival the
// frozen time once the end screen shows it. now is the timer in seconds.
double RunTime(const SessionState& session, std::uint8_t gameMode, double now);

// Whether t (seconds) beats best in this mode: faster in a race, longer in
// survival, and a best under one second is always beaten.
bool IsRecord(std::uint8_t gameMode, double t, float best);

// The per-frame record check of a won race or an ended survival run: judges
// the elapsed time (the frozen survival time once it is shown) and stores a
// record once per run. now is the timer in seconds. A record the file could
// not take is reported on standard error; the old file stays as it was.
void RecordCheck(SessionState& session, const GoalState& goal, std::uint8_t gameMode, double now,
                 Leaderboard& board, const std::string& key, const std::string& path);
