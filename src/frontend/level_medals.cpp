#include "frontend/level_medals.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "frontend/level_scroll.h"
#include "game/frame_view.h"
#include "game/game.h"
#include "platform/platform.h"
#include "session/medals.h"

namespace {

// The medals of every level of both modes, worked out again at most once a
// second (the leaderboard changes only in play; a level or its author run
// only by the editor or by hand), the author runs proven again only when
// their bytes or their level's change.
struct MedalTable {
  AuthorTimes authors;
  std::map<std::string, LevelMedal> levels;  // by level file
  int won = 0, gold = 0, silver = 0, bronze = 0, count = 0;
  double refreshedAt = -1.0;
};

MedalTable& Table(const Game& game) {
  static MedalTable table;
  const double now = plat::UntappedTimer();
  if (table.refreshedAt >= 0.0 && now >= table.refreshedAt && now < table.refreshedAt + 1.0)
    return table;
  table.refreshedAt = now;
  table.levels.clear();
  table.won = table.gold = table.silver = table.bronze = table.count = 0;
  for (std::uint8_t mode = 1; mode <= 2; ++mode) {
    // The level list's own files (as the selection lists them).
    for (const std::string& file :
         plat::ListFiles(mode == 2 ? "Res/maps/*.mapGame2" : "Res/maps/*.mapGame1")) {
      const LevelMedal m = MedalOfLevel(table.authors, game.board, file, mode);
      table.levels[file] = m;
      ++table.count;
      table.won += m.medal != Medal::kNone ? 1 : 0;
      table.gold += m.medal == Medal::kGold ? 1 : 0;
      table.silver += m.medal == Medal::kSilver ? 1 : 0;
      table.bronze += m.medal == Medal::kBronze ? 1 : 0;
    }
  }
  return table;
}

bool MedalsShown(const Game& game) {
  return SettingEnabled(game.settings, "Medals");
}

struct Colour {
  float r, g, b;
};

Colour MedalColour(Medal medal) {
  switch (medal) {
    case Medal::kGold:
      return {1.0f, 0.82f, 0.2f};
    case Medal::kSilver:
      return {0.78f, 0.82f, 0.9f};
    case Medal::kBronze:
      return {0.85f, 0.52f, 0.25f};
    case Medal::kNone:
      break;
  }
  return {0.5f, 0.5f, 0.5f};
}

std::string Seconds(float t) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(t));
  return text;
}

}  // namespace

void ShowLevelMedal(Game& game, FrameView& view, const std::string& levelFile, int screenRow) {
  if (screenRow == 0 || !MedalsShown(game)) return;
  const MedalTable& table = Table(game);
  const auto it = table.levels.find(levelFile);
  if (it == table.levels.end() || !it->second.proven) return;
  const LevelMedal& m = it->second;
  const float y = static_cast<float>(1.7 - screenRow / 3.0);
  const Colour c = MedalColour(m.medal);
  view.Text(ViewOp::kTextOnPlane, m.medal == Medal::kNone ? "-" : MedalName(m.medal), 1.7f, y, c.r,
            c.g, c.b);
  view.Text(ViewOp::kTextOnPlane, Seconds(m.author), 2.45f, y, 0.7f, 0.7f, 0.7f);
}

void ShowMedalCount(Game& game, FrameView& view, int firstRow,
                    const std::vector<std::string>& files) {
  const std::string range = LevelListRange(firstRow, static_cast<int>(files.size()));
  if (!range.empty()) {
    const std::size_t cut = range.find(" von ");
    view.Text(ViewOp::kTextOnPlane, range.substr(0, cut), -2.0f, -1.2f, 0.8f, 0.8f, 0.8f);
    view.Text(ViewOp::kTextOnPlane, range.substr(cut + 1), -2.0f, -1.45f, 0.8f, 0.8f, 0.8f);
  }
  if (!MedalsShown(game)) return;
  const MedalTable& table = Table(game);
  const bool timed = std::any_of(files.begin(), files.end(), [&](const std::string& file) {
    const auto it = table.levels.find(file);
    return it != table.levels.end() && it->second.proven;
  });
  if (timed) view.Text(ViewOp::kTextOnPlane, "Autorzeit", 2.45f, 1.7f, 1.0f, 1.0f, 1.0f);
  view.Text(ViewOp::kTextOnPlane, "Medaillen: " + std::to_string(table.won), -2.0f, 0.7f, 1.0f,
            1.0f, 1.0f);
  const Medal kinds[] = {Medal::kGold, Medal::kSilver, Medal::kBronze};
  const int counts[] = {table.gold, table.silver, table.bronze};
  for (int k = 0; k < 3; ++k) {
    const Colour c = MedalColour(kinds[k]);
    view.Text(ViewOp::kTextOnPlane,
              std::string(MedalName(kinds[k])) + ": " + std::to_string(counts[k]), -2.0f,
              static_cast<float>(0.45 - k * 0.25), c.r, c.g, c.b);
  }
  view.Text(ViewOp::kTextOnPlane, "(" + std::to_string(table.count) + " Level)", -2.0f, -0.3f, 0.7f,
            0.7f, 0.7f);
}
