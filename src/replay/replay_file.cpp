// Replay file encoding: channels of small numbers that compress well (a
// clock reading as its step from the one before, positions as their change),
// packed with zlib.
#include "replay/replay_file.h"

#include <zlib.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "replay/bytes.h"
#include "world/fnv1a.h"

namespace {

using Writer = ByteWriter;
using Reader = ByteReader;

const char kMagic[4] = {'Z', 'R', 'P', 'L'};
constexpr std::size_t kHeaderBytes = 14;  // magic, version, unpacked and packed size
constexpr std::size_t kCrcBytes = 4;
constexpr std::size_t kMaxKeyBytes = 8;
constexpr std::size_t kMaxRandomState = 1 << 14;

std::uint64_t Bits(double v) {
  return std::bit_cast<std::uint64_t>(v);
}
double FromBits(std::uint64_t b) {
  return std::bit_cast<double>(b);
}
std::uint32_t Bits(float v) {
  return std::bit_cast<std::uint32_t>(v);
}
float FromBits32(std::uint32_t b) {
  return std::bit_cast<float>(b);
}
// A clock reading: on the backend's grid as its step in ticks, else as the
// step of its bit pattern.
struct TimerCoder {
  double tps;
  std::int64_t prevTicks = 0;
  std::uint64_t prevBits = Bits(100.0);
  bool OnGrid(double t, std::int64_t& n) const {
    if (!(tps > 0.0) || !(t >= 100.0) || !(t < 1.0e12)) return false;
    const double ticks = (t - 100.0) * tps;
    if (!(ticks < 9.0e18)) return false;
    n = static_cast<std::int64_t>(ticks + 0.5);
    for (std::int64_t c = n - 1; c <= n + 1; ++c) {
      if (c >= 0 && 100.0 + static_cast<double>(c) / tps == t) {
        n = c;
        return true;
      }
    }
    return false;
  }
  void Put(Writer& w, double t) {
    std::int64_t n = 0;
    if (OnGrid(t, n)) {
      w.U8(0);
      w.SVar(n - prevTicks);
      prevTicks = n;
    } else {
      w.U8(1);
      w.SVar(static_cast<std::int64_t>(Bits(t) - prevBits));
    }
    prevBits = Bits(t);
  }
  // False for a reading in no coding this file can hold: an unknown tag, or
  // the grid's tag in a file without a grid.
  bool Get(Reader& r, double& t) {
    const std::uint8_t tag = r.U8();
    t = 0.0;
    if (tag == 0 && tps > 0.0) {
      // Wrapping, as it was written: damage gives a wrong time, never a fault.
      prevTicks = static_cast<std::int64_t>(static_cast<std::uint64_t>(prevTicks) +
                                            static_cast<std::uint64_t>(r.SVar()));
      t = 100.0 + static_cast<double>(prevTicks) / tps;
    } else if (tag == 1) {
      t = FromBits(prevBits + static_cast<std::uint64_t>(r.SVar()));
    } else if (!r.bad) {
      return false;
    }
    prevBits = Bits(t);
    return true;
  }
};

// A coordinate of ball 1 as the change of its bit pattern from the one
// predicted by the two before (a ball at steady speed costs next to nothing).
struct Coordinate {
  std::uint32_t before = 0, beforeThat = 0;
  std::uint32_t Predicted() const { return before + (before - beforeThat); }
  std::int64_t Residual(std::uint32_t bits) {
    const std::int64_t r = static_cast<std::int32_t>(bits - Predicted());
    Shift(bits);
    return r;
  }
  std::uint32_t Take(std::int64_t residual) {
    const std::uint32_t bits = Predicted() + static_cast<std::uint32_t>(residual);
    Shift(bits);
    return bits;
  }
  void Shift(std::uint32_t bits) {
    beforeThat = before;
    before = bits;
  }
};

// The track: the play time of frame k predicted from the one before and the
// clock's step between the two frames' last readings.
struct TrackCoder {
  Coordinate x, y;
  double last = 0.0;
  std::vector<double> frameClock;  // each frame's last clock reading
  explicit TrackCoder(const plat::TapLog& log) {
    double clock = 0.0;
    std::size_t i = 0;
    for (const std::uint32_t end : log.frameEnds) {
      for (; i < end && i < log.events.size(); ++i) {
        if (log.events[i].kind == plat::kTapTimer) clock = log.events[i].timer;
      }
      frameClock.push_back(clock);
    }
  }
  double Elapsed(std::size_t k) const {
    if (k == 0 || k >= frameClock.size()) return last;
    return last + (frameClock[k] - frameClock[k - 1]);
  }
};

std::string Payload(const Replay& rp) {
  Writer w;
  const plat::TapLog& log = rp.log;
  w.Fixed(rp.simulationVersion, 4);
  w.Text(rp.levelFile);
  w.Fixed(rp.levelHash, 8);
  w.U8(rp.mode);
  w.U8(rp.won ? 1 : 0);
  w.Fixed(Bits(rp.time), 4);
  w.Fixed(Bits(rp.bestTime), 4);
  w.Text(rp.particle);
  w.Text(rp.particleNumber);
  w.Text(log.randomState);
  w.Fixed(Bits(log.ticksPerSecond), 8);
  // The readings, one channel after the other.
  w.Var(log.events.size());
  for (const plat::TapEvent& e : log.events) w.U8(e.kind);
  for (const plat::TapEvent& e : log.events) {
    if (e.kind == plat::kTapKeyDown || e.kind == plat::kTapAsyncKey) w.SVar(e.arg);
  }
  plat::Pointer prev;
  for (const plat::TapEvent& e : log.events) {
    switch (e.kind) {
      case plat::kTapKeyArrived:
      case plat::kTapKeyDown:
      case plat::kTapAsyncKey:
        w.SVar(e.value);
        break;
      case plat::kTapPollKey:
        w.Text(e.key);
        break;
      case plat::kTapPointer:
        w.SVar(static_cast<std::int64_t>(e.pointer.x) - prev.x);
        w.SVar(static_cast<std::int64_t>(e.pointer.y) - prev.y);
        w.SVar(e.pointer.buttons);
        prev = e.pointer;
        break;
      default:
        break;
    }
  }
  TimerCoder timers{log.ticksPerSecond};
  for (const plat::TapEvent& e : log.events) {
    if (e.kind == plat::kTapTimer) timers.Put(w, e.timer);
  }
  w.Var(log.frameEnds.size());
  std::uint32_t before = 0;
  for (const std::uint32_t end : log.frameEnds) {
    w.Var(end - before);
    before = end;
  }
  w.Var(rp.track.size());
  TrackCoder track(log);
  for (std::size_t k = 0; k < rp.track.size(); ++k) {
    const Checkpoint& c = rp.track[k];
    w.SVar(track.x.Residual(Bits(c.x)));
    w.SVar(track.y.Residual(Bits(c.y)));
    w.SVar(static_cast<std::int64_t>(Bits(c.elapsed) - Bits(track.Elapsed(k))));
    track.last = c.elapsed;
  }
  if (!rp.runStart.empty()) w.Text(rp.runStart);
  return w.out;
}

bool IsInt32(std::int64_t v) {
  return v >= INT32_MIN && v <= INT32_MAX;
}

// A pointer value stored as its change from before; one beyond an int is no
// reading (inRange turns false).
int PointerValue(Reader& r, int before, bool& inRange) {
  const std::int64_t change = r.SVar();
  if (change < -(std::int64_t{1} << 32) || change > (std::int64_t{1} << 32) ||
      !IsInt32(before + change)) {
    inRange = false;
    return 0;
  }
  return static_cast<int>(before + change);
}

bool ReadPayload(const std::string& payload, std::uint16_t version, bool anySimulation, Replay& rp,
                 std::string& why) {
  Reader r{payload};
  plat::TapLog& log = rp.log;
  rp.simulationVersion = static_cast<std::uint32_t>(r.Fixed(4));
  rp.levelFile = r.Text(255);
  rp.levelHash = r.Fixed(8);
  rp.mode = r.U8();
  const std::uint8_t result = r.U8();
  rp.won = result != 0;
  rp.time = FromBits32(static_cast<std::uint32_t>(r.Fixed(4)));
  rp.bestTime = FromBits32(static_cast<std::uint32_t>(r.Fixed(4)));
  rp.particle = r.Text(64);
  rp.particleNumber = r.Text(64);
  log.randomState = r.Text(kMaxRandomState);
  log.ticksPerSecond = FromBits(r.Fixed(8));
  if (r.bad) {
    return (why = r.beyond ? "a header text beyond its bound" : "the header is cut short", false);
  }
  if (rp.simulationVersion != kSimulationVersion && !anySimulation) {
    why = "simulation version " + std::to_string(rp.simulationVersion) + ", this game plays " +
          std::to_string(kSimulationVersion);
    return false;
  }
  if (rp.mode != 1 && rp.mode != 2) return (why = "unknown mode", false);
  if (result > 1) return (why = "unknown result", false);
  // No grid (0), or the ticks a second of a real timer.
  const double tps = log.ticksPerSecond;
  if (!(tps == 0.0 || (tps > 0.0 && std::isfinite(tps)))) {
    return (why = "unknown clock grid", false);
  }
  // Every reading takes at least its kind byte.
  const std::size_t events = r.CountHeld(1);
  if (r.bad) return (why = "more readings than the file holds", false);
  if (events > plat::kTapMaxEvents) return (why = "more readings than a recording holds", false);
  log.events.assign(events, plat::TapEvent());
  for (plat::TapEvent& e : log.events) {
    e.kind = r.U8();
    if (e.kind == 0 || e.kind >= plat::kTapKindEnd) return (why = "unknown reading kind", false);
  }
  // Every value within what the tap records: scancodes and virtual keys and
  // pointer values are ints, answers of the keys 0 or 1, keys short strings.
  bool inRange = true;
  for (plat::TapEvent& e : log.events) {
    if (e.kind == plat::kTapKeyDown || e.kind == plat::kTapAsyncKey) {
      const std::int64_t arg = r.SVar();
      inRange = inRange && IsInt32(arg);
      e.arg = static_cast<std::int32_t>(arg);
    }
  }
  if (!inRange) return (why = "a reading out of range", false);
  plat::Pointer prev;
  for (plat::TapEvent& e : log.events) {
    switch (e.kind) {
      case plat::kTapKeyArrived:
      case plat::kTapKeyDown:
      case plat::kTapAsyncKey: {
        const std::int64_t answer = r.SVar();
        inRange = answer == 0 || answer == 1;
        e.value = static_cast<std::int32_t>(answer);
        break;
      }
      case plat::kTapPollKey:
        e.key = r.Text(kMaxKeyBytes);
        break;
      case plat::kTapPointer:
        e.pointer.x = PointerValue(r, prev.x, inRange);
        e.pointer.y = PointerValue(r, prev.y, inRange);
        e.pointer.buttons = PointerValue(r, 0, inRange);
        prev = e.pointer;
        break;
      default:
        break;
    }
    if (r.beyond || !inRange) return (why = "a reading out of range", false);
    if (r.bad) return (why = "the readings are cut short", false);
  }
  TimerCoder timers{tps};
  for (plat::TapEvent& e : log.events) {
    if (e.kind == plat::kTapTimer && !timers.Get(r, e.timer)) {
      return (why = "a clock reading of unknown coding", false);
    }
    if (r.bad) return (why = "the clock readings are cut short", false);
  }
  // Every frame takes at least its length byte.
  const std::size_t frames = r.CountHeld(1);
  if (r.bad) return (why = "more frames than the file holds", false);
  log.frameEnds.assign(frames, 0);
  std::uint64_t end = 0;
  for (std::uint32_t& f : log.frameEnds) {
    end += r.Var();
    if (r.bad || end > events) return (why = "frames beyond the readings", false);
    f = static_cast<std::uint32_t>(end);
  }
  if (end != events) return (why = "readings outside every frame", false);
  // A checkpoint takes at least three bytes.
  const std::size_t points = r.CountHeld(3);
  if (r.bad || points != frames) return (why = "the track does not match the frames", false);
  rp.track.assign(points, Checkpoint());
  TrackCoder track(log);
  for (std::size_t k = 0; k < points && !r.bad; ++k) {
    Checkpoint& c = rp.track[k];
    c.x = FromBits32(track.x.Take(r.SVar()));
    c.y = FromBits32(track.y.Take(r.SVar()));
    c.elapsed = FromBits(Bits(track.Elapsed(k)) + static_cast<std::uint64_t>(r.SVar()));
    track.last = c.elapsed;
  }
  if (r.bad) return (why = "the track is cut short", false);
  if (version >= 2) {
    rp.runStart = r.Text(r.Left());
    if (r.bad || rp.runStart.empty()) return (why = "the run's start is cut short", false);
  }
  if (r.Left() != 0) return (why = "data after the track", false);
  return true;
}

std::uint32_t Crc(const std::string& bytes, std::size_t n) {
  return static_cast<std::uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(n)));
}

}  // namespace

