// The level files the server knows: every *.mapGame1 (race) and *.mapGame2
// (survival) in its levels folder, each named by its file name and the
// SHA-256 of its bytes. The verifier reads a private copy of one look at
// the folder (a snapshot), so the bytes a run was proven on are exactly the
// bytes whose hash its board carries, even while the folder changes.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace records {

constexpr std::size_t kMaxLevelBytes = std::size_t{1} << 20;
constexpr std::size_t kMaxLevels = 10000;

// "race" for a .mapGame1 file, "survival" for .mapGame2, "" for any other.
std::string ModeOfLevel(const std::string& fileName);

struct LevelFile {
  std::string name;  // "01 Erste Schritte.mapGame1"
  std::string sha256;
  std::string mode;
};

struct LevelSnapshot {
  int generation = 0;             // counts the looks that found the folder changed
  std::string folder;             // the copies ("" when there are no levels)
  std::vector<LevelFile> levels;  // sorted by name
  const LevelFile* Find(const std::string& name) const;
  ~LevelSnapshot();  // removes the copies
};

class LevelLibrary {
 public:
  // dir: the levels folder; work: a private folder for the copies.
  LevelLibrary(std::string dir, std::string work);
  // The levels as they are now: the folder is looked at again when the last
  // look is older than a second; a changed folder gives a new snapshot.
  std::shared_ptr<const LevelSnapshot> Now();
  const std::string& Folder() const { return dir_; }

 private:
  struct Seen {
    std::string name;
    long long size = 0, mtimeNs = 0, inode = 0;
    bool operator==(const Seen&) const = default;
  };
  std::vector<Seen> Look() const;
  std::shared_ptr<const LevelSnapshot> Copy(const std::vector<Seen>& seen);

  std::string dir_, work_;
  std::mutex mutex_;
  std::vector<Seen> seen_;
  std::shared_ptr<const LevelSnapshot> snapshot_;
  long long lastLookMs_ = -1000000;
  int generation_ = 0;
};

}  // namespace records
