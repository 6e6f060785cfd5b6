// Map files: a level or the menu map read from a game path into map text.
//
// Depends on: world (map text), platform (files).
#pragma once

#include <string>

#include "world/map.h"

// Reads the file into MapLines within the map text's bounds (kMaxMapBytes,
// kMaxMapLines, kMaxMapLineBytes); a missing or unreadable file (or a
// directory) gives an empty map.
void LoadMap(MapText& map, const std::string& path);
// Replaces the map with the lines of a file's text, as LoadMap would.
void SetMapText(MapText& map, const std::string& text);
