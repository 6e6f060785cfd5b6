// Replay files: every reading kind and both kinds of clock come back bit for
// bit; every bound the reader holds is tried at the bound and one past it;
// forged files with a good checksum are refused, each with its reason.
#include "replay/replay_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "replay/bytes.h"

namespace {

using plat::TapEvent;

TapEvent Clock(double t) {
  TapEvent e;
  e.kind = plat::kTapTimer;
  e.timer = t;
  return e;
}
TapEvent Key(const std::string& key) {
  TapEvent e;
  e.kind = plat::kTapPollKey;
  e.key = key;
  return e;
}
TapEvent Arrived(int value) {
  TapEvent e;
  e.kind = plat::kTapKeyArrived;
  e.value = value;
  return e;
}
TapEvent Down(int scancode, int value) {
  TapEvent e;
  e.kind = plat::kTapKeyDown;
  e.arg = scancode;
  e.value = value;
  return e;
}
TapEvent Async(int virtualKey, int value) {
  TapEvent e;
  e.kind = plat::kTapAsyncKey;
  e.arg = virtualKey;
  e.value = value;
  return e;
}
TapEvent Pointer(int x, int y, int buttons) {
  TapEvent e;
  e.kind = plat::kTapPointer;
  e.pointer = {x, y, buttons};
  return e;
}

// A replay built frame by frame: each frame's readings and ball 1 after it.
struct Frames {
  Replay r;
  Frames() {
    r.levelFile = "01 Erste Schritte.mapGame1";
    r.levelHash = 0x0123456789abcdefull;
    r.particle = "Enabled";
    r.particleNumber = "35";
    r.log.randomState = "1 2 3";
  }
  Frames& Frame(const std::vector<TapEvent>& readings, Checkpoint c = {}) {
    r.log.events.insert(r.log.events.end(), readings.begin(), readings.end());
    r.log.frameEnds.push_back(static_cast<std::uint32_t>(r.log.events.size()));
    r.track.push_back(c);
    return *this;
  }
};

// What a window's clock reads after `ticks` of a performance counter running
// at `frequency`, computed as the window backend computes it.
double GridReading(std::uint64_t ticks, std::uint64_t frequency) {
  return 100.0 + static_cast<double>(ticks) / static_cast<double>(frequency);
}

// A player's ticks: frames of a 60 Hz display with jitter, a frame read
// twice, a long pause, and readings an hour and a week into the session.
std::vector<std::uint64_t> PlayersTicks(std::uint64_t frequency) {
  std::vector<std::uint64_t> ticks = {0, 0};
  std::uint64_t t = 0;
  for (std::uint64_t k = 1; k <= 400; ++k) {
    t += frequency / 60 + (k * 7919) % (frequency / 500 + 1);
    ticks.push_back(t);
  }
  ticks.push_back(ticks.back());
  ticks.push_back(t += 75 * frequency + 3);
  ticks.push_back(t += 1);
  ticks.push_back(3600 * frequency + 12345 % frequency);
  ticks.push_back(7 * 86400 * frequency + frequency / 3);
  return ticks;
}

std::string Hex(std::uint64_t v) {
  char text[20];
  std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(v));
  return text;
}
std::string Escaped(const std::string& s) {
  std::string out = "\"";
  for (const unsigned char c : s) out += c >= 32 && c < 127 ? std::string(1, c) : "\\" + Hex(c);
  return out + "\"";
}

// Every field of a replay, each floating value as its bits.
std::string Fields(const Replay& r) {
  std::ostringstream o;
  o << r.simulationVersion << ' ' << Escaped(r.levelFile) << ' ' << Hex(r.levelHash) << ' '
    << int{r.mode} << ' ' << r.won << ' ' << Hex(std::bit_cast<std::uint32_t>(r.time)) << ' '
    << Hex(std::bit_cast<std::uint32_t>(r.bestTime)) << ' ' << Escaped(r.particle) << ' '
    << Escaped(r.particleNumber) << ' ' << Escaped(r.log.randomState) << ' '
    << Hex(std::bit_cast<std::uint64_t>(r.log.ticksPerSecond)) << ' ' << Escaped(r.runStart)
    << '\n';
  for (const TapEvent& e : r.log.events) {
    o << int{e.kind} << ' ' << e.arg << ' ' << e.value << ' ' << Escaped(e.key) << ' '
      << Hex(std::bit_cast<std::uint64_t>(e.timer)) << ' ' << e.pointer.x << ' ' << e.pointer.y
      << ' ' << e.pointer.buttons << '\n';
  }
  o << "frames";
  for (const std::uint32_t end : r.log.frameEnds) o << ' ' << end;
  o << "\ntrack\n";
  for (const Checkpoint& c : r.track) {
    o << Hex(std::bit_cast<std::uint32_t>(c.x)) << ' ' << Hex(std::bit_cast<std::uint32_t>(c.y))
      << ' ' << Hex(std::bit_cast<std::uint64_t>(c.elapsed)) << '\n';
  }
  return o.str();
}

