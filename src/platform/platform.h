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
// The pad's X button: the restart question's N, and in the level selection
// the best run to watch.
inline const std::string kKeyPadX = "\xffX";
// The pointer's wheel turned one notch away from the player (up) or towards.
inline const std::string kKeyWheelUp = "\xff\xf1";
inline const std::string kKeyWheelDown = "\xff\xf2";
// The editor's keys: Del and F5 (extended keys), and Ctrl with Z, Y and S
// (their control characters, as Ctrl with a letter types them).
inline const std::string kKeyDelete = "\xffS";
inline const std::string kKeyF5 = "\xff?";
inline const std::string kKeyCtrlZ = "\x1a";
inline const std::string kKeyCtrlY = "\x19";
inline const std::string kKeyCtrlS = "\x13";
inline const std::string kKeyBackspace = "\b";

// Set-1 scancodes the game asks about with KeyDown.
enum Scancode : int {
  kScanEsc = 1,
  kScanEnter = 28,
  kScanY = 21,  // the key in the Y position of a US layout (Z on German)
  kScanN = 49,
  kScanSpace = 57,
  kScanPause = 69,  // 0x45
  kScanUp = 72,
  kScanLeft = 75,
  kScanRight = 77,
  kScanDown = 80,
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

// Presses that may come and go between two reads of the game: a key or
// button that went down reads as down at its next read even when it is up
// again by then, and as it really is at the read after. A press that no read
// took by the end of the frame after the one it came in is dropped, so an
// old tap never acts late. Codes are set-1 scancodes or button bits.
struct PressMemory {
  static constexpr int kCodes = 256;
  std::uint32_t frame = 1;             // presented frames, counted by NextFrame
  std::uint32_t pressed[kCodes] = {};  // frame of a waiting press, 0 for none

  void Press(int code);
  bool Take(int code);  // whether a press waits for code; it is used up
  void NextFrame();     // once per presented frame
};

// One key of the asynchronous key state (Pause, Esc): pressed when it is
// down now or went down since the previous query. Forget drops the presses
// made so far, and a key held at that moment counts again only once it was
// let go: a press from before counts for nothing.
struct AsyncKeyMemory {
  bool pressed = false;   // went down since the previous query
  bool heldOver = false;  // held when forgotten, not let go since

