// The server's web pages, in German like the game: plain HTML with one
// style sheet in the page, no script. The levels with their world records,
// one board (a page of its ranking), one run. Every text from outside
// (names, level file names, the verifier's line) is escaped.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "records/store.h"

namespace records {

constexpr long long kRunsPerPage = 50;

std::string HtmlEscape(const std::string& text);
// Every byte but A-Z a-z 0-9 - . _ ~ as %XX: a level's file name as one
// segment of a path.
std::string PercentEncode(const std::string& text);
// "2025-06-01 14:03 UTC" and "2025-06-01T14:03:12Z" from milliseconds since 1970.
std::string PageDate(long long ms);
std::string IsoDate(long long ms);
// "Rennen" or "Ueberleben".
std::string ModeName(const std::string& mode);
// "01 Erste Schritte" for "01 Erste Schritte.mapGame1".
std::string LevelTitle(const std::string& level);
// The link to a board page.
std::string BoardLink(const std::string& level, const std::string& mode, long long boardId,
                      bool archived, long long page);

// A level the server serves now, with its board for the newest simulation
// version (none before its first run) and its older boards.
struct LevelListing {
  std::string level;
  std::string mode;
  std::string sha256;
  std::optional<BoardInfo> board;
  std::vector<BoardInfo> archived;
};

std::string IndexHtml(const std::vector<LevelListing>& levels, const std::vector<BoardInfo>& gone);

struct BoardView {
  std::string level;
  std::string mode;
  std::optional<BoardInfo> board;  // none: no run yet
  bool archived = false;
  long long page = 1;  // 1-based
  long long pages = 1;
  std::vector<RankedRun> runs;
  std::vector<BoardInfo> others;  // the level's other boards
};
std::string BoardHtml(const BoardView& view);

std::string RunHtml(const StoredRun& run, bool archived);

}  // namespace records
