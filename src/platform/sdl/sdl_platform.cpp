// The window backend: SDL2 window with a compatibility-profile GL context.
#include <GL/gl.h>
#include <SDL2/SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "platform/backend.h"
#include "platform/gamepad.h"
#include "platform/platform.h"
#include "platform/scancodes.h"
#include "platform/sdl/virtual_pad.h"
#include "platform/text_codec.h"

namespace plat {
namespace {

// The clock now: counted from the first reading (as 100 s, like the
// headless clock), not from boot, so times the game keeps in 32-bit floats
// stay fine-grained.
double ClockNow() {
  static const Uint64 frequency = SDL_GetPerformanceFrequency();
  static const Uint64 origin = SDL_GetPerformanceCounter();
  return 100.0 +
         static_cast<double>(SDL_GetPerformanceCounter() - origin) / static_cast<double>(frequency);
}

// What the game reads: the clock as it was at the latest frame boundary (a
// present or a sleep), as the headless clock moves. Every reading within a
// frame agrees, and a replay's record holds one new time per frame.
double& LatchedClock() {
  static double latched = ClockNow();
  return latched;
}
double FrameClock() {
  return LatchedClock();
}
void TickFrameClock() {
  LatchedClock() = ClockNow();
}

// One game controller that is plugged in.
struct Pad {
  SDL_GameController* controller = nullptr;
  PadMapping mapping;
};

struct SdlState {
  bool videoReady = false;
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  std::string title;
  std::string openError;  // why the last OpenScreen failed
  KeyBuffer keys;
  PressMemory keyPresses;     // by set-1 scancode
  PressMemory buttonPresses;  // 1 left, 2 right, 3 middle
  AsyncKeyMemory pause;
  AsyncKeyMemory escape;
  bool pointerVisible = true;
  int wheel = 0;  // notches since the last ReadWheel
  std::string screen;
  SDL_AudioDeviceID audio = 0;
  AudioFill audioFill = nullptr;
  void* audioUser = nullptr;
  bool quitAsked = false;              // an SDL quit event: the system asks us to end
  std::map<SDL_JoystickID, Pad> pads;  // by SDL's instance id
};

SdlState& S() {
  static SdlState state;
  return state;
}

// At the program's end: context and window go, and a full-screen mode
// switch is undone.
void ShutDown() {
  // The audio thread stops before anything it reads can go.
  if (S().audio) SDL_CloseAudioDevice(S().audio);
  S().audio = 0;
  if (S().context) SDL_GL_DeleteContext(S().context);
  if (S().window) SDL_DestroyWindow(S().window);
  S().context = nullptr;
  S().window = nullptr;
  S().videoReady = false;
  SDL_Quit();
}

void EnsureVideo() {
  if (S().videoReady) return;
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  // The close button arrives once, as the window's close event. SIGINT and
  // SIGTERM are ours (CatchEndSignals), not turned into a close key.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) return;
  // Without a display SDL falls back to drivers that draw nowhere: the game
  // would run unseen for ever. Only a driver asked for by name may do that;
  // an empty name asks for none.
  const char* current = SDL_GetCurrentVideoDriver();
  const std::string driver = current ? current : "";
  const char* asked = std::getenv("SDL_VIDEODRIVER");
  const bool named = asked != nullptr && asked[0] != '\0';
  if ((driver == "offscreen" || driver == "dummy") && !named) {
    SDL_Quit();
    SDL_SetError("no display (SDL found only its \"%s\" video driver)", driver.c_str());
    return;
  }
  S().videoReady = true;
  std::atexit(ShutDown);
  // Game controllers: those plugged in already and later ones arrive as
  // device-added events. Without controller support the keyboard remains.
  SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);
}

// SDL's audio thread asks for the next samples (we asked for mono floats;
// SDL converts to whatever the device takes).
void FillAudio(void* /*user*/, Uint8* stream, int bytes) {
  S().audioFill(S().audioUser, reinterpret_cast<float*>(stream),
                bytes / static_cast<int>(sizeof(float)));
}

void PushExtended(int set1) {
  std::string key(2, '\0');
  key[0] = static_cast<char>(255);
  key[1] = static_cast<char>(set1);
  S().keys.Push(key);
}

void HandleKeyDown(const SDL_KeyboardEvent& e) {
  const int hid = static_cast<int>(e.keysym.scancode);
  // Auto-repeat fills the key buffer but is no new press of the key.
  const bool press = e.repeat == 0;
  if (press) S().keyPresses.Press(Set1FromHid(hid));
  switch (e.keysym.sym) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      S().keys.Push(std::string(1, '\r'));
      return;
    case SDLK_ESCAPE:
      S().keys.Push(std::string(1, '\x1b'));
      if (press) S().escape.Press();
      return;
    case SDLK_BACKSPACE:
      S().keys.Push(std::string(1, '\b'));
      return;
    case SDLK_TAB:
      S().keys.Push(std::string(1, '\t'));
      return;
    case SDLK_PAUSE:
      if (press) S().pause.Press();
      break;
    default:
      break;
  }
  // Ctrl with a letter types its control character (Ctrl+Z 26), as no text
  // input comes for it.
  if ((e.keysym.mod & KMOD_CTRL) != 0 && e.keysym.sym >= SDLK_a && e.keysym.sym <= SDLK_z) {
    S().keys.Push(std::string(1, static_cast<char>(e.keysym.sym - SDLK_a + 1)));
    return;
  }
  // Character keys arrive through text input (the layout decides them);
  // keys without a character arrive as byte 255 + their scancode.
  if (IsExtendedHid(hid)) PushExtended(Set1FromHid(hid));
}

