// The game controller's mapping onto keys, shared by both backends.
#include "platform/gamepad.h"

#include <algorithm>

#include "platform/platform.h"

namespace plat {
namespace {

const char* const kButtonNames[] = {"a",     "b",    "x",      "y",      "back",
                                    "start", "dpup", "dpdown", "dpleft", "dpright"};
static_assert(sizeof kButtonNames / sizeof kButtonNames[0] ==
              static_cast<size_t>(PadButton::kCount));

const std::string kKeyPause = "\xff\x45";  // the Pause key's string, as a keyboard gives it

// The cursor key of each direction: its key string and its scancode.
struct DirectionKey {
  const std::string* key;
  int scancode;
};
const DirectionKey kDirectionKeys[] = {
    {&kKeyUp, kScanUp}, {&kKeyDown, kScanDown}, {&kKeyLeft, kScanLeft}, {&kKeyRight, kScanRight}};

}  // namespace

bool PadButtonNamed(const std::string& name, PadButton& button) {
  for (int i = 0; i < static_cast<int>(PadButton::kCount); ++i) {
    if (name == kButtonNames[i]) {
      button = static_cast<PadButton>(i);
      return true;
    }
  }
  return false;
}

bool PadAxisNamed(const std::string& name, PadAxis& axis) {
  if (name == "leftx" || name == "lefty") {
    axis = name == "leftx" ? PadAxis::kLeftX : PadAxis::kLeftY;
    return true;
  }
  return false;
}

void PadMapping::SetDirection(int d, bool dpad, bool down, double now, PadOutput& out) {
  const bool was = DirectionHeld(d);
  (dpad ? dpad_ : stick_)[d] = down;
  if (was || !DirectionHeld(d)) return;
  out.keys.push_back(*kDirectionKeys[d].key);
  out.presses.push_back(kDirectionKeys[d].scancode);
  nextRepeat_[d] = now + kRepeatDelay;
}

void PadMapping::Button(PadButton button, bool down, double now, PadOutput& out) {
  switch (button) {
    case PadButton::kUp:
      return SetDirection(kDirUp, true, down, now, out);
    case PadButton::kDown:
      return SetDirection(kDirDown, true, down, now, out);
    case PadButton::kLeft:
      return SetDirection(kDirLeft, true, down, now, out);
    case PadButton::kRight:
      return SetDirection(kDirRight, true, down, now, out);
    default:
      break;
  }
  bool& held = buttons_[static_cast<int>(button)];
  const bool pressed = down && !held;
  held = down;
  if (!pressed) return;
  switch (button) {
    case PadButton::kA:
      out.keys.push_back(kKeyEnter);
      out.presses.insert(out.presses.end(), {kScanEnter, kScanSpace});
      break;
    case PadButton::kB:
    case PadButton::kBack:
      out.keys.push_back(kKeyEsc);
      out.presses.push_back(kScanEsc);
      break;
    case PadButton::kStart:
      out.keys.push_back(kKeyPause);
      out.presses.push_back(kScanPause);
      break;
    case PadButton::kY:
      out.presses.push_back(kScanY);
      break;
    case PadButton::kX:
      out.keys.push_back(kKeyPadX);
      out.presses.push_back(kScanN);
      break;
    default:
      break;
  }
}

void PadMapping::Axis(PadAxis axis, double value, double now, PadOutput& out) {
  value = std::clamp(value, -1.0, 1.0);
  const int negative = axis == PadAxis::kLeftX ? kDirLeft : kDirUp;
  const int positive = axis == PadAxis::kLeftX ? kDirRight : kDirDown;
  for (const int d : {negative, positive}) {
    const double push = d == negative ? -value : value;
    // Pushed beyond kStickOn, let go below kStickOff: a stick resting near
    // the threshold does not flutter.
    const bool down = stick_[d] ? push > kStickOff : push >= kStickOn;
    SetDirection(d, false, down, now, out);
  }
}

void PadMapping::Repeat(double now, PadOutput& out) {
  for (int d = 0; d < kDirections; ++d) {
    if (!DirectionHeld(d) || now < nextRepeat_[d]) continue;
    // One repeat per poll at most: a stalled game does not get a burst.
    out.keys.push_back(*kDirectionKeys[d].key);
    nextRepeat_[d] += kRepeatInterval;
    if (nextRepeat_[d] <= now) nextRepeat_[d] = now + kRepeatInterval;
  }
}

bool PadMapping::Holds(int scancode) const {
  const auto held = [this](PadButton b) { return buttons_[static_cast<int>(b)]; };
  switch (scancode) {
    case kScanEnter:
    case kScanSpace:
      return held(PadButton::kA);
    case kScanEsc:
      return held(PadButton::kB) || held(PadButton::kBack);
    case kScanPause:
      return held(PadButton::kStart);
    case kScanY:
      return held(PadButton::kY);
    case kScanN:
      return held(PadButton::kX);
    default:
      break;
  }
  for (int d = 0; d < kDirections; ++d) {
    if (kDirectionKeys[d].scancode == scancode) return DirectionHeld(d);
  }
  return false;
}

}  // namespace plat
