// Replays and the ghost.
#include "session/replays.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "game/game.h"
#include "mapfile/map_file.h"
#include "platform/platform.h"
#include "session/rules.h"
#include "session/run.h"
#include "session/run_start.h"
#include "world/map.h"

namespace {

constexpr std::size_t kMaxLevelBytes = std::size_t{16} << 20;

bool SameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}
bool SameBits(float a, float b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string Where(const Checkpoint& c) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "(%.9g, %.9g) at %.17g s", static_cast<double>(c.x),
                static_cast<double>(c.y), c.elapsed);
  return buf;
}

bool LevelHash(const std::string& levelFile, std::uint64_t& hash, std::string& why) {
  std::string bytes;
  if (!plat::ReadFileBytes(kMapFolder + levelFile, kMaxLevelBytes, bytes, why)) return false;
  hash = HashBytes(bytes);
  return true;
}

// A level file name as the game lists them: no folders, no way out.
bool PlainLevelName(const std::string& name) {
  return !name.empty() && name.find('/') == std::string::npos &&
         name.find('\\') == std::string::npos && name != "." && name != ".." &&
         (name.ends_with(".mapGame1") || name.ends_with(".mapGame2"));
}

void WriteReplay(const std::string& path, const std::string& bytes) {
  std::string why;
  if (!plat::WriteFileAtomically(path, bytes, &why)) {
    plat::ConsoleWarning("Die Wiederholung " + path + " liess sich nicht speichern (" + why + ").");
  }
}

void WriteRunReplays(Game& game) {
  ReplayState& r = game.replay;
  if (plat::TapOverflowed()) {
    plat::ConsoleWarning(
        "Die Fahrt war zu lang fuer eine Wiederholung; sie wird nicht gespeichert.");
    return;
  }
  Replay rp = r.playing;
  rp.won = game.sim.GameMode == PlayMode::kRace && game.sim.Goal.GoalReached;
  rp.time = game.session.runTime;
  rp.log = plat::TapRecorded();
  rp.track = r.track;
  if (game.testPlay.on) {
    // The level's author run: a finished race, or a survival run to its end,
    // of the level as it was played.
    const bool done = rp.won || game.sim.GameMode == PlayMode::kSurvival;
    if (done && !game.testPlay.authorRunPath.empty()) {
      WriteReplay(game.testPlay.authorRunPath, EncodeReplay(rp));
    }
  } else {
    const std::string bytes = EncodeReplay(rp);
    WriteReplay(kLastReplayPath, bytes);
    if (game.session.RecordStored == 1) {
      WriteReplay(BestReplayPath(rp.levelFile), bytes);
      if (game.records.sendRecord) game.records.sendRecord(bytes);
    }
  }
  rp = Replay();
  plat::ReleaseFreeMemory();
}

void LoadGhost(Game& game) {
  ReplayState& r = game.replay;
  r.ghost.clear();
  if (game.sim.GameMode != PlayMode::kRace || !SettingEnabled(game.settings, "Ghost") ||
      game.testPlay.on)
    return;
  const std::string& level = game.select.ChosenLevelFile;
  if (!HasBestReplay(level)) return;
  Replay best;
  std::string why;
  // A best run of another version of the level is no ghost for this one.
  if (!LoadReplay(BestReplayPath(level), best, why) || best.levelFile != level) return;
  r.ghost = LastRunOf(best.track);
}

}  // namespace

std::string BestReplayPath(const std::string& levelFile) {
  return "Res/Replays/" + levelFile + ".best.zrp";
}

bool HasBestReplay(const std::string& levelFile) {
  return PlainLevelName(levelFile) && plat::IsFile(BestReplayPath(levelFile));
}

