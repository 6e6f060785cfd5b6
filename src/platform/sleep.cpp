// The key-interruptible sleep shared by both backends.
#include "platform/platform.h"

namespace plat {

void SleepMs(int ms) {
  if (ms < 100) {
    SleepPlainMs(ms);
    return;
  }
  // Long sleeps run in 50 ms steps and end early, between steps, when a key
  // has arrived since the last poll; the check clears the flag.
  const int steps = ms / 50;
  for (int i = 1; i <= steps; ++i) {
    SleepPlainMs(50);
    if (i < steps && KeyArrivedAndClear()) return;
  }
  SleepPlainMs(ms % 50);
}

}  // namespace plat
