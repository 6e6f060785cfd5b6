// Replay files: a played session's readings of the outside world (the tap's
// record), the level it was played on, its result and a track of ball 1,
// zlib-compressed behind a magic, a format version and a checksum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// Bumped by every change that alters physics or rules: a replay recorded
// under another simulation cannot be re-run and is refused. 2: a frame
// longer than 34 ms is stepped in parts of at most 17 ms.
constexpr std::uint32_t kSimulationVersion = 2;
// The file layout's version: 1 for a run from the level's start, 2 for a run
// after a restart, which carries the state the restart left behind.
constexpr std::uint16_t kReplayFormatVersion = 2;
// The largest replay file read (bytes) and the largest record unpacked.
constexpr std::size_t kReplayMaxFileBytes = std::size_t{16} << 20;
constexpr std::size_t kReplayMaxPayloadBytes = std::size_t{48} << 20;

// Where ball 1 was at the end of a presented frame, and the play time then
// (seconds since the run's start; the same clock the race time is read from).
struct Checkpoint {
  float x = 0.0f, y = 0.0f;
  double elapsed = 0.0;
};

struct Replay {
  std::uint32_t simulationVersion = kSimulationVersion;
  std::string levelFile;  // "01 Erste Schritte.mapGame1"
  std::uint64_t levelHash = 0;
  std::uint8_t mode = 1;  // 1 Rennen, 2 Ueberleben
  bool won = false;
  float time = 0.0f;           // as the leaderboard stores it
  float bestTime = 0.0f;       // the best time known when the level started
  std::string particle;        // the "Particle" and "ParticleNumber" settings,
  std::string particleNumber;  // so a watched replay throws the same sparks
  plat::TapLog log;
  std::vector<Checkpoint> track;  // one per frame of the log
  // Empty for a run from the level's start; for a run after a restart, the
  // game's state at the end of the restart's frame, as the session encodes it.
  std::string runStart;
};

// 64-bit FNV-1a of bytes (the level file's fingerprint).
std::uint64_t HashBytes(const std::string& bytes);
std::string EncodeReplay(const Replay& replay);
// False, with the reason, for anything that is not a whole replay of this
// format: no replay at all, a truncated or changed file, an unknown version,
// counts the file cannot hold. Never allocates more than the file justifies.
bool DecodeReplay(const std::string& bytes, Replay& replay, std::string& why);
// As DecodeReplay, but a replay of another simulation version is read too
// (its simulationVersion tells which), to play its readings under this
// game's physics.
bool DecodeReplayOfAnySimulation(const std::string& bytes, Replay& replay, std::string& why);
// Frames of the log (presents).
inline std::size_t ReplayFrames(const Replay& replay) {
  return replay.log.frameEnds.size();
}
