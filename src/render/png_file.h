// Texture files: a PNG file at a game path decoded into pixels.
#pragma once

#include <string>

#include "image/png.h"

// Reads the file at a game path (resolved with plat::ResolvePath, so "res"
// and "Res" are the same directory) and decodes it like DecodePngMemory.
// A missing, empty, unreadable or oversized file gives an empty image.
PngImage DecodePngFile(const std::string& path, int layout, std::string* reason = nullptr,
                       PngHeader* header = nullptr);
