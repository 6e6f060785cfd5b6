// The headless backend's own controls: the runner configures it, hands it a
// script and a state dumper, and the backend plays the script as the game
// presents frames.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace headless {

struct Options {
  std::string root = ".";   // working directory and executable directory
  int desktopWidth = 1280;  // the desktop size the backend reports
  int desktopHeight = 800;
  double frameMs = 15.0;  // virtual clock advance per present
  // When set, the game's sound is rendered at the virtual clock's pace into
  // this WAV file (mono, 16 bit), which starts at the clock's start (100 s);
  // otherwise the sound goes nowhere.
  std::string audioFile;
};

// Reads and checks the script; on an error prints it to stderr and returns
// false (the runner then exits with 2). Changes into the root directory.
// Without a script ("") the game runs until it ends by itself.
bool Start(const Options& options, const std::string& scriptPath);
// Reads a script's text in place of the file Start reads (for tools and
// tests); on an error names the line and what is wrong in error and returns
// false with no script loaded.
bool LoadScript(const std::string& text, std::string& error);
// The loaded script in its plain form, one command a line: every number
// written out, every name resolved; loading it gives the same script.
std::string DescribeScript();
// The function the `dump` commands call for one line of state JSON.
void SetDumper(std::function<std::string()> dumper);
// The function the `records-wait` command calls: it waits up to that many
// seconds of real time for the records server and says whether everything
// under way was answered (false ends the script with exit code 3). Without
// one the command waits for nothing.
void SetRecordsWaiter(std::function<bool(double seconds)> waiter);
// The function the `memory` command asks for the bytes the game's own code
// holds (what it took with new and has not given back); without one the
// reading leaves that field out.
void SetOwnHeapCounter(std::size_t (*counter)());
// Runs the script's commands up to its first one that waits for frames.
// Exits the process when the script ends there.
void RunUntilBlocked();

// For tests and tools: the last presented frame, RGBA rows top first.
const std::string& LastFrameRgba();
int FrameWidth();
int FrameHeight();
long long PresentedFrames();
std::string ScreenName();

}  // namespace headless
