// The headless backend: an OSMesa context instead of a window, a virtual
// clock, and input from a script that advances as the game presents frames.
#include <GL/gl.h>
#include <GL/osmesa.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "image/png_encode.h"
#include "platform/backend.h"
#include "platform/gamepad.h"
#include "platform/headless/headless.h"
#include "platform/headless/script.h"
#include "platform/platform.h"
#include "platform/sanitizer.h"

#if defined(ZIRPEL_ASAN)
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace headless {
namespace {

constexpr double kClockStart = 100.0;  // the clock's first reading, seconds
constexpr int kAudioRate = 44100;      // the sound file's samples per second

struct State {
  Options options;
  std::string startDir;
  bool scriptless = false;  // no script: the game runs until it ends itself
  std::vector<Command> script;
  size_t next = 0;         // next command to run
  bool blocked = false;    // the current command waits for frames
  long long waitLeft = 0;  // frames left for `frames`
  long long waited = 0;    // frames waited by `until`
  std::function<std::string()> dumper;
  std::function<bool(double)> recordsWaiter;
  std::size_t (*ownHeap)() = nullptr;
  std::string dumpEveryFile;

  double clock = kClockStart;
  double idleMs = 0.0;      // sleep time since the last present
  double idleTickMs = 0.0;  // sleep time not yet counted as an idle frame
  long long presented = 0;

  OSMesaContext context = nullptr;
  std::vector<unsigned char> buffer;  // the drawing target, bottom row first
  std::string lastFrame;              // RGBA, top row first
  int width = 0, height = 0;

  std::string title;
  std::string screen;
  std::string openError;  // why the last OpenScreen failed
  plat::KeyBuffer keys;
  std::set<int> held;
  plat::PressMemory keyPresses;     // by set-1 scancode
  plat::PressMemory buttonPresses;  // 1 left, 2 right, 3 middle
  plat::AsyncKeyMemory pause;
  plat::AsyncKeyMemory escape;
  plat::Pointer pointer;
  bool pointerVisible = true;
  int wheel = 0;         // notches the script turned since the last ReadWheel
  plat::PadMapping pad;  // the scripted game controller

  // Sound: the WAV being written and how far it has got.
  FILE* wav = nullptr;
  int audioRate = 0;
  plat::AudioFill audioFill = nullptr;
  void* audioUser = nullptr;
  long long samplesWritten = 0;
  std::vector<float> audioScratch;
};

State& S() {
  static State state;
  return state;
}

[[noreturn]] void Finish(int code) {
  std::fflush(nullptr);
  std::_Exit(code);
}

std::string Absolute(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  return S().startDir + "/" + path;
}

void AppendDump(const std::string& file) {
  if (!S().dumper) return;
  FILE* f = std::fopen(file.c_str(), "ab");
  if (!f) return;
  const std::string line = S().dumper();
  std::fwrite(line.data(), 1, line.size(), f);
  std::fputc('\n', f);
  std::fclose(f);
}

// The process's resident memory now and at its peak, in KiB (0 where the
// system does not tell).
void ResidentKb(long long& now, long long& peak) {
  now = peak = 0;
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) now = std::atoll(line.c_str() + 6);
    if (line.rfind("VmHWM:", 0) == 0) peak = std::atoll(line.c_str() + 6);
  }
}

// What the heap's live blocks take, the GL driver's included: against the
// resident size, it tells a leak from pages the heap holds but no one uses.
// Under the address sanitizer its allocator stands in for the C library's
// and keeps the count itself.
std::size_t HeapInUseBytes() {
#if defined(ZIRPEL_ASAN)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 heap = ::mallinfo2();
  return heap.uordblks + heap.hblkhd;
#endif
}

void AppendMemory(const std::string& file) {
  FILE* f = std::fopen(file.c_str(), "ab");
  if (!f) return;
  long long now = 0, peak = 0;
  ResidentKb(now, peak);
  const long long heapKb = static_cast<long long>(HeapInUseBytes() / 1024);
  std::fprintf(f,
               "{\"frame\":%lld,\"time\":%.17g,\"ResidentKb\":%lld,\"PeakResidentKb\":%lld,"
               "\"HeapInUseKb\":%lld",
               S().presented, S().clock, now, peak, heapKb);
  if (S().ownHeap) {
    std::fprintf(f, ",\"OwnHeapKb\":%lld", static_cast<long long>(S().ownHeap() / 1024));
  }
  std::fputs("}\n", f);
  std::fclose(f);
}

