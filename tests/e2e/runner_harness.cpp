#include "e2e/runner_harness.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "image/png.h"
#include "render/png_file.h"
#include "tooling.h"

namespace fs = std::filesystem;

namespace e2e {
namespace {

using tooling::Slurp;

size_t SkipValue(const std::string& s, size_t i);

size_t SkipString(const std::string& s, size_t i) {
  ++i;  // opening quote
  while (i < s.size() && s[i] != '"') i += s[i] == '\\' ? 2 : 1;
  return i + 1;
}

size_t SkipValue(const std::string& s, size_t i) {
  if (i >= s.size()) return i;
  if (s[i] == '"') return SkipString(s, i);
  if (s[i] == '[' || s[i] == '{') {
    int depth = 0;
    while (i < s.size()) {
      if (s[i] == '"') {
        i = SkipString(s, i);
        continue;
      }
      if (s[i] == '[' || s[i] == '{') ++depth;
      if (s[i] == ']' || s[i] == '}') {
        if (--depth == 0) return i + 1;
      }
      ++i;
    }
    return i;
  }
  while (i < s.size() && s[i] != ',' && s[i] != '}' && s[i] != ']') ++i;
  return i;
}

// Fields of an object given as raw text "{...}".
std::map<std::string, std::string> Fields(const std::string& object) {
  std::map<std::string, std::string> out;
  size_t i = object.find('{');
  if (i == std::string::npos) return out;
  ++i;
  while (i < object.size() && object[i] != '}') {
    if (object[i] == ',') {
      ++i;
      continue;
    }
    const size_t keyEnd = SkipString(object, i);
    const std::string key = object.substr(i + 1, keyEnd - i - 2);
    i = keyEnd + 1;  // past ':'
    const size_t valueEnd = SkipValue(object, i);
    out[key] = object.substr(i, valueEnd - i);
    i = valueEnd;
  }
  return out;
}

}  // namespace

std::string ScratchRoot::DefaultSettings() {
  return "Display=640x400\r\nFullscreen=Disabled\r\nPlayIntro=Disabled\r\n"
         "Menu_DroppBalls=Enabled\r\nParticle=Enabled\r\nParticleNumber=35\r\n";
}

TempDir::TempDir(const std::string& prefix) {
  std::string templ = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
  const char* made = ::mkdtemp(templ.data());
  path_ = made ? made : templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  for (auto it = fs::recursive_directory_iterator(path_, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(path_, ec);
}

void TempDir::Write(const std::string& relative, const std::string& bytes) const {
  const fs::path file = fs::path(path_) / relative;
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

std::string ScratchRoot::SmallSettings(const std::string& extra) {
  return "Display=320x200\r\nFullscreen=Disabled\r\nPlayIntro=Disabled\r\n" + extra;
}

ScratchRoot::ScratchRoot(const std::string& settings) {
  std::string templ = (fs::temp_directory_path() / "zirpel-e2e-XXXXXX").string();
  char* made = ::mkdtemp(templ.data());
  path_ = made ? made : templ;
  fs::create_directories(path_ + "/Res/maps");
  fs::create_directories(path_ + "/res");
  fs::create_symlink(std::string(ZIRPEL_SOURCE_DIR) + "/res/gfx", path_ + "/res/gfx");
  const std::string menuMap = std::string(ZIRPEL_SOURCE_DIR) + "/res/maps/Mainmenu.startmap";
  if (fs::exists(menuMap)) fs::copy_file(menuMap, path_ + "/Res/maps/Mainmenu.startmap");
  Write("Res/settings.ini", settings);
}

ScratchRoot::~ScratchRoot() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void ScratchRoot::Write(const std::string& relative, const std::string& text) const {
  const fs::path p = fs::path(path_) / relative;
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string ScratchRoot::Read(const std::string& relative) const {
  return Slurp(File(relative));
}

bool ScratchRoot::Exists(const std::string& relative) const {
  return fs::exists(File(relative));
}

RunResult RunHeadless(const ScratchRoot& root, const std::string& script,
                      const std::vector<std::string>& extra, int timeoutS) {
  const std::string scriptFile = root.File("script.txt");
  {
    std::ofstream out(scriptFile, std::ios::binary | std::ios::trunc);
    out << script;
  }
  std::vector<std::string> args = extra;
  args.push_back(scriptFile);
  return RunHeadlessArgs(root, args, timeoutS);
}

RunResult RunHeadlessArgs(const ScratchRoot& root, const std::vector<std::string>& extra,
                          int timeoutS) {
  std::vector<std::string> args = {ZIRPEL_HEADLESS_BIN, "--root", root.path()};
  args.insert(args.end(), extra.begin(), extra.end());
  return RunProgram(root, args, timeoutS);
}

RunResult RunCommand(const std::string& commandLine) {
  RunResult run;
  FILE* pipe = ::popen((commandLine + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) run.output += buffer;
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

bool Crosses(double px, double py, double qx, double qy, const Segment& s) {
  const auto side = [](double ax, double ay, double bx, double by, double cx, double cy) {
    return (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
  };
  return side(s.ax, s.ay, s.bx, s.by, px, py) * side(s.ax, s.ay, s.bx, s.by, qx, qy) < 0.0 &&
         side(px, py, qx, qy, s.ax, s.ay) * side(px, py, qx, qy, s.bx, s.by) < 0.0;
}

RunResult RunProgram(const ScratchRoot& root, const std::vector<std::string>& args, int timeoutS) {
  RunResult result;
  const std::string outFile = root.File("stdout.txt");
  const std::string errFile = root.File("stderr.txt");
  const pid_t pid = ::fork();
  if (pid == 0) {
    // The player's folders of this root only: nothing of the developer's
    // own settings, levels or records reaches a test.
    ::setenv("XDG_DATA_HOME", root.File(kXdgData).c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", root.File(kXdgConfig).c_str(), 1);
    ::unsetenv("ZIRPEL_DATA_DIR");
    if (::chdir(root.path().c_str()) != 0) ::_exit(127);
    const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(err, 2);
    tooling::ExecArgs(args);
  }
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutS);
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.output = Slurp(outFile);
  result.errors = Slurp(errFile);
  return result;
}

Dump ParseDump(const std::string& line) {
  return Fields(line);
}

std::vector<Dump> ReadDumps(const std::string& file) {
  std::vector<Dump> dumps;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) dumps.push_back(ParseDump(line));
  }
  return dumps;
}

double Num(const Dump& d, const std::string& key) {
  const auto it = d.find(key);
  if (it == d.end()) return std::nan("");
  return std::strtod(it->second.c_str(), nullptr);
}

std::string Str(const Dump& d, const std::string& key) {
  const auto it = d.find(key);
  if (it == d.end() || it->second.size() < 2) return std::string();
  const std::string& raw = it->second;
  std::string out;
  for (size_t i = 1; i + 1 < raw.size(); ++i) {
    if (raw[i] != '\\') {
      out += raw[i];
      continue;
    }
    ++i;
    if (raw[i] == 'u' && i + 4 < raw.size()) {
      out += static_cast<char>(std::strtol(raw.substr(i + 1, 4).c_str(), nullptr, 16));
      i += 4;
    } else {
      out += raw[i];
    }
  }
  return out;
}

std::string Element(const Dump& d, const std::string& key, size_t index) {
  const auto it = d.find(key);
  if (it == d.end()) return std::string();
  const std::string& s = it->second;
  size_t i = 1;
  for (size_t n = 0; i < s.size() && s[i] != ']'; ++n) {
    const size_t end = SkipValue(s, i);
    if (n == index) return s.substr(i, end - i);
    i = end;
    if (i < s.size() && s[i] == ',') ++i;
  }
  return std::string();
}

double ObjNum(const std::string& object, const std::string& key) {
  const auto f = Fields(object);
  const auto it = f.find(key);
  return it == f.end() ? std::nan("") : std::strtod(it->second.c_str(), nullptr);
}

bool ReadShot(const std::string& file, int& width, int& height, std::vector<unsigned char>& rgba) {
  const PngImage image = DecodePngFile(file, kPngOpenGl);
  if (!image) return false;
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  const size_t row = static_cast<size_t>(width) * 4;
  rgba.assign(row * static_cast<size_t>(height), 0);
  for (int y = 0; y < height; ++y) {
    const unsigned char* src = image.data + row * static_cast<size_t>(height - 1 - y);
    std::copy(src, src + row, rgba.begin() + static_cast<ptrdiff_t>(row * static_cast<size_t>(y)));
  }
  return true;
}

}  // namespace e2e
