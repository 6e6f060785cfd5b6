// Scratch files for the fuzz targets whose readers take a path: one folder
// per process, in memory where the system offers it (/dev/shm).
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace fuzz {

inline const std::string& ScratchDir() {
  static const std::string dir = [] {
    std::string base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string templ = base + "/zirpel-fuzz-XXXXXX";
    if (::mkdtemp(templ.data()) == nullptr) __builtin_trap();
    return templ;
  }();
  return dir;
}

inline void WriteFile(const std::string& path, const std::string& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) __builtin_trap();
  if (!data.empty() && std::fwrite(data.data(), 1, data.size(), f) != data.size()) __builtin_trap();
  std::fclose(f);
}

inline std::string ReadFile(const std::string& path) {
  std::string text;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return text;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
  std::fclose(f);
  return text;
}

}  // namespace fuzz
