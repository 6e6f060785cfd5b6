// Inside the platform layer only: host path helpers shared by files.cpp and
// places.cpp.
#pragma once

#include <string>
#include <vector>

namespace plat::host {

bool IsRegularFile(const std::string& path);
bool IsDirectory(const std::string& path);
// Each component of path that does not exist with its exact name is matched
// without regard to case ("res" and "Res" are the same directory).
std::string WalkNoCase(const std::string& path);
// Creates the missing folders of path (mode 0700, as the player's folders
// should be). Returns whether path is a folder afterwards.
bool MakeFolders(const std::string& path);

// The host files a game path (with '/' separators) may stand for, most
// important first: two for a level ("Res/maps/...": the player's, then the
// data folder's), one otherwise. Empty when the path is not under "Res/" or
// no places are set up: the path is then taken as it is.
struct HostCandidates {
  std::vector<std::string> paths;
  bool inPlayerFolder = false;  // the only candidate lies in the player's folder
};
HostCandidates CandidatesFor(const std::string& gamePath);

}  // namespace plat::host
