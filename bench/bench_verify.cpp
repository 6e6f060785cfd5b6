// Proving replays: zirpel-verify (no screen) against zirpel-headless
// --verify, in one run, on the same files: every level script's best replay
// (made here by playing the scripts with the runner) and the longest of
// them. For each file and program: wall time of the whole process (start
// included) and its peak resident memory, and how much faster than real
// time the run was proven. Goals for zirpel-verify: at least 200 times
// faster than real time, under 30 MB resident.
//   bench_verify [REPEATS]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "replay/replay_file.h"
#include "tooling.h"

namespace fs = std::filesystem;

namespace {

struct Timed {
  double wallMs = 0.0;
  long peakKb = 0;
  int exitCode = -1;
};

Timed Run(std::vector<std::string> args, const std::string& dir) {
  std::fflush(stdout);  // nothing buffered may reach the child's output
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    tooling::ExecArgs(std::move(args));
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  Timed t;
  t.wallMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  t.peakKb = usage.ru_maxrss;
  t.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return t;
}

// Plays a level script in a scratch tree holding its level alone; returns
// the best replay it left ("" when none).
std::string BestReplayOf(const fs::path& script, const fs::path& scratch) {
  const std::string text = tooling::Slurp(script.string());
  const std::string first = text.substr(0, text.find('\n'));
  const std::string level = first.substr(first.find(": ") + 2);
  fs::remove_all(scratch);
  fs::create_directories(scratch / "Res/maps");
  fs::create_directories(scratch / "res");
  const fs::path src = ZIRPEL_SOURCE_DIR;
  fs::create_directory_symlink(src / "res/gfx", scratch / "res/gfx");
  fs::copy_file(src / "res/maps/Mainmenu.startmap", scratch / "Res/maps/Mainmenu.startmap");
  fs::copy_file(src / "res/maps" / level, scratch / "Res/maps" / level);
  std::ofstream(scratch / "res/settings.ini")
      << "Display=320x200\r\nFullscreen=Disabled\r\nPlayIntro=Disabled\r\n"
         "Menu_DroppBalls=Enabled\r\nParticle=Enabled\r\nParticleNumber=35\r\n";
  std::string played = text;
  for (const char* dump : {"dump menu.json", "dump start.json", "dump result.json"}) {
    const std::size_t at = played.find(dump);
    if (at != std::string::npos) played.replace(at, std::string(dump).size(), "# dump");
  }
  std::ofstream(scratch / "script.txt") << played;
  ::setenv("XDG_DATA_HOME", (scratch / "xdg-data").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (scratch / "xdg-config").c_str(), 1);
  Run({ZIRPEL_HEADLESS_BIN, "--root", scratch.string(), "--size", "320x200",
       (scratch / "script.txt").string()},
      scratch.string());
  const fs::path best = scratch / "Res/Replays" / (level + ".best.zrp");
  return fs::exists(best) ? best.string() : std::string();
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const fs::path work =
      fs::temp_directory_path() / ("zirpel-bench-verify-" + std::to_string(::getpid()));
  fs::create_directories(work / "runs");
  fs::create_directories(work / "maps");
  std::vector<std::string> files;
  std::vector<fs::path> scripts;
  for (const auto& e : fs::directory_iterator(fs::path(ZIRPEL_SOURCE_DIR) / "tests/levels")) {
    if (e.path().extension() == ".txt") scripts.push_back(e.path());
  }
  std::sort(scripts.begin(), scripts.end());
  for (const fs::path& script : scripts) {
    const std::string best = BestReplayOf(script, work / "scratch");
    if (best.empty()) continue;
    const fs::path kept = work / "runs" / (script.stem().string() + ".zrp");
    fs::copy_file(best, kept, fs::copy_options::overwrite_existing);
    files.push_back(kept.string());
  }
  for (const auto& e : fs::directory_iterator(fs::path(ZIRPEL_SOURCE_DIR) / "res/maps")) {
    fs::copy_file(e.path(), work / "maps" / e.path().filename(),
                  fs::copy_options::overwrite_existing);
  }
  // The headless runner proves from the game's own tree: its levels.
  fs::create_directories(work / "root/Res");
  fs::create_directories(work / "root/res");
  fs::create_directory_symlink(work / "maps", work / "root/Res/maps");
  fs::create_directory_symlink(fs::path(ZIRPEL_SOURCE_DIR) / "res/gfx", work / "root/res/gfx");

  std::printf("%-16s %8s %8s | %10s %8s %8s | %10s %8s %8s\n", "replay", "frames", "play s",
              "verify ms", "MB", "x real", "runner ms", "MB", "x real");
  double worstFactor = 1e300;
  long worstKb = 0;
  std::string longest;
  double longestPlay = 0.0;
  for (const std::string& file : files) {
    Replay r;
    std::string why;
    DecodeReplay(tooling::Slurp(file), r, why);
    double play = 0.0;
    {
      double first = -1.0, last = 0.0;
      for (const plat::TapEvent& e : r.log.events) {
        if (e.kind != plat::kTapTimer) continue;
        if (first < 0.0) first = e.timer;
        last = e.timer;
      }
      play = first < 0.0 ? 0.0 : last - first;
    }
    if (play > longestPlay) {
      longestPlay = play;
      longest = file;
    }
    Timed bare, runner;
    bare.wallMs = runner.wallMs = 1e300;
    for (int k = 0; k < repeats; ++k) {
      const Timed b =
          Run({ZIRPEL_VERIFY_BIN, "--levels", (work / "maps").string(), file}, work.string());
      const Timed h =
          Run({ZIRPEL_HEADLESS_BIN, "--root", (work / "root").string(), "--verify", file},
              work.string());
      if (b.exitCode != 0 || h.exitCode != 0) {
        std::fprintf(stderr, "%s did not verify (%d, %d)\n", file.c_str(), b.exitCode, h.exitCode);
        return 1;
      }
      if (b.wallMs < bare.wallMs) bare = b;
      if (h.wallMs < runner.wallMs) runner = h;
    }
    const double bareFactor = play * 1000.0 / bare.wallMs;
    worstFactor = std::min(worstFactor, bareFactor);
    worstKb = std::max(worstKb, bare.peakKb);
    std::printf("%-16s %8zu %8.2f | %10.1f %8.1f %8.0f | %10.1f %8.1f %8.0f\n",
                fs::path(file).stem().c_str(), ReplayFrames(r), play, bare.wallMs,
                bare.peakKb / 1024.0, bareFactor, runner.wallMs, runner.peakKb / 1024.0,
                play * 1000.0 / runner.wallMs);
  }
  std::printf("longest: %s (%.2f s of play)\n", fs::path(longest).stem().c_str(), longestPlay);
  std::printf(
      "zirpel-verify: at least %.0f times faster than real time (goal 200), peak %.1f MB "
      "(goal under 30)\n",
      worstFactor, worstKb / 1024.0);
  fs::remove_all(work);
  return 0;
}
