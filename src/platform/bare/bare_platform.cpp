// The bare backend: no window, no GL context, no audio device, no input.
// For programs that only prove replays: every reading of the outside world
// comes from the replay's record, so the backend's own readings are never
// asked for in a run that verifies; the clock is virtual and moves at frame
// boundaries like the headless runner's.
#include <cstdio>
#include <string>

#include "platform/backend.h"
#include "platform/platform.h"

namespace plat {
namespace {

struct Bare {
  double clock = 100.0;
  std::string title;
  bool pointerVisible = true;
};

Bare& B() {
  static Bare bare;
  return bare;
}

}  // namespace

void SetWindowTitle(const std::string& title) {
  B().title = title;
}
std::string WindowTitle() {
  return B().title;
}
void DesktopSize(int& width, int& height) {
  width = 0;
  height = 0;
}
bool OpenScreen(int /*width*/, int /*height*/, int /*bits*/, bool /*fullscreen*/) {
  return false;
}
std::string OpenScreenError() {
  return "no screen: this program only proves replays";
}
void ConsoleError(const std::string& line) {
  std::fputs((line + "\n").c_str(), stderr);
  std::fflush(stderr);
}
void ClearScreen() {}
void BackendPresent() {
  B().clock += 1.0 / 60.0;
}
std::string BackendPollKey() {
  return std::string();
}
bool BackendKeyArrivedAndClear() {
  return false;
}
bool BackendKeyDown(int /*scancode*/) {
  return false;
}
int BackendAsyncKeyState(int /*virtualKey*/) {
  return 0;
}
void ForgetAsyncKeys() {}
Pointer BackendReadPointer() {
  return Pointer();
}
void SetPointerVisible(bool visible) {
  B().pointerVisible = visible;
}
int ReadWheel() {
  return 0;
}
bool PointerVisible() {
  return B().pointerVisible;
}
double BackendTimer() {
  return B().clock;
}
double BackendTimerTicksPerSecond() {
  return 0.0;
}
void SleepPlainMs(int ms) {
  if (ms > 0) B().clock += ms / 1000.0;
}
std::string ExecutableDir() {
  return ProgramDir();
}
bool OpenAudio(int /*rate*/, AudioFill /*fill*/, void* /*user*/, std::string& why) {
  why = "no audio";
  return false;
}
void SetScreenName(const char* /*name*/) {}

}  // namespace plat
