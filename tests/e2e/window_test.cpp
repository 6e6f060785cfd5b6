// The real game in a real window under Xvfb: it starts, shows the menu and
// ends with exit code 0 on Esc, on the window manager's close request and on
// SIGTERM; it takes instant clicks, the letters of a German keyboard and a
// game controller plugged in while it runs.
// Without its data it says where it looked and opens no window; without any
// display it says so and ends.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "e2e/runner_harness.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// Every program a test started: one still running when its test ends (an
// assertion that returned early) is killed then, not left behind.
std::vector<pid_t>& Spawned() {
  static std::vector<pid_t> pids;
  return pids;
}

// display "" leaves the environment's display alone; "none" takes every
// display away; "none, empty driver" too, and sets SDL_VIDEODRIVER empty.
pid_t Spawn(const std::vector<std::string>& args, const std::string& dir,
            const std::string& display, int outFd = -1, int errFd = -1) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!dir.empty() && ::chdir(dir.c_str()) != 0) ::_exit(126);
    ::unsetenv("ZIRPEL_DATA_DIR");
    if (display.starts_with("none")) {
      ::unsetenv("DISPLAY");
      ::unsetenv("WAYLAND_DISPLAY");
      ::unsetenv("SDL_VIDEODRIVER");
      if (display == "none, empty driver") ::setenv("SDL_VIDEODRIVER", "", 1);
    } else if (!display.empty()) {
      ::setenv("DISPLAY", display.c_str(), 1);
    }
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(outFd >= 0 ? outFd : null, 1);
    ::dup2(errFd >= 0 ? errFd : null, 2);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  Spawned().push_back(pid);
  return pid;
}

// Runs a command to its end and returns its standard output.
std::string Capture(const std::string& command, const std::string& display) {
  const std::string full = "DISPLAY=" + display + " " + command + " 2>/dev/null";
  std::string out;
  if (FILE* p = ::popen(full.c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    ::pclose(p);
  }
  return out;
}

int WaitExit(pid_t pid, double seconds) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
  int status = 0;
  while (Clock::now() < deadline) {
    if (::waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return -2;  // did not end in time
}

TEST(NoDisplay, SaysSoOnTheErrorConsoleAndEnds) {
  // An empty SDL_VIDEODRIVER names no driver: no display is still none.
  for (const char* display : {"none", "none, empty driver"}) {
    SCOPED_TRACE(display);
    const std::string bin = ZIRPEL_WINDOW_BIN;
    const std::string errFile =
        (fs::temp_directory_path() / ("zirpel-nodisplay-" + std::to_string(::getpid()) + ".txt"))
            .string();
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(err, 0);
    const pid_t pid = Spawn({bin}, fs::path(bin).parent_path().string(), display, -1, err);
    ::close(err);
    const int code = WaitExit(pid, 20.0);
    std::string errors;
    if (FILE* f = std::fopen(errFile.c_str(), "r")) {
      char buf[256];
      while (std::fgets(buf, sizeof buf, f)) errors += buf;
      std::fclose(f);
    }
    fs::remove(errFile);
    EXPECT_NE(code, -2) << "still running after 20 s";
    EXPECT_NE(code, 0);
    EXPECT_NE(errors.find("Quobbes Zirpel: kein Fenster mit OpenGL"), std::string::npos) << errors;
  }
}

#ifdef ZIRPEL_VPAD_BIN
// The virtual-pad tool says how it is used instead of starting the game.
TEST(NoDisplay, ThePadToolsHelpIsItsUsage) {
  const struct {
    const char* arg;
    int code;
    bool onOutput;
  } cases[] = {{"--help", 0, true}, {"-h", 0, true}, {"--nonsense", 2, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arg);
    const std::string outFile =
        (fs::temp_directory_path() / ("zirpel-vpad-help-" + std::to_string(::getpid()) + ".txt"))
            .string();
    const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(out, 0);
    const pid_t pid =
        Spawn({ZIRPEL_VPAD_BIN, c.arg}, "", "none", c.onOutput ? out : -1, c.onOutput ? -1 : out);
    ::close(out);
    const int code = WaitExit(pid, 20.0);
    std::string text;
    if (FILE* f = std::fopen(outFile.c_str(), "r")) {
      char buf[256];
      while (std::fgets(buf, sizeof buf, f)) text += buf;
      std::fclose(f);
    }
    fs::remove(outFile);
    EXPECT_EQ(code, c.code);
    EXPECT_NE(text.find("usage: zirpel-vpad"), std::string::npos) << text;
  }
}
#endif

#ifdef ZIRPEL_XCLOSE_BIN

class Xvfb {
 public:
  // Starts the server; display() stays empty when it did not come up.
  void Start() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x800x24",
                  "-nolisten", "tcp"},
                 "", "");
    ::close(fds[1]);
    char buf[16] = {};
    const ssize_t n = ::read(fds[0], buf, sizeof buf - 1);
    ::close(fds[0]);
    if (n > 0) display_ = ":" + std::string(buf, static_cast<size_t>(n - (buf[n - 1] == '\n')));
  }
  ~Xvfb() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// Pixels of a screenshot of the X display inside the rectangle [x0, x1) x
