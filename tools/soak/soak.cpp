// zirpel-soak: plays every shipped level for a long stretch of simulated time
// through the headless runner, with random steering, boost and restarts, and
// reports per level what a long session does to the game:
//
//   zirpel-soak [--minutes M] [--runner PATH] [--data DIR] [--seed S]
//               [--jobs N] [--check-memory] [--each-minute] [--level NAME]...
//
// Each level plays alone in a scratch tree (a 320x200 screen, sparks on) for
// M simulated minutes (default 60), back to the menu and in again half way
// through the first minute and every two to eight minutes after. The runner
// writes the game state after every frame and its memory six times a
// simulated minute to its standard output, which the tool reads as it comes.
// Reported: frames, simulated time, wall time, peak resident memory, the
// growth of resident memory from the second minute to the last (each
// minute's least reading of six; the first minute sets up what a session
// needs once), its trend (the last five minutes against the five after the
// first) and its fitted rise (the least-squares line through those minutes),
// the same rise of the heap's live blocks and of what the game's own code
// holds (the runner counts its new and delete), the map text's
// largest size against the level file's, the frames with a non-finite number
// anywhere in the state, the restarts, and how many of the replays the
// session left (the last run, the best run) the runner's --verify re-ran to
// their recorded results; --each-minute adds every minute's readings. Exits 1
// when a run failed, a number was not finite or a replay did not verify, or
// (with --check-memory) when resident memory or the game's own memory rises
// by 1 MiB or more along the least-squares line through the minutes after
// the first.
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tooling.h"

namespace fs = std::filesystem;

