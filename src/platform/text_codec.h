// Text between the host's UTF-8 and the game's Windows-1252 bytes.
#pragma once

#include <string>

namespace plat {

// UTF-8 text as Windows-1252 bytes; characters the code page lacks are
// dropped.
std::string Cp1252FromUtf8(const std::string& utf8);
// Windows-1252 bytes as UTF-8 text; bytes the code page lacks become U+FFFD.
std::string Utf8FromCp1252(const std::string& bytes);
// The Unicode code point of a Windows-1252 byte (0 where the page has none).
unsigned UnicodeFromCp1252(unsigned char byte);

}  // namespace plat
