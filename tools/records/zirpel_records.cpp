// zirpel-records: the world records server (see src/records/server.h and
// the README's "Ein Weltrekord-Server").
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "records/server.h"

namespace {

std::string ProgramFolder() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  const std::string path(buf, static_cast<std::size_t>(n));
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  records::ServerOptions options;
  std::string message;
  switch (records::ParseServerOptions(args, ProgramFolder(), options, message)) {
    case records::OptionsResult::kHelp:
      std::fputs(records::ServerUsage().c_str(), stdout);
      return 0;
    case records::OptionsResult::kVersion:
      std::printf("zirpel-records %s\n", ZIRPEL_VERSION);
      return 0;
    case records::OptionsResult::kError:
      std::fprintf(stderr, "%s\n", message.c_str());
      return 2;
    case records::OptionsResult::kRun:
      break;
  }
  return records::RunServer(options, ZIRPEL_VERSION);
}