void WritePngFile(const std::string& file, int w, int h, const std::string& rgba) {
  std::vector<std::uint8_t> rgb(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
  for (size_t i = 0, n = rgb.size() / 3; i < n; ++i) {
    rgb[i * 3 + 0] = static_cast<std::uint8_t>(rgba[i * 4 + 0]);
    rgb[i * 3 + 1] = static_cast<std::uint8_t>(rgba[i * 4 + 1]);
    rgb[i * 3 + 2] = static_cast<std::uint8_t>(rgba[i * 4 + 2]);
  }
  PngEncodeOptions options;
  options.colourType = 2;
  options.level = 6;
  const std::vector<std::uint8_t> png =
      EncodePng(rgb.data(), static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h), options);
  FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) return;
  std::fwrite(png.data(), 1, png.size(), f);
  std::fclose(f);
}

void WriteShot(const std::string& file) {
  if (S().width <= 0 || S().height <= 0 || S().lastFrame.empty()) {
    // Nothing presented yet: a black picture of the requested size.
    const int w = S().width > 0 ? S().width : 1, h = S().height > 0 ? S().height : 1;
    WritePngFile(file, w, h,
                 std::string(static_cast<size_t>(w) * static_cast<size_t>(h) * 4, '\0'));
    return;
  }
  WritePngFile(file, S().width, S().height, S().lastFrame);
}

void PutLe(FILE* f, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) std::fputc(static_cast<int>((v >> (8 * i)) & 0xff), f);
}

// The WAV header for the samples written so far (rewritten after every
// block, so the file is whole whenever the process ends).
void WriteWavHeader() {
  State& s = S();
  const std::uint32_t data = static_cast<std::uint32_t>(s.samplesWritten * 2);
  const std::uint32_t rate = static_cast<std::uint32_t>(s.audioRate);
  std::fseek(s.wav, 0, SEEK_SET);
  std::fputs("RIFF", s.wav);
  PutLe(s.wav, 36 + data, 4);
  std::fputs("WAVEfmt ", s.wav);
  PutLe(s.wav, 16, 4);
  PutLe(s.wav, 1, 2);  // PCM
  PutLe(s.wav, 1, 2);  // mono
  PutLe(s.wav, rate, 4);
  PutLe(s.wav, rate * 2, 4);
  PutLe(s.wav, 2, 2);
  PutLe(s.wav, 16, 2);
  std::fputs("data", s.wav);
  PutLe(s.wav, data, 4);
  std::fseek(s.wav, 0, SEEK_END);
}

// The sound up to the clock's present reading: silence before the game
// opened its sound, the game's own samples after.
void CatchUpAudio() {
  State& s = S();
  if (!s.wav) return;
  const long long due = std::llround((s.clock - kClockStart) * s.audioRate);
  if (due <= s.samplesWritten) return;
  std::vector<float>& buf = s.audioScratch;
  while (s.samplesWritten < due) {
    // In blocks, so that a long frame needs no more memory than a short one.
    buf.assign(static_cast<size_t>(std::min<long long>(due - s.samplesWritten, 4096)), 0.0f);
    if (s.audioFill) s.audioFill(s.audioUser, buf.data(), static_cast<int>(buf.size()));
    for (const float v : buf) {
      const long q = std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
      PutLe(s.wav, static_cast<std::uint32_t>(q) & 0xffffu, 2);
    }
    s.samplesWritten += static_cast<long long>(buf.size());
  }
  WriteWavHeader();
  std::fflush(s.wav);
}

void AdvanceClock(double seconds) {
  S().clock += seconds;
  CatchUpAudio();
}

// A physical key goes down: a press for KeyDown and, for Esc and Pause, for
// the asynchronous key state.
void PressKey(int scancode) {
  State& s = S();
  s.keyPresses.Press(scancode);
  if (scancode == plat::kScanEsc) s.escape.Press();
  if (scancode == plat::kScanPause) s.pause.Press();
}

// What the scripted pad did: its key strings and presses, like a keyboard's.
void ApplyPad(const plat::PadOutput& out) {
  for (const std::string& key : out.keys) S().keys.Push(key);
  for (const int scancode : out.presses) PressKey(scancode);
}