// A run whose clock readings are these ticks on a grid of this frequency,
// one reading a frame, ball 1 rolling right and falling.
Replay OnGrid(std::uint64_t frequency) {
  Frames run;
  run.r.log.ticksPerSecond = static_cast<double>(frequency);
  const std::vector<std::uint64_t> ticks = PlayersTicks(frequency);
  for (std::size_t k = 0; k < ticks.size(); ++k) {
    const double t = GridReading(ticks[k], frequency);
    run.Frame({Clock(t), Key(""), Down(plat::kScanRight, 1)},
              {0.01f * static_cast<float>(k), -0.001f * static_cast<float>(k * k), t - 100.0});
  }
  return run.r;
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

TEST(ReplayFile, EveryFieldComesBackBitForBit) {
  const std::string allBytes = [] {
    std::string s;
    for (int c = 0; c < 255; ++c) s += static_cast<char>(c + 1);
    return s;
  }();
  plat::SeedRandom(123.456);
  const std::string randomState = plat::RandomState();  // the source as it really is
  struct Case {
    const char* name;
    Replay replay;
  };
  std::vector<Case> cases;
  cases.push_back({"nothing at all", Replay()});
  {
    Frames run;  // the headless clock: a sum of frame lengths, on no grid
    double t = 100.0;
    for (int k = 0; k < 300; ++k) {
      run.Frame({Clock(t), Key(""), Clock(t)}, {1.0f, 2.0f, t - 100.0});
      t += k % 50 == 0 ? 0.001 : 0.015;
    }
    cases.push_back({"the headless clock", run.r});
  }
  for (const std::uint64_t f : {1000000000ull, 24000000ull, 10000000ull, 1000000ull, 1000ull}) {
    cases.push_back({"a real timer's grid", OnGrid(f)});
    Replay late = OnGrid(f);  // a year into the session: a tick below the clock's precision
    late.log.events.push_back(Clock(GridReading(365 * 86400 * f + 7, f)));
    late.log.frameEnds.back() += 1;
    cases.push_back({"a real timer a year on", late});
  }
  {
    Frames run;  // readings off the grid between readings on it
    run.r.log.ticksPerSecond = 1000.0;
    for (const double t :
         {100.0, 100.001, 100.0 + 1.0 / 3.0, 99.5, 100.002, -0.0, kNaN, -kNaN, kInf, -kInf,
          std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max(), 100.002,
          std::bit_cast<double>(std::bit_cast<std::uint64_t>(100.003) + 1), 100.004}) {
      run.Frame({Clock(t)});
    }
    cases.push_back({"readings off the grid", run.r});
  }
  for (const double tps : {1.0e-3, 3579545.0, -0.0}) {
    Frames run;  // grids of slow, odd and no timers
    run.r.log.ticksPerSecond = tps;
    for (const double t : {100.0, 100.0, 1100.0, 100.5, 2100.0}) run.Frame({Clock(t)});
    cases.push_back({"any other grid", run.r});
  }
  {
    Frames run;  // keys, characters, the key-arrived flag, held keys, Pause and Esc
    run.Frame({Key(""), Key("a"), Key("\r"), Key("\x1b"), Key(plat::kKeyUp), Key("\xff\x45"),
               Key(std::string("\0\x01\x7f\x80\xfe\xff", 6)), Key("12345678")})
        .Frame({Arrived(0), Arrived(1), Arrived(1), Arrived(0)})
        .Frame({Down(plat::kScanSpace, 1), Down(plat::kScanSpace, 0), Down(1, 1), Down(255, 0),
                Down(0, 1)})
        .Frame({Async(plat::kVkPause, 1), Async(plat::kVkEscape, 0), Async(plat::kVkPause, 0)})
        .Frame({});
    cases.push_back({"every key reading", run.r});
  }
  {
    Frames run;  // the pointer outside, at the origin, clicking, at the ends of its range
    run.Frame({Pointer(-1, -1, -1), Pointer(0, 0, 0), Pointer(640, 480, 1), Pointer(641, 470, 3),
               Pointer(INT32_MAX, INT32_MIN, 7), Pointer(INT32_MIN, INT32_MAX, 0),
               Pointer(INT32_MAX, INT32_MAX, 4), Pointer(-1, -1, -1)});
    cases.push_back({"the pointer and its buttons", run.r});
  }
  {
    Frames run;  // the random source as text, at the recording's start
    run.r.log.randomState = randomState;
    run.Frame({Clock(100.0)});
    cases.push_back({"the random source", run.r});
  }
  {
    Frames run;  // a run after a restart: its start state, any bytes
    run.r.runStart = allBytes + std::string(5000, '\0') + "\r\n" + allBytes;
    run.r.mode = 2;
    run.Frame({Clock(200.0), Pointer(3, 4, 0)}, {5.0f, 6.0f, 0.0});
    run.Frame({Clock(200.015)}, {5.1f, 6.0f, 0.015});
    cases.push_back({"a run after a restart", run.r});
  }
  {
    Frames run;  // the header at the ends of its ranges
    run.r.levelFile = allBytes;
    run.r.levelHash = UINT64_MAX;
    run.r.mode = 2;
    run.r.won = true;
    run.r.time = std::bit_cast<float>(0x7fc01234u);  // a NaN with a payload
    run.r.bestTime = -0.0f;
    run.r.particle = std::string(64, 'p');
    run.r.particleNumber = std::string(64, '9');
    run.r.log.randomState = std::string(1 << 14, 's');
    run.Frame({Clock(100.0)});
    cases.push_back({"the header's ends", run.r});
  }
  {
    Frames run;  // the track: steady, jumping, not a number, clocks that stand still
    run.Frame({Clock(100.0)}, {1.0f, 1.0f, 0.0})
        .Frame({Clock(100.015)}, {1.1f, 1.0f, 0.015})
        .Frame({Clock(100.03)}, {1.2f, 1.0f, 0.03})
        .Frame({}, {-50.0f, 3.0e38f, 0.03})
        .Frame({Clock(100.03)}, {std::bit_cast<float>(0xffc00001u), -0.0f, -0.0})
        .Frame({Clock(90.0)}, {1.0e-45f, -3.0e38f, kNaN})
        .Frame({Clock(100.06)}, {0.0f, 0.0f, 1.0e300});
    cases.push_back({"the track", run.r});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string bytes = EncodeReplay(c.replay);
    Replay back;
    std::string why;
    ASSERT_TRUE(DecodeReplay(bytes, back, why)) << why;
    EXPECT_EQ(Fields(back), Fields(c.replay));
    EXPECT_EQ(EncodeReplay(back), bytes);
    EXPECT_EQ(bytes[4], c.replay.runStart.empty() ? 1 : 2);  // the first layout when it will do
  }
  // The state read back sets the source going where it was.
  Replay back;
  std::string why;
  ASSERT_TRUE(DecodeReplay(EncodeReplay(Frames().Frame({}).r), back, why));
  back.log.randomState = randomState;
  ASSERT_TRUE(DecodeReplay(EncodeReplay(back), back, why)) << why;
  ASSERT_TRUE(plat::SetRandomState(back.log.randomState));
  const double first = plat::Random();
  plat::SeedRandom(123.456);
  EXPECT_EQ(plat::Random(), first);
}

// The payload of a file as the reader unpacks it.
std::string Unpacked(const std::string& file) {
  ByteReader r{file, 6};
  std::string payload(static_cast<std::size_t>(r.Fixed(4)), '\0');
  uLongf got = static_cast<uLongf>(payload.size());
  EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(payload.data()), &got,
                       reinterpret_cast<const Bytef*>(file.data() + 14), file.size() - 18),
            Z_OK);
  return payload;
}