namespace {

// A play frame advances the clock by the runner's 15 ms and the game's 1 ms
// sleep.
constexpr double kFrameMs = 16.0;
constexpr long long kReadingsPerMinute = 6;
constexpr long long kGrowthLimitKb = 1024;

struct Options {
  double minutes = 60.0;
  std::string runner;
  std::string data;
  unsigned seed = 20261207;
  int jobs = 1;
  bool checkMemory = false;
  bool eachMinute = false;
  std::vector<std::string> levels;
};

struct Report {
  std::string level;
  bool ran = false;
  int exitCode = -1;
  long long frames = 0;
  double wallS = 0.0;
  long long peakKb = 0;
  std::vector<int> readingMinute;       // the simulated minute of each memory reading
  std::vector<long long> minuteKb;      // the least resident memory read in every minute
  std::vector<long long> minuteHeapKb;  // the heap's live blocks, likewise
  std::vector<long long> minuteOwnKb;   // what the game's own code holds, likewise
  long long levelLines = 0, levelBytes = 0;
  long long maxLines = 0, maxBytes = 0;
  double startTime = 0.0, simulatedS = 0.0;  // the game's clock
  long long nonFiniteFrames = 0;
  std::string firstNonFinite;
  int restarts = 0, reentries = 0;
  int replays = 0, replaysVerified = 0;
  std::string replayErrors;
  std::string errors;
};

using tooling::Slurp;

long long Field(const std::string& line, const char* key) {
  const std::string tag = std::string("\"") + key + "\":";
  const size_t at = line.find(tag);
  return at == std::string::npos ? -1 : std::atoll(line.c_str() + at + tag.size());
}

// Bytes of the MapLines array's text (its JSON form, which only grows with
// the lines themselves).
long long MapBytes(const std::string& line) {
  const size_t at = line.find("\"MapLines\":[");
  if (at == std::string::npos) return 0;
  size_t i = at + 12;
  long long bytes = 0;
  bool inString = false;
  for (; i < line.size(); ++i) {
    const char c = line[i];
    if (inString) {
      if (c == '\\') {
        i += line.compare(i + 1, 1, "u") == 0 ? 5 : 1;  // one byte, written \u00XX or \X
      } else if (c == '"') {
        inString = false;
        continue;
      }
      ++bytes;
    } else if (c == '"') {
      inString = true;
    } else if (c == ']') {
      break;
    }
  }
  return bytes;
}

// A non-finite number anywhere in a dump line: the dump writes it as null,
// and a point written back into the map as "nan" or "inf". The nulls that
// mean something else are "Ghost" and "GhostKind" while no ghost is shown.
bool NonFinite(const std::string& dumpLine) {
  std::string line = dumpLine;
  for (const std::string none : {"\"Ghost\":null", "\"GhostKind\":null"}) {
    if (const size_t at = line.find(none); at != std::string::npos) line.erase(at, none.size());
  }
  if (line.find(":null") != std::string::npos || line.find(",null") != std::string::npos ||
      line.find("[null") != std::string::npos) {
    return true;
  }
  for (size_t at = line.find("\"["); at != std::string::npos; at = line.find("\"[", at + 1)) {
    const size_t end = line.find('"', at + 1);
    const std::string point = line.substr(at, end - at);
    if (point.find("nan") != std::string::npos || point.find("inf") != std::string::npos) {
      return true;
    }
  }
  return false;
}

// The way from the menu into the level (alone in its folder, so row 1).
std::string IntoLevel(bool survival, bool firstTime) {
  std::string s = "until menu\n";
  if (firstTime) s += "key DOWN\nframes 2\n";  // the cursor starts on no entry
  s += "frames 2\nkey ENTER\nuntil levelselect\nframes 2\n";
  // The "Ueberleben" box of a 320x200 screen, then away from it.
  if (survival) s += "pointer 100 56 0\nframes 2\npointer outside\nframes 2\n";
  s += "key ENTER\nuntil session 2000\n";
  return s;
}

std::string MakeScript(bool survival, double minutes, unsigned seed, Report& report) {
  std::mt19937 rng(seed);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const long long framesPerMinute = static_cast<long long>(60000.0 / kFrameMs);
  const long long total = static_cast<long long>(minutes * framesPerMinute);
  std::string s = "dump-every /dev/stdout\n" + IntoLevel(survival, true);
  // Memory is read six times a minute, the last at its end. The stretches
  // are split at the readings between, so they play as they would without.
  const long long readingStep = framesPerMinute / kReadingsPerMinute;
  long long played = 0, nextMinute = framesPerMinute, nextReading = readingStep;
  int minute = 0;
  auto readMemory = [&] {
    s += "memory /dev/stdout\n";
    report.readingMinute.push_back(minute);
  };
  // The first return to the menu comes half way through the first minute, so
  // what a session sets up once is done before the minutes that are judged.
  long long nextRestart = pick(200, 1200), nextReentry = framesPerMinute / 2;
  bool left = false, right = false, boost = false;
  while (played < total) {
    // A stretch of steering: left, right or neither, boost now and then.
    const int steer = pick(0, 2);
    const bool wantLeft = steer == 1, wantRight = steer == 2, wantBoost = pick(0, 9) < 3;
    if (left != wantLeft) s += wantLeft ? "hold LEFT\n" : "release LEFT\n";
    if (right != wantRight) s += wantRight ? "hold RIGHT\n" : "release RIGHT\n";
    if (boost != wantBoost) s += wantBoost ? "hold SPACE\n" : "release SPACE\n";
    left = wantLeft, right = wantRight, boost = wantBoost;
    long long n = pick(5, 90);
    n = std::min({n, total - played, nextMinute - played});
    while (nextReading < nextMinute && played + n >= nextReading) {
      const long long part = nextReading - played;
      if (part > 0) s += "frames " + std::to_string(part) + "\n";
      readMemory();
      played += part, n -= part;
      nextReading += readingStep;
    }
    if (n > 0) s += "frames " + std::to_string(n) + "\n";
    played += n;
    if (played >= nextMinute) {
      readMemory();
      ++minute;
      nextReading = nextMinute + readingStep;
      nextMinute += framesPerMinute;
    }
    if (played >= nextRestart) {
      // Y restarts a won or lost run; in a running one it does nothing.
      s += "hold Y\nframes 2\nrelease Y\n";
      ++report.restarts;
      nextRestart = played + pick(200, 1200);
    }
    if (played >= nextReentry && played < total) {
      // Back to the menu and into the level again.
      s += "release LEFT\nrelease RIGHT\nrelease SPACE\nkey ESC\n" + IntoLevel(survival, false);
      left = right = boost = false;
      ++report.reentries;
      nextReentry = played + framesPerMinute * pick(2, 8);
    }
  }
  if (report.readingMinute.empty() || played % framesPerMinute != 0) readMemory();
  return s;
}

// Every replay the session wrote, re-run by the runner's --verify, which
// prints a "verified: " line for each one that re-ran to its result.
void VerifyReplays(const Options& opt, const fs::path& root, Report& report) {
  std::vector<std::string> args = {opt.runner, "--root", root.string(), "--verify"};
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(root / "Res/Replays", ec)) {
    if (e.path().extension() == ".zrp") args.push_back(e.path().string());
  }
  report.replays = static_cast<int>(args.size()) - 4;
  if (report.replays == 0) return;
  const std::string outFile = (root / "verify.txt").string();
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::freopen(outFile.c_str(), "wb", stdout);
    std::freopen("/dev/null", "wb", stderr);
    tooling::ExecArgs(args);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  std::istringstream lines(Slurp(outFile));
  for (std::string line; std::getline(lines, line);) {
    if (line.find(": verified: ") != std::string::npos) {
      ++report.replaysVerified;
    } else {
      report.replayErrors += line + "\n";
    }
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    report.replaysVerified = std::min(report.replaysVerified, report.replays - 1);
  }
}