void HandleText(const char* utf8) {
  for (const unsigned char byte : Cp1252FromUtf8(utf8)) {
    if (byte == '\t' || byte == '\r' || byte == '\n') continue;  // come as keys
    S().keys.Push(std::string(1, static_cast<char>(byte)));
  }
}

// What a pad did, handed over like the keyboard's keys and presses.
void ApplyPad(const PadOutput& out) {
  for (const std::string& key : out.keys) S().keys.Push(key);
  for (const int scancode : out.presses) {
    S().keyPresses.Press(scancode);
    if (scancode == kScanEsc) S().escape.Press();
    if (scancode == kScanPause) S().pause.Press();
  }
}

bool PadHolds(int scancode) {
  for (const auto& [id, pad] : S().pads) {
    if (pad.mapping.Holds(scancode)) return true;
  }
  return false;
}

// Pause and Esc held now, on the keyboard or on a pad (Start; B or Back).
bool PauseDown(const Uint8* keyboard) {
  return (keyboard && keyboard[SDL_SCANCODE_PAUSE]) || PadHolds(kScanPause);
}
bool EscapeDown(const Uint8* keyboard) {
  return (keyboard && keyboard[SDL_SCANCODE_ESCAPE]) || PadHolds(kScanEsc);
}

void OpenPad(int deviceIndex) {
  SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex);
  if (!controller) return;
  const SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
  if (S().pads.count(id)) {
    SDL_GameControllerClose(controller);  // already open
    return;
  }
  S().pads[id].controller = controller;
}

// A pad pulled out: whatever it held is let go with it.
void ClosePad(SDL_JoystickID id) {
  const auto it = S().pads.find(id);
  if (it == S().pads.end()) return;
  SDL_GameControllerClose(it->second.controller);
  S().pads.erase(it);
}

void HandlePadButton(const SDL_ControllerButtonEvent& e) {
  static const std::pair<Uint8, PadButton> kButtons[] = {
      {SDL_CONTROLLER_BUTTON_A, PadButton::kA},
      {SDL_CONTROLLER_BUTTON_B, PadButton::kB},
      {SDL_CONTROLLER_BUTTON_X, PadButton::kX},
      {SDL_CONTROLLER_BUTTON_Y, PadButton::kY},
      {SDL_CONTROLLER_BUTTON_BACK, PadButton::kBack},
      {SDL_CONTROLLER_BUTTON_START, PadButton::kStart},
      {SDL_CONTROLLER_BUTTON_DPAD_UP, PadButton::kUp},
      {SDL_CONTROLLER_BUTTON_DPAD_DOWN, PadButton::kDown},
      {SDL_CONTROLLER_BUTTON_DPAD_LEFT, PadButton::kLeft},
      {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, PadButton::kRight}};
  const auto it = S().pads.find(e.which);
  if (it == S().pads.end()) return;
  for (const auto& [sdl, button] : kButtons) {
    if (sdl != e.button) continue;
    PadOutput out;
    it->second.mapping.Button(button, e.state == SDL_PRESSED, BackendTimer(), out);
    ApplyPad(out);
  }
}

void HandlePadAxis(const SDL_ControllerAxisEvent& e) {
  const auto it = S().pads.find(e.which);
  if (it == S().pads.end()) return;
  if (e.axis != SDL_CONTROLLER_AXIS_LEFTX && e.axis != SDL_CONTROLLER_AXIS_LEFTY) return;
  PadOutput out;
  it->second.mapping.Axis(e.axis == SDL_CONTROLLER_AXIS_LEFTX ? PadAxis::kLeftX : PadAxis::kLeftY,
                          e.value / 32767.0, BackendTimer(), out);
  ApplyPad(out);
}

// Every pump is a frame boundary: an end signal, or the system asking the
// program to quit, ends it here (the window is released at exit).
void EndIfAsked() {
  if (PendingEndSignal() != 0 || S().quitAsked) {
    std::fflush(nullptr);
    std::exit(kEndSignalExitCode);
  }
}

