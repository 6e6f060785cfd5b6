// zirpel-records: the world records server. Reads its command line, keeps
// its records in a Store, proves every submitted run with the verifier in a
// child process before it ranks it, serves the boards as JSON and as web
// pages, and writes one log line per request to standard error.
#pragma once

#include <string>
#include <vector>

#include "records/verifier.h"

namespace records {

constexpr std::size_t kMaxReplayBytes = 256 * 1024;

struct ServerOptions {
  std::string host = "127.0.0.1";
  int port = 8080;  // 0: any free port (the start-up line names it)
  std::string db = "records.sqlite";
  std::string levels;    // "" until defaulted: the game's installed levels
  std::string verifier;  // "" until defaulted: zirpel-verify beside the server
  int workers = 2;
  // More connections than verifications can wait: a submission beyond the
  // queue is told to come back (429) instead of waiting for a connection.
  int queue = 16;
  int threads = 64;
  std::string tlsCert, tlsKey;
  double rate = 1.0;          // proven submissions a second per address (0: no limit)
  double burst = 30;          // submissions an address may send at once
  double requestRate = 50.0;  // requests of any kind a second per address (0: no limit)
  VerifierLimits limits;
};

enum class OptionsResult { kRun, kHelp, kVersion, kError };

// Parses argv into options (defaults filled in from programDir, the
// server's own folder). kError comes with the message for standard error.
OptionsResult ParseServerOptions(const std::vector<std::string>& args,
                                 const std::string& programDir, ServerOptions& options,
                                 std::string& message);
std::string ServerUsage();

// Runs the server until SIGINT or SIGTERM; the process's exit code.
int RunServer(const ServerOptions& options, const std::string& version);

}  // namespace records