// [y0, y1) (clipped; -1 for the far edges) that pass the colour test.
template <typename Test>
int CountPixels(const Xvfb& x, int x0, int y0, int x1, int y1, Test test) {
  const std::string shot =
      (fs::temp_directory_path() / ("zirpel-window-" + std::to_string(::getpid()) + ".png"))
          .string();
  Capture("import -window root " + shot, x.display());
  int w = 0, h = 0;
  std::vector<unsigned char> px;
  const bool read = e2e::ReadShot(shot, w, h, px);
  fs::remove(shot);
  if (!read) return 0;
  if (x1 < 0 || x1 > w) x1 = w;
  if (y1 < 0 || y1 > h) y1 = h;
  int count = 0;
  for (int y = std::max(y0, 0); y < y1; ++y) {
    for (int xx = std::max(x0, 0); xx < x1; ++xx) {
      const unsigned char* p = &px[(static_cast<size_t>(y) * w + xx) * 4];
      if (test(p[0], p[1], p[2])) ++count;
    }
  }
  return count;
}

// Blue pixels in the left half of the screen: the menu's entry texts.
int BluePixels(const Xvfb& x) {
  return CountPixels(x, 0, 0, 640, -1,
                     [](int r, int g, int b) { return b > 200 && r < 60 && g < 60; });
}

// Starts the game, waits for its window, cuts the intro short with a key and
// waits until the menu shows (the intro ends by itself after 7.5 s anyway).
// Returns the window id, or "" when no menu appeared.
// With closeIntro the intro is cut short by the close request instead.
// The id of the first window whose title matches the pattern, waiting up
// to 30 s for it; "" when none came.
std::string WaitForWindow(const Xvfb& x, const std::string& title = "^Quobbes Zirpel$") {
  std::string id;
  for (int i = 0; i < 300 && id.empty(); ++i) {
    id = Capture("xdotool search --name '" + title + "'", x.display());
    if (id.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  while (!id.empty() && (id.back() == '\n' || id.back() == '\r')) id.pop_back();
  if (id.find('\n') != std::string::npos) id = id.substr(0, id.find('\n'));
  return id;
}

// bin is the program to run, in its own directory.
std::string StartGame(const Xvfb& x, pid_t& pid, bool closeIntro = false,
                      const std::string& bin = ZIRPEL_WINDOW_BIN) {
  pid = Spawn({bin}, fs::path(bin).parent_path().string(), x.display());
  const std::string id = WaitForWindow(x);
  if (id.empty()) return id;
  Capture("xdotool windowfocus --sync " + id, x.display());
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  if (closeIntro) {
    Capture(std::string(ZIRPEL_XCLOSE_BIN) + " " + id, x.display());
  } else {
    Capture("xdotool key --window " + id + " space", x.display());  // ends the intro
  }
  for (int i = 0; i < 60; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    if (BluePixels(x) > 100) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      return id;
    }
  }
  return std::string();
}

bool HaveTools() {
  return ::system(
             "command -v Xvfb >/dev/null && command -v xdotool >/dev/null && "
             "command -v import >/dev/null") == 0;
}

// Every real-window test runs the game on a display of its own.
class RealWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTools()) GTEST_SKIP() << "Xvfb, xdotool or import missing";
    x.Start();
    ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
  }
  void TearDown() override {
    for (const pid_t pid : Spawned()) {
      if (::waitpid(pid, nullptr, WNOHANG) != 0) continue;  // ended and reaped
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
    Spawned().clear();
  }
  Xvfb x;
};

