// The world records as a game session sees them: where a run that set a
// local record goes, and the world record's run as a second ghost. The link
// to the records server itself belongs to the level selection
// (frontend/level_records.h); here are only plain values and one hand-over.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "replay/replay_file.h"

struct WorldRecordsState {
  // Takes the bytes of a run that set a local record, as they are stored as
  // the level's best replay (null: no records server is set).
  std::function<void(const std::string& replayBytes)> sendRecord;
  // The world record's run of the level being played, from its last start
  // on, proven here before the level began (empty: none). With it, G cycles
  // the ghost: own best -> world record -> off.
  std::vector<Checkpoint> ghost;
  std::string ghostLevel;  // the level file it belongs to
  // The line the level selection shows for the highlighted level ("" for
  // none, and once a level was chosen).
  std::string shownText;
};
