// Files, directory listing, console and random numbers: the host side of
// the game's file vocabulary ("Res/maps/x", "res/gfx/y.png").
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/host_paths.h"
#include "platform/platform.h"

namespace plat {
namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

int CompareNoCase(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const int ca = std::tolower(static_cast<unsigned char>(a[i]));
    const int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

// The entry of dir whose name equals name without regard to case; the
// smallest such name when several differ only in case; "" when none.
std::string FindNoCase(const std::string& dir, const std::string& name) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return std::string();
  std::string best;
  while (dirent* e = ::readdir(d)) {
    const std::string entry = e->d_name;
    if (EqualNoCase(entry, name) && (best.empty() || entry < best)) best = entry;
  }
  ::closedir(d);
  return best;
}

// What a failed write means for the player, in German; the system's own
// words for the rarer cases.
std::string WriteFailure(const std::string& path, int error) {
  const char* why = nullptr;
  switch (error) {
    case EACCES:
    case EPERM:
      why = "keine Schreibrechte";
      break;
    case EROFS:
      why = "das Dateisystem ist schreibgeschuetzt";
      break;
    case ENOSPC:
    case EDQUOT:
      why = "kein Platz mehr";
      break;
    case ENOENT:
    case ENOTDIR:
      why = "der Ordner fehlt";
      break;
    case EISDIR:
      why = "dort liegt ein Ordner";
      break;
    default:
      break;
  }
  return path + ": " + (why ? why : std::strerror(error));
}

std::mt19937_64& Generator() {
  static std::mt19937_64 gen(12345u);
  return gen;
}

}  // namespace

namespace host {

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WalkNoCase(const std::string& path) {
  if (path.empty() || Exists(path)) return path;
  // Walk the components, keeping each that exists and matching the others
  // without regard to case ("res" and "Res" are the same directory).
  std::string out;
  size_t pos = 0;
  if (path[0] == '/') {
    out = "/";
    pos = 1;
  }
  while (pos <= path.size()) {
    size_t next = path.find('/', pos);
    if (next == std::string::npos) next = path.size();
    const std::string part = path.substr(pos, next - pos);
    if (!part.empty()) {
      std::string candidate = out.empty() || out.back() == '/' ? out + part : out + "/" + part;
      if (!Exists(candidate) && part != "." && part != "..") {
        const std::string dir = out.empty() ? std::string(".") : out;
        const std::string found = FindNoCase(dir, part);
        if (!found.empty())
          candidate = out.empty() || out.back() == '/' ? out + found : out + "/" + found;
      }
      out = candidate;
    }
    pos = next + 1;
  }
  return out;
}

bool MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    ::mkdir(path.substr(0, slash).c_str(), 0700);
  }
  ::mkdir(path.c_str(), 0700);
  return IsDirectory(path);
}

}  // namespace host

std::string ResolvePath(const std::string& gamePath) {
  std::string path = gamePath;
  std::replace(path.begin(), path.end(), '\\', '/');
  const host::HostCandidates c = host::CandidatesFor(path);
  if (c.paths.empty()) return host::WalkNoCase(path);
  // A player's level takes the place of the shipped one of the same name.
  for (size_t i = 0; i + 1 < c.paths.size(); ++i) {
    const std::string found = host::WalkNoCase(c.paths[i]);
    if (host::IsRegularFile(found)) return found;
  }
  return host::WalkNoCase(c.paths.back());
}

bool IsFile(const std::string& gamePath) {
  return host::IsRegularFile(ResolvePath(gamePath));
}

std::vector<std::string> SplitTextLines(const std::string& text, const TextLimits& limits,
                                        bool* cut) {
  std::vector<std::string> lines;
  // Bytes past maxBytes are left out, as a file's are when it is read.
  bool wasCut = text.size() > limits.maxBytes;
  const size_t size = wasCut ? limits.maxBytes : text.size();
  size_t start = 0;
  while (start < size) {
    if (lines.size() >= limits.maxLines) {
      wasCut = true;
      break;
    }
    size_t end = text.find('\n', start);
    if (end == std::string::npos || end > size) end = size;
    size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    if (stop - start > limits.maxLineBytes) {
      stop = start + limits.maxLineBytes;
      wasCut = true;
    }
    lines.emplace_back(text, start, stop - start);
    start = end + 1;
  }
  if (cut) *cut = wasCut;
  return lines;
}

TextRead ReadTextLines(const std::string& gamePath, const TextLimits& limits,
                       std::vector<std::string>& lines) {
  lines.clear();
  const std::string path = ResolvePath(gamePath);
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? TextRead::kMissing : TextRead::kUnreadable;
  }
  if (S_ISDIR(st.st_mode)) return TextRead::kMissing;
  if (!S_ISREG(st.st_mode)) return TextRead::kUnreadable;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return TextRead::kUnreadable;
  std::string text;
  char buf[65536];
  bool failed = false;
  while (text.size() < limits.maxBytes) {
    const size_t want = std::min(sizeof buf, limits.maxBytes - text.size());
    const size_t n = std::fread(buf, 1, want, f);
    text.append(buf, n);
    if (n < want) {
      failed = std::ferror(f) != 0;
      break;
    }
  }
  // Reaching the limit cuts the file only when something is left after it.
  bool cut = text.size() >= limits.maxBytes && std::fgetc(f) != EOF;
  std::fclose(f);
  if (failed) return TextRead::kUnreadable;
  bool linesCut = false;
  lines = SplitTextLines(text, limits, &linesCut);
  cut = cut || linesCut;
  return cut ? TextRead::kCut : TextRead::kWhole;
}