void Pump() {
  EndIfAsked();
  if (!S().videoReady) return;
  PumpVirtualPadScript();
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    switch (e.type) {
      case SDL_QUIT:
        S().quitAsked = true;
        break;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) S().keys.Push(kKeyClose);
        break;
      case SDL_KEYDOWN:
        HandleKeyDown(e.key);
        break;
      case SDL_TEXTINPUT:
        HandleText(e.text.text);
        break;
      case SDL_AUDIODEVICEREMOVED:
        // The device went away during play (unplugged headphones, say):
        // the game goes on silently and says so once.
        if (!e.adevice.iscapture && S().audio != 0 && e.adevice.which == S().audio) {
          ConsoleWarning("das Audiogeraet ist weg, das Spiel bleibt stumm.");
          SDL_CloseAudioDevice(S().audio);
          S().audio = 0;
        }
        break;
      case SDL_CONTROLLERDEVICEADDED:
        OpenPad(e.cdevice.which);
        break;
      case SDL_CONTROLLERDEVICEREMOVED:
        ClosePad(e.cdevice.which);
        break;
      case SDL_CONTROLLERBUTTONDOWN:
      case SDL_CONTROLLERBUTTONUP:
        HandlePadButton(e.cbutton);
        break;
      case SDL_CONTROLLERAXISMOTION:
        HandlePadAxis(e.caxis);
        break;
      case SDL_MOUSEWHEEL: {
        // Both ways: the editor reads the notches, the level list the keys.
        const int notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        S().wheel += notches;
        for (int n = 0; n < std::abs(notches) && n < 8; ++n)
          S().keys.Push(notches > 0 ? kKeyWheelUp : kKeyWheelDown);
        break;
      }
      case SDL_MOUSEBUTTONDOWN:
        if (e.button.button == SDL_BUTTON_LEFT) S().buttonPresses.Press(1);
        if (e.button.button == SDL_BUTTON_RIGHT) S().buttonPresses.Press(2);
        if (e.button.button == SDL_BUTTON_MIDDLE) S().buttonPresses.Press(3);
        break;
      default:
        break;
    }
  }
  for (auto& [id, pad] : S().pads) {
    PadOutput out;
    pad.mapping.Repeat(BackendTimer(), out);
    ApplyPad(out);
  }
  EndIfAsked();
}

}  // namespace

void SetWindowTitle(const std::string& title) {
  if (TapQuiet()) return;
  S().title = title;
  if (S().window) SDL_SetWindowTitle(S().window, title.c_str());
}

std::string WindowTitle() {
  return S().title;
}

void DesktopSize(int& width, int& height) {
  EnsureVideo();
  SDL_DisplayMode mode;
  if (S().videoReady && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
    width = mode.w;
    height = mode.h;
  } else {
    width = 1280;
    height = 800;
  }
}

bool OpenScreen(int width, int height, int bits, bool fullscreen) {
  EnsureVideo();
  S().openError.clear();
  if (!S().videoReady) {
    S().openError = SDL_GetError();
    return false;
  }
  if (width <= 0 || height <= 0) {
    S().openError = "size " + std::to_string(width) + "x" + std::to_string(height);
    return false;
  }
  const int channel = bits >= 24 ? 8 : 5;
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN;
  if (fullscreen) flags |= SDL_WINDOW_FULLSCREEN;
  S().window = SDL_CreateWindow(S().title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                width, height, flags);
  if (!S().window) {
    S().openError = SDL_GetError();
    return false;
  }
  if (fullscreen) {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
      mode.w = width;
      mode.h = height;
      SDL_SetWindowDisplayMode(S().window, &mode);
    }
  }
  S().context = SDL_GL_CreateContext(S().window);
  if (!S().context) {
    // A window without a context is of no use; a later attempt makes its own.
    S().openError = SDL_GetError();
    SDL_DestroyWindow(S().window);
    S().window = nullptr;
    return false;
  }
  SDL_GL_MakeCurrent(S().window, S().context);
  // Vsync keeps a frame loop from burning a core; adaptive first.
  if (SDL_GL_SetSwapInterval(-1) != 0) SDL_GL_SetSwapInterval(1);
  SDL_StartTextInput();
  SDL_ShowCursor(S().pointerVisible ? SDL_ENABLE : SDL_DISABLE);
  return true;
}

std::string OpenScreenError() {
  return S().openError;
}

void ConsoleError(const std::string& line) {
  std::fputs((line + "\n").c_str(), stderr);
  std::fflush(stderr);
}

