#include "records/verifier.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <thread>

extern char** environ;

namespace records {
namespace {

using Json = nlohmann::json;

// Text from the verifier shown to players: control characters dropped,
// cut at a sensible length.
std::string Clean(const std::string& text, std::size_t limit = 300) {
  std::string out;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) continue;
    out.push_back(c);
    if (out.size() >= limit) break;
  }
  return out;
}

bool StringField(const Json& j, const char* key, std::string& out) {
  const auto it = j.find(key);
  if (it == j.end() || !it->is_string()) return false;
  out = it->get<std::string>();
  return true;
}

bool IntField(const Json& j, const char* key, long long& out) {
  const auto it = j.find(key);
  if (it == j.end() || !it->is_number_integer()) return false;
  out = it->get<long long>();
  return true;
}

// A time as the leaderboard writes it: a plain decimal number (an exponent
// allowed), finite, not negative, below a day of a million seconds.
bool PlainTime(const std::string& text) {
  if (text.empty() || text.size() > 24) return false;
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == '-' || c == '+')) return false;
  }
  if (!(text[0] >= '0' && text[0] <= '9')) return false;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && std::isfinite(v) && v >= 0.0 && v < 1.0e6;
}

VerifierOutcome Refused(const std::string& reason) {
  VerifierOutcome o;
  o.verdict = Verdict::kRefused;
  o.reason = reason;
  o.line = "refused: " + reason;
  return o;
}

VerifierOutcome Unavailable(const std::string& reason) {
  VerifierOutcome o;
  o.verdict = Verdict::kUnavailable;
  o.reason = reason;
  return o;
}

// Formats a number into buf without allocating (for the child before exec).
void PutNumber(char*& at, unsigned long v) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (n > 0) *at++ = digits[--n];
}

bool WriteProcFile(const char* path, const char* text, std::size_t length) {
  const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::write(fd, text, length) == static_cast<ssize_t>(length);
  ::close(fd);
  return ok;
}

// Keeps this process off every network: a network namespace of its own
// (which needs privileges), else one inside a user namespace of its own
// (which an unprivileged user may make where the system allows). Only
// system calls: this runs between fork and exec.
int LeaveNetwork(const char* uidMap, std::size_t uidLen, const char* gidMap, std::size_t gidLen) {
  if (::unshare(CLONE_NEWNET) == 0) return 1;
  if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) == 0) {
    WriteProcFile("/proc/self/setgroups", "deny", 4);
    WriteProcFile("/proc/self/uid_map", uidMap, uidLen);
    WriteProcFile("/proc/self/gid_map", gidMap, gidLen);
    return 2;
  }
  return 0;
}

struct IdMaps {
  char uid[64];
  char gid[64];
  std::size_t uidLen = 0, gidLen = 0;
  IdMaps() {
    char* at = uid;
    PutNumber(at, ::getuid());
    *at++ = ' ';
    PutNumber(at, ::getuid());
    *at++ = ' ';
    *at++ = '1';
    uidLen = static_cast<std::size_t>(at - uid);
    at = gid;
    PutNumber(at, ::getgid());
    *at++ = ' ';
    PutNumber(at, ::getgid());
    *at++ = ' ';
    *at++ = '1';
    gidLen = static_cast<std::size_t>(at - gid);
  }
};

long long MonotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void KillChild(pid_t pid) {
  ::kill(-pid, SIGKILL);
  ::kill(pid, SIGKILL);
}

}  // namespace

VerifierOutcome JudgeVerifierOutput(const std::string& output, const std::string& file,
                                    const ChildEnd& end, const VerifierLimits& limits) {
  if (!end.started) return Unavailable("der Pruefer liess sich nicht starten");
  if (end.timedOut) {
    return Refused("die Pruefung dauerte laenger als " + std::to_string(limits.wallSeconds) + " s");
  }
  if (end.outputCut) return Refused("der Pruefer schrieb zu viel");
  if (!end.exited) {
    if (end.signal == SIGXCPU || (end.signal == SIGKILL && limits.cpuSeconds > 0)) {
      return Refused("die Pruefung brauchte mehr als " + std::to_string(limits.cpuSeconds) +
                     " s Rechenzeit");
    }
    return Refused("der Pruefer stuerzte ab (Signal " + std::to_string(end.signal) + ")");
  }
  if (end.code == 127 || end.code == 126) return Unavailable("der Pruefer fehlt");
  if (end.code == 2) return Unavailable("der Pruefer verstand seinen Aufruf nicht");
  if (end.code != 0 && end.code != 1) {
    return Refused("der Pruefer endete mit Code " + std::to_string(end.code));
  }
  // The object for our file: the first line that parses and names it.
  Json answer;
  std::size_t at = 0;
  while (at < output.size()) {
    std::size_t nl = output.find('\n', at);
    if (nl == std::string::npos) nl = output.size();
    Json j = Json::parse(output.begin() + static_cast<long>(at),
                         output.begin() + static_cast<long>(nl), nullptr, false);
    at = nl + 1;
    std::string name;
    if (!j.is_discarded() && j.is_object() && StringField(j, "file", name) && name == file) {
      answer = std::move(j);
      break;
    }
  }
  if (!answer.is_object()) return Refused("die Antwort des Pruefers ist unlesbar");
  VerifierOutcome o;
  std::string status;
  StringField(answer, "status", status);
  StringField(answer, "line", o.line);
  StringField(answer, "reason", o.reason);
  StringField(answer, "level", o.level);
  StringField(answer, "mode", o.mode);
  StringField(answer, "time", o.time);
  IntField(answer, "frames", o.frames);
  IntField(answer, "simulationVersion", o.simulationVersion);
  const auto won = answer.find("won");
  o.won = won != answer.end() && won->is_boolean() && won->get<bool>();
  o.line = Clean(o.line, 400);
  o.reason = Clean(o.reason);
  if (status == "mismatch" || status == "refused") {
    o.verdict = status == "mismatch" ? Verdict::kMismatch : Verdict::kRefused;
    if (o.reason.empty()) {
      o.reason = o.line.empty() ? std::string("ohne Grund") : o.line;
    }
    if (o.line.empty()) o.line = status + ": " + o.reason;
    return o;
  }
  if (status != "verified") return Refused("die Antwort des Pruefers ist unlesbar");
  // A verified run stands only when every field is there and fits.
  if (end.code != 0) return Refused("der Pruefer widerspricht sich (Code 1 bei verified)");
  if (o.level.empty() || o.level.size() > 255 || o.level.find('/') != std::string::npos ||
      (o.mode != "race" && o.mode != "survival") || !PlainTime(o.time) || o.frames <= 0 ||
      o.simulationVersion < 0 || answer.find("won") == answer.end()) {
    return Refused("die Antwort des Pruefers ist unvollstaendig");
  }
  if (o.mode == "race" && !o.won) return Refused("ein nicht gewonnenes Rennen ist kein Rekord");
  o.verdict = Verdict::kVerified;
  o.reason.clear();
  if (o.line.empty()) o.line = "verified";
  return o;
}

