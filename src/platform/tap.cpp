// The replay tap: the game's readings of the outside world, recorded or
// replayed in one place both backends share.
#include <string>
#include <utility>

#include "platform/backend.h"
#include "platform/platform.h"

namespace plat {
namespace {

const char* const kKindNames[] = {"",        "Timer",         "PollKey",    "KeyArrivedAndClear",
                                  "KeyDown", "AsyncKeyState", "ReadPointer"};

std::string Asked(std::uint8_t kind, std::int32_t arg) {
  std::string text = kind < kTapKindEnd ? kKindNames[kind] : "?";
  if (kind == kTapKeyDown || kind == kTapAsyncKey) text += "(" + std::to_string(arg) + ")";
  return text;
}

struct Tap {
  TapMode mode = TapMode::kOff;
  TapLog log;
  bool overflowed = false;
  long long frame = 0;  // frames closed
  // Replaying.
  std::size_t cursor = 0;
  bool paced = false;
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
  if (t.log.events.size() >= kTapMaxEvents) {
    t.overflowed = true;
    return;
  }
  t.log.events.push_back(e);
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
    if (!t.overflowed) t.log.frameEnds.push_back(static_cast<std::uint32_t>(t.log.events.size()));
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
  TapLog log = T().log;
  if (log.frameEnds.empty() || log.frameEnds.back() != log.events.size()) {
    log.frameEnds.push_back(static_cast<std::uint32_t>(log.events.size()));
  }
  return log;
}

bool TapOverflowed() {
  return T().overflowed;
}

void TapReplay(const TapLog& log, bool paced) {
  Tap& t = T();
  t = Tap();
  t.mode = TapMode::kReplaying;
  t.log = log;
  t.paced = paced;
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

double UntappedTimer() {
  return BackendTimer();
}

// ---- the tapped readings ------------------------------------------------

void Present() {
  CloseFrame();
  BackendPresent();
}

std::string PollKey() {
  Tap& t = T();
  if (t.mode == TapMode::kReplaying) {
    // The watcher's own keys: only Esc and the close button mean anything.
    const std::string own = BackendPollKey();
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
