#include "frontend/level_marks.h"

#include "frontend/editor.h"
#include "game/game.h"
#include "mapcheck/map_check.h"
#include "mapfile/map_file.h"
#include "platform/platform.h"

bool LevelHasErrors(Game& game, const std::string& levelFile) {
  auto& known = game.editor.levelErrors;
  const auto it = known.find(levelFile);
  if (it != known.end()) return it->second;
  bool broken = false;
  std::string bytes, why;
  if (!levelFile.empty() && plat::IsPlayerLevel(levelFile) &&
      plat::ReadFileBytes(kMapFolder + levelFile, kMaxMapBytes, bytes, why)) {
    const std::vector<MapFinding> errors = MapErrors(bytes, LevelKindOfName(levelFile));
    if (!errors.empty()) {
      broken = true;
      plat::ConsoleWarning(GermanFindingLine(levelFile, errors.front()));
    }
  }
  known[levelFile] = broken;
  return broken;
}

void ShowLevelMark(Game& game, FrameView& view, const std::string& levelFile, float y) {
  if (!LevelHasErrors(game, levelFile)) return;
  view.Text(ViewOp::kTextOnPlane, "(Fehler)", 1.0f, y, 1.0f, 0.3f, 0.3f);
}

bool StepEditChoice(Game& game, const std::string& levelFile, FrameView& view, bool tall) {
  view.Text(ViewOp::kTextOnPlane, "E: Level bearbeiten", tall ? 1.0f : -2.0f, tall ? 2.1f : -2.0f,
            0.8f, 0.8f, 1.0f);
  const std::string& key = game.frame.LastKey;
  if (key != "e" && key != "E") return false;
  game.editor.chosenLevel = levelFile;
  return true;
}

bool EditChosenLevel(Game& game) {
  if (game.editor.chosenLevel.empty()) return false;
  const std::string level = game.editor.chosenLevel;
  game.editor.chosenLevel.clear();
  EditListedLevel(game, level);
  // Back to the selection as it was left.
  game.sim.BallCount = 1;
  game.select.ChosenLevelFile.clear();
  game.select.pointerSeen = false;
  plat::SetPointerVisible(true);
  return true;
}
