// The press memories shared by both backends.
#include "platform/platform.h"

namespace plat {

void PressMemory::Press(int code) {
  if (code > 0 && code < kCodes) pressed[code] = frame;
}

bool PressMemory::Take(int code) {
  if (code <= 0 || code >= kCodes) return false;
  const std::uint32_t at = pressed[code];
  pressed[code] = 0;
  // Kept through the frame it came in and the next one, no longer.
  return at != 0 && at + 1 >= frame;
}

void PressMemory::NextFrame() {
  ++frame;
}

void AsyncKeyMemory::Press() {
  pressed = true;
  heldOver = false;
}

bool AsyncKeyMemory::Query(bool downNow) {
  if (!downNow) heldOver = false;
  const bool result = pressed || (downNow && !heldOver);
  pressed = false;
  return result;
}

void AsyncKeyMemory::Forget(bool downNow) {
  pressed = false;
  heldOver = downNow;
}

}  // namespace plat