// A real timer's readings are packed as their steps in ticks: the tag of the
// grid (0) and the very step the counter took. Readings off the grid would
// also come back whole, but as bit patterns: only this shows the grid works.
TEST(ReplayFile, ARealTimersReadingsArePackedAsTheirTicks) {
  for (const std::uint64_t f : {1000000000ull, 24000000ull, 10000000ull, 1000000ull, 1000ull}) {
    SCOPED_TRACE(f);
    Frames run;
    run.r.log.ticksPerSecond = static_cast<double>(f);
    const std::vector<std::uint64_t> ticks = PlayersTicks(f);
    for (const std::uint64_t n : ticks) run.Frame({Clock(GridReading(n, f))});
    const std::string payload = Unpacked(EncodeReplay(run.r));
    ByteReader r{payload};
    r.Fixed(4);  // the header, field by field
    r.Text(255);
    r.Fixed(8);
    r.Fixed(2);
    r.Fixed(8);
    r.Text(64);
    r.Text(64);
    r.Text(1 << 14);
    r.Fixed(8);
    ASSERT_EQ(r.Var(), ticks.size());
    for (std::size_t k = 0; k < ticks.size(); ++k) r.U8();
    std::uint64_t before = 0;
    for (std::size_t k = 0; k < ticks.size(); ++k) {
      ASSERT_EQ(r.U8(), 0) << "reading " << k;
      EXPECT_EQ(r.SVar(), static_cast<std::int64_t>(ticks[k] - before)) << "reading " << k;
      before = ticks[k];
    }
    EXPECT_FALSE(r.bad);
  }
}