void RunLevel(const Options& opt, const std::string& level, unsigned seed, Report& report) {
  report.level = level;
  const bool survival = level.size() > 9 && level.substr(level.size() - 9) == ".mapGame2";
  std::string templ = (fs::temp_directory_path() / "zirpel-soak-XXXXXX").string();
  if (!::mkdtemp(templ.data())) {
    report.errors = "no scratch folder";
    return;
  }
  const fs::path root = templ;
  fs::create_directories(root / "Res/maps");
  fs::create_directories(root / "res");
  fs::create_symlink(fs::absolute(opt.data) / "gfx", root / "res/gfx");
  fs::copy_file(fs::path(opt.data) / "maps/Mainmenu.startmap", root / "Res/maps/Mainmenu.startmap");
  fs::copy_file(fs::path(opt.data) / "maps" / level, root / "Res/maps" / level);
  std::ofstream(root / "Res/settings.ini", std::ios::binary)
      << "Display=320x200\r\nFullscreen=Disabled\r\nPlayIntro=Disabled\r\n"
         "Menu_DroppBalls=Enabled\r\nParticle=Enabled\r\nParticleNumber=35\r\n";
  const std::string levelText = Slurp((root / "Res/maps" / level).string());
  report.levelLines = std::count(levelText.begin(), levelText.end(), '\n');
  report.levelBytes = static_cast<long long>(levelText.size()) - report.levelLines;
  std::ofstream(root / "script.txt", std::ios::binary)
      << MakeScript(survival, opt.minutes, seed, report);

  int out[2];
  if (::pipe(out) != 0) return;
  const std::string errFile = (root / "stderr.txt").string();
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::close(out[0]);
    ::close(out[1]);
    std::freopen(errFile.c_str(), "wb", stderr);
    ::execl(opt.runner.c_str(), opt.runner.c_str(), "--root", root.c_str(),
            (root / "script.txt").c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  FILE* in = ::fdopen(out[0], "rb");
  std::string line;
  std::size_t readings = 0;
  for (int c; (c = std::fgetc(in)) != EOF;) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    if (line.rfind("{\"frame\":", 0) == 0) {
      if (line.find("\"ResidentKb\"") != std::string::npos) {
        report.peakKb = std::max(report.peakKb, Field(line, "PeakResidentKb"));
        // A minute's value is its least reading: what stays, without what
        // comes and goes within seconds (sparks, the GL driver's buffers).
        const std::size_t m = readings < report.readingMinute.size()
                                  ? static_cast<std::size_t>(report.readingMinute[readings])
                                  : report.minuteKb.size();
        ++readings;
        const long long kb = Field(line, "ResidentKb"), heapKb = Field(line, "HeapInUseKb");
        const long long ownKb = Field(line, "OwnHeapKb");
        if (m >= report.minuteKb.size()) {
          report.minuteKb.push_back(kb);
          report.minuteHeapKb.push_back(heapKb);
          report.minuteOwnKb.push_back(ownKb);
        } else {
          report.minuteKb[m] = std::min(report.minuteKb[m], kb);
          report.minuteHeapKb[m] = std::min(report.minuteHeapKb[m], heapKb);
          report.minuteOwnKb[m] = std::min(report.minuteOwnKb[m], ownKb);
        }
      } else {
        report.frames = std::max(report.frames, Field(line, "frame"));
        const double time = std::atof(line.c_str() + line.find("\"time\":") + 7);
        if (report.startTime == 0.0) report.startTime = time;  // the clock starts at 100 s
        report.simulatedS = time - report.startTime;
        // The map of the level, not the menu's between two visits.
        if (line.find("\"screen\":\"session\"") != std::string::npos) {
          report.maxLines = std::max(report.maxLines, Field(line, "MapLineCount"));
          report.maxBytes = std::max(report.maxBytes, MapBytes(line));
        }
        if (NonFinite(line)) {
          if (report.nonFiniteFrames++ == 0) report.firstNonFinite = line.substr(0, 2000);
        }
      }
    }
    line.clear();
  }
  std::fclose(in);
  int status = 0;
  ::waitpid(pid, &status, 0);
  report.wallS = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  report.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  report.ran = true;
  report.errors = Slurp(errFile);
  VerifyReplays(opt, root, report);
  std::error_code ec;
  fs::remove_all(root, ec);
}

