// Where the game's files are: the data folder found at start-up, the
// player's own folders, and the game paths under "Res/" that lead there.
#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/host_paths.h"
#include "platform/platform.h"

namespace plat {
namespace {

struct Places {
  bool set = false;
  // The data folder, either as the folder that holds "res" (game paths keep
  // their own "Res"/"res" component below it, so the two spellings stay one
  // folder as they always were) or as the data folder itself (share/zirpel).
  std::string resParent;
  bool keepsResName = true;
  std::string folder;        // the data folder itself, for messages
  bool portable = true;      // the player's files stay in the data folder
  std::string playerFolder;  // $XDG_DATA_HOME/zirpel ("" without a home)
  std::string configFile;    // $XDG_CONFIG_HOME/zirpel/settings.ini
  std::string levelsFolder;  // proving replays: the only place of "Res/maps/"
};

Places& P() {
  static Places places;
  return places;
}

// The one file the game writes: it follows the player, not the data.
constexpr const char* kPlayerFiles[] = {"Leaderboard.dat"};

bool SameNoCase(const std::string& a, const char* b) {
  const std::string other = b;
  return a.size() == other.size() &&
         std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string Normal(const std::string& path) {
  std::string out = std::filesystem::path(path).lexically_normal().string();
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

std::string Join(const std::string& dir, const std::string& rest) {
  if (dir.empty()) return rest;
  if (rest.empty()) return dir;
  return dir.back() == '/' ? dir + rest : dir + "/" + rest;
}

// An XDG base folder: the variable when it holds an absolute path (the
// standard says to ignore relative ones), else the default under home.
std::string XdgFolder(const std::string& value, const std::string& home, const char* fallback) {
  if (!value.empty() && value[0] == '/') return Normal(value);
  if (!home.empty() && home[0] == '/') return Normal(Join(home, fallback));
  return std::string();
}

// Whether the permission bits let us write, as they would for anyone but
// root: root writes everywhere, yet a tree made read-only (chmod a-w) is an
// installed copy all the same.
bool WritableByBits(const std::string& dir) {
  struct stat st;
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  if (::access(dir.c_str(), W_OK) != 0) return false;  // not ours, or a read-only mount
  mode_t bit = S_IWOTH;
  if (st.st_uid == ::geteuid()) {
    bit = S_IWUSR;
  } else {
    gid_t groups[NGROUPS_MAX];
    const int n = ::getgroups(NGROUPS_MAX, groups);
    bool member = st.st_gid == ::getegid();
    for (int i = 0; i < n && !member; ++i) member = groups[i] == st.st_gid;
    if (member) bit = S_IWGRP;
  }
  return (st.st_mode & bit) != 0;
}

// A data folder holds a gfx folder with at least one PNG picture.
bool HoldsPictures(const std::string& gfx) {
  if (!host::IsDirectory(gfx)) return false;
  const std::string pattern = Join(gfx, "*.png");
  return !ListFiles(pattern).empty();
}

struct Candidate {
  std::string resParent;  // for a res/ folder
  bool keepsResName;
  std::string folder;  // as shown to the player
};

// The game path split after its first component, when that is "Res" (any
// case); false for every other path.
bool SplitRes(const std::string& gamePath, std::string& first, std::string& rest) {
  const size_t slash = gamePath.find('/');
  first = gamePath.substr(0, slash);
  rest = slash == std::string::npos ? std::string() : gamePath.substr(slash + 1);
  while (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
  return SameNoCase(first, "res");
}

// The data folder's host path for a game path under Res/.
std::string DataHost(const std::string& first, const std::string& rest) {
  const Places& p = P();
  if (p.keepsResName) return Join(p.resParent, rest.empty() ? first : first + "/" + rest);
  return Join(p.folder, rest);
}

}  // namespace

namespace host {

HostCandidates CandidatesFor(const std::string& gamePath) {
  HostCandidates c;
  const Places& p = P();
  std::string first, rest;
  if (!p.set || !SplitRes(gamePath, first, rest)) return c;
  if (!p.levelsFolder.empty()) {
    const size_t slash = rest.find('/');
    if (SameNoCase(rest.substr(0, slash), "maps") && slash != std::string::npos) {
      c.paths.push_back(Join(p.levelsFolder, rest.substr(slash + 1)));
    }
    return c;
  }
  for (const char* name : kPlayerFiles) {
    if (!SameNoCase(rest, name) || p.portable) continue;
    if (!p.playerFolder.empty()) {
      c.paths.push_back(Join(p.playerFolder, rest));
      c.inPlayerFolder = true;
    } else {
      c.paths.push_back(DataHost(first, rest));  // no home: the write will say why it failed
    }
    return c;
  }
  const size_t slash = rest.find('/');
  const std::string top = rest.substr(0, slash);
  // Replays follow the player like the best times they prove.
  if (SameNoCase(top, "Replays") && !p.portable) {
    c.paths.push_back(p.playerFolder.empty() ? DataHost(first, rest) : Join(p.playerFolder, rest));
    c.inPlayerFolder = !p.playerFolder.empty();
    return c;
  }
  if (SameNoCase(top, "maps") && !p.playerFolder.empty()) {
    const std::string below = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
    c.paths.push_back(Join(Join(p.playerFolder, "maps"), below));
  }
  c.paths.push_back(DataHost(first, rest));
  return c;
}

}  // namespace host

std::string ProgramDir() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

PlaceInputs PlaceInputsFromProcess() {
  PlaceInputs in;
  char cwd[PATH_MAX];
  in.workingDir = ::getcwd(cwd, sizeof cwd) ? cwd : ".";
  in.programDir = ProgramDir();
  auto env = [](const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
  };
  in.dataDirEnv = env("ZIRPEL_DATA_DIR");
  in.dataHome = env("XDG_DATA_HOME");
  in.configHome = env("XDG_CONFIG_HOME");
  in.home = env("HOME");
  if (in.home.empty()) {
    if (const passwd* pw = ::getpwuid(::getuid())) in.home = pw->pw_dir ? pw->pw_dir : "";
  }
  return in;
}

bool FindPlaces(const PlaceInputs& in, std::vector<std::string>& tried) {
  ForgetPlaces();
  tried.clear();
  std::vector<Candidate> candidates;
  candidates.push_back({in.workingDir, true, Join(in.workingDir, "res")});
  if (Normal(in.programDir) != Normal(in.workingDir)) {
    candidates.push_back({in.programDir, true, Join(in.programDir, "res")});
  }
  candidates.push_back({"", false, Normal(Join(in.programDir, "../share/zirpel"))});
  const bool envSet = !in.dataDirEnv.empty();
  if (envSet) {
    const std::string dir =
        in.dataDirEnv[0] == '/' ? in.dataDirEnv : Join(in.workingDir, in.dataDirEnv);
    candidates.push_back({"", false, Normal(dir)});
  }

  for (const Candidate& cand : candidates) {
    tried.push_back(cand.folder);
    const std::string gfx = cand.keepsResName ? host::WalkNoCase(Join(cand.resParent, "res/gfx"))
                                              : host::WalkNoCase(Join(cand.folder, "gfx"));
    if (!HoldsPictures(gfx)) continue;
    Places& p = P();
    p.resParent = cand.resParent;
    p.keepsResName = cand.keepsResName;
    p.folder = cand.keepsResName ? host::WalkNoCase(Join(cand.resParent, "res")) : cand.folder;
    p.playerFolder = XdgFolder(in.dataHome, in.home, ".local/share");
    if (!p.playerFolder.empty()) p.playerFolder = Join(p.playerFolder, "zirpel");
    const std::string config = XdgFolder(in.configHome, in.home, ".config");
    p.configFile = config.empty() ? std::string() : Join(config, "zirpel/settings.ini");
    // The player's files stay beside the data (a portable copy) when
    // it may write there: the folder that holds the leaderboard.
    const std::string boardDir =
        cand.keepsResName ? host::WalkNoCase(Join(cand.resParent, "Res")) : cand.folder;
    p.portable = WritableByBits(boardDir);
    p.set = true;
    return true;
  }
  if (!envSet) tried.push_back("ZIRPEL_DATA_DIR (nicht gesetzt)");
  return false;
}

void ForgetPlaces() {
  P() = Places();
}

void UseLevelsFolder(const std::string& dir) {
  ForgetPlaces();
  Places& p = P();
  p.set = true;
  p.levelsFolder = dir.empty() ? "." : dir;
  p.folder = p.levelsFolder;
}

std::string PlayerLevelPath(const std::string& fileName) {
  const Places& p = P();
  if (!p.set) return std::string();
  std::string folder = p.levelsFolder;
  if (folder.empty()) {
    if (p.playerFolder.empty()) return std::string();
    folder = Join(p.playerFolder, "maps");
  }
  if (!host::MakeFolders(folder)) return std::string();
  return Join(host::WalkNoCase(folder), fileName);
}

bool IsPlayerLevel(const std::string& fileName) {
  const Places& p = P();
  if (!p.set || !p.levelsFolder.empty() || p.playerFolder.empty()) return false;
  return host::IsRegularFile(host::WalkNoCase(Join(Join(p.playerFolder, "maps"), fileName)));
}

std::string DataFolder() {
  return P().set ? P().folder : std::string();
}

bool PlayerFilesInDataFolder() {
  return !P().set || P().portable;
}

std::string SettingsFile() {
  const Places& p = P();
  if (p.set && !p.configFile.empty() && host::IsRegularFile(p.configFile)) return p.configFile;
  return ResolvePath("Res/settings.ini");
}

}  // namespace plat