bool LoadReplay(const std::string& path, Replay& replay, std::string& why) {
  std::string bytes;
  std::string reading;
  if (!plat::ReadFileBytes(path, kReplayMaxFileBytes, bytes, reading)) {
    return (why = "cannot be read (" + reading + ")", false);
  }
  if (!DecodeReplay(bytes, replay, why)) return false;
  if (!PlainLevelName(replay.levelFile)) return (why = "no level file name", false);
  if (replay.mode != (replay.levelFile.ends_with(".mapGame2") ? 2 : 1)) {
    return (why = "the mode does not fit the level", false);
  }
  std::uint64_t hash = 0;
  std::string missing;
  if (!LevelHash(replay.levelFile, hash, missing)) {
    return (why = "level file missing: " + replay.levelFile, false);
  }
  if (hash != replay.levelHash) return (why = "level file changed: " + replay.levelFile, false);
  if (!replay.runStart.empty()) {
    // A run after a restart starts from the state it carries: it proves
    // nothing unless that is the level's start.
    const auto scratch = std::make_unique<Game>();
    if (!DecodeRunStart(replay.runStart, *scratch, why)) return false;
    double firstClock = std::numeric_limits<double>::infinity();
    for (const plat::TapEvent& e : replay.log.events) {
      if (e.kind == plat::kTapTimer) {
        firstClock = e.timer;
        break;
      }
    }
    if (!RunStartIsLevelStart(*scratch, replay.levelFile, firstClock, why)) return false;
  }
  return true;
}

std::string ReplayReasonInGerman(const std::string& why) {
  const auto after = [&why](const std::string& prefix) { return why.substr(prefix.size()); };
  if (why.starts_with("cannot be read")) return "die Datei laesst sich nicht lesen";
  if (why.starts_with("level file missing: ")) {
    return "der Level " + after("level file missing: ") + " fehlt";
  }
  if (why.starts_with("level file changed: ")) {
    return "der Level " + after("level file changed: ") + " wurde seit der Fahrt geaendert";
  }
  if (why.starts_with("simulation version") || why.starts_with("unknown format version")) {
    return "sie stammt aus einer anderen Version des Spiels";
  }
  if (why == "not a replay file") return "die Datei ist keine Wiederholung";
  return "die Datei ist beschaedigt";
}

bool BeginSessionReplay(Game& game) {
  ReplayState& r = game.replay;
  r.track = {};
  r.runEnded = false;
  r.restarted = false;
  r.ghostShown = false;
  if (r.watching) {
    r.ghost.clear();
    plat::TapReplay(r.playing.log, r.paced, r.quiet);
    if (r.playing.runStart.empty()) return false;
    std::string why;
    if (!DecodeRunStart(r.playing.runStart, game, why)) {
      r.trackMismatch = why;
      r.trackMismatchFrame = 0;
    }
    return true;
  }
  LoadGhost(game);
  r.ghostHiddenSeen = game.session.GhostHidden;
  r.ghostPick = game.session.GhostHidden != 0 ? 2 : r.ghost.empty() ? 1 : 0;
  Replay& head = r.playing;
  head = Replay();
  head.levelFile = game.select.ChosenLevelFile;
  head.mode = static_cast<std::uint8_t>(game.sim.GameMode);
  head.bestTime = game.session.BestTime;
  head.particle = SettingsGet(game.settings, "Particle");
  head.particleNumber = SettingsGet(game.settings, "ParticleNumber");
  std::string why;
  if (game.testPlay.on) {
    head.levelHash = game.testPlay.levelHash;
  } else if (!LevelHash(head.levelFile, head.levelHash, why)) {
    head.levelHash = 0;
  }
  plat::TapRecord();
  return false;
}

void StartNextRunReplay(Game& game) {
  ReplayState& r = game.replay;
  if (!r.restarted) return;
  r.restarted = false;
  if (r.watching || plat::TapModeNow() != plat::TapMode::kRecording) return;
  r.track = {};  // a long run's room goes with it
  r.runEnded = false;
  r.playing.bestTime = game.session.BestTime;
  r.playing.runStart = EncodeRunStart(game);
  plat::TapRecord();
  plat::ReleaseFreeMemory();
}