  void Press();
  bool Query(bool downNow);
  void Forget(bool downNow);
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
// Why the last OpenScreen failed, in the system's words ("" after success).
std::string OpenScreenError();
// One line on the error console (standard error), for a start that fails.
void ConsoleError(const std::string& line);
void ClearScreen();
void Present();  // swap buffers (vsync where the driver offers it)

std::string PollKey();      // one key string, "" when none waits
bool KeyArrivedAndClear();  // the key-arrived flag, cleared by reading
// Physical key held now, or pressed and let go since its previous read
// (PressMemory).
bool KeyDown(int scancode);
int AsyncKeyState(int virtualKey);  // down now or pressed since last query
// Presses of Pause and Esc made so far count for nothing: the asynchronous
// state answers only to presses made from now on (AsyncKeyMemory::Forget).
void ForgetAsyncKeys();
// The pointer now; a button pressed and let go since the previous reading
// reads as held once (PressMemory).
Pointer ReadPointer();
void SetPointerVisible(bool visible);
bool PointerVisible();
// Notches the pointer's wheel turned since the previous reading (away from
// the player positive). Only the editor reads it, and nothing of play: it is
// not tapped.
int ReadWheel();

// Seconds, monotonic, arbitrary origin; the clock moves at frame boundaries
// (a present, a sleep): readings within a frame agree.
double Timer();
void SleepMs(int ms);       // >= 100 ms: 50 ms steps, returns early on a key
void SleepPlainMs(int ms);  // never cut short

std::string ExecutableDir();  // without a trailing separator

// Sound output: mono float samples at `rate` per second, pulled from fill
// (which gets `user` back). The window backend calls fill on its audio
// thread; the headless backend on the game thread, as its clock advances.
// Returns false, with the reason in `why`, when there is no device.
using AudioFill = void (*)(void* user, float* out, int frames);
bool OpenAudio(int rate, AudioFill fill, void* user, std::string& why);

// The screen the game is running now ("intro", "menu", "levelselect",
// "session", "credits"); the headless runner's `until` reads it.
void SetScreenName(const char* name);

// ---- shared services (src/platform/*.cpp) -------------------------------
void ConsoleClear();
void ConsoleLine(const std::string& line);
void ConsoleText(const std::string& text);  // standard output as it is, flushed

// Turns a game path ("Res/maps/x", "res/gfx/y.png", "dir\\Res\\settings.ini")
// into a host path: backslashes become '/', and each component that does not
// exist with its exact name is matched case-insensitively.
std::string ResolvePath(const std::string& path);
// Whether a game path names a plain file; the name is taken as it is, with
// no wildcards.
bool IsFile(const std::string& path);

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
// and renamed over the old file, so the old file survives any failure. A
// player's file gets its folder created first. On failure, reason (when
// given) names the file and what went wrong, in German.
bool WriteFileAtomically(const std::string& path, const std::string& text,
                         std::string* reason = nullptr);

// Plain files matching a wildcard pattern ("Res/maps/*.mapGame1"), names
// without directory, no directories and no hidden files, sorted by name
// without regard to case.
std::vector<std::string> ListFiles(const std::string& pattern);

// ---- where the game's files are (places.cpp) -----------------------------
// Game paths under "Res/" (any case) name the game's data folder, wherever
// it is. FindPlaces looks for it in this order and takes the first folder
// that holds the game's pictures (a gfx folder with PNG files in it):
//   1. res/ in the working directory (a portable copy),
//   2. res/ beside the executable,
//   3. ../share/zirpel/ from the executable (an installed tree, movable),
//   4. the folder named by ZIRPEL_DATA_DIR.
// Then, on top of the data folder:
//   Res/maps/NAME       the player's level NAME in $XDG_DATA_HOME/zirpel/maps/
//                       when there is one; listings show both folders;
//   Res/Leaderboard.dat the one file the game writes: in the data folder when
//                       that is writable (a portable copy), else in
//                       $XDG_DATA_HOME/zirpel/ (default ~/.local/share/zirpel);
//   everything else     the data folder.
// Before FindPlaces (and in tests that never call it) game paths are taken
// relative to the working directory.
struct PlaceInputs {
  std::string workingDir;  // absolute
  std::string programDir;  // the executable's folder
  std::string dataDirEnv;  // ZIRPEL_DATA_DIR ("" when unset)
  std::string dataHome;    // XDG_DATA_HOME (may be unset or relative: ignored)
  std::string configHome;  // XDG_CONFIG_HOME (likewise)
  std::string home;        // HOME
};
PlaceInputs PlaceInputsFromProcess();
// Sets the places up from the inputs. Returns false, with every place
// looked at (host folders, or the unset variable) in tried, when no folder
// holds the pictures; game paths then stay relative to the working directory.
bool FindPlaces(const PlaceInputs& in, std::vector<std::string>& tried);
void ForgetPlaces();  // back to paths relative to the working directory
// For proving replays: "Res/maps/NAME" is DIR/NAME and nothing else; no
// other game path under "Res/" leads anywhere.
void UseLevelsFolder(const std::string& dir);

// The host file of the player's level fileName, in the player's levels
// folder (made when missing); "" when the game has no such folder. The
// shipped levels are never written: what the player makes goes here.
std::string PlayerLevelPath(const std::string& fileName);
// Whether "Res/maps/" + fileName is the player's own level (found in the
// player's levels folder rather than among the shipped ones).
bool IsPlayerLevel(const std::string& fileName);

// The host folder the data was found in ("" before FindPlaces).
std::string DataFolder();
// Whether the player's files stay in the data folder (a portable copy).
bool PlayerFilesInDataFolder();
// The settings to read: $XDG_CONFIG_HOME/zirpel/settings.ini (default
// ~/.config/zirpel/settings.ini) when that file exists, else the data
// folder's settings.ini.
std::string SettingsFile();
// The executable's own folder, from the system (both backends).
std::string ProgramDir();

// ---- messages and the end signals (messages.cpp) ------------------------
// A message on standard error, after the program's name ("zirpel: ...").
void ConsoleWarning(const std::string& line);
// SIGINT and SIGTERM only leave a note; each backend ends the program at its
// next frame boundary (a present, a key or pointer poll, a sleep step) with
// kEndSignalExitCode, so a file being written is always finished first.
void CatchEndSignals();
int PendingEndSignal();  // the signal number, 0 when none came
constexpr int kEndSignalExitCode = 0;
// Hands the pages the heap holds free back to the system, so a long session
// keeps the memory of its largest moment no longer than that lasts (after a
// run's end and a restart, whose recordings are gone by then).
void ReleaseFreeMemory();

// Uniform random value in [0, 1); seeded once from the timer.
void SeedRandom(double seed);
double Random();
// The random source's whole state as text, and back (false for text that
// is no state; the source is then unchanged).
std::string RandomState();
bool SetRandomState(const std::string& state);

// Whole file as bytes, at most maxBytes of it (a game path or a host path).
// False, with the reason in German, when it is missing, unreadable, a
// folder or larger than maxBytes.
bool ReadFileBytes(const std::string& path, std::size_t maxBytes, std::string& bytes,
                   std::string& why);

// ---- the replay tap (tap.cpp) -------------------------------------------
// Every reading the game takes from the outside world that can change play
// (Timer, PollKey, KeyArrivedAndClear, KeyDown, AsyncKeyState, ReadPointer)
// passes through here. While recording, each reading is appended to the
// frame's list; while replaying, the recorded reading is returned instead
// of asking the backend, and a reading asked for that was not recorded is a
// mismatch. Present closes a frame. The random source's state is captured
// when recording starts and put back when replaying starts, so the random
// numbers need no record of their own.
enum TapKind : std::uint8_t {
  kTapTimer = 1,
  kTapPollKey,
  kTapKeyArrived,
  kTapKeyDown,
  kTapAsyncKey,
  kTapPointer,
  kTapKindEnd
};
struct TapEvent {
  std::uint8_t kind = 0;
  std::int32_t arg = 0;    // the scancode or virtual key asked about
  std::int32_t value = 0;  // KeyArrived, KeyDown, AsyncKey: the answer
  std::string key;         // PollKey: the key string
  double timer = 0.0;      // Timer: the reading
  Pointer pointer;         // ReadPointer: the reading
};
struct TapLog {
  std::string randomState;      // the random source when recording began
  double ticksPerSecond = 0.0;  // the clock's grid (BackendTimerTicksPerSecond)
  std::vector<TapEvent> events;
  std::vector<std::uint32_t> frameEnds;  // events.size() at each frame's end
};
// Recordings longer than this many readings stop
// growing and are marked overflowed (half an hour of play and more).
constexpr std::size_t kTapMaxEvents = std::size_t{1} << 20;

enum class TapMode { kOff, kRecording, kReplaying };
TapMode TapModeNow();
void TapRecord();  // a fresh recording from now on
// The recording so far, with the frame under way closed as its last frame.
TapLog TapRecorded();
bool TapOverflowed();
// Replays log from now on. Paced: each frame is presented no earlier than
// its recorded time after the first (for watching). Once the last frame is
// presented, or at the first mismatch, or when the watcher presses Esc or
// closes the window, the next PollKey answers with the close key once and
// every reading after that goes to the backend again.
// Quiet (never paced): a proof inside a running game. Presents and sleeps
// leave the backend alone, so the window, the runner's script and the clock
// the player sees do not move while it runs.
void TapReplay(const TapLog& log, bool paced, bool quiet = false);
bool TapQuiet();  // a quiet replay is under way
void TapStop();
long long TapFrames();             // frames closed since recording/replaying began
bool TapReplayDone();              // every recorded frame was presented
const std::string& TapMismatch();  // what first disagreed ("" when nothing)
long long TapMismatchFrame();      // the frame it happened in (0-based)
bool TapWatcherLeft();             // Esc or the close button ended a replay
// The clock for what only draws or listens (the sound's hit spacing): never
// recorded, never replayed.
double UntappedTimer();

}  // namespace plat