TEST_F(RealWindow, ShowsTheMenuAndEndsOnEscape) {
  pid_t pid = -1;
  const std::string id = StartGame(x, pid);
  ASSERT_FALSE(id.empty()) << "the menu never showed its entries";
  Capture("xdotool key --window " + id + " Escape", x.display());
  EXPECT_EQ(WaitExit(pid, 20.0), 0);
}

TEST_F(RealWindow, EndsOnTheWindowManagersCloseRequest) {
  pid_t pid = -1;
  const std::string id = StartGame(x, pid);
  ASSERT_FALSE(id.empty()) << "the menu never showed its entries";
  Capture(std::string(ZIRPEL_XCLOSE_BIN) + " " + id, x.display());
  EXPECT_EQ(WaitExit(pid, 20.0), 0);
}

TEST_F(RealWindow, OneCloseRequestIsOneCloseKey) {
  pid_t pid = -1;
  // The close request only cuts the intro short; the menu then runs on.
  const std::string id = StartGame(x, pid, true);
  ASSERT_FALSE(id.empty()) << "the game did not reach its menu";
  int status = 0;
  EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0);
  Capture("xdotool key --window " + id + " Escape", x.display());
  EXPECT_EQ(WaitExit(pid, 20.0), 0);
}

// SIGTERM ends the game within a second, with exit code 0, wherever it is.
TEST_F(RealWindow, SigtermDuringTheIntroEndsTheGame) {
  const std::string bin = ZIRPEL_WINDOW_BIN;
  const pid_t pid = Spawn({bin}, fs::path(bin).parent_path().string(), x.display());
  ASSERT_FALSE(WaitForWindow(x).empty());
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));  // the logo fades in
  ASSERT_EQ(BluePixels(x), 0) << "the intro is already over";
  ::kill(pid, SIGTERM);
  EXPECT_EQ(WaitExit(pid, 1.0), 0);
}

TEST_F(RealWindow, SigtermDuringPlayEndsTheGame) {
  pid_t pid = -1;
  const std::string id = StartGame(x, pid);
  ASSERT_FALSE(id.empty()) << "the menu never showed its entries";
  // "Spiel starten", then the first race level.
  Capture("xdotool key --window " + id + " Down", x.display());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Capture("xdotool key --window " + id + " Return", x.display());
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  Capture("xdotool key --window " + id + " Return", x.display());
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  // Only play knows the Pause key: its title shows that the game is there.
  Capture("xdotool key --window " + id + " Pause", x.display());
  ASSERT_FALSE(WaitForWindow(x, "Pause").empty()) << "the game did not reach play";
  Capture("xdotool key --window " + id + " Pause", x.display());
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ASSERT_EQ(Capture("xdotool search --name Pause", x.display()), "") << "the pause went on";
  ::kill(pid, SIGTERM);
  EXPECT_EQ(WaitExit(pid, 1.0), 0);
}