void ClearScreen() {
  if (!S().context) return;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void BackendPresent() {
  if (S().window) SDL_GL_SwapWindow(S().window);
  TickFrameClock();
  S().keyPresses.NextFrame();
  S().buttonPresses.NextFrame();
  Pump();
}

std::string BackendPollKey() {
  Pump();
  S().keys.arrived = false;
  return S().keys.Poll();
}

bool BackendKeyArrivedAndClear() {
  Pump();
  const bool arrived = S().keys.arrived;
  S().keys.arrived = false;
  return arrived;
}

bool BackendKeyDown(int scancode) {
  Pump();
  // A tap that came and went between two reads still counts once.
  const bool tapped = S().keyPresses.Take(scancode);
  int count = 0;
  const Uint8* state = SDL_GetKeyboardState(&count);
  if (!state) return tapped || PadHolds(scancode);
  for (int hid = 0; hid < count; ++hid) {
    if (state[hid] && Set1FromHid(hid) == scancode) return true;
  }
  return tapped || PadHolds(scancode);
}

int BackendAsyncKeyState(int virtualKey) {
  Pump();
  const Uint8* state = SDL_GetKeyboardState(nullptr);
  if (virtualKey == kVkPause) {
    return S().pause.Query(PauseDown(state)) ? 1 : 0;
  }
  if (virtualKey == kVkEscape) {
    return S().escape.Query(EscapeDown(state)) ? 1 : 0;
  }
  return 0;
}

void ForgetAsyncKeys() {
  Pump();
  const Uint8* state = SDL_GetKeyboardState(nullptr);
  S().pause.Forget(PauseDown(state));
  S().escape.Forget(EscapeDown(state));
}

Pointer BackendReadPointer() {
  Pump();
  // Clicks between two readings (a touchpad tap) count as held once.
  int clicked = 0;
  for (int bit = 0; bit < 3; ++bit) {
    if (S().buttonPresses.Take(bit + 1)) clicked |= 1 << bit;
  }
  Pointer p;
  if (!S().window) return p;
  const Uint32 flags = SDL_GetWindowFlags(S().window);
  if (!(flags & SDL_WINDOW_INPUT_FOCUS) || SDL_GetMouseFocus() != S().window) return p;
  int x = 0, y = 0;
  const Uint32 buttons = SDL_GetMouseState(&x, &y);
  int w = 0, h = 0;
  SDL_GetWindowSize(S().window, &w, &h);
  if (x < 0 || y < 0 || x >= w || y >= h) return p;
  p.x = x;
  p.y = y;
  p.buttons = ((buttons & SDL_BUTTON_LMASK) ? 1 : 0) | ((buttons & SDL_BUTTON_RMASK) ? 2 : 0) |
              ((buttons & SDL_BUTTON_MMASK) ? 4 : 0) | clicked;
  return p;
}

void SetPointerVisible(bool visible) {
  S().pointerVisible = visible;
  if (S().videoReady) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

bool PointerVisible() {
  return S().pointerVisible;
}

int ReadWheel() {
  Pump();
  const int notches = S().wheel;
  S().wheel = 0;
  return notches;
}

double BackendTimer() {
  return FrameClock();
}

double BackendTimerTicksPerSecond() {
  return static_cast<double>(SDL_GetPerformanceFrequency());
}

void SleepPlainMs(int ms) {
  if (TapQuiet()) return;
  if (ms > 0) SDL_Delay(static_cast<Uint32>(ms));
  TickFrameClock();
  Pump();
}

std::string ExecutableDir() {
  return ProgramDir();
}

namespace {

// Sound libraries probing for a device (ALSA above all) write their own
// complaints to standard error; the game says once whether it has sound, so
// standard error is quiet while the device is looked for.
class QuietStderr {
 public:
  QuietStderr() : saved_(::dup(STDERR_FILENO)) {
    const int null = ::open("/dev/null", O_WRONLY);
    if (saved_ >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
    if (null >= 0) ::close(null);
  }
  ~QuietStderr() {
    if (saved_ < 0) return;
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_;
};

}  // namespace

bool OpenAudio(int rate, AudioFill fill, void* user, std::string& why) {
  EnsureVideo();
  if (S().audio || !fill) return false;
  // The device closes at the end before the game's state goes, also when
  // no window could be had.
  if (!S().videoReady) std::atexit(ShutDown);
  QuietStderr quiet;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    why = SDL_GetError();
    return false;
  }
  S().audioFill = fill;
  S().audioUser = user;
  SDL_AudioSpec want{};
  SDL_AudioSpec have{};
  want.freq = rate;
  want.format = AUDIO_F32SYS;
  want.channels = 1;
  want.samples = 512;  // about 12 ms: sounds follow the picture closely
  want.callback = FillAudio;
  S().audio = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (!S().audio) {
    why = SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  SDL_PauseAudioDevice(S().audio, 0);
  return true;
}

void SetScreenName(const char* name) {
  if (TapQuiet()) return;
  S().screen = name;
}

}  // namespace plat
