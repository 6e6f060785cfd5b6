// Platform layer: the only door to the outside world (window, GL context,
// keyboard, pointer, clock, files, fonts). Two backends implement the
// "backend" section below and are picked when linking: src/platform/sdl (a
// real window) and src/platform/headless (OSMesa, virtual clock, scripted
// input). Everything else in this header is shared by both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// ---- key strings -------------------------------------------------------
// A key string is one byte for a character key (its Windows-1252 code;
// Enter 13, Esc 27, Backspace 8, Tab 9) or two bytes for an extended key:
// byte 255 followed by the key's set-1 scancode byte.
inline const std::string kKeyEsc = "\x1b";
inline const std::string kKeyEnter = "\r";
inline const std::string kKeyClose = "\xffk";  // the window's close button
inline const std::string kKeyUp = "\xffH";
inline const std::string kKeyDown = "\xffP";
inline const std::string kKeyLeft = "\xffK";
inline const std::string kKeyRight = "\xffM";

// Set-1 scancodes the game asks about with KeyDown.
enum Scancode : int {
  kScanEsc = 1,
  kScanEnter = 28,
  kScanY = 21,  // the key in the Y position of a US layout (Z on German)
  kScanN = 49,
  kScanSpace = 57,
  kScanLeft = 75,
  kScanRight = 77,
};

// Virtual keys for the asynchronous key state.
enum AsyncKey : int { kVkPause = 0x13, kVkEscape = 0x1b };

// The 15-entry first-in-first-out key buffer; a full buffer drops its oldest
// entry. Every addition sets the key-arrived flag, which every poll clears.
struct KeyBuffer {
  static constexpr int kCapacity = 15;
  std::string entries[kCapacity];
  int head = 0;   // index of the oldest entry
  int count = 0;  // entries waiting
  bool arrived = false;

  void Push(const std::string& key);
  std::string Poll();  // oldest entry or "", never waits
};

// Pointer reading: pixels in the client area (origin top left, y down) and
// the button mask (bit 0 left, bit 1 right, bit 2 middle); every value -1
// while the window is inactive or the pointer is outside it.
struct Pointer {
  int x = -1;
  int y = -1;
  int buttons = -1;
};

// ---- backend: implemented by sdl/ and headless/ ------------------------
void SetWindowTitle(const std::string& title);  // before or after opening
std::string WindowTitle();
void DesktopSize(int& width, int& height);
// A double-buffered GL context with a depth buffer of width x height pixels,
// windowed or full screen. Returns false when it could not be opened.
bool OpenScreen(int width, int height, int bits, bool fullscreen);
void ClearScreen();
void Present();  // swap buffers (vsync where the driver offers it)

std::string PollKey();              // one key string, "" when none waits
bool KeyArrivedAndClear();          // the key-arrived flag, cleared by reading
bool KeyDown(int scancode);         // physical key held now
int AsyncKeyState(int virtualKey);  // down now or pressed since last query
Pointer ReadPointer();
void SetPointerVisible(bool visible);
bool PointerVisible();

double Timer();             // seconds, monotonic, arbitrary origin
void SleepMs(int ms);       // >= 100 ms: 50 ms steps, returns early on a key
void SleepPlainMs(int ms);  // never cut short

std::string ExecutableDir();  // without a trailing separator

// The screen the game is running now ("intro", "menu", "levelselect",
// "session", "credits"); the headless runner's `until` reads it.
void SetScreenName(const char* name);

// ---- shared services (src/platform/*.cpp) -------------------------------
void ConsoleClear();
void ConsoleLine(const std::string& line);

// Turns a game path ("Res/maps/x", "res/gfx/y.png", "dir\\Res\\settings.ini")
// into a host path: backslashes become '/', and each component that does not
// exist with its exact name is matched case-insensitively.
std::string ResolvePath(const std::string& path);

// Whole text file as lines (CR LF or LF ends a line; the last line may lack
// one). A missing or unreadable file, or a directory, reads as no lines.
std::vector<std::string> ReadTextLines(const std::string& path);

// Bounds a reader puts on a file it reads: what lies beyond them is left out,
// so no file can make the game hold unbounded text.
struct TextLimits {
  std::size_t maxBytes = SIZE_MAX;      // bytes read from the file
  std::size_t maxLines = SIZE_MAX;      // lines kept; later ones are dropped
  std::size_t maxLineBytes = SIZE_MAX;  // a longer line keeps its first bytes
};
// What reading found: the whole file, no file (or a directory), a file that
// exists but could not be read, or a file cut at one of the limits.
enum class TextRead { kWhole, kMissing, kUnreadable, kCut };
// ReadTextLines within limits; lines gets what was read (none unless kWhole
// or kCut).
TextRead ReadTextLines(const std::string& path, const TextLimits& limits,
                       std::vector<std::string>& lines);
// Text split into lines as ReadTextLines splits a file; whether a limit cut
// it goes to cut when given.
std::vector<std::string> SplitTextLines(const std::string& text, const TextLimits& limits = {},
                                        bool* cut = nullptr);
// Counts entries of a text file where line ends and commas both separate.
int CountCommaItems(const std::string& path);
// Writes the text to path through a temporary file beside it that is flushed
// and renamed over the old file, so the old file survives any failure.
bool WriteFileAtomically(const std::string& path, const std::string& text);

// Plain files matching a wildcard pattern ("Res/maps/*.mapGame1"), names
// without directory, no directories and no hidden files, sorted by name
// without regard to case.
std::vector<std::string> ListFiles(const std::string& pattern);

// Uniform random value in [0, 1); seeded once from the timer.
void SeedRandom(double seed);
double Random();

}  // namespace plat
