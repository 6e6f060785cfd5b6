// Leaderboard: read once, looked up at level start, rewritten on a record.
#include "session/leaderboard.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "world/map.h"

namespace {

const std::string& BoardLine(const Leaderboard& board, int i) {
  static const std::string kEmpty;
  if (i < 1 || i >= static_cast<int>(board.lines.size())) return kEmpty;
  return board.lines[static_cast<std::size_t>(i)];
}

}  // namespace

void ReadLeaderboard(Leaderboard& board, const std::string& path) {
  std::vector<std::string> fileLines;
  plat::TextLimits limits;
  limits.maxBytes = kMaxLeaderboardBytes;
  limits.maxLines = kMaxLeaderboardLines;
  limits.maxLineBytes = kMaxLeaderboardLineBytes;
  const plat::TextRead read = plat::ReadTextLines(path, limits, fileLines);
  board.writable = read == plat::TextRead::kWhole || read == plat::TextRead::kMissing;
  board.lines.assign(1, std::string());  // [0] unused
  board.lines.reserve(fileLines.size() + 2);
  for (std::string& line : fileLines) board.lines.push_back(std::move(line));
  board.LeaderboardLineCount = static_cast<int>(board.lines.size()) - 1;
  board.lines.emplace_back();  // the spare line after the last one reads as empty
}

float LookUpBestTime(const Leaderboard& board, const std::string& key) {
  float best = 0.0f;
  // No early exit: the last matching line wins.
  for (int i = 1; i <= board.LeaderboardLineCount; ++i) {
    if (BoardLine(board, i) == key) best = static_cast<float>(ParseNumber(BoardLine(board, i + 1)));
  }
  // A time beyond the float range ("-1e300") is no time the game wrote: no
  // record, rather than an infinite one.
  return std::isfinite(best) ? best : 0.0f;
}

bool StoreRecord(Leaderboard& board, const std::string& key, float time, const std::string& path,
                 std::string* reason) {
  if (key.find('\n') != std::string::npos) {
    if (reason != nullptr) *reason = "der Name enthaelt einen Zeilenumbruch";
    return false;
  }
  const std::string timeText = FormatFloat7(time);
  bool found = false;
  const int count = board.LeaderboardLineCount;
  for (int i = 1; i <= count; ++i) {
    if (BoardLine(board, i) != key) continue;
    const std::size_t next = static_cast<std::size_t>(i) + 1;
    if (next >= board.lines.size()) board.lines.resize(next + 1);
    board.lines[next] = timeText;
    // A key on the last line (its time line missing) gains the time line,
    // or the record would never reach the file.
    if (i == count) board.LeaderboardLineCount = count + 1;
    found = true;
  }
  if (!found) {
    board.LeaderboardLineCount += 2;
    board.lines.resize(static_cast<std::size_t>(board.LeaderboardLineCount) + 2);
    board.lines[static_cast<std::size_t>(board.LeaderboardLineCount) - 1] = key;
    board.lines[static_cast<std::size_t>(board.LeaderboardLineCount)] = timeText;
  }
  // A time written after a key on the very last line lands on the spare
  // line; keep one spare beyond the count in every case.
  if (board.lines.size() < static_cast<std::size_t>(board.LeaderboardLineCount) + 2) {
    board.lines.resize(static_cast<std::size_t>(board.LeaderboardLineCount) + 2);
  }
  std::string text;
  for (int i = 1; i <= board.LeaderboardLineCount; ++i) {
    text += BoardLine(board, i);
    text += "\r\n";
  }
  if (path.empty()) return true;
  if (!board.writable) {
    // The file could not be read whole: rewriting it would lose what was
    // not read.
    if (reason != nullptr) *reason = path + ": die alte Datei war nicht ganz lesbar";
    return false;
  }
  // Beside the old file, flushed, renamed over it: a failed write or a kill
  // at any moment leaves either the old or the new complete file.
  return plat::WriteFileAtomically(path, text, reason);
}

double RunTime(const SessionState& session, PlayMode gameMode, double now) {
  // The time judged in survival is the time the end screen shows.
  if (gameMode == PlayMode::kSurvival && session.SurvivalTimeText != "0")
    return ParseNumber(session.SurvivalTimeText);
  return now - static_cast<double>(session.SessionStartTime);
}

bool IsRecord(PlayMode gameMode, double t, float best) {
  if (gameMode == PlayMode::kRace && t < best) return true;
  if (gameMode == PlayMode::kSurvival && t > best) return true;
  return best < 1.0f;
}

void RecordCheck(SessionState& session, const GoalState& goal, PlayMode gameMode, double now,
                 Leaderboard& board, const std::string& key, const std::string& path) {
  if (!(goal.GoalReached || session.SurvivalEnded == 1)) return;
  if (session.RecordStored != 0) return;
  const double t = RunTime(session, gameMode, now);
  if (!IsRecord(gameMode, t, session.BestTime)) return;
  session.BestTime = static_cast<float>(t);
  session.RecordStored = 1;
  std::string reason;
  if (!StoreRecord(board, key, session.BestTime, path, &reason)) {
    plat::ConsoleWarning("Der Rekord fuer " + key + " liess sich nicht speichern (" + reason +
                         "); die alte Bestenliste bleibt erhalten.");
  }
}
