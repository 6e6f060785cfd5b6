// The game controller's mapping onto keys, as both backends use it.
#include "platform/gamepad.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

using plat::PadAxis;
using plat::PadButton;
using plat::PadMapping;
using plat::PadOutput;

PadButton Named(const char* name) {
  PadButton b = PadButton::kCount;
  EXPECT_TRUE(plat::PadButtonNamed(name, b)) << name;
  return b;
}

TEST(Gamepad, ButtonsGiveTheirKeysOncePerPressAndHoldTheirKeysWhileDown) {
  const struct {
    const char* button;
    std::vector<std::string> keys;
    std::vector<int> presses;  // also the keys held while the button is down
  } cases[] = {
      {"a", {plat::kKeyEnter}, {plat::kScanEnter, plat::kScanSpace}},
      {"b", {plat::kKeyEsc}, {plat::kScanEsc}},
      {"back", {plat::kKeyEsc}, {plat::kScanEsc}},
      {"start", {"\xff\x45"}, {0x45}},
      {"y", {}, {plat::kScanY}},
      {"x", {plat::kKeyPadX}, {plat::kScanN}},
      {"dpup", {plat::kKeyUp}, {0x48}},
      {"dpdown", {plat::kKeyDown}, {0x50}},
      {"dpleft", {plat::kKeyLeft}, {plat::kScanLeft}},
      {"dpright", {plat::kKeyRight}, {plat::kScanRight}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.button);
    PadMapping pad;
    PadOutput out;
    pad.Button(Named(c.button), true, 1.0, out);
    EXPECT_EQ(out.keys, c.keys);
    EXPECT_EQ(out.presses, c.presses);
    // It holds exactly its own keys.
    for (const int sc : std::initializer_list<int>{plat::kScanEnter, plat::kScanSpace,
                                                   plat::kScanEsc, 0x45, plat::kScanY, plat::kScanN,
                                                   0x48, 0x50, plat::kScanLeft, plat::kScanRight}) {
      const bool own = std::find(c.presses.begin(), c.presses.end(), sc) != c.presses.end();
      EXPECT_EQ(pad.Holds(sc), own) << sc;
    }
    PadOutput again;
    pad.Button(Named(c.button), true, 1.01, again);  // still down: nothing new
    pad.Button(Named(c.button), false, 1.02, again);
    EXPECT_TRUE(again.keys.empty());
    EXPECT_TRUE(again.presses.empty());
    for (const int sc : c.presses) EXPECT_FALSE(pad.Holds(sc));
  }
  PadButton b;
  PadAxis a;
  for (const char* bad : {"A", "leftstick", "", "dp"}) EXPECT_FALSE(plat::PadButtonNamed(bad, b));
  EXPECT_TRUE(plat::PadAxisNamed("leftx", a) && a == PadAxis::kLeftX);
  EXPECT_TRUE(plat::PadAxisNamed("lefty", a) && a == PadAxis::kLeftY);
  EXPECT_FALSE(plat::PadAxisNamed("rightx", a));
}

TEST(Gamepad, HeldDirectionsRepeatLikeKeysAndStickAndDpadShareThem) {
  PadMapping pad;
  PadOutput out;
  pad.Button(PadButton::kDown, true, 10.0, out);
  ASSERT_EQ(out.keys.size(), 1u);
  // Repeats after the delay, then at the interval; one per poll at most.
  const struct {
    double now;
    size_t keys;
  } polls[] = {{10.2, 1}, {10.39, 1}, {10.41, 2}, {10.45, 2}, {10.52, 3}, {12.0, 4}, {12.01, 4}};
  for (const auto& p : polls) {
    pad.Repeat(p.now, out);
    EXPECT_EQ(out.keys.size(), p.keys) << p.now;
  }
  EXPECT_EQ(out.presses.size(), 1u);  // a repeat is no new press
  pad.Button(PadButton::kDown, false, 12.02, out);
  pad.Repeat(13.0, out);
  EXPECT_EQ(out.keys.size(), 4u);

  // The stick: pushed from 0.5 on, let go below 0.3; y negative is up.
  PadOutput stick;
  const struct {
    PadAxis axis;
    double value;
    int up, left, right;  // held afterwards
    size_t keys;          // key strings so far
  } moves[] = {
      {PadAxis::kLeftY, -0.4, 0, 0, 0, 0},  {PadAxis::kLeftY, -0.6, 1, 0, 0, 1},
      {PadAxis::kLeftY, -0.35, 1, 0, 0, 1}, {PadAxis::kLeftY, -0.2, 0, 0, 0, 1},
      {PadAxis::kLeftX, 1.0, 0, 0, 1, 2},   {PadAxis::kLeftX, -1.0, 0, 1, 0, 3},
      {PadAxis::kLeftX, 0.0, 0, 0, 0, 3},
  };
  for (const auto& m : moves) {
    pad.Axis(m.axis, m.value, 20.0, stick);
    EXPECT_EQ(pad.Holds(0x48), m.up == 1) << m.value;
    EXPECT_EQ(pad.Holds(plat::kScanLeft), m.left == 1) << m.value;
    EXPECT_EQ(pad.Holds(plat::kScanRight), m.right == 1) << m.value;
    EXPECT_EQ(stick.keys.size(), m.keys) << m.value;
  }
  // D-pad and stick on one direction: one press, held until both let go.
  PadOutput both;
  pad.Button(PadButton::kRight, true, 30.0, both);
  pad.Axis(PadAxis::kLeftX, 0.9, 30.0, both);
  pad.Button(PadButton::kRight, false, 30.1, both);
  EXPECT_TRUE(pad.Holds(plat::kScanRight));
  pad.Axis(PadAxis::kLeftX, 0.0, 30.2, both);
  EXPECT_FALSE(pad.Holds(plat::kScanRight));
  EXPECT_EQ(both.keys, std::vector<std::string>{plat::kKeyRight});
}

}  // namespace
