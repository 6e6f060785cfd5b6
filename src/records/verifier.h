// The verifier as a child process: zirpel-verify [--levels DIR] --json FILE
// run with limits (processor seconds, memory, wall time, output) and, where
// the system allows, without network (its own network namespace). What it
// printed and how it ended become one outcome; a verifier that crashes,
// loops, floods or answers nonsense refuses the run, never the server.
#pragma once

#include <string>
#include <vector>

namespace records {

struct VerifierLimits {
  int cpuSeconds = 5;
  long long memoryBytes = 256LL << 20;  // address space; 0 for no limit
  int wallSeconds = 20;                 // killed after this long, whatever it does
  std::size_t maxOutputBytes = 64 * 1024;
};

enum class Verdict {
  kVerified,
  kRefused,
  kMismatch,
  kUnavailable,  // the verifier could not be run: the server's fault, not the run's
};

struct VerifierOutcome {
  Verdict verdict = Verdict::kRefused;
  std::string reason;  // refused, mismatch, unavailable
  std::string line;    // the verifier's line (after "FILE: ")
  std::string level;
  std::string mode;  // "race" or "survival"
  std::string time;  // the proven time as the leaderboard writes it
  bool won = false;
  long long frames = 0;
  long long simulationVersion = 0;
};

// How a child ended.
struct ChildEnd {
  bool started = true;  // false: fork or exec failed
  bool exited = false;  // exited (code) rather than killed (signal)
  int code = 0;
  int signal = 0;
  bool timedOut = false;   // killed at the wall-clock limit
  bool outputCut = false;  // killed for printing more than the limit
};

// Judges the verifier's JSON output (one object a line) for file, and how
// it ended. A "verified" stands only with exit code 0 and every field a
// board needs, in range; a race must have been won.
VerifierOutcome JudgeVerifierOutput(const std::string& output, const std::string& file,
                                    const ChildEnd& end, const VerifierLimits& limits);

// Runs the verifier on one replay file and judges what it said.
VerifierOutcome RunVerifier(const std::string& verifier, const std::string& levelsDir,
                            const std::string& replayFile, const VerifierLimits& limits);

// Runs a program with the verifier's limits; its standard output is
// returned (at most limits.maxOutputBytes).
ChildEnd RunLimited(const std::string& program, const std::vector<std::string>& args,
                    const VerifierLimits& limits, std::string& output);

// How the verifier is kept off the network here, for the start-up line:
// "eigener Netz-Namensraum", "eigener Benutzer- und Netz-Namensraum" or
// "nicht moeglich (...)".
std::string NetworkIsolation();

}  // namespace records