std::vector<std::string> ReadTextLines(const std::string& gamePath) {
  std::vector<std::string> lines;
  ReadTextLines(gamePath, TextLimits{}, lines);
  return lines;
}

int CountCommaItems(const std::string& gamePath) {
  int count = 0;
  for (const std::string& line : ReadTextLines(gamePath)) {
    count += 1 + static_cast<int>(std::count(line.begin(), line.end(), ','));
  }
  return count;
}

bool WriteFileAtomically(const std::string& gamePath, const std::string& text,
                         std::string* reason) {
  std::string slashed = gamePath;
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  const host::HostCandidates c = host::CandidatesFor(slashed);
  const std::string path = host::WalkNoCase(c.paths.empty() ? slashed : c.paths.back());
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  // The player's folder, and the replays' folder, are made when the first
  // file goes into them.
  const bool replay = slashed.size() > 12 && EqualNoCase(slashed.substr(0, 12), "Res/Replays/");
  if ((c.inPlayerFolder || replay) && slash != std::string::npos) {
    host::MakeFolders(path.substr(0, slash));
  }
  const std::string temp = path + ".tmp";
  auto fail = [&](int error) {
    if (reason != nullptr) *reason = WriteFailure(path, error);
    return false;
  };
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return fail(errno);
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t w = ::write(fd, text.data() + done, text.size() - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      return fail(error);
    }
    done += static_cast<size_t>(w);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    return fail(error);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    return fail(error);
  }
  // Make the rename itself durable.
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

std::vector<std::string> ListFiles(const std::string& pattern) {
  std::vector<std::string> names;
  std::string p = pattern;
  std::replace(p.begin(), p.end(), '\\', '/');
  const size_t slash = p.rfind('/');
  const std::string dirPart = slash == std::string::npos ? std::string() : p.substr(0, slash);
  const std::string filePattern = slash == std::string::npos ? p : p.substr(slash + 1);
  host::HostCandidates c = host::CandidatesFor(dirPart);
  if (c.paths.empty()) c.paths.push_back(dirPart);
  // Several folders (the player's levels and the shipped ones) give one
  // list; a name the player's folder has hides the same name further down.
  for (const std::string& folder : c.paths) {
    const std::string dir = folder.empty() ? std::string(".") : host::WalkNoCase(folder);
    DIR* d = ::opendir(dir.c_str());
    if (!d) continue;
    const size_t before = names.size();
    while (dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name.empty() || name[0] == '.') continue;  // hidden files and . ..
      if (::fnmatch(filePattern.c_str(), name.c_str(), FNM_CASEFOLD) != 0) continue;
      if (!host::IsRegularFile(dir + "/" + name)) continue;
      const auto hidden = std::find_if(names.begin(), names.begin() + static_cast<long>(before),
                                       [&](const std::string& n) { return EqualNoCase(n, name); });
      if (hidden == names.begin() + static_cast<long>(before)) names.push_back(name);
    }
    ::closedir(d);
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const int c = CompareNoCase(a, b);
    return c != 0 ? c < 0 : a < b;
  });
  return names;
}

void ConsoleClear() {
  // The console is cleared only when it is a terminal: escape codes would
  // only clutter a log.
  if (::isatty(STDOUT_FILENO)) std::fputs("\x1b[2J\x1b[H", stdout);
}

void ConsoleLine(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void ConsoleText(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

void SeedRandom(double seed) {
  std::uint64_t bits;
  std::memcpy(&bits, &seed, sizeof bits);
  Generator().seed(bits);
}

double Random() {
  // 53 random bits give a uniform value in [0, 1).
  return static_cast<double>(Generator()() >> 11) * (1.0 / 9007199254740992.0);
}

std::string RandomState() {
  std::ostringstream out;
  out << Generator();
  return out.str();
}

bool SetRandomState(const std::string& state) {
  std::istringstream in(state);
  std::mt19937_64 gen;
  in >> gen;
  if (in.fail()) return false;
  Generator() = gen;
  return true;
}

bool ReadFileBytes(const std::string& gamePath, std::size_t maxBytes, std::string& bytes,
                   std::string& why) {
  bytes.clear();
  const std::string path = ResolvePath(gamePath);
  if (!host::IsRegularFile(path)) {
    why = path + ": keine Datei";
    return false;
  }
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    why = path + ": " + std::strerror(errno);
    return false;
  }
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    if (bytes.size() + n > maxBytes) {
      std::fclose(f);
      bytes.clear();
      why = path + ": zu gross";
      return false;
    }
    bytes.append(buf, n);
  }
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    why = path + ": Lesefehler";
    bytes.clear();
  }
  return !failed;
}

}  // namespace plat
