// The replay tap on the headless backend: what the game read while recording
// is what the record holds, a replay answers from the record whatever the
// backend says, and the first question the record cannot answer is named.
// The same frames show the backend's input memory: a press that came and
// went between two reads reads as down once.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

using plat::TapEvent;

// Plays this script from the next present on (its commands up to its first
// `frames` run then). Whatever script an earlier test left waiting is let go
// first: a marker pointer position, new on every call, shows when it is.
void Script(const std::string& body) {
  static int calls = 0;
  const int marker = 7000 + ++calls;
  plat::TapStop();
  plat::SetScreenName("credits");
  std::string error;
  const std::string m = std::to_string(marker);
  ASSERT_TRUE(headless::LoadScript(
      "until credits\npointer " + m + " " + m + " 0\nframes 1\n" + body + "frames 1000000000\n",
      error))
      << error;
  headless::RunUntilBlocked();
  for (int i = 0; i < 3 && plat::ReadPointer().x != marker; ++i) plat::Present();
  ASSERT_EQ(plat::ReadPointer().x, marker);
  while (!plat::PollKey().empty()) {
  }
  plat::ForgetAsyncKeys();
}

std::string Text(const TapEvent& e) {
  return std::to_string(e.kind) + " " + std::to_string(e.arg) + " " + std::to_string(e.value) +
         " [" + e.key + "] " + std::to_string(std::bit_cast<std::uint64_t>(e.timer)) + " " +
         std::to_string(e.pointer.x) + "," + std::to_string(e.pointer.y) + "," +
         std::to_string(e.pointer.buttons);
}
std::vector<std::string> Texts(const std::vector<TapEvent>& events) {
  std::vector<std::string> out;
  for (const TapEvent& e : events) out.push_back(Text(e));
  return out;
}

// The questions a frame of play asks, answered through the tap, the answers
// written down as the record would hold them; then the frame is presented.
std::vector<TapEvent> PlayFrame() {
  std::vector<TapEvent> a(10);
  a[0].kind = plat::kTapTimer;
  a[0].timer = plat::Timer();
  a[1].kind = plat::kTapKeyArrived;
  a[1].value = plat::KeyArrivedAndClear() ? 1 : 0;
  a[2].kind = plat::kTapPollKey;
  a[2].key = plat::PollKey();
  for (const int i : {3, 4, 5}) {
    a[i].kind = plat::kTapKeyDown;
    a[i].arg = i == 3 ? plat::kScanSpace : plat::kScanEnter;
    a[i].value = plat::KeyDown(a[i].arg) ? 1 : 0;
  }
  a[6].kind = plat::kTapAsyncKey;
  a[6].arg = plat::kVkPause;
  a[6].value = plat::AsyncKeyState(plat::kVkPause);
  for (const int i : {7, 8}) {
    a[i].kind = plat::kTapPointer;
    a[i].pointer = plat::ReadPointer();
  }
  a[9].kind = plat::kTapTimer;
  a[9].timer = plat::Timer();
  plat::Present();
  return a;
}

// Five frames: nothing; a character, Space held, the pointer moved; Enter
// tapped, a click, a cursor key, Pause; Space let go and the pad's A tapped;
// nothing again.
const char* const kInput =
    "key a\nhold SPACE\npointer 10 20 0\nframes 1\n"
    "tap ENTER\nclick 30 40\nkey UP\npause\nframes 1\n"
    "release SPACE\npad a\nframes 1\n";

