// The input memories both backends share: presses of keys, pointer buttons
// and the pad's buttons between two reads, and the asynchronous Pause and Esc.
#include <gtest/gtest.h>

#include <string>

#include "platform/gamepad.h"
#include "platform/platform.h"

namespace {

// Steps of a press memory: 'p' a press, 'n' a presented frame, 't' a read
// that finds the press, 'u' a read that finds none.
void Play(plat::PressMemory& memory, int code, const std::string& steps) {
  for (std::size_t i = 0; i < steps.size(); ++i) {
    switch (steps[i]) {
      case 'p':
        memory.Press(code);
        break;
      case 'n':
        memory.NextFrame();
        break;
      default:
        EXPECT_EQ(memory.Take(code), steps[i] == 't') << "step " << i << " of " << steps;
    }
  }
}

TEST(PressMemory, APressReadsAsDownOnceAndLastsOneFrameUnread) {
  const struct {
    const char* rule;
    const char* steps;
  } cases[] = {
      {"came and went: down at the next read, up at the one after", "ptu"},
      {"read in the frame after its own", "pntu"},
      {"unread, gone after the frame after its own", "pnnu"},
      {"read in its own frame, not again in the next", "ptnu"},
      {"two presses before a read are one", "pptu"},
      {"a press after a read is a new one", "ptptu"},
      {"a later press keeps it longer", "pnpntu"},
      {"no press, nothing to read", "unu"},
  };
  // Keys by scancode, pointer buttons 1 to 3, the pad's presses as keys.
  for (const int code : {int{plat::kScanSpace}, 1, 3, int{plat::kScanEnter}, 255}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.rule) + ", code " + std::to_string(code));
      plat::PressMemory memory;
      for (int f = 0; f < 5; ++f) memory.NextFrame();  // any frame, not just the first
      Play(memory, code, c.steps);
    }
  }
  plat::PressMemory memory;  // codes outside the table are never pressed
  for (const int code : {0, -1, 256, 100000}) Play(memory, code, "pu");
  memory.Press(2);  // one code's press leaves the others alone
  Play(memory, 1, "u");
  Play(memory, 2, "t");
}

TEST(PressMemory, ThePadsTapsAreRememberedItsRepeatsAreNot) {
  // As the backends do: the pad's presses go into the key memory.
  plat::PadMapping pad;
  plat::PressMemory memory;
  plat::PadOutput out;
  pad.Button(plat::PadButton::kA, true, 1.0, out);
  pad.Button(plat::PadButton::kA, false, 1.01, out);
  for (const int code : out.presses) memory.Press(code);
  EXPECT_FALSE(pad.Holds(plat::kScanSpace));
  Play(memory, plat::kScanSpace, "tu");
  Play(memory, plat::kScanEnter, "tu");
  // A direction held for two seconds repeats its key string, never its press.
  plat::PadOutput held;
  pad.Button(plat::PadButton::kDown, true, 2.0, held);
  for (double now = 2.0; now < 4.0; now += 0.05) pad.Repeat(now, held);
  EXPECT_GT(held.keys.size(), 10u);
  ASSERT_EQ(held.presses.size(), 1u);
  memory.Press(held.presses[0]);
  Play(memory, plat::kScanDown, "tu");
}

// Steps of an asynchronous key: 'p' a press, 'f'/'F' forgetting with the
// key up/held, then a query with the key up ('0'/'1' the answer) or held
// ('a'/'b' for 0/1).
TEST(AsyncKeyMemory, DownNowOrPressedSinceTheLastQuery) {
  const struct {
    const char* rule;
    const char* steps;
  } cases[] = {
      {"pressed and let go before the query: once", "p10"},
      {"held: every query", "pbb"},
      {"held after its press was taken", "pb0b"},
      {"forgotten while up: nothing", "pf0"},
      {"forgotten while held: not until let go", "pFaa0b"},
      {"a press after forgetting counts", "Fp1"},
      {"nothing", "00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rule);
    plat::AsyncKeyMemory key;
    for (const char* s = c.steps; *s != '\0'; ++s) {
      switch (*s) {
        case 'p':
          key.Press();
          break;
        case 'f':
        case 'F':
          key.Forget(*s == 'F');
          break;
        default:
          EXPECT_EQ(key.Query(*s == 'a' || *s == 'b'), *s == '1' || *s == 'b')
              << "step " << s - c.steps;
      }
    }
  }
}

}  // namespace