ChildEnd RunLimited(const std::string& program, const std::vector<std::string>& args,
                    const VerifierLimits& limits, std::string& output) {
  ChildEnd end;
  output.clear();
  // Everything the child needs is made before fork: between fork and exec
  // only system calls run (other threads may hold locks the child would
  // wait on forever).
  std::vector<std::string> argvText;
  argvText.push_back(program);
  for (const std::string& a : args) argvText.push_back(a);
  std::vector<char*> argv;
  for (std::string& a : argvText) argv.push_back(a.data());
  argv.push_back(nullptr);
  const IdMaps maps;
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    end.started = false;
    return end;
  }
  const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(out[0]);
    ::close(out[1]);
    if (devNull >= 0) ::close(devNull);
    end.started = false;
    return end;
  }
  if (pid == 0) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(126);
    sigset_t all;
    sigemptyset(&all);
    ::sigprocmask(SIG_SETMASK, &all, nullptr);
    for (int s = 1; s < NSIG; ++s) ::signal(s, SIG_DFL);
    LeaveNetwork(maps.uid, maps.uidLen, maps.gid, maps.gidLen);
    rlimit cpu{static_cast<rlim_t>(limits.cpuSeconds), static_cast<rlim_t>(limits.cpuSeconds + 1)};
    if (limits.cpuSeconds > 0) ::setrlimit(RLIMIT_CPU, &cpu);
    if (limits.memoryBytes > 0) {
      rlimit as{static_cast<rlim_t>(limits.memoryBytes), static_cast<rlim_t>(limits.memoryBytes)};
      ::setrlimit(RLIMIT_AS, &as);
    }
    rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    rlimit files{64, 64};
    ::setrlimit(RLIMIT_NOFILE, &files);
    if (devNull >= 0) {
      ::dup2(devNull, 0);
      ::dup2(devNull, 2);
    }
    ::dup2(out[1], 1);
    ::close_range(3, ~0U, 0);
    ::execve(argv[0], argv.data(), environ);
    ::_exit(127);
  }
  ::close(out[1]);
  if (devNull >= 0) ::close(devNull);
  const long long deadline = MonotonicMs() + static_cast<long long>(limits.wallSeconds) * 1000;
  bool reading = true;
  char buf[16384];
  while (reading) {
    const long long left = deadline - MonotonicMs();
    if (left <= 0) {
      end.timedOut = true;
      break;
    }
    pollfd p{out[0], POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 1000)));
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    const ssize_t n = ::read(out[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      reading = false;
      break;
    }
    output.append(buf, static_cast<std::size_t>(n));
    if (output.size() > limits.maxOutputBytes) {
      end.outputCut = true;
      break;
    }
  }
  ::close(out[0]);
  if (end.timedOut || end.outputCut) KillChild(pid);
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) break;
    if (MonotonicMs() >= deadline && !end.timedOut) {
      // It closed its output but goes on running.
      end.timedOut = true;
      KillChild(pid);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // Whatever it started in its group goes with it.
  ::kill(-pid, SIGKILL);
  if (WIFEXITED(status)) {
    end.exited = true;
    end.code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    end.signal = WTERMSIG(status);
  }
  return end;
}

VerifierOutcome RunVerifier(const std::string& verifier, const std::string& levelsDir,
                            const std::string& replayFile, const VerifierLimits& limits) {
  std::vector<std::string> args;
  if (!levelsDir.empty()) args = {"--levels", levelsDir};
  args.push_back("--json");
  args.push_back(replayFile);
  std::string output;
  const ChildEnd end = RunLimited(verifier, args, limits, output);
  return JudgeVerifierOutput(output, replayFile, end, limits);
}

std::string NetworkIsolation() {
  const IdMaps maps;
  const pid_t pid = ::fork();
  if (pid < 0) return "nicht moeglich (fork)";
  if (pid == 0) {
    ::_exit(LeaveNetwork(maps.uid, maps.uidLen, maps.gid, maps.gidLen));
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  const int how = WIFEXITED(status) ? WEXITSTATUS(status) : 0;
  if (how == 1) return "eigener Netz-Namensraum";
  if (how == 2) return "eigener Benutzer- und Netz-Namensraum";
  return "nicht moeglich (das System erlaubt keinen eigenen Netz-Namensraum)";
}

}  // namespace records