TEST_F(RealWindow, WithoutDataTheGameNamesThePlacesAndEnds) {
  const fs::path dir = fs::temp_directory_path() / ("zirpel-nodata-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "bin");
  fs::create_directories(dir / "work");
  fs::copy_file(ZIRPEL_WINDOW_BIN, dir / "bin" / "zirpel");
  const std::string errors = (dir / "errors.txt").string();
  const int errFd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const pid_t pid =
      Spawn({(dir / "bin" / "zirpel").string()}, (dir / "work").string(), x.display(), -1, errFd);
  ::close(errFd);
  EXPECT_EQ(WaitExit(pid, 10.0), 1);
  std::ifstream in(errors);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("zirpel: Die Spieldaten wurden nicht gefunden"), std::string::npos) << text;
  for (const fs::path& place :
       {dir / "work" / "res", dir / "bin" / "res", dir / "share" / "zirpel"}) {
    EXPECT_NE(text.find("  " + place.string() + "\n"), std::string::npos) << place;
  }
  EXPECT_EQ(Capture("xdotool search --name Zirpel", x.display()), "") << "a window was opened";
  fs::remove_all(dir);
}

TEST_F(RealWindow, AnInstantClickOnAnEntryChoosesIt) {
  pid_t pid = -1;
  const std::string id = StartGame(x, pid);
  ASSERT_FALSE(id.empty()) << "the menu never showed its entries";
  // "Beenden" on the 1280 x 800 screen: left of x = -1, on its bar at y = 0.
  // Button down and up within microseconds, as a touchpad tap sends them.
  Capture("xdotool mousemove --window " + id + " 320 400", x.display());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Capture("xdotool click 1", x.display());
  EXPECT_EQ(WaitExit(pid, 20.0), 0);
}

// A level whose ball rests on a short platform just above the fall limit
// until it is steered off.
const char* const kLedge =
    "BallPosition\n[0,-23]\nStartgame.zoomin\n[2,-21,5]\n"
    "Plattform.static\n[-0.5,-24]\n[0.5,-24]\nwhite\n";

// The failure panel's blue in the middle of the 1280 x 800 display, where
// the 640 x 400 window shows it.
int PanelPixels(const Xvfb& x) {
  return CountPixels(x, 500, 370, 780, 430,
                     [](int r, int g, int b) { return b > 50 && b > r + 40 && b > g + 20; });
}

// The energy bar's red and green at the top of the window: a filled bar, or
// only its outline when wire-frame drawing is on.
int EnergyBarPixels(const Xvfb& x) {
  return CountPixels(x, 600, 200, 740, 232,
                     [](int r, int g, int b) { return r + g > 150 && b < 60; });
}

TEST_F(RealWindow, OnAGermanKeyboardTheKeyLabelledYRestartsAndZOnlyRestarts) {
  if (::system("command -v setxkbmap >/dev/null") != 0) GTEST_SKIP() << "setxkbmap missing";
  // The program beside its own settings and maps: one race level alone.
  e2e::ScratchRoot root("Display=640x400\r\nFullscreen=Disabled\r\nPlayIntro=Disabled\r\n");
  root.Write("Res/maps/a.mapGame1", kLedge);
  const std::string bin = root.File("zirpel");
  fs::copy_file(ZIRPEL_WINDOW_BIN, bin);
  fs::permissions(bin, fs::perms::owner_all);
  pid_t pid = -1;
  const std::string id = StartGame(x, pid, false, bin);
  ASSERT_FALSE(id.empty()) << "the menu never showed its entries";
  // The player switches to the German layout while the game runs: the key
  // positions the window reports stay those of the layout it started with.
  Capture("setxkbmap de", x.display());
  ASSERT_NE(Capture("setxkbmap -query", x.display()).find("de"), std::string::npos);
  const auto key = [&](const std::string& name) {
    Capture("xdotool key " + name, x.display());
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
  };
  // A press held for 0.2 s, as a person types it.
  const auto press = [&](const std::string& name) {
    Capture("xdotool keydown " + name, x.display());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Capture("xdotool keyup " + name, x.display());
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
  };
  // Steers off the ledge; the ball falls past the limit within seconds.
  const auto loseTheRun = [&]() {
    Capture("xdotool keydown Left", x.display());
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    Capture("xdotool keyup Left", x.display());
    int lost = 0;
    for (int i = 0; i < 40 && lost < 2000; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
      lost = PanelPixels(x);
    }
    return lost;
  };
  key("Down");    // "Spiel starten"
  key("Return");  // ...chosen
  key("Return");  // the only level
  key("Return");  // skips the camera flight
  const int filledBar = EnergyBarPixels(x);
  int lost = loseTheRun();
  ASSERT_GE(lost, 2000) << "the run was never lost";
  press("y");  // the key labelled Y: the US layout's Z position
  EXPECT_LT(PanelPixels(x), lost / 10) << "Y did not restart";
  lost = loseTheRun();
  ASSERT_GE(lost, 2000) << "the run was never lost again";
  press("z");  // the key labelled Z: the US layout's Y position, and "z"
  EXPECT_LT(PanelPixels(x), lost / 10) << "Z did not restart";
  EXPECT_GT(EnergyBarPixels(x), filledBar / 2) << "Z switched wire-frame drawing on";
  key("Escape");
  key("Escape");
  EXPECT_EQ(WaitExit(pid, 20.0), 0);
}

