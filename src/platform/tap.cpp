// The replay tap: the game's readings of the outside world, recorded or
// replayed in one place both backends share.
#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/backend.h"
#include "platform/platform.h"

namespace plat {
namespace {

// About ten seconds at 60 frames a second.
constexpr int kFramesBetweenMemoryReleases = 600;

const char* const kKindNames[] = {"",        "Timer",         "PollKey",    "KeyArrivedAndClear",
                                  "KeyDown", "AsyncKeyState", "ReadPointer"};

std::string Asked(std::uint8_t kind, std::int32_t arg) {
  std::string text = kind < kTapKindEnd ? kKindNames[kind] : "?";
  if (kind == kTapKeyDown || kind == kTapAsyncKey) text += "(" + std::to_string(arg) + ")";
  return text;
}

// A recording as it grows: each reading packed into a few bytes (its kind,
// then what that kind needs), a tenth of what the unpacked log takes, so a
// long run costs little memory. Unpacked once, when the run is written.
struct Packed {
  std::string bytes;
  std::size_t events = 0;

  template <class T>
  void Put(const T& v) {
    bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
  }
  template <class T>
  T Get(std::size_t& at) const {
    T v{};
    std::memcpy(&v, bytes.data() + at, sizeof v);
    at += sizeof v;
    return v;
  }
  void Add(const TapEvent& e) {
    bytes.push_back(static_cast<char>(e.kind));
    switch (e.kind) {
      case kTapTimer:
        Put(e.timer);
        break;
      case kTapPollKey:
        bytes.push_back(static_cast<char>(std::min<std::size_t>(e.key.size(), 255)));
        bytes.append(e.key, 0, 255);
        break;
      case kTapKeyArrived:
        bytes.push_back(static_cast<char>(e.value));
        break;
      case kTapKeyDown:
      case kTapAsyncKey:
        Put(e.arg);
        Put(e.value);
        break;
      case kTapPointer:
        Put(e.pointer);
        break;
      default:
        break;
    }
    ++events;
  }
  std::vector<TapEvent> Unpack() const {
    std::vector<TapEvent> out(events);
    std::size_t at = 0;
    for (TapEvent& e : out) {
      e.kind = static_cast<std::uint8_t>(bytes[at++]);
      switch (e.kind) {
        case kTapTimer:
          e.timer = Get<double>(at);
          break;
        case kTapPollKey: {
          const std::size_t n = static_cast<unsigned char>(bytes[at++]);
          e.key = bytes.substr(at, n);
          at += n;
          break;
        }
        case kTapKeyArrived:
          e.value = static_cast<unsigned char>(bytes[at++]);
          break;
        case kTapKeyDown:
        case kTapAsyncKey:
          e.arg = Get<std::int32_t>(at);
          e.value = Get<std::int32_t>(at);
          break;
        case kTapPointer:
          e.pointer = Get<Pointer>(at);
          break;
        default:
          break;
      }
    }
    return out;
  }
};

struct Tap {
  TapMode mode = TapMode::kOff;
  TapLog log;       // replaying: the whole record; recording: the header and frames
  Packed recorded;  // recording: the readings
  bool overflowed = false;
  long long frame = 0;  // frames closed
  // Replaying.
  std::size_t cursor = 0;
  bool paced = false;
  bool quiet = false;      // a proof: nothing reaches the screen, no own keys
  bool ended = false;      // done, mismatched or left: the close key is due
  bool closeSent = false;  // ... and was given
  bool done = false;
  bool left = false;
  std::string mismatch;
  long long mismatchFrame = 0;
  double firstRecorded = 0.0, realStart = 0.0, lastRecorded = 0.0;
  bool haveTimer = false;
};

Tap& T() {
  static Tap tap;
  return tap;
}

bool Replaying() {
  const Tap& t = T();
  return t.mode == TapMode::kReplaying && !t.ended;
}

void Record(const TapEvent& e) {
  Tap& t = T();
  if (t.mode != TapMode::kRecording || t.overflowed) return;
  if (t.recorded.events >= kTapMaxEvents) {
    t.overflowed = true;
    return;
  }
  t.recorded.Add(e);
}

void Mismatch(const std::string& what) {
  Tap& t = T();
  if (!t.mismatch.empty()) return;
  t.mismatch = what;
  t.mismatchFrame = t.frame;
  t.ended = true;
}

// The recorded reading for a question of this kind, or nullptr after a
// mismatch (the caller then asks the backend).
const TapEvent* Next(std::uint8_t kind, std::int32_t arg) {
  Tap& t = T();
  const std::size_t frameEnd = t.log.frameEnds[static_cast<std::size_t>(t.frame)];
  if (t.cursor >= frameEnd) {
    Mismatch("the game asked for " + Asked(kind, arg) + " after the frame's " +
             std::to_string(frameEnd - (t.frame > 0 ? t.log.frameEnds[t.frame - 1] : 0)) +
             " recorded readings");
    return nullptr;
  }
  const TapEvent& e = t.log.events[t.cursor];
  if (e.kind != kind || e.arg != arg) {
    Mismatch("the game asked for " + Asked(kind, arg) + ", the record has " + Asked(e.kind, e.arg));
    return nullptr;
  }
  ++t.cursor;
  return &e;
}

void CloseFrame() {
  Tap& t = T();
  if (t.mode == TapMode::kRecording) {
    if (!t.overflowed) t.log.frameEnds.push_back(static_cast<std::uint32_t>(t.recorded.events));
    ++t.frame;
    return;
  }
  if (!Replaying()) return;
  const std::size_t frameEnd = t.log.frameEnds[static_cast<std::size_t>(t.frame)];
  if (t.cursor != frameEnd) {
    Mismatch(std::to_string(frameEnd - t.cursor) + " recorded readings left unread");
    return;
  }
  // At its recorded pace: the frame's last clock reading after the first.
  for (std::size_t i = t.frame > 0 ? t.log.frameEnds[t.frame - 1] : 0; i < frameEnd; ++i) {
    if (t.log.events[i].kind != kTapTimer) continue;
    if (!t.haveTimer) {
      t.haveTimer = true;
      t.firstRecorded = t.log.events[i].timer;
      t.realStart = BackendTimer();
    }
    t.lastRecorded = t.log.events[i].timer;
  }
  if (t.paced && t.haveTimer) {
    // Bounded: a recorded pause of any length waits at most a minute.
    for (int step = 0; step < 60000; ++step) {
      if (BackendTimer() - t.realStart >= t.lastRecorded - t.firstRecorded) break;
      SleepPlainMs(1);
    }
  }
  ++t.frame;
  if (static_cast<std::size_t>(t.frame) >= t.log.frameEnds.size()) {
    t.done = true;
    t.ended = true;
  }
}

}  // namespace

TapMode TapModeNow() {
  return T().mode;
}

void TapRecord() {
  Tap& t = T();
  t = Tap();
  t.mode = TapMode::kRecording;
  t.log.randomState = RandomState();
  t.log.ticksPerSecond = BackendTimerTicksPerSecond();
}

TapLog TapRecorded() {
  const Tap& t = T();
  TapLog log = t.log;
  log.events = t.recorded.Unpack();
  if (log.frameEnds.empty() || log.frameEnds.back() != log.events.size()) {
    log.frameEnds.push_back(static_cast<std::uint32_t>(log.events.size()));
  }
  return log;
}

bool TapOverflowed() {
  return T().overflowed;
}

void TapReplay(const TapLog& log, bool paced, bool quiet) {
  Tap& t = T();
  t = Tap();
  t.mode = TapMode::kReplaying;
  t.log = log;
  t.paced = paced;
  t.quiet = quiet && !paced;
  if (!SetRandomState(log.randomState)) Mismatch("the random source's state is unreadable");
  if (t.log.frameEnds.empty()) {
    t.done = true;
    t.ended = true;
  }
}

void TapStop() {
  Tap& t = T();
  const Tap keep = std::move(t);
  t = Tap();
  // What a finished replay found stays readable.
  t.done = keep.done;
  t.left = keep.left;
  t.mismatch = keep.mismatch;
  t.mismatchFrame = keep.mismatchFrame;
  t.frame = keep.frame;
}

long long TapFrames() {
  return T().frame;
}
bool TapReplayDone() {
  return T().done;
}
const std::string& TapMismatch() {
  return T().mismatch;
}
long long TapMismatchFrame() {
  return T().mismatchFrame;
}
bool TapWatcherLeft() {
  return T().left;
}

bool TapQuiet() {
  const Tap& t = T();
  return t.mode == TapMode::kReplaying && t.quiet;
}

double UntappedTimer() {
  return BackendTimer();
}

// ---- the tapped readings ------------------------------------------------

void Present() {
  CloseFrame();
  if (TapQuiet()) return;
  BackendPresent();
  // The GL driver's buffers for a frame grow and shrink with what it shows
  // (sparks above all). Freed, their pages stay with the heap, and over an
  // hour its resident size would creep up to the busiest frames' mark; so
  // hand them back every few seconds (about a millisecond, measured).
  static int framesSinceRelease = 0;
  if (++framesSinceRelease >= kFramesBetweenMemoryReleases) {
    framesSinceRelease = 0;
    ReleaseFreeMemory();
  }
}

std::string PollKey() {
  Tap& t = T();
  if (t.mode == TapMode::kReplaying) {
    // The watcher's own keys: only Esc and the close button mean anything.
    const std::string own = t.quiet ? std::string() : BackendPollKey();
    if (!t.ended && (own == kKeyEsc || own == kKeyClose)) {
      t.left = true;
      t.ended = true;
    }
    if (t.ended) {
      if (t.closeSent) return own;
      t.closeSent = true;
      return kKeyClose;
    }
    if (const TapEvent* e = Next(kTapPollKey, 0)) return e->key;
    t.closeSent = true;
    return kKeyClose;
  }
  TapEvent e;
  e.kind = kTapPollKey;
  e.key = BackendPollKey();
  Record(e);
  return e.key;
}

bool KeyArrivedAndClear() {
  if (Replaying()) {
    if (const TapEvent* e = Next(kTapKeyArrived, 0)) return e->value != 0;
  }
  TapEvent e;
  e.kind = kTapKeyArrived;
  e.value = BackendKeyArrivedAndClear() ? 1 : 0;
  Record(e);
  return e.value != 0;
}

bool KeyDown(int scancode) {
  if (Replaying()) {
    if (const TapEvent* e = Next(kTapKeyDown, scancode)) return e->value != 0;
  }
  TapEvent e;
  e.kind = kTapKeyDown;
  e.arg = scancode;
  e.value = BackendKeyDown(scancode) ? 1 : 0;
  Record(e);
  return e.value != 0;
}

int AsyncKeyState(int virtualKey) {
  if (Replaying()) {
    if (const TapEvent* e = Next(kTapAsyncKey, virtualKey)) return e->value;
  }
  TapEvent e;
  e.kind = kTapAsyncKey;
  e.arg = virtualKey;
  e.value = BackendAsyncKeyState(virtualKey);
  Record(e);
  return e.value;
}

Pointer ReadPointer() {
  if (Replaying()) {
    if (const TapEvent* e = Next(kTapPointer, 0)) return e->pointer;
  }
  TapEvent e;
  e.kind = kTapPointer;
  e.pointer = BackendReadPointer();
  Record(e);
  return e.pointer;
}

double Timer() {
  if (Replaying()) {
    if (const TapEvent* e = Next(kTapTimer, 0)) return e->timer;
  }
  TapEvent e;
  e.kind = kTapTimer;
  e.timer = BackendTimer();
  Record(e);
  return e.timer;
}

}  // namespace plat