// A key held now, on the keyboard or the pad.
bool Down(int scancode) {
  return S().held.count(scancode) != 0 || S().pad.Holds(scancode);
}

void PadButtonTo(long long button, bool down) {
  plat::PadOutput out;
  S().pad.Button(static_cast<plat::PadButton>(button), down, S().clock, out);
  ApplyPad(out);
}

// The pointer moves to p; every button that goes down is a press.
void MovePointer(const plat::Pointer& p) {
  State& s = S();
  const int before = s.pointer.buttons < 0 ? 0 : s.pointer.buttons;
  const int after = p.buttons < 0 ? 0 : p.buttons;
  for (int bit = 0; bit < 3; ++bit) {
    if ((after & ~before) & (1 << bit)) s.buttonPresses.Press(bit + 1);
  }
  s.pointer = p;
}

// Runs one command that does not wait; returns true when it blocks.
bool Execute(const Command& cmd) {
  State& s = S();
  switch (cmd.op) {
    case Op::kFrames:
      s.waitLeft = cmd.count;
      return cmd.count > 0;
    case Op::kFrameMs:
      s.options.frameMs = cmd.value;
      return false;
    case Op::kUntil:
      s.waited = 0;
      return s.screen != cmd.text;
    case Op::kKey:
      s.keys.Push(cmd.text);
      if (cmd.text == plat::kKeyEsc) s.escape.Press();
      return false;
    case Op::kHold:
      if (s.held.insert(static_cast<int>(cmd.count)).second) PressKey(static_cast<int>(cmd.count));
      return false;
    case Op::kRelease:
      s.held.erase(static_cast<int>(cmd.count));
      return false;
    case Op::kTap:
      // Down and up again before the game looks: only the press is left.
      s.held.erase(static_cast<int>(cmd.count));
      PressKey(static_cast<int>(cmd.count));
      return false;
    case Op::kPause:
      s.pause.Press();
      return false;
    case Op::kPointer:
      MovePointer(cmd.pointer);
      return false;
    case Op::kPad:
      // Down and up again before the game looks: the press is left.
      PadButtonTo(cmd.count, true);
      PadButtonTo(cmd.count, false);
      return false;
    case Op::kPadHold:
    case Op::kPadRelease:
      PadButtonTo(cmd.count, cmd.op == Op::kPadHold);
      return false;
    case Op::kAxis: {
      plat::PadOutput out;
      s.pad.Axis(static_cast<plat::PadAxis>(cmd.count), cmd.value, s.clock, out);
      ApplyPad(out);
      return false;
    }
    case Op::kClick: {
      plat::Pointer down = cmd.pointer;
      down.buttons = 1;
      MovePointer(down);
      s.pointer = cmd.pointer;  // and up again
      return false;
    }
    case Op::kWheel: {
      // Both ways, as a window's wheel: the editor reads the notches, the
      // level list one key a notch (at most 8).
      const int notches = static_cast<int>(cmd.value);
      s.wheel += notches;
      for (int n = 0; n < std::abs(notches) && n < 8; ++n)
        s.keys.Push(notches > 0 ? plat::kKeyWheelUp : plat::kKeyWheelDown);
      return false;
    }
    case Op::kShot:
      WriteShot(cmd.text);
      return false;
    case Op::kDump:
      AppendDump(cmd.text);
      return false;
    case Op::kDumpEvery:
      s.dumpEveryFile = cmd.text;
      return false;
    case Op::kMemory:
      AppendMemory(cmd.text);
      return false;
    case Op::kSignal:
      std::raise(static_cast<int>(cmd.count));
      return false;
    case Op::kRecordsWait:
      if (s.recordsWaiter && !s.recordsWaiter(cmd.value)) {
        std::fprintf(stderr,
                     "zirpel-headless: line %d: the records server did not answer within %g s\n",
                     cmd.line, cmd.value);
        Finish(3);
      }
      return false;
  }
  return false;
}

// A frame boundary: an end signal ends the program here, after the frame's
// files (shots, dumps, the leaderboard) are written.
void EndIfAsked() {
  if (plat::PendingEndSignal() != 0) Finish(plat::kEndSignalExitCode);
}