// Starts bin in the build's folder (the repo's data beside it, Sound=Enabled
// as shipped) on the display, with these environment variables, standard
// input from inFd and standard error into errFd (-1: nowhere).
pid_t SpawnGame(const std::string& bin, const Xvfb& x,
                const std::vector<std::pair<std::string, std::string>>& env, int inFd = -1,
                int errFd = -1) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(inFd >= 0 ? inFd : null, 0);
    ::dup2(null, 1);
    ::dup2(errFd >= 0 ? errFd : null, 2);
    ::setenv("DISPLAY", x.display().c_str(), 1);
    for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    ::unsetenv("ZIRPEL_DATA_DIR");
    if (::chdir(fs::path(ZIRPEL_WINDOW_BIN).parent_path().c_str()) != 0) ::_exit(126);
    ::execl(bin.c_str(), bin.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}

// Waits for the window, ends the intro and waits for the menu's entries;
// returns the window id, "" when the menu never showed.
std::string ReachTheMenu(const Xvfb& x) {
  const std::string id = WaitForWindow(x);
  if (id.empty()) return id;
  Capture("xdotool windowfocus --sync " + id, x.display());
  Capture("xdotool key --window " + id + " space", x.display());  // ends the intro
  for (int i = 0; i < 60; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    if (BluePixels(x) > 100) return id;
  }
  return std::string();
}

TEST_F(RealWindow, WithoutAnAudioDeviceTheGameSaysSoOnceAndPlaysOn) {
  const std::string errors =
      (fs::temp_directory_path() / ("zirpel-noaudio-" + std::to_string(::getpid()) + ".txt"))
          .string();
  const int errFd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(errFd, 0);
  const pid_t pid =
      SpawnGame(ZIRPEL_WINDOW_BIN, x, {{"SDL_AUDIODRIVER", "kein-solcher-treiber"}}, -1, errFd);
  ::close(errFd);
  const std::string id = ReachTheMenu(x);
  ASSERT_FALSE(id.empty()) << "the menu never showed its entries";
  Capture("xdotool key --window " + id + " Escape", x.display());
  EXPECT_EQ(WaitExit(pid, 20.0), 0);
  std::ifstream in(errors);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  fs::remove(errors);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
  EXPECT_EQ(text.rfind("zirpel: kein Audiogeraet (", 0), 0u) << text;
}

#ifdef ZIRPEL_VPAD_BIN

