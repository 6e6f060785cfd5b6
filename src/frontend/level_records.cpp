#include "frontend/level_records.h"

#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "digest/digest.h"
#include "game/frame_view.h"
#include "game/game.h"
#include "mapfile/map_file.h"
#include "platform/platform.h"
#include "platform/text_codec.h"
#include "replay/replay_file.h"
#include "session/author_run.h"
#include "session/replays.h"

namespace {

constexpr std::size_t kMaxLevelBytes = std::size_t{16} << 20;
// The longest name told whole in the column left of a tall list.
constexpr std::size_t kColumnNameBytes = 14;

// A world record's run, once it was tried here.
struct WorldRun {
  bool proven = false;
  std::string level;
  std::vector<Checkpoint> track;  // its last run, for the ghost
};

// The link is the game's one connection to the outside besides its files:
// like the sound device it lives as long as the program.
struct Records {
  std::unique_ptr<outbox::RecordsLink> link;
  std::string levelFile;  // the level last highlighted, and its bytes' SHA-256
  std::string levelSha;
  std::map<std::string, WorldRun> runs;  // by id
  std::set<std::string> asked;           // ids fetched since the selection opened
};

Records& R() {
  static Records records;
  return records;
}

// "Res/Replays/<level file>.world.zrp": the world record's run, kept beside
// the level's best replay.
std::string WorldRunPath(const std::string& levelFile) {
  return "Res/Replays/" + levelFile + ".world.zrp";
}

std::string LevelSha(const std::string& levelFile) {
  std::string bytes, why;
  if (!plat::ReadFileBytes(kMapFolder + levelFile, kMaxLevelBytes, bytes, why)) return "";
  return Sha256Hex(bytes);
}

// Proves a world record's run the way the verifier does, in a game of its
// own; only a proven, won race of this level races along.
void Prove(const std::string& id, const std::string& levelFile, const std::string& bytes) {
  WorldRun run;
  run.level = levelFile;
  const std::string path = WorldRunPath(levelFile);
  std::string why;
  if (!plat::WriteFileAtomically(path, bytes, &why)) {
    plat::ConsoleWarning("Der Weltrekord-Lauf von " + levelFile + " laesst sich nicht speichern (" +
                         why + ").");
  } else {
    Replay replay;
    const AuthorRun proof = ProveRunFile(path, levelFile, &replay);
    if (proof.proven && replay.mode == 1) {
      run.proven = true;
      run.track = LastRunOf(replay.track);
    } else {
      plat::ConsoleWarning("Der Weltrekord-Lauf von " + levelFile +
                           " laesst sich hier nicht beweisen und faehrt nicht mit (" + proof.line +
                           ").");
    }
  }
  R().runs[id] = std::move(run);
}

}  // namespace

void StartWorldRecords(Game& game) {
  Records& r = R();
  outbox::RecordsSettings settings;
  settings.server = SettingsGet(game.settings, "RecordsServer");
  settings.playerName = SettingsGet(game.settings, "PlayerName");
  if (settings.server.empty()) return;
  if (!outbox::ValidServerUrl(settings.server)) {
    plat::ConsoleWarning("RecordsServer=" + settings.server +
                         " ist keine http://- oder https://-Adresse; die Weltrekorde bleiben aus.");
    return;
  }
  r.link = std::make_unique<outbox::RecordsLink>(settings);
  if (!r.link->CanSend()) {
    plat::ConsoleWarning(
        "Ohne PlayerName schickt das Spiel keine Laeufe an den Weltrekord-Server; es zeigt nur "
        "die Weltrekorde.");
    return;
  }
  game.records.sendRecord = [](const std::string& bytes) {
    std::string why;
    if (R().link && !R().link->Send(bytes, &why)) {
      plat::ConsoleWarning("Der Lauf kommt nicht in den Ausgang zum Weltrekord-Server (" + why +
                           ").");
    }
  };
}

void StopWorldRecords(Game& game) {
  game.records.sendRecord = nullptr;
  R().link.reset();
}

void AskWorldRecords() {
  Records& r = R();
  if (!r.link) return;
  r.asked.clear();
  r.link->FetchWorldRecords();
}

std::string WorldRecordLine(const outbox::WorldRecord& record) {
  return "Weltrekord: " + record.time + " s \x96 " + plat::Cp1252FromUtf8(record.name);
}

void ShowWorldRecord(Game& game, FrameView& view, const std::string& levelFile, bool tall) {
  game.records.shownText.clear();
  Records& r = R();
  if (!r.link || levelFile.empty()) return;
  if (levelFile != r.levelFile) {
    r.levelFile = levelFile;
    r.levelSha = LevelSha(levelFile);
  }
  const outbox::WorldRecords all = r.link->WorldRecordsNow();
  const bool race = !levelFile.ends_with(".mapGame2");
  const outbox::WorldRecord* record = all.Find(levelFile, race ? "race" : "survival");
  // A board of another version of the level, or of another simulation, is
  // not this level's record.
  if (!record || record->sha256 != r.levelSha ||
      record->simulationVersion != static_cast<int>(kSimulationVersion)) {
    return;
  }
  game.records.shownText = WorldRecordLine(*record);
  if (tall) {
    // "Weltrekord:", the time, the name: each fits the column's width.
    std::string name = plat::Cp1252FromUtf8(record->name);
    if (name.size() > kColumnNameBytes) name = name.substr(0, kColumnNameBytes - 3) + "...";
    view.Text(ViewOp::kTextOnPlane, "Weltrekord:", -2.0f, -1.7f, 1.0f, 0.85f, 0.4f);
    view.Text(ViewOp::kTextOnPlane, record->time + " s", -2.0f, -1.95f, 1.0f, 0.85f, 0.4f);
    view.Text(ViewOp::kTextOnPlane, "\x96 " + name, -2.0f, -2.2f, 1.0f, 0.85f, 0.4f);
  } else {
    view.Text(ViewOp::kTextOnPlane, game.records.shownText, -2.0f, -1.5f, 1.0f, 0.85f, 0.4f);
  }
  if (!race || !SettingEnabled(game.settings, "Ghost") || r.runs.count(record->id)) return;
  std::string bytes;
  if (r.link->TakeRun(record->id, bytes)) {
    Prove(record->id, levelFile, bytes);
  } else if (r.asked.insert(record->id).second) {
    // Downloaded at an earlier start: proven again, not fetched again.
    std::string why;
    if (plat::ReadFileBytes(WorldRunPath(levelFile), kReplayMaxFileBytes, bytes, why) &&
        Sha256Hex(bytes) == record->id) {
      Prove(record->id, levelFile, bytes);
    } else {
      r.link->FetchRun(record->id);
    }
  }
}

void ChooseWorldGhost(Game& game) {
  WorldRecordsState& w = game.records;
  w.ghost.clear();
  w.ghostLevel.clear();
  w.shownText.clear();  // the selection is left
  Records& r = R();
  if (!r.link) return;
  const std::string& level = game.select.ChosenLevelFile;
  const outbox::WorldRecords all = r.link->WorldRecordsNow();
  const outbox::WorldRecord* record = all.Find(level, "race");
  if (!record) return;
  const auto run = r.runs.find(record->id);
  if (run == r.runs.end() || !run->second.proven || run->second.level != level) return;
  w.ghost = run->second.track;
  w.ghostLevel = level;
}

bool WaitForWorldRecords(double seconds) {
  Records& r = R();
  if (!r.link) return true;
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    if (r.link->Idle()) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}
