// The player's own folders beyond the data folder's game paths, and the
// few file operations the world records' outbox needs beside those of
// platform.h.
#pragma once

#include <string>

namespace plat {

// The player's config folder: $XDG_CONFIG_HOME/zirpel (default
// ~/.config/zirpel); "" without a home.
std::string PlayerConfigFolder();
// Makes a host folder and the folders above it (0700, as the player's
// folders are). True when it is a folder afterwards.
bool MakeFolder(const std::string& path);
// Removes a file (a game path or a host path). True when it is gone,
// also when it was never there.
bool RemoveFile(const std::string& path);

}  // namespace plat
