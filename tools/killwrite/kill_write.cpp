// zirpel-kill-write: kills a process at random moments while it stores
// records, and checks that the leaderboard is always the complete old or the
// complete new file; then, with --disk-full, has the game beat a level while
// its leaderboard lies on a full file system.
//
//   zirpel-kill-write [--trials N] [--seed S] [--dir DIR]
//   zirpel-kill-write --disk-full [--runner PATH]
//
// Kill trials: a child process stores records of a board of 4,000 levels in
// a loop, alternating two versions of it (each store rewrites the file whole
// through a temporary file, flushed and renamed over the old one); it is
// killed with SIGKILL after a random delay spread over a few store cycles.
// The file must then equal one of the two versions exactly. Reported: trials,
// how many left the temporary file behind (killed inside a store), and the
// failures.
//
// Disk full (needs root, as CI has): a 512 KiB tmpfs holds the scratch game
// tree with an old leaderboard and a filler that takes the rest of the space;
// the game wins a level there and goes back to the menu. The leaderboard must
// be unchanged, the game must end normally, and standard error must say that
// the record could not be stored.
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "session/leaderboard.h"
#include "tooling.h"

namespace fs = std::filesystem;

namespace {

using tooling::Slurp;

Leaderboard BigBoard() {
  Leaderboard board;
  for (int i = 0; i < 4000; ++i) {
    board.lines.push_back("level" + std::to_string(i) + ".mapGame1");
    board.lines.push_back("10");
  }
  board.LeaderboardLineCount = 8000;
  board.lines.emplace_back();
  return board;
}

int KillTrials(int trials, unsigned seed, const std::string& dir) {
  fs::create_directories(dir);
  const std::string path = dir + "/Leaderboard.dat";
  Leaderboard a = BigBoard(), b = BigBoard();
  if (!StoreRecord(a, "level0.mapGame1", 1.5f, path)) return 2;
  const std::string oldText = Slurp(path);
  // How long one store takes here: the kills are spread over a few of them.
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < 5; ++i) StoreRecord(b, "level0.mapGame1", 2.5f, path);
  const double storeUs =
      std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count() / 5;
  const std::string newText = Slurp(path);

  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> delay(0.0, 4.0 * storeUs + 500.0);
  int failures = 0, inside = 0;
  for (int trial = 0; trial < trials; ++trial) {
    const pid_t pid = ::fork();
    if (pid < 0) return 2;
    if (pid == 0) {
      for (int i = 0;; ++i)
        StoreRecord(i % 2 ? a : b, "level0.mapGame1", i % 2 ? 1.5f : 2.5f, path);
    }
    ::usleep(static_cast<useconds_t>(delay(rng)));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (fs::exists(path + ".tmp")) ++inside;
    const std::string now = Slurp(path);
    if (now != oldText && now != newText) {
      ++failures;
      std::printf("trial %d: the leaderboard is neither version (%zu bytes)\n", trial, now.size());
    }
  }
  std::printf("kill trials: %d, killed inside a store: %d, one store takes %.0f us, failures: %d\n",
              trials, inside, storeUs, failures);
  fs::remove_all(dir);
  return failures == 0 ? 0 : 1;
}

int DiskFull(const std::string& runner) {
  std::string templ = (fs::temp_directory_path() / "zirpel-full-XXXXXX").string();
  if (!::mkdtemp(templ.data())) return 2;
  const std::string root = templ;
  if (::mount("tmpfs", root.c_str(), "tmpfs", 0, "size=512k") != 0) {
    std::printf("disk full: cannot mount a tmpfs at %s (%s); needs root\n", root.c_str(),
                std::strerror(errno));
    fs::remove(root);
    return 2;
  }
  int result = 1;
  {
    fs::create_directories(root + "/Res/maps");
    fs::create_directories(root + "/res");
    fs::create_symlink(fs::path(ZIRPEL_SOURCE_DIR) / "res/gfx", root + "/res/gfx");
    fs::copy_file(fs::path(ZIRPEL_SOURCE_DIR) / "res/maps/Mainmenu.startmap",
                  root + "/Res/maps/Mainmenu.startmap");
    std::ofstream(root + "/Res/settings.ini", std::ios::binary)
        << "Display=320x200\r\nPlayIntro=Disabled\r\n";
    // A race won in its first play frame: ball 1 starts inside the goal.
    std::ofstream(root + "/Res/maps/voll.mapGame1", std::ios::binary)
        << "BallPosition\n[0,1]\nStartgame.zoomin\n[0,1,3]\n"
           "Plattform.static\n[-3,0]\n[3,0]\nwhite\nGoal.static\n[0,1]\n0.5\n";
    std::string old;
    for (int i = 0; i < 2000; ++i) old += "alt" + std::to_string(i) + ".mapGame1\r\n42\r\n";
    std::ofstream(root + "/Res/Leaderboard.dat", std::ios::binary) << old;
    std::ofstream(root + "/script.txt", std::ios::binary)
        << "until menu\nkey DOWN\nframes 2\nkey ENTER\nuntil levelselect\nframes 2\nkey ENTER\n"
           "until session\nkey ENTER\nframes 10\nhold N\nuntil menu\nrelease N\nframes 5\n";
    {
      // Fill what is left, to the last byte.
      std::ofstream filler(root + "/filler", std::ios::binary);
      const std::string block(4096, 'x');
      while (filler.write(block.data(), block.size())) filler.flush();
    }
    {
      std::ofstream filler(root + "/filler2", std::ios::binary);
      while (filler.put('x')) filler.flush();
    }
    const std::string errFile = templ + ".stderr";
    const pid_t pid = ::fork();
    if (pid == 0) {
      std::freopen(errFile.c_str(), "wb", stderr);
      std::freopen("/dev/null", "wb", stdout);
      ::execl(runner.c_str(), runner.c_str(), "--root", root.c_str(),
              (root + "/script.txt").c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const std::string errors = Slurp(errFile);
    fs::remove(errFile);
    const bool intact = Slurp(root + "/Res/Leaderboard.dat") == old;
    const bool ended = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const bool said = errors.find("voll.mapGame1") != std::string::npos &&
                      errors.find("nicht speichern") != std::string::npos;
    std::printf(
        "disk full: game ended normally: %s, old leaderboard intact: %s, "
        "failure on stderr: %s\n",
        ended ? "yes" : "no", intact ? "yes" : "no", said ? "yes" : "no");
    if (!said) std::printf("  stderr: %s\n", errors.c_str());
    result = ended && intact && said ? 0 : 1;
  }
  ::umount2(root.c_str(), MNT_DETACH);
  fs::remove(root);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  int trials = 1000;
  unsigned seed = 4711;
  bool diskFull = false;
  std::string runner = ZIRPEL_KILL_RUNNER;
  std::string dir =
      (fs::temp_directory_path() / ("zirpel-kill-" + std::to_string(::getpid()))).string();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool more = i + 1 < argc;
    if (arg == "--trials" && more) {
      trials = std::atoi(argv[++i]);
    } else if (arg == "--seed" && more) {
      seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
    } else if (arg == "--dir" && more) {
      dir = argv[++i];
    } else if (arg == "--disk-full") {
      diskFull = true;
    } else if (arg == "--runner" && more) {
      runner = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: zirpel-kill-write [--trials N] [--seed S] [--dir DIR]\n"
                   "       zirpel-kill-write --disk-full [--runner PATH]\n");
      return 2;
    }
  }
  return diskFull ? DiskFull(runner) : KillTrials(trials, seed, dir);
}
