// libFuzzer entry for the replay reader. Every input is read as a file as it
// is, once more with its checksum set right (so mutations get past it to the
// unpacking), and once as the unpacked record itself, packed and framed
// properly, so that mutations reach every count and channel of the record.
// A record that reads must write back to the same bytes' meaning: encoding
// it again and reading that gives the same frames and readings. A run's
// start state behind the track (the second layout) is read too.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "game/game.h"
#include "replay/replay_file.h"
#include "session/run_start.h"

namespace {

void PutLe(std::string& out, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

std::string WithCrc(std::string file) {
  if (file.size() < 4) return file;
  const std::size_t body = file.size() - 4;
  const std::uint32_t crc = static_cast<std::uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(file.data()), static_cast<uInt>(body)));
  file.resize(body);
  PutLe(file, crc, 4);
  return file;
}

std::string Framed(const std::string& payload, std::uint16_t version) {
  uLongf packedSize = compressBound(static_cast<uLong>(payload.size()));
  std::string packed(packedSize, '\0');
  compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
            reinterpret_cast<const Bytef*>(payload.data()), static_cast<uLong>(payload.size()), 1);
  packed.resize(packedSize);
  std::string file = "ZRPL";
  PutLe(file, version, 2);
  PutLe(file, static_cast<std::uint32_t>(payload.size()), 4);
  PutLe(file, static_cast<std::uint32_t>(packed.size()), 4);
  file += packed;
  PutLe(file, 0, 4);
  return WithCrc(file);
}

void Check(const std::string& bytes) {
  Replay replay;
  std::string why;
  if (!DecodeReplay(bytes, replay, why)) {
    if (why.empty()) __builtin_trap();  // a refusal always says why
    return;
  }
  Replay again;
  if (!DecodeReplay(EncodeReplay(replay), again, why)) __builtin_trap();
  if (again.log.events.size() != replay.log.events.size() ||
      again.log.frameEnds != replay.log.frameEnds || again.track.size() != replay.track.size() ||
      again.runStart != replay.runStart) {
    __builtin_trap();
  }
  // A run after a restart: its start state reads whole or is refused with a
  // reason, and what reads writes back to bytes that read the same.
  if (replay.runStart.empty()) return;
  static Game game;
  if (!DecodeRunStart(replay.runStart, game, why)) {
    if (why.empty()) __builtin_trap();
    return;
  }
  const std::string once = EncodeRunStart(game);
  static Game startAgain;
  if (!DecodeRunStart(once, startAgain, why) || EncodeRunStart(startAgain) != once)
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  Check(input);
  Check(WithCrc(input));
  // Version 1 of the simulation in front: the record's fields are reached.
  std::string payload;
  PutLe(payload, kSimulationVersion, 4);
  Check(Framed(payload + input, 1));
  Check(Framed(payload + input, 2));
  return 0;
}