// What memory does over the whole session, free of what one moment holds
// (sparks in flight, a long run's recording): the median of the last five
// minutes' values against that of the first five (of the last and first
// halves when there are fewer than ten).
// The first minute sets up what a session needs once: it is judged from the
// end of the first minute on.
std::size_t FirstJudgedMinute(const std::vector<long long>& kb) {
  return kb.size() > 2 ? 1 : 0;
}

long long Growth(const std::vector<long long>& kb) {
  return kb.empty() ? 0 : kb.back() - kb[FirstJudgedMinute(kb)];
}

long long Trend(const std::vector<long long>& kb) {
  const std::size_t from = FirstJudgedMinute(kb);
  const std::size_t k = std::min<std::size_t>(5, (kb.size() - from) / 2);
  if (k == 0) return 0;
  auto median = [](std::vector<long long> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  const auto first = kb.begin() + static_cast<std::ptrdiff_t>(from);
  return median({kb.end() - static_cast<std::ptrdiff_t>(k), kb.end()}) -
         median({first, first + static_cast<std::ptrdiff_t>(k)});
}

// The growth the minutes after the first show as a whole: the least-squares
// line through every minute's value, from its start to its end. A leak
// rises along it; the driver's caches, which fill and drain by a megabyte
// as the mix of drawing changes, scatter about it and barely tilt it.
long long Fitted(const std::vector<long long>& kb) {
  if (std::find(kb.begin(), kb.end(), -1) != kb.end()) return 0;  // not read
  const std::size_t from = FirstJudgedMinute(kb);
  const std::size_t n = kb.size() - from;
  if (n < 3) return 0;
  double meanX = 0.0, meanY = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    meanX += static_cast<double>(i) / static_cast<double>(n);
    meanY += static_cast<double>(kb[from + i]) / static_cast<double>(n);
  }
  double sxy = 0.0, sxx = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double dx = static_cast<double>(i) - meanX;
    sxy += dx * (static_cast<double>(kb[from + i]) - meanY);
    sxx += dx * dx;
  }
  return std::llround(sxy / sxx * static_cast<double>(n - 1));
}

