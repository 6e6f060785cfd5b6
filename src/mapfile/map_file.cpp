// Map files: the platform reads the lines, the map text takes them.
#include "mapfile/map_file.h"

#include "platform/platform.h"

void LoadMap(MapText& map, const std::string& path) {
  SetMapLines(map, plat::ReadTextLines(plat::ResolvePath(path)));
}
