// What the tools and the tests around the runner share: a file read whole,
// as it is, and a forked child turned into another program.
#pragma once

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tooling {

// The file's bytes; "" when it cannot be read.
inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Runs args[0] with args in place of this process; exit code 127 when it
// cannot be started.
[[noreturn]] inline void ExecArgs(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  ::execv(argv[0], argv.data());
  ::_exit(127);
}

}  // namespace tooling
