// Map files: the platform reads the lines within the map's bounds, the map
// text takes them.
#include "mapfile/map_file.h"

#include <utility>
#include <vector>

#include "platform/platform.h"

namespace {

plat::TextLimits MapLimits() {
  plat::TextLimits limits;
  limits.maxBytes = kMaxMapBytes;
  limits.maxLines = kMaxMapLines;
  limits.maxLineBytes = kMaxMapLineBytes;
  return limits;
}

}  // namespace

void LoadMap(MapText& map, const std::string& path) {
  std::vector<std::string> lines;
  plat::ReadTextLines(path, MapLimits(), lines);
  SetMapLines(map, std::move(lines));
}

void SetMapText(MapText& map, const std::string& text) {
  SetMapLines(map, plat::SplitTextLines(text, MapLimits()));
}