// A minimal run from the level start: one frame, one clock reading.
Replay OneFrame() {
  return Frames().Frame({Clock(100.0)}).r;
}

TEST(ReplayFile, EveryBoundHoldsAtItsEdgeAndRefusesOnePast) {
  const struct {
    const char* name;
    std::function<void(Replay&)> change;
    const char* why;  // "" when the file is read
  } cases[] = {
      {"level name of 255 bytes", [](Replay& r) { r.levelFile.assign(255, 'x'); }, ""},
      {"level name of 256 bytes", [](Replay& r) { r.levelFile.assign(256, 'x'); },
       "a header text beyond its bound"},
      {"sparks setting of 64 bytes", [](Replay& r) { r.particle.assign(64, 'x'); }, ""},
      {"sparks setting of 65 bytes", [](Replay& r) { r.particle.assign(65, 'x'); },
       "a header text beyond its bound"},
      {"spark count of 64 bytes", [](Replay& r) { r.particleNumber.assign(64, '9'); }, ""},
      {"spark count of 65 bytes", [](Replay& r) { r.particleNumber.assign(65, '9'); },
       "a header text beyond its bound"},
      {"random state of 16384 bytes", [](Replay& r) { r.log.randomState.assign(16384, '7'); }, ""},
      {"random state of 16385 bytes", [](Replay& r) { r.log.randomState.assign(16385, '7'); },
       "a header text beyond its bound"},
      {"mode 1", [](Replay& r) { r.mode = 1; }, ""},
      {"mode 2", [](Replay& r) { r.mode = 2; }, ""},
      {"mode 0", [](Replay& r) { r.mode = 0; }, "unknown mode"},
      {"mode 3", [](Replay& r) { r.mode = 3; }, "unknown mode"},
      {"a later simulation", [](Replay& r) { r.simulationVersion = kSimulationVersion + 1; },
       "simulation version 3, this game plays 2"},
      {"simulation 0", [](Replay& r) { r.simulationVersion = 0; },
       "simulation version 0, this game plays 2"},
      {"a key of 8 bytes", [](Replay& r) { r.log.events[0] = Key("12345678"); }, ""},
      {"a key of 9 bytes", [](Replay& r) { r.log.events[0] = Key("123456789"); },
       "a reading out of range"},
      {"a key down", [](Replay& r) { r.log.events[0] = Down(plat::kScanSpace, 1); }, ""},
      {"a key down twice", [](Replay& r) { r.log.events[0] = Down(plat::kScanSpace, 2); },
       "a reading out of range"},
      {"a key up below 0", [](Replay& r) { r.log.events[0] = Down(plat::kScanSpace, -1); },
       "a reading out of range"},
      {"a key arrived twice", [](Replay& r) { r.log.events[0] = Arrived(2); },
       "a reading out of range"},
      {"Pause pressed twice", [](Replay& r) { r.log.events[0] = Async(plat::kVkPause, 2); },
       "a reading out of range"},
      {"a grid of a thousand ticks", [](Replay& r) { r.log.ticksPerSecond = 1000.0; }, ""},
      {"the finest grid a double holds",
       [](Replay& r) { r.log.ticksPerSecond = std::numeric_limits<double>::max(); }, ""},
      {"a grid below zero", [](Replay& r) { r.log.ticksPerSecond = -1000.0; },
       "unknown clock grid"},
      {"a grid of no number", [](Replay& r) { r.log.ticksPerSecond = kNaN; }, "unknown clock grid"},
      {"an endless grid", [](Replay& r) { r.log.ticksPerSecond = kInf; }, "unknown clock grid"},
      {"as many readings as a recording holds",
       [](Replay& r) { r.log.events.assign(plat::kTapMaxEvents, Arrived(1)); }, ""},
      {"one reading more",
       [](Replay& r) { r.log.events.assign(plat::kTapMaxEvents + 1, Arrived(1)); },
       "more readings than a recording holds"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Replay r = OneFrame();
    c.change(r);
    r.log.frameEnds.back() = static_cast<std::uint32_t>(r.log.events.size());
    Replay back;
    std::string why;
    const bool read = DecodeReplay(EncodeReplay(r), back, why);
    EXPECT_EQ(read ? std::string() : why, c.why);
    if (read && r.log.events.size() < 100) {
      EXPECT_EQ(Fields(back), Fields(r));
    } else if (read) {
      EXPECT_EQ(back.log.events.size(), r.log.events.size());
      EXPECT_EQ(back.log.events.back().value, 1);
    }
  }
}

// A file around a payload: magic, layout version, sizes, packed data and a
// checksum that matches whatever the fields say.
std::string Framed(std::uint16_t version, std::uint64_t unpacked, const std::string& packed,
                   std::uint64_t packedField) {
  ByteWriter w;
  w.out = "ZRPL";
  w.Fixed(version, 2);
  w.Fixed(unpacked, 4);
  w.Fixed(packedField, 4);
  w.out += packed;
  w.Fixed(crc32(0L, reinterpret_cast<const Bytef*>(w.out.data()), static_cast<uInt>(w.out.size())),
          4);
  return w.out;
}
std::string Packed(const std::string& payload, int level = 9) {
  uLongf size = compressBound(static_cast<uLong>(payload.size()));
  std::string packed(size, '\0');
  compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
            reinterpret_cast<const Bytef*>(payload.data()), static_cast<uLong>(payload.size()),
            level);
  packed.resize(size);
  return packed;
}
std::string Forged(const std::string& payload, std::uint16_t version = 1) {
  const std::string packed = Packed(payload);
  return Framed(version, payload.size(), packed, packed.size());
}