int Usage() {
  std::fprintf(stderr,
               "usage: zirpel-soak [--minutes M] [--runner PATH] [--data DIR] [--seed S] "
               "[--jobs N] [--check-memory] [--each-minute] [--level NAME]...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  opt.runner = ZIRPEL_SOAK_RUNNER;
  opt.data = std::string(ZIRPEL_SOURCE_DIR) + "/res";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--minutes" && more) {
      opt.minutes = std::atof(argv[++i]);
    } else if (a == "--runner" && more) {
      opt.runner = argv[++i];
    } else if (a == "--data" && more) {
      opt.data = argv[++i];
    } else if (a == "--seed" && more) {
      opt.seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
    } else if (a == "--jobs" && more) {
      opt.jobs = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--each-minute") {
      opt.eachMinute = true;
    } else if (a == "--check-memory") {
      opt.checkMemory = true;
    } else if (a == "--level" && more) {
      opt.levels.push_back(argv[++i]);
    } else {
      return Usage();
    }
  }
  if (!(opt.minutes > 0.0)) return Usage();
  if (opt.levels.empty()) {
    for (const auto& e : fs::directory_iterator(fs::path(opt.data) / "maps")) {
      const std::string ext = e.path().extension().string();
      if (ext == ".mapGame1" || ext == ".mapGame2") opt.levels.push_back(e.path().filename());
    }
    std::sort(opt.levels.begin(), opt.levels.end());
  }
  if (opt.levels.empty()) {
    std::fprintf(stderr, "zirpel-soak: no levels in %s/maps\n", opt.data.c_str());
    return 2;
  }
  for (const std::string& level : opt.levels) {
    std::error_code ec;
    if (!fs::is_regular_file(fs::path(opt.data) / "maps" / level, ec)) {
      std::fprintf(stderr, "zirpel-soak: no level %s in %s/maps\n", level.c_str(),
                   opt.data.c_str());
      return 2;
    }
  }

  std::vector<Report> reports(opt.levels.size());
  std::atomic<size_t> next{0};
  std::vector<std::thread> workers;
  for (int j = 0; j < opt.jobs; ++j) {
    workers.emplace_back([&] {
      for (size_t i; (i = next++) < opt.levels.size();) {
        RunLevel(opt, opt.levels[i], opt.seed + static_cast<unsigned>(i), reports[i]);
      }
    });
  }
  for (std::thread& w : workers) w.join();

  std::printf("soak: %.4g simulated minutes per level, seed %u\n", opt.minutes, opt.seed);
  std::printf("%-28s %8s %7s %8s %8s %9s %8s %9s %7s %6s %11s %13s %9s %8s %7s %s\n", "level",
              "frames", "sim min", "wall s", "peak MB", "growth KB", "trend KB", "fitted KB",
              "heap KB", "own KB", "map lines", "map bytes", "nonfinite", "restarts", "replays",
              "result");
  bool ok = true;
  for (const Report& r : reports) {
    std::string result = "ok";
    if (!r.ran || r.exitCode != 0) result = "runner exit " + std::to_string(r.exitCode);
    if (r.replaysVerified != r.replays) result = "REPLAY MISMATCH";
    if (r.nonFiniteFrames > 0) result = "NON-FINITE";
    const long long growth = Growth(r.minuteKb);
    const long long trend = Trend(r.minuteKb);
    const long long fitted = Fitted(r.minuteKb);
    const long long heapFitted = Fitted(r.minuteHeapKb), ownFitted = Fitted(r.minuteOwnKb);
    const bool counted = !r.minuteOwnKb.empty() && r.minuteOwnKb.front() >= 0;
    const bool grew =
        opt.minutes > 1.0 && (fitted >= kGrowthLimitKb || ownFitted >= kGrowthLimitKb);
    if (grew && result == "ok") result = "memory grew";
    if (result != "ok" && !(result == "memory grew" && !opt.checkMemory)) ok = false;
    const std::string lines = std::to_string(r.levelLines) + "->" + std::to_string(r.maxLines);
    const std::string bytes = std::to_string(r.levelBytes) + "->" + std::to_string(r.maxBytes);
    const std::string replays = std::to_string(r.replaysVerified) + "/" + std::to_string(r.replays);
    const std::string own = counted ? std::to_string(ownFitted) : "-";
    std::printf(
        "%-28s %8lld %7.1f %8.1f %8.1f %9lld %8lld %9lld %7lld %6s %11s %13s %9lld %4d+%-3d %7s "
        "%s\n",
        r.level.c_str(), r.frames, r.simulatedS / 60.0, r.wallS, r.peakKb / 1024.0, growth, trend,
        fitted, heapFitted, own.c_str(), lines.c_str(), bytes.c_str(), r.nonFiniteFrames,
        r.restarts, r.reentries, replays.c_str(), result.c_str());
    if (!r.replayErrors.empty()) std::printf("  replays: %s", r.replayErrors.c_str());
    if (!r.errors.empty() && r.exitCode != 0) std::printf("  stderr: %s\n", r.errors.c_str());
    if (r.nonFiniteFrames > 0) std::printf("  first: %s\n", r.firstNonFinite.c_str());
    if (opt.eachMinute) {
      for (size_t m = 0; m < r.minuteKb.size(); ++m) {
        std::printf("  minute %zu: resident %lld KB, heap %lld KB, own %lld KB\n", m + 1,
                    r.minuteKb[m], r.minuteHeapKb[m], r.minuteOwnKb[m]);
      }
    }
  }
  std::printf("restarts: tries of the Y key + returns through the menu\n");
  std::printf(
      "memory is read six times a simulated minute; a minute's value is its least\n"
      "reading; the first minute sets up what a session needs once. growth: the\n"
      "last minute against the second; trend: median of the last five minutes\n"
      "against the five after the first; fitted: the rise of the least-squares\n"
      "line through every minute from the second to the last (judged by\n"
      "--check-memory: under 1024 KB); heap: the same of the heap's live blocks;\n"
      "own: the same of what the game's own code holds (its new and delete; also\n"
      "judged)\n");
  std::printf("replays: verified / written (last run, best run)\n");
  return ok ? 0 : 1;
}