TEST(Tap, TheRecordHoldsWhatTheGameReadAndAReplayGivesItBack) {
  Script(kInput);
  plat::SeedRandom(42.0);
  const std::string random = plat::RandomState();
  plat::TapRecord();
  std::vector<std::vector<TapEvent>> frames;
  for (int f = 0; f < 5; ++f) frames.push_back(PlayFrame());
  const double drawn = plat::Random();
  const plat::TapLog log = plat::TapRecorded();
  ASSERT_FALSE(plat::TapOverflowed());
  plat::TapStop();

  // What the backend gave, frame by frame: presses that came and went read
  // as down at the next read and up at the one after.
  const struct {
    int arrived;
    const char* key;
    int space, enter, enterAgain, pause;
    plat::Pointer pointer, pointerAgain;
  } expected[] = {
      {0, "", 0, 0, 0, 0, {0, 0, 0}, {0, 0, 0}},
      {1, "a", 1, 0, 0, 0, {10, 20, 0}, {10, 20, 0}},
      {1, "\xffH", 1, 1, 0, 1, {30, 40, 1}, {30, 40, 0}},
      {1, "\r", 1, 1, 0, 0, {30, 40, 0}, {30, 40, 0}},
      {0, "", 0, 0, 0, 0, {30, 40, 0}, {30, 40, 0}},
  };
  for (int f = 0; f < 5; ++f) {
    SCOPED_TRACE("frame " + std::to_string(f));
    const std::vector<TapEvent>& a = frames[static_cast<std::size_t>(f)];
    const auto& e = expected[f];
    EXPECT_EQ(a[1].value, e.arrived);
    EXPECT_EQ(a[2].key, e.key);
    EXPECT_EQ(a[3].value, e.space);
    EXPECT_EQ(a[4].value, e.enter);
    EXPECT_EQ(a[5].value, e.enterAgain);
    EXPECT_EQ(a[6].value, e.pause);
    if (f > 0) {  // frame 0: where Script left it
      EXPECT_EQ(a[7].pointer.y, e.pointer.y);
    }
    EXPECT_EQ(a[7].pointer.buttons, e.pointer.buttons);
    EXPECT_EQ(a[8].pointer.buttons, e.pointerAgain.buttons);
    EXPECT_EQ(a[0].timer, a[9].timer);  // the clock moves at presents only
    if (f > 0) {
      EXPECT_NEAR(a[0].timer - frames[f - 1][0].timer, 0.015, 1.0e-9);
    }
  }

  // The record: every answer in order, a frame end at every present, the
  // random source as it was, and the headless clock on no grid.
  std::vector<TapEvent> all;
  std::vector<std::uint32_t> ends;
  for (const auto& f : frames) {
    all.insert(all.end(), f.begin(), f.end());
    ends.push_back(static_cast<std::uint32_t>(all.size()));
  }
  EXPECT_EQ(Texts(log.events), Texts(all));
  EXPECT_EQ(log.frameEnds, ends);
  EXPECT_EQ(log.randomState, random);
  EXPECT_EQ(log.ticksPerSecond, 0.0);

  // Replayed over a backend with no input at all: the record's answers, and
  // the random source where the recording found it.
  Script("");
  plat::SeedRandom(7.0);
  plat::TapReplay(log, false);
  EXPECT_EQ(plat::Random(), drawn);
  for (int f = 0; f < 5; ++f) {
    EXPECT_EQ(Texts(PlayFrame()), Texts(frames[static_cast<std::size_t>(f)])) << "frame " << f;
    EXPECT_EQ(plat::TapReplayDone(), f == 4);
  }
  EXPECT_EQ(plat::TapMismatch(), "");
  EXPECT_EQ(plat::TapFrames(), 5);
  EXPECT_EQ(plat::PollKey(), plat::kKeyClose);  // once, then the backend's own keys
  EXPECT_EQ(plat::PollKey(), "");
  EXPECT_FALSE(plat::TapWatcherLeft());
  plat::TapStop();
}

// A press that no read took is gone one frame after the frame it came in.
TEST(Tap, APressNoReadTookIsGoneAfterTheNextFrame) {
  for (const int presents : {0, 1, 2}) {
    SCOPED_TRACE(presents);
    Script("tap ENTER\nclick 5 5\npad x\nframes 1\n");
    plat::Present();  // the presses come in
    for (int i = 0; i < presents; ++i) plat::Present();
    const bool kept = presents < 2;
    EXPECT_EQ(plat::KeyDown(plat::kScanEnter), kept);
    EXPECT_EQ(plat::ReadPointer().buttons, kept ? 1 : 0);
    EXPECT_EQ(plat::KeyDown(plat::kScanN), kept);  // the pad's X
  }
}

// A key held down again (as the keyboard's repeat does) is no new press: let
// go before the next read, it reads as up.
TEST(Tap, AKeyHeldAgainIsNoNewPress) {
  Script("hold SPACE\nframes 1\nhold SPACE\nrelease SPACE\nframes 1\n");
  plat::Present();
  EXPECT_TRUE(plat::KeyDown(plat::kScanSpace));
  plat::Present();
  EXPECT_FALSE(plat::KeyDown(plat::kScanSpace));
}