std::uint64_t HashBytes(const std::string& bytes) {
  // The level fingerprint starts from this basis (a tenth of the usual
  // one): replay files hold fingerprints made with it.
  Fnv1a h(1469598103934665603ull);
  h.Bytes(bytes.data(), bytes.size());
  return h.Value();
}

std::string EncodeReplay(const Replay& replay) {
  const std::string payload = Payload(replay);
  uLongf packedSize = compressBound(static_cast<uLong>(payload.size()));
  std::string packed(packedSize, '\0');
  compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
            reinterpret_cast<const Bytef*>(payload.data()), static_cast<uLong>(payload.size()), 9);
  packed.resize(packedSize);
  Writer w;
  w.out.append(kMagic, 4);
  // A run from the level's start keeps the first layout, which every
  // version of the game reads.
  w.Fixed(replay.runStart.empty() ? 1 : kReplayFormatVersion, 2);
  w.Fixed(payload.size(), 4);
  w.Fixed(packed.size(), 4);
  w.out += packed;
  w.Fixed(Crc(w.out, w.out.size()), 4);
  return w.out;
}

namespace {

bool Decode(const std::string& bytes, Replay& replay, std::string& why, bool anySimulation) {
  replay = Replay();
  if (bytes.size() < 4 || std::memcmp(bytes.data(), kMagic, 4) != 0) {
    return (why = "not a replay file", false);
  }
  if (bytes.size() < kHeaderBytes + kCrcBytes) return (why = "truncated", false);
  if (bytes.size() > kReplayMaxFileBytes) return (why = "too large", false);
  Reader r{bytes, 4};
  const std::uint16_t version = static_cast<std::uint16_t>(r.Fixed(2));
  if (version < 1 || version > kReplayFormatVersion) {
    return (why = "unknown format version " + std::to_string(version), false);
  }
  const std::size_t unpacked = static_cast<std::size_t>(r.Fixed(4));
  const std::size_t packed = static_cast<std::size_t>(r.Fixed(4));
  if (packed > bytes.size() - kHeaderBytes - kCrcBytes) return (why = "truncated", false);
  if (packed < bytes.size() - kHeaderBytes - kCrcBytes) {
    return (why = "data after the end", false);
  }
  const std::size_t crcAt = bytes.size() - kCrcBytes;
  Reader crcReader{bytes, crcAt};
  if (static_cast<std::uint32_t>(crcReader.Fixed(4)) != Crc(bytes, crcAt)) {
    return (why = "checksum mismatch (a changed or damaged file)", false);
  }
  // zlib packs at most about 1032:1; a claim beyond that is a lie.
  if (unpacked > kReplayMaxPayloadBytes || unpacked > packed * 1032 + 64) {
    return (why = "unpacked size out of bounds", false);
  }
  std::string payload(unpacked, '\0');
  uLongf got = static_cast<uLongf>(unpacked);
  const int rc = uncompress(reinterpret_cast<Bytef*>(payload.data()), &got,
                            reinterpret_cast<const Bytef*>(bytes.data() + kHeaderBytes),
                            static_cast<uLong>(packed));
  if (rc != Z_OK || got != unpacked) return (why = "damaged compressed data", false);
  if (!ReadPayload(payload, version, anySimulation, replay, why)) {
    replay = Replay();
    return false;
  }
  return true;
}

}  // namespace

bool DecodeReplay(const std::string& bytes, Replay& replay, std::string& why) {
  return Decode(bytes, replay, why, false);
}

bool DecodeReplayOfAnySimulation(const std::string& bytes, Replay& replay, std::string& why) {
  return Decode(bytes, replay, why, true);
}
