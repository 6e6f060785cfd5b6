// What each backend (sdl/, headless/) gives the shared replay tap
// (tap.cpp): the raw readings behind plat::Timer, PollKey, KeyDown and the
// rest, and the raw present. Only platform code includes this.
#pragma once

#include <string>

#include "platform/platform.h"

namespace plat {

void BackendPresent();
std::string BackendPollKey();
bool BackendKeyArrivedAndClear();
bool BackendKeyDown(int scancode);
int BackendAsyncKeyState(int virtualKey);
Pointer BackendReadPointer();
double BackendTimer();
// The clock's readings are 100 + n / this for a whole n (0: no such grid).
double BackendTimerTicksPerSecond();

}  // namespace plat