// Questions a replay cannot answer end it where they are asked, named.
TEST(Tap, TheFirstQuestionTheRecordCannotAnswerIsNamed) {
  Script("");
  plat::TapRecord();
  for (int f = 0; f < 3; ++f) {
    plat::Timer();
    plat::KeyDown(plat::kScanSpace);
    plat::PollKey();
    plat::Present();
  }
  const plat::TapLog log = plat::TapRecorded();
  plat::TapStop();
  const struct {
    const char* name;
    void (*frame1)();  // the game's second frame, as it goes this time
    const char* mismatch;
  } cases[] = {
      {"the same questions",
       [] {
         plat::Timer();
         plat::KeyDown(plat::kScanSpace);
         plat::PollKey();
       },
       ""},
      {"another kind first",
       [] {
         plat::KeyDown(plat::kScanSpace);
         plat::Timer();
       },
       "the game asked for KeyDown(57), the record has Timer"},
      {"another key",
       [] {
         plat::Timer();
         plat::KeyDown(plat::kScanEnter);
       },
       "the game asked for KeyDown(28), the record has KeyDown(57)"},
      {"one question more",
       [] {
         plat::Timer();
         plat::KeyDown(plat::kScanSpace);
         plat::PollKey();
         plat::ReadPointer();
       },
       "the game asked for ReadPointer after the frame's 3 recorded readings"},
      {"a question fewer",
       [] {
         plat::Timer();
         plat::KeyDown(plat::kScanSpace);
       },
       "1 recorded readings left unread"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    plat::TapReplay(log, false);
    plat::Timer();
    plat::KeyDown(plat::kScanSpace);
    plat::PollKey();
    plat::Present();
    c.frame1();
    plat::Present();
    EXPECT_EQ(plat::TapMismatch(), c.mismatch);
    if (*c.mismatch != '\0') {
      EXPECT_EQ(plat::TapMismatchFrame(), 1);
      EXPECT_EQ(plat::PollKey(), plat::kKeyClose);  // the game is told once
      EXPECT_EQ(plat::PollKey(), "");
      EXPECT_FALSE(plat::TapReplayDone());
    }
    plat::TapStop();
    EXPECT_EQ(plat::TapMismatch(), c.mismatch);  // still readable after the replay
  }
  plat::TapLog unreadable = log;
  unreadable.randomState = "no state";
  plat::TapReplay(unreadable, false);
  EXPECT_EQ(plat::TapMismatch(), "the random source's state is unreadable");
  EXPECT_EQ(plat::TapMismatchFrame(), 0);
  plat::TapStop();
}

TEST(Tap, TheWatchersEscEndsAReplay) {
  Script("");
  plat::TapRecord();
  for (int f = 0; f < 4; ++f) {
    plat::PollKey();
    plat::Present();
  }
  const plat::TapLog log = plat::TapRecorded();
  Script("frames 1\nkey ESC\nframes 1\n");
  plat::TapReplay(log, false);
  EXPECT_EQ(plat::PollKey(), "");
  plat::Present();
  EXPECT_EQ(plat::PollKey(), "");
  plat::Present();
  EXPECT_EQ(plat::PollKey(), plat::kKeyClose);
  EXPECT_TRUE(plat::TapWatcherLeft());
  EXPECT_FALSE(plat::TapReplayDone());
  EXPECT_EQ(plat::TapMismatch(), "");
  plat::TapStop();
}

// A recording holds kTapMaxEvents readings and stops growing after them.
TEST(Tap, ARecordingStopsAtItsBound) {
  Script("");
  plat::TapRecord();
  for (std::size_t i = 0; i < plat::kTapMaxEvents; ++i) plat::KeyArrivedAndClear();
  EXPECT_FALSE(plat::TapOverflowed());
  plat::Present();
  EXPECT_EQ(plat::TapRecorded().events.size(), plat::kTapMaxEvents);
  plat::KeyArrivedAndClear();
  EXPECT_TRUE(plat::TapOverflowed());
  plat::Present();
  const plat::TapLog log = plat::TapRecorded();
  EXPECT_EQ(log.events.size(), plat::kTapMaxEvents);
  EXPECT_EQ(log.frameEnds, std::vector<std::uint32_t>{plat::kTapMaxEvents});
  plat::TapStop();
}

}  // namespace
