// The key-interruptible sleep shared by both backends.
#include "platform/platform.h"

namespace plat {

void SleepMs(int ms) {
  if (ms < 100) {
    SleepPlainMs(ms);
    return;
  }
  // Long sleeps run in 50 ms steps; before each step but the last they end
  // at once when a key has arrived since the last poll (the check clears
  // the flag).
  int left = ms;
  while (left > 50) {
    if (KeyArrivedAndClear()) return;
    SleepPlainMs(50);
    left -= 50;
  }
  SleepPlainMs(left);
}

}  // namespace plat