// One frame (or one idle frame while the game waits without presenting)
// has passed: let the waiting command count it, then go on.
void Tick() {
  State& s = S();
  if (s.scriptless) return;
  if (s.blocked && s.next < s.script.size()) {
    const Command& cmd = s.script[s.next];
    if (cmd.op == Op::kFrames) {
      if (--s.waitLeft <= 0) s.blocked = false;
    } else if (cmd.op == Op::kUntil) {
      ++s.waited;
      if (s.screen == cmd.text) {
        s.blocked = false;
      } else if (s.waited > cmd.count) {
        std::fprintf(stderr, "zirpel-headless: line %d: screen %s not reached in %lld frames\n",
                     cmd.line, cmd.text.c_str(), cmd.count);
        Finish(3);
      }
    }
    if (!s.blocked) ++s.next;
  }
  if (!s.blocked) RunUntilBlocked();
}

void CountIdle(double ms) {
  // A game that sleeps for long without presenting (a pause) still lets the
  // script go on, one idle frame per frame length of waiting.
  State& s = S();
  s.idleMs += ms;
  if (s.idleMs <= 250.0) return;
  s.idleTickMs += ms;
  while (s.idleTickMs >= s.options.frameMs) {
    s.idleTickMs -= s.options.frameMs;
    Tick();
  }
}

}  // namespace

bool LoadScript(const std::string& text, std::string& error) {
  State& s = S();
  if (s.startDir.empty()) {
    char cwd[PATH_MAX];
    s.startDir = ::getcwd(cwd, sizeof cwd) ? cwd : ".";
  }
  s.next = 0;
  return ParseScript(text, s.startDir, s.script, error);
}

std::string DescribeScript() {
  return DescribeCommands(S().script);
}

bool Start(const Options& options, const std::string& scriptPath) {
  State& s = S();
  s.options = options;
  char cwd[PATH_MAX];
  s.startDir = ::getcwd(cwd, sizeof cwd) ? cwd : ".";
  s.scriptless = scriptPath.empty();
  std::ifstream in(s.scriptless ? std::string("/dev/null") : Absolute(scriptPath),
                   std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "zirpel-headless: cannot read script %s\n", scriptPath.c_str());
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  std::string error;
  if (!LoadScript(text.str(), error)) {
    std::fprintf(stderr, "zirpel-headless: %s\n", error.c_str());
    return false;
  }
  if (!options.audioFile.empty()) {
    s.wav = std::fopen(Absolute(options.audioFile).c_str(), "wb");
    if (!s.wav) {
      std::fprintf(stderr, "zirpel-headless: cannot write %s\n", options.audioFile.c_str());
      return false;
    }
    s.audioRate = kAudioRate;
    WriteWavHeader();
  }
  if (::chdir(options.root.c_str()) != 0) {
    std::fprintf(stderr, "zirpel-headless: cannot enter %s\n", options.root.c_str());
    return false;
  }
  char root[PATH_MAX];
  s.options.root = ::getcwd(root, sizeof root) ? root : options.root;
  return true;
}

void SetDumper(std::function<std::string()> dumper) {
  S().dumper = std::move(dumper);
}

void SetRecordsWaiter(std::function<bool(double seconds)> waiter) {
  S().recordsWaiter = std::move(waiter);
}

void SetOwnHeapCounter(std::size_t (*counter)()) {
  S().ownHeap = counter;
}

void RunUntilBlocked() {
  State& s = S();
  if (s.scriptless) return;
  while (!s.blocked) {
    if (s.next >= s.script.size()) Finish(0);
    if (Execute(s.script[s.next])) {
      s.blocked = true;
    } else {
      ++s.next;
    }
  }
}

const std::string& LastFrameRgba() {
  return S().lastFrame;
}
int FrameWidth() {
  return S().width;
}
int FrameHeight() {
  return S().height;
}
long long PresentedFrames() {
  return S().presented;
}
std::string ScreenName() {
  return S().screen;
}

}  // namespace headless