TEST(ReplayFile, TheFileItselfIsRefusedAtEveryEdgeWithItsReason) {
  const std::string payload = Unpacked(EncodeReplay(OneFrame()));
  const std::string packed = Packed(payload);
  const std::uint64_t n = payload.size();
  // As much as the bound takes, and one byte more (packed fast).
  const std::string zeros = Packed(std::string(kReplayMaxPayloadBytes, '\0'), 1);
  const std::string zerosAndOne = Packed(std::string(kReplayMaxPayloadBytes + 1, '\0'), 1);
  const std::string junk(kReplayMaxFileBytes - 18, 'j');
  const struct {
    const char* name;
    std::string bytes;
    const char* why;
  } cases[] = {
      {"as written", Framed(1, n, packed, packed.size()), ""},
      {"nothing", "", "not a replay file"},
      {"another magic", "ZRPX" + Framed(1, n, packed, packed.size()).substr(4),
       "not a replay file"},
      {"17 bytes", Framed(1, 0, "", 0).substr(0, 17), "truncated"},
      {"18 bytes", Framed(1, 0, "", 0), "damaged compressed data"},
      {"layout 0", Framed(0, n, packed, packed.size()), "unknown format version 0"},
      {"layout 3", Framed(3, n, packed, packed.size()), "unknown format version 3"},
      {"packed size one more", Framed(1, n, packed, packed.size() + 1), "truncated"},
      {"packed size one less", Framed(1, n, packed, packed.size() - 1), "data after the end"},
      {"unpacked size one more", Framed(1, n + 1, packed, packed.size()),
       "damaged compressed data"},
      {"unpacked size one less", Framed(1, n - 1, packed, packed.size()),
       "damaged compressed data"},
      {"unpacked at the packing's limit",
       Framed(1, packed.size() * 1032 + 64, packed, packed.size()), "damaged compressed data"},
      {"unpacked past the packing's limit",
       Framed(1, packed.size() * 1032 + 65, packed, packed.size()), "unpacked size out of bounds"},
      {"the largest payload", Framed(1, kReplayMaxPayloadBytes, zeros, zeros.size()),
       "simulation version 0, this game plays 2"},
      {"a byte more", Framed(1, kReplayMaxPayloadBytes + 1, zerosAndOne, zerosAndOne.size()),
       "unpacked size out of bounds"},
      {"the largest file", Framed(1, n, junk, junk.size()), "damaged compressed data"},
      {"a byte larger", Framed(1, n, junk + "j", junk.size() + 1), "too large"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Replay back;
    std::string why;
    const bool read = DecodeReplay(c.bytes, back, why);
    EXPECT_EQ(read ? std::string() : why, c.why);
  }
  std::string flipped = Framed(1, n, packed, packed.size());
  flipped.back() ^= 1;
  Replay back;
  std::string why;
  EXPECT_FALSE(DecodeReplay(flipped, back, why));
  EXPECT_EQ(why, "checksum mismatch (a changed or damaged file)");
}

// The payload's header as the writer lays it out, for level "l".
ByteWriter Head(double ticksPerSecond = 0.0, std::uint8_t won = 0) {
  ByteWriter w;
  w.Fixed(kSimulationVersion, 4);
  w.Text("l");
  w.Fixed(0, 8);
  w.U8(1);
  w.U8(won);
  w.Fixed(0, 4);
  w.Fixed(0, 4);
  w.Text("");
  w.Text("");
  w.Text("s");
  w.Fixed(std::bit_cast<std::uint64_t>(ticksPerSecond), 8);
  return w;
}
// The frames and track of a run of `readings` readings in one frame.
void OneFrameAfter(ByteWriter& w, std::uint64_t readings) {
  w.Var(1);
  w.Var(readings);
  w.Var(1);
  w.SVar(0);
  w.SVar(0);
  w.SVar(0);
}
// One pointer reading with these stored changes.
std::string PointerPayload(std::int64_t dx, std::int64_t dy, std::int64_t buttons) {
  ByteWriter w = Head();
  w.Var(1);
  w.U8(plat::kTapPointer);
  w.SVar(dx);
  w.SVar(dy);
  w.SVar(buttons);
  OneFrameAfter(w, 1);
  return w.out;
}
// One key reading of this kind with a stored question and answer.
std::string KeyPayload(std::uint8_t kind, std::int64_t arg, std::int64_t value) {
  ByteWriter w = Head();
  w.Var(1);
  w.U8(kind);
  if (kind != plat::kTapKeyArrived) w.SVar(arg);
  w.SVar(value);
  OneFrameAfter(w, 1);
  return w.out;
}
// One clock reading with this tag and step, on this grid.
std::string ClockPayload(std::uint8_t tag, std::int64_t step, double grid = 0.0) {
  ByteWriter w = Head(grid);
  w.Var(1);
  w.U8(plat::kTapTimer);
  w.U8(tag);
  w.SVar(step);
  OneFrameAfter(w, 1);
  return w.out;
}
// Two clock readings, each the clock's first value again.
ByteWriter TwoClocks() {
  ByteWriter w = Head();
  w.Var(2);
  w.U8(plat::kTapTimer);
  w.U8(plat::kTapTimer);
  w.U8(1);
  w.SVar(0);
  w.U8(1);
  w.SVar(0);
  return w;
}
// Two clock readings in frames that end after these counts, and a track of
// `points` checkpoints (three zero bytes each unless given).
std::string FramesPayload(const std::vector<std::uint64_t>& frames, std::uint64_t points,
                          const std::string& runStart = "", const std::string& track = "") {
  ByteWriter w = TwoClocks();
  w.Var(frames.size());
  for (const std::uint64_t f : frames) w.Var(f);
  w.Var(points);
  w.out += track.empty() ? std::string(points * 3, '\0') : track;
  if (!runStart.empty()) w.Text(runStart);
  return w.out;
}

std::string Cut(const std::string& payload, std::size_t bytes) {
  return payload.substr(0, payload.size() - bytes);
}

// A run of one empty frame with this result byte.
std::string Won(std::uint8_t won) {
  ByteWriter w = Head(0.0, won);
  w.Var(0);
  OneFrameAfter(w, 0);
  return w.out;
}

TEST(ReplayFile, ForgedFilesWithAGoodChecksumAreRefusedWithTheirReason) {
  const std::int64_t kInt = INT32_MAX;
  const struct {
    const char* name;
    std::string payload;
    std::uint16_t version;
    const char* why;  // "" when the file is read
  } cases[] = {
      {"two frames as written", FramesPayload({1, 1}, 2), 1, ""},
      {"a frame with no reading", FramesPayload({0, 2}, 2), 1, ""},
      {"a frame beyond the readings", FramesPayload({1, 2}, 2), 1, "frames beyond the readings"},
      {"a reading in no frame", FramesPayload({1}, 1), 1, "readings outside every frame"},
      {"more frames than bytes",
       [] {
         ByteWriter w = TwoClocks();
         w.Var(100);
         w.out += std::string(99, '\x01');
         return w.out;
       }(),
       1, "more frames than the file holds"},
      {"a track one short", FramesPayload({1, 1}, 1), 1, "the track does not match the frames"},
      {"a track one long", FramesPayload({1, 1}, 3), 1, "the track does not match the frames"},
      // The first checkpoint's step across takes two bytes, the last one is missing.
      {"a track cut short", FramesPayload({1, 1}, 2, "", std::string("\x80\x01\0\0\0\0", 6)), 1,
       "the track is cut short"},
      {"a start in the first layout", FramesPayload({1, 1}, 2, "start"), 1, "data after the track"},
      {"the second layout with its start", FramesPayload({1, 1}, 2, "start"), 2, ""},
      {"the second layout without a start", FramesPayload({1, 1}, 2), 2,
       "the run's start is cut short"},
      {"the second layout with its start a byte short", Cut(FramesPayload({1, 1}, 2, "start"), 1),
       2, "the run's start is cut short"},
      {"a pointer at the ends of an int", PointerPayload(kInt + 1, INT32_MIN + 1, kInt), 1, ""},
      {"a pointer past the right end", PointerPayload(kInt + 2, 0, 0), 1, "a reading out of range"},
      {"a pointer past the top", PointerPayload(0, INT32_MIN, 0), 1, "a reading out of range"},
      {"a pointer jumping 2^32 + 1", PointerPayload((std::int64_t{1} << 32) + 1, 0, 0), 1,
       "a reading out of range"},
      {"buttons past an int", PointerPayload(0, 0, kInt + 1), 1, "a reading out of range"},
      {"a key down", KeyPayload(plat::kTapKeyDown, plat::kScanSpace, 1), 1, ""},
      {"a key down 2^32 + 1", KeyPayload(plat::kTapKeyDown, 57, (std::int64_t{1} << 32) + 1), 1,
       "a reading out of range"},
      {"a scancode past an int", KeyPayload(plat::kTapKeyDown, kInt + 1, 1), 1,
       "a reading out of range"},
      {"a virtual key past an int", KeyPayload(plat::kTapAsyncKey, -kInt - 2, 0), 1,
       "a reading out of range"},
      {"a key arrived 3 times", KeyPayload(plat::kTapKeyArrived, 0, 3), 1,
       "a reading out of range"},
      {"a reading of kind 0", KeyPayload(0, 0, 0), 1, "unknown reading kind"},
      {"a reading of a kind after the last", KeyPayload(plat::kTapKindEnd, 0, 0), 1,
       "unknown reading kind"},
      {"a clock off the grid", ClockPayload(1, 0), 1, ""},
      {"a clock on a grid", ClockPayload(0, 1000, 1000.0), 1, ""},
      {"a clock on a grid the file lacks", ClockPayload(0, 1000), 1,
       "a clock reading of unknown coding"},
      {"a clock of tag 2", ClockPayload(2, 0, 1000.0), 1, "a clock reading of unknown coding"},
      {"won", Won(1), 1, ""},
      {"won twice", Won(2), 1, "unknown result"},
      {"more readings than bytes",
       [] {
         ByteWriter w = Head();
         w.Var(20);
         w.out += std::string(19, '\x01');
         return w.out;
       }(),
       1, "more readings than the file holds"},
      {"a header cut in its grid", Head().out.substr(0, Head().out.size() - 1), 1,
       "the header is cut short"},
      {"a level name longer than the header",
       [] {
         ByteWriter w;
         w.Fixed(kSimulationVersion, 4);
         w.Var(200);
         w.out += "l";
         return w.out;
       }(),
       1, "the header is cut short"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Replay back;
    std::string why;
    const bool read = DecodeReplay(Forged(c.payload, c.version), back, why);
    EXPECT_EQ(read ? std::string() : why, c.why);
  }
}

}  // namespace