void ReplayFrame(Game& game) {
  ReplayState& r = game.replay;
  const SessionState& s = game.session;
  const Ball& b1 = game.sim.Balls[1];
  Checkpoint here;
  here.x = b1.x;
  here.y = b1.y;
  here.elapsed = ElapsedTime(s, game.frame.LastFrameStamp);
  const bool ended = RestartQuestionShown(s, game.sim);
  const bool endsNow = ended && !r.runEnded;
  r.runEnded = ended;
  if (r.watching) {
    if (plat::TapModeNow() != plat::TapMode::kReplaying) return;
    const long long frame = plat::TapFrames();
    r.frameTimes.push_back(game.frame.FrameTime);
    if (frame < static_cast<long long>(r.playing.track.size()) && r.trackMismatch.empty()) {
      const Checkpoint& was = r.playing.track[static_cast<std::size_t>(frame)];
      if (!SameBits(was.x, here.x) || !SameBits(was.y, here.y) ||
          !SameBits(was.elapsed, here.elapsed)) {
        r.trackMismatch = "ball 1 " + Where(here) + ", recorded " + Where(was);
        r.trackMismatchFrame = frame;
      }
    }
    if (endsNow) {
      r.resultSeen = true;
      r.won = game.sim.GameMode == PlayMode::kRace && game.sim.Goal.GoalReached;
      r.time = s.runTime;
      r.resultFrame = frame;
    }
    return;
  }
  if (plat::TapModeNow() != plat::TapMode::kRecording) return;
  // A run too long to keep stops its track where the recording stopped.
  if (!plat::TapOverflowed()) r.track.push_back(here);
  if (endsNow) WriteRunReplays(game);
}

void EndSessionReplay(Game& game) {
  ReplayState& r = game.replay;
  if (plat::TapModeNow() == plat::TapMode::kRecording) plat::TapStop();
  r.restarted = false;
  r.track = {};
  r.ghost = {};
  r.ghostShown = false;
}

std::vector<Checkpoint> LastRunOf(const std::vector<Checkpoint>& track) {
  std::size_t from = 0;
  for (std::size_t i = 1; i < track.size(); ++i) {
    if (track[i].elapsed < track[i - 1].elapsed) from = i;
  }
  return std::vector<Checkpoint>(track.begin() + static_cast<std::ptrdiff_t>(from), track.end());
}

Checkpoint GhostAt(const std::vector<Checkpoint>& ghost, double elapsed) {
  if (ghost.empty()) return Checkpoint();
  const auto after = std::upper_bound(ghost.begin(), ghost.end(), elapsed,
                                      [](double t, const Checkpoint& c) { return t < c.elapsed; });
  return after == ghost.begin() ? ghost.front() : *(after - 1);
}

int NextGhostPick(int pick, bool haveOwnBest) {
  const int next = (pick + 1) % 3;
  return next == 0 && !haveOwnBest ? 1 : next;
}

void StepGhost(Game& game) {
  ReplayState& r = game.replay;
  r.ghostShown = false;
  r.ghostIsWorld = false;
  const WorldRecordsState& w = game.records;
  const bool withWorld = !r.watching && !w.ghost.empty() &&
                         w.ghostLevel == game.select.ChosenLevelFile &&
                         SettingEnabled(game.settings, "Ghost");
  // Every change of GhostHidden is a G press (or a pad's): with the world
  // record's run it moves the pick on.
  if (withWorld && game.session.GhostHidden != r.ghostHiddenSeen) {
    r.ghostPick = NextGhostPick(r.ghostPick, !r.ghost.empty());
  }
  r.ghostHiddenSeen = game.session.GhostHidden;
  const std::vector<Checkpoint>* track = nullptr;
  if (withWorld) {
    track = r.ghostPick == 0 ? &r.ghost : r.ghostPick == 1 ? &w.ghost : nullptr;
  } else if (game.session.GhostHidden == 0) {
    track = &r.ghost;
  }
  if (!track || track->empty() || game.sim.GameMode != PlayMode::kRace) return;
  const Checkpoint c = GhostAt(*track, ElapsedTime(game.session, game.frame.LastFrameStamp));
  r.ghostShown = true;
  r.ghostIsWorld = track == &w.ghost;
  r.ghostX = c.x;
  r.ghostY = c.y;
}
