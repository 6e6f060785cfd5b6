// The scripted virtual game controller of the real-window test.
#include "platform/sdl/virtual_pad.h"

#include <SDL2/SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "platform/platform.h"

namespace plat {
namespace {

struct VirtualPad {
  int fd = -1;
  std::string pending;  // text read but not yet a whole line
  SDL_Joystick* joystick = nullptr;
};

VirtualPad& V() {
  static VirtualPad pad;
  return pad;
}

void Attach() {
  VirtualPad& v = V();
  if (v.joystick) return;
  const int index = SDL_JoystickAttachVirtual(
      SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX, SDL_CONTROLLER_BUTTON_MAX, 0);
  if (index < 0) {
    ConsoleWarning(std::string("virtueller Controller: ") + SDL_GetError());
    return;
  }
  v.joystick = SDL_JoystickOpen(index);
}

void Detach() {
  VirtualPad& v = V();
  if (!v.joystick) return;
  const SDL_JoystickID id = SDL_JoystickInstanceID(v.joystick);
  SDL_JoystickClose(v.joystick);
  v.joystick = nullptr;
  for (int i = 0; i < SDL_NumJoysticks(); ++i) {
    if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
  }
}

void Run(const std::string& line) {
  std::istringstream in(line);
  std::string word, name;
  double value = 0.0;
  in >> word;
  if (word.empty()) return;
  VirtualPad& v = V();
  if (word == "attach") return Attach();
  if (word == "detach") return Detach();
  if ((word == "press" || word == "release") && in >> name) {
    const SDL_GameControllerButton b = SDL_GameControllerGetButtonFromString(name.c_str());
    if (v.joystick && b != SDL_CONTROLLER_BUTTON_INVALID) {
      SDL_JoystickSetVirtualButton(v.joystick, b, word == "press" ? 1 : 0);
      return;
    }
  } else if (word == "axis" && in >> name >> value) {
    const SDL_GameControllerAxis a = SDL_GameControllerGetAxisFromString(name.c_str());
    if (v.joystick && a != SDL_CONTROLLER_AXIS_INVALID) {
      const double clamped = value < -1.0 ? -1.0 : value > 1.0 ? 1.0 : value;
      SDL_JoystickSetVirtualAxis(v.joystick, a, static_cast<Sint16>(clamped * 32767.0));
      return;
    }
  }
  ConsoleWarning("virtueller Controller: nicht verstanden: " + line);
}

}  // namespace

void ScriptVirtualPad(int fd) {
  V().fd = fd;
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

void PumpVirtualPadScript() {
  VirtualPad& v = V();
  if (v.fd < 0) return;
  char buf[256];
  for (ssize_t n; (n = ::read(v.fd, buf, sizeof buf)) > 0;)
    v.pending.append(buf, static_cast<size_t>(n));
  // One line per pump: SDL reads a virtual pad's state (not its changes)
  // once per pump, so a press and a release run in one pump would cancel
  // out, where a real pad reports both.
  const size_t end = v.pending.find('\n');
  if (end == std::string::npos) return;
  const std::string line = v.pending.substr(0, end);
  v.pending.erase(0, end + 1);
  Run(line);
}

}  // namespace plat