// A game controller plugged in while the menu runs moves its cursor and
// chooses "Beenden"; pulled out and plugged in again, it goes on working.
// The pad is SDL's virtual one inside zirpel-vpad, driven through a pipe.
// The sound goes to SDL's disk driver, a real SDL audio device.
TEST_F(RealWindow, AVirtualPadPluggedInDuringTheMenuChoosesBeenden) {
  const std::string sound =
      (fs::temp_directory_path() / ("zirpel-vpad-" + std::to_string(::getpid()) + ".raw")).string();
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t pid = SpawnGame(
      ZIRPEL_VPAD_BIN, x, {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", sound}}, pipeFds[0]);
  ::close(pipeFds[0]);
  // The game may end (as it should) before its last line is written.
  ::signal(SIGPIPE, SIG_IGN);
  const auto send = [&](const std::string& line, int pauseMs) {
    const std::string text = line + "\n";
    if (::write(pipeFds[1], text.data(), text.size()) < 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
  };
  ASSERT_FALSE(ReachTheMenu(x).empty()) << "the menu never showed its entries";
  // Three moves down reach "Beenden" (nothing highlighted, "Spiel
  // starten", "Entwickler", "Beenden"): one by the d-pad of the first pad,
  // two by the stick and the d-pad of the pad plugged in after it.
  send("attach", 800);
  send("press dpdown", 100);
  send("release dpdown", 300);
  send("detach", 500);
  send("attach", 800);
  send("axis lefty 1", 100);
  send("axis lefty 0", 300);
  send("press dpdown", 100);
  send("release dpdown", 300);
  send("press a", 100);
  send("release a", 0);
  EXPECT_EQ(WaitExit(pid, 20.0), 0) << "the pad's moves did not reach \"Beenden\"";
  ::close(pipeFds[1]);
  // Clicks and the menu's chords went out through SDL's audio device.
  std::ifstream in(sound, std::ios::binary);
  std::vector<float> samples;
  for (float v; in.read(reinterpret_cast<char*>(&v), sizeof v);) samples.push_back(v);
  fs::remove(sound);
  float peak = 0.0f;
  for (float v : samples) peak = std::max(peak, std::abs(v));
  EXPECT_GT(samples.size(), 44100u);  // more than a second of it
  EXPECT_GT(peak, 0.01f);
  EXPECT_LE(peak, 1.0f);
}

#endif

// The editor in a real window: a platform drawn with the mouse, Ctrl+S and
// the wheel from the keyboard and mouse as X sends them, Esc leaves.
TEST_F(RealWindow, TheEditorDrawsAPlatformAndSavesIt) {
  const fs::path home = fs::temp_directory_path() / ("zirpel-edit-" + std::to_string(::getpid()));
  fs::remove_all(home);
  // The player's folder of this test only (the child takes the environment).
  const char* before = std::getenv("XDG_DATA_HOME");
  const std::string saved = before ? before : "";
  ::setenv("XDG_DATA_HOME", home.c_str(), 1);
  const std::string bin = ZIRPEL_WINDOW_BIN;
  const pid_t pid = Spawn({bin, "--windowed", "--edit", "Fenster"},
                          fs::path(bin).parent_path().string(), x.display());
  if (before) {
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_DATA_HOME");
  }
  const std::string id = WaitForWindow(x);
  ASSERT_FALSE(id.empty());
  Capture("xdotool windowfocus --sync " + id, x.display());
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  const auto run = [&](const std::string& command, int pauseMs) {
    Capture("xdotool " + command, x.display());
    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
  };
  run("mousemove --window " + id + " 500 500", 200);
  run("click --window " + id + " 5", 200);  // the wheel, away from the scene
  run("mousedown --window " + id + " 1", 200);
  run("mousemove --window " + id + " 700 500", 200);
  run("mousemove --window " + id + " 900 500", 200);
  run("mouseup --window " + id + " 1", 300);
  run("key --window " + id + " ctrl+s", 500);
  const fs::path level = home / "zirpel" / "maps" / "Fenster.mapGame1";
  std::ifstream in(level);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("Plattform.static\n"), std::string::npos) << text.str();
  run("key --window " + id + " Escape", 0);
  EXPECT_EQ(WaitExit(pid, 20.0), 0);
  fs::remove_all(home);
}

#endif

}  // namespace
