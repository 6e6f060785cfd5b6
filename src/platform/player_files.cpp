#include "platform/player_files.h"

#include <unistd.h>

#include <cerrno>

#include "platform/host_paths.h"
#include "platform/platform.h"

namespace plat {

std::string PlayerConfigFolder() {
  const PlaceInputs in = PlaceInputsFromProcess();
  if (!in.configHome.empty() && in.configHome[0] == '/') return in.configHome + "/zirpel";
  if (!in.home.empty() && in.home[0] == '/') return in.home + "/.config/zirpel";
  return std::string();
}

bool MakeFolder(const std::string& path) {
  return !path.empty() && host::MakeFolders(path);
}

bool RemoveFile(const std::string& path) {
  const std::string host = ResolvePath(path);
  return ::unlink(host.c_str()) == 0 || errno == ENOENT;
}

}  // namespace plat
