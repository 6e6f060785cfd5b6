// DecodePngFile: the whole file into memory, then the memory decoder.
#include "render/png_file.h"

#include <cstdint>
#include <fstream>
#include <vector>

#include "platform/platform.h"

PngImage DecodePngFile(const std::string& path, int layout, std::string* reason,
                       PngHeader* header) {
  auto refuse = [reason](const char* why) {
    if (reason != nullptr) *reason = why;
    return PngImage();
  };
  std::ifstream file(plat::ResolvePath(path), std::ios::binary);
  if (!file) return refuse("Datei laesst sich nicht oeffnen");
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  if (size <= 0) return refuse("Datei ist leer oder nicht lesbar");
  if (static_cast<std::uint64_t>(size) > kPngMaxFileBytes) return refuse("Datei zu gross");
  file.seekg(0, std::ios::beg);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  file.read(reinterpret_cast<char*>(bytes.data()), size);
  if (file.gcount() != size) return refuse("Datei laesst sich nicht ganz lesen");
  return DecodePngMemory(bytes.data(), bytes.size(), layout, reason, header);
}