namespace plat {

using headless::S;

void SetWindowTitle(const std::string& title) {
  if (TapQuiet()) return;
  S().title = title;
}
std::string WindowTitle() {
  return S().title;
}

void DesktopSize(int& width, int& height) {
  width = S().options.desktopWidth;
  height = S().options.desktopHeight;
}

bool OpenScreen(int width, int height, int /*bits*/, bool /*fullscreen*/) {
  auto& s = S();
  s.openError.clear();
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
    s.openError = "size " + std::to_string(width) + "x" + std::to_string(height);
    return false;
  }
  if (!s.context) s.context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 8, 0, nullptr);
  if (!s.context) {
    s.openError = "no OSMesa context";
    return false;
  }
  s.buffer.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
  if (!OSMesaMakeCurrent(s.context, s.buffer.data(), GL_UNSIGNED_BYTE, width, height)) {
    s.openError = "OSMesa refused the buffer";
    return false;
  }
  s.width = width;
  s.height = height;
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
  if (S().context) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void BackendPresent() {
  auto& s = S();
  headless::AdvanceClock(s.options.frameMs / 1000.0);
  ++s.presented;
  s.idleMs = 0.0;
  s.idleTickMs = 0.0;
  s.keyPresses.NextFrame();
  s.buttonPresses.NextFrame();
  if (s.context) {
    glFinish();
    const size_t row = static_cast<size_t>(s.width) * 4;
    s.lastFrame.resize(row * static_cast<size_t>(s.height));
    for (int y = 0; y < s.height; ++y) {
      const unsigned char* src = s.buffer.data() + row * static_cast<size_t>(s.height - 1 - y);
      std::copy(src, src + row,
                s.lastFrame.begin() + static_cast<ptrdiff_t>(row * static_cast<size_t>(y)));
    }
  }
  if (!s.dumpEveryFile.empty()) headless::AppendDump(s.dumpEveryFile);
  headless::Tick();
  headless::EndIfAsked();
}

std::string BackendPollKey() {
  headless::EndIfAsked();
  PadOutput repeats;
  S().pad.Repeat(S().clock, repeats);
  headless::ApplyPad(repeats);
  S().keys.arrived = false;
  return S().keys.Poll();
}

bool BackendKeyArrivedAndClear() {
  const bool arrived = S().keys.arrived;
  S().keys.arrived = false;
  return arrived;
}

bool BackendKeyDown(int scancode) {
  const bool tapped = S().keyPresses.Take(scancode);
  return S().held.count(scancode) != 0 || tapped || S().pad.Holds(scancode);
}

int BackendAsyncKeyState(int virtualKey) {
  auto& s = S();
  if (virtualKey == kVkPause) return s.pause.Query(headless::Down(kScanPause)) ? 1 : 0;
  if (virtualKey == kVkEscape) return s.escape.Query(headless::Down(kScanEsc)) ? 1 : 0;
  return 0;
}

void ForgetAsyncKeys() {
  auto& s = S();
  s.pause.Forget(headless::Down(kScanPause));
  s.escape.Forget(headless::Down(kScanEsc));
}

Pointer BackendReadPointer() {
  auto& s = S();
  int clicked = 0;
  for (int bit = 0; bit < 3; ++bit) {
    if (s.buttonPresses.Take(bit + 1)) clicked |= 1 << bit;
  }
  Pointer p = s.pointer;
  if (p.buttons >= 0) p.buttons |= clicked;  // outside the window: no button
  return p;
}
void SetPointerVisible(bool visible) {
  S().pointerVisible = visible;
}
bool PointerVisible() {
  return S().pointerVisible;
}
int ReadWheel() {
  const int notches = S().wheel;
  S().wheel = 0;
  return notches;
}

double BackendTimer() {
  return S().clock;
}

double BackendTimerTicksPerSecond() {
  return 0.0;  // a sum of frame lengths, on no grid
}

void SleepPlainMs(int ms) {
  if (ms <= 0 || TapQuiet()) return;
  headless::AdvanceClock(ms / 1000.0);
  headless::CountIdle(ms);
  headless::EndIfAsked();
}

std::string ExecutableDir() {
  return S().options.root;
}

bool OpenAudio(int rate, AudioFill fill, void* user, std::string& why) {
  auto& s = S();
  // Without a file the sound goes nowhere, as into a device nobody listens
  // to: the game plays on as with sound.
  if (!s.wav) return fill != nullptr && rate > 0;
  if (s.audioFill || !fill || rate <= 0) {
    why = "already open";
    return false;
  }
  if (rate != s.audioRate) {
    why = "the runner records at 44100 Hz only";
    return false;
  }
  headless::CatchUpAudio();
  s.audioFill = fill;
  s.audioUser = user;
  return true;
}

void SetScreenName(const char* name) {
  if (TapQuiet()) return;
  S().screen = name;
}

}  // namespace plat
