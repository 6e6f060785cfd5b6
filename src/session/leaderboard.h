// Leaderboard file: one best time per level file, line pairs of key and time.
// Read once at start-up; afterwards the in-memory lines are the only source
// and are written back whole on every new record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "game/session_state.h"
#include "sim/sim_state.h"

inline const char* const kLeaderboardPath = "Res/Leaderboard.dat";

// Reads the file into the board's lines (CR LF or LF ends a line); a missing
// or unreadable file gives none. One spare empty line follows the last one.
// A file that exists but cannot be read whole (unreadable, or beyond one of
// the bounds below) is never rewritten: the board is not writable.
void ReadLeaderboard(Leaderboard& board, const std::string& path);
// Far beyond the 2 short lines per level a board holds (100,000 pairs take
// about 3 MiB; a file name has at most 255 bytes).
constexpr std::size_t kMaxLeaderboardBytes = std::size_t{64} << 20;
constexpr std::size_t kMaxLeaderboardLines = 1000000;
constexpr std::size_t kMaxLeaderboardLineBytes = 4096;
// The time on the line after the last line equal to key; 0 without a match
// or when that time is beyond the float range.
float LookUpBestTime(const Leaderboard& board, const std::string& key);
// Writes the time ("%.7g") after every line equal to key, or appends the pair,
// then rewrites the file whole (temp file, flush, rename); an empty path
// keeps the record in memory alone (a watched replay). A key on the last
// line gets its time line written too. Returns whether the file was written
// (reason, when given, says why not); the lines in memory are updated either
// way, except for a key holding a line break, which no line of the file could
// hold: it is not stored at all.
bool StoreRecord(Leaderboard& board, const std::string& key, float time, const std::string& path,
                 std::string* reason = nullptr);

// The time a finished run is judged by: the elapsed time, or in survival the
// frozen time once the end screen shows it. now is the timer in seconds.
double RunTime(const SessionState& session, PlayMode gameMode, double now);

// Whether t (seconds) beats best in this mode: faster in a race, longer in
// survival, and a best under one second is always beaten.
bool IsRecord(PlayMode gameMode, double t, float best);

// The per-frame record check of a won race or an ended survival run: judges
// the elapsed time (the frozen survival time once it is shown) and stores a
// record once per run. now is the timer in seconds. A record the file could
// not take is reported on standard error; the old file stays as it was.
void RecordCheck(SessionState& session, const GoalState& goal, PlayMode gameMode, double now,
                 Leaderboard& board, const std::string& key, const std::string& path);
