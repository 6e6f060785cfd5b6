#include "records/levels.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "digest/digest.h"

namespace records {
namespace {

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool EndsWith(const std::string& s, const char* tail) {
  const std::string t = tail;
  return s.size() > t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

bool ReadBounded(const std::string& path, std::string& bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bytes.clear();
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    bytes.append(buf, static_cast<std::size_t>(n));
    if (bytes.size() > kMaxLevelBytes) {
      ::close(fd);
      return false;
    }
  }
  ::close(fd);
  return true;
}

bool WriteWhole(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) {
      ::close(fd);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return ::close(fd) == 0;
}

}  // namespace

std::string ModeOfLevel(const std::string& fileName) {
  if (EndsWith(fileName, ".mapGame1")) return "race";
  if (EndsWith(fileName, ".mapGame2")) return "survival";
  return std::string();
}

const LevelFile* LevelSnapshot::Find(const std::string& name) const {
  const auto it =
      std::lower_bound(levels.begin(), levels.end(), name,
                       [](const LevelFile& l, const std::string& n) { return l.name < n; });
  return it != levels.end() && it->name == name ? &*it : nullptr;
}

LevelSnapshot::~LevelSnapshot() {
  if (folder.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

LevelLibrary::LevelLibrary(std::string dir, std::string work)
    : dir_(std::move(dir)), work_(std::move(work)) {}

std::vector<LevelLibrary::Seen> LevelLibrary::Look() const {
  std::vector<Seen> seen;
  DIR* d = ::opendir(dir_.c_str());
  if (!d) return seen;
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name.empty() || name[0] == '.' || ModeOfLevel(name).empty()) continue;
    struct stat st;
    if (::stat((dir_ + "/" + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (static_cast<std::size_t>(st.st_size) > kMaxLevelBytes) continue;
    seen.push_back({name, static_cast<long long>(st.st_size),
                    static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec,
                    static_cast<long long>(st.st_ino)});
    if (seen.size() >= kMaxLevels) break;
  }
  ::closedir(d);
  std::sort(seen.begin(), seen.end(), [](const Seen& a, const Seen& b) { return a.name < b.name; });
  return seen;
}

std::shared_ptr<const LevelSnapshot> LevelLibrary::Copy(const std::vector<Seen>& seen) {
  auto snap = std::make_shared<LevelSnapshot>();
  snap->generation = ++generation_;
  if (seen.empty()) return snap;
  snap->folder = work_ + "/levels-" + std::to_string(snap->generation);
  std::error_code ignored;
  std::filesystem::remove_all(snap->folder, ignored);
  if (::mkdir(snap->folder.c_str(), 0755) != 0) {
    snap->folder.clear();
    return snap;
  }
  for (const Seen& s : seen) {
    std::string bytes;
    if (!ReadBounded(dir_ + "/" + s.name, bytes)) continue;
    if (!WriteWhole(snap->folder + "/" + s.name, bytes)) continue;
    snap->levels.push_back({s.name, Sha256Hex(bytes), ModeOfLevel(s.name)});
  }
  return snap;
}

std::shared_ptr<const LevelSnapshot> LevelLibrary::Now() {
  std::lock_guard lock(mutex_);
  const long long now = NowMs();
  if (snapshot_ && now - lastLookMs_ < 1000) return snapshot_;
  lastLookMs_ = now;
  std::vector<Seen> seen = Look();
  if (snapshot_ && seen == seen_) return snapshot_;
  snapshot_ = Copy(seen);
  seen_ = std::move(seen);
  return snapshot_;
}

}  // namespace records
