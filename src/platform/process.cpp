// The process around the game: warnings on standard error and the signals
// that ask it to end.
#include <errno.h>
#include <malloc.h>
#include <signal.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace plat {
namespace {

volatile std::sig_atomic_t gEndSignal = 0;

// Only a note: the game ends at its next frame boundary, never inside a
// file write or a GL call.
void NoteEndSignal(int signal) {
  gEndSignal = signal;
}

}  // namespace

void ConsoleWarning(const std::string& line) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, line.c_str());
  std::fflush(stderr);
}

void CatchEndSignals() {
  struct sigaction action = {};
  action.sa_handler = NoteEndSignal;
  sigemptyset(&action.sa_mask);
  // Interrupted reads, writes and sleeps go on where they were.
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

int PendingEndSignal() {
  return gEndSignal;
}

void ReleaseFreeMemory() {
  ::malloc_trim(0);
}

}  // namespace plat
