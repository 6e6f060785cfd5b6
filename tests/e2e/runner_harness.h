// The tests' shared set-up: temporary folders, the headless game run as a
// child process on a scratch resource tree, and reading back what it wrote
// (dumps, shots). The end-to-end tests' one entry point.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace e2e {

// A fresh, empty folder under the system's temp dir, removed (with whatever
// it holds, read-only parts included) by the destructor.
class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "zirpel-test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& relative) const { return path_ + "/" + relative; }
  // Writes the bytes, making the folders on the way.
  void Write(const std::string& relative, const std::string& bytes) const;

 private:
  std::string path_;
};

// A fresh directory under the system's temp dir with Res/settings.ini (the
// given text), Res/maps/Mainmenu.startmap copied from the repo and res/gfx
// linked to the repo's textures. Removed by the destructor.
class ScratchRoot {
 public:
  explicit ScratchRoot(const std::string& settings = DefaultSettings());
  ~ScratchRoot();
  ScratchRoot(const ScratchRoot&) = delete;
  ScratchRoot& operator=(const ScratchRoot&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& relative) const { return path_ + "/" + relative; }
  void Write(const std::string& relative, const std::string& text) const;
  std::string Read(const std::string& relative) const;
  bool Exists(const std::string& relative) const;

  // Settings without the intro, for tests that want the menu at once.
  static std::string DefaultSettings();
  // A small 1.6 screen (320 x 200: 40 pixels per unit across, 200 / 4.97
  // up) without the intro, followed by the given lines (the ball drops).
  static std::string SmallSettings(const std::string& extra = "Menu_DroppBalls=Enabled\r\n");

 private:
  std::string path_;
};

// The runner's player folders, below the scratch root: XDG_DATA_HOME
// (records of a read-only tree, the player's levels in zirpel/maps) and
// XDG_CONFIG_HOME (zirpel/settings.ini).
inline const char* const kXdgData = "xdg-data";
inline const char* const kXdgConfig = "xdg-config";

struct RunResult {
  int exitCode = -1;   // the runner's exit code (-1: killed by a signal)
  std::string output;  // standard output (the banner)
  std::string errors;  // standard error
};

// Runs zirpel-headless with --root root and the script text; extra holds
// further options (e.g. {"--size", "1920x1080"}). Gives up after timeoutS.
// The player's folders are the root's kXdgData and kXdgConfig.
RunResult RunHeadless(const ScratchRoot& root, const std::string& script,
                      const std::vector<std::string>& extra = {}, int timeoutS = 120);

// Runs zirpel-headless with --root root and the arguments alone (no script),
// e.g. {"--verify", FILE}.
RunResult RunHeadlessArgs(const ScratchRoot& root, const std::vector<std::string>& args,
                          int timeoutS = 120);

// Runs a program (args[0]) from the root's folder with the root's player
// folders, as RunHeadlessArgs runs the runner.
RunResult RunProgram(const ScratchRoot& root, const std::vector<std::string>& args,
                     int timeoutS = 120);

// Runs a shell command line and gives its exit code and its standard output
// and standard error together (-1: it did not end normally).
RunResult RunCommand(const std::string& commandLine);

// A line piece in the world, and whether a ball moving from p to q in one
// frame crossed it (touching an end is no crossing).
struct Segment {
  double ax, ay, bx, by;
};
bool Crosses(double px, double py, double qx, double qy, const Segment& s);

// One dump line parsed shallowly: the top-level fields as raw JSON text.
using Dump = std::map<std::string, std::string>;
Dump ParseDump(const std::string& line);
// Every line of a dump file.
std::vector<Dump> ReadDumps(const std::string& file);
double Num(const Dump& d, const std::string& key);
std::string Str(const Dump& d, const std::string& key);  // a JSON string's bytes
// The i-th element (0-based) of a top-level JSON array field, raw.
std::string Element(const Dump& d, const std::string& key, size_t i);
// A field of a JSON object given as raw text.
double ObjNum(const std::string& object, const std::string& key);

// Decodes a PNG the runner wrote (RGB or RGBA, 8 bit) to RGBA rows top first.
bool ReadShot(const std::string& file, int& width, int& height, std::vector<unsigned char>& rgba);

}  // namespace e2e
