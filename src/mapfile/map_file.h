// Map files: a level or the menu map read from a game path into map text.
#pragma once

#include <string>

#include "world/map.h"

// Where the levels and the menu map live, as a game path.
inline const std::string kMapFolder = "Res/maps/";
inline const std::string kMenuMapPath = kMapFolder + "Mainmenu.startmap";

// Reads the file into MapLines within the map text's bounds (kMaxMapBytes,
// kMaxMapLines, kMaxMapLineBytes); a missing or unreadable file (or a
// directory) gives an empty map.
void LoadMap(MapText& map, const std::string& path);
// Replaces the map with the lines of a file's text, as LoadMap would.
void SetMapText(MapText& map, const std::string& text);
