#include "platform/headless/script.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <utility>

#include "platform/gamepad.h"

namespace headless {
namespace {

// File names in commands are taken from where the runner was started.
std::string Absolute(const std::string& startDir, const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  return startDir + "/" + path;
}

bool ParseScancodeName(const std::string& name, long long& code) {
  static const std::pair<const char*, int> kNames[] = {
      {"LEFT", plat::kScanLeft},  {"RIGHT", plat::kScanRight}, {"SPACE", plat::kScanSpace},
      {"Y", plat::kScanY},        {"N", plat::kScanN},         {"ESC", plat::kScanEsc},
      {"ENTER", plat::kScanEnter}};
  for (const auto& [n, c] : kNames) {
    if (name == n) {
      code = c;
      return true;
    }
  }
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(name.c_str(), &end, 10);
  if (name.empty() || *end != '\0' || errno != 0 || v < 0 || v > 255) return false;
  code = v;
  return true;
}

// The key names of `key`, with the key strings they stand for: the
// extended keys, the pointer's wheel and the editor's keys.
const std::pair<const char*, const std::string*> kKeyNames[] = {
    {"ESC", &plat::kKeyEsc},
    {"ENTER", &plat::kKeyEnter},
    {"UP", &plat::kKeyUp},
    {"DOWN", &plat::kKeyDown},
    {"LEFT", &plat::kKeyLeft},
    {"RIGHT", &plat::kKeyRight},
    {"CLOSE", &plat::kKeyClose},
    {"WHEELUP", &plat::kKeyWheelUp},
    {"WHEELDOWN", &plat::kKeyWheelDown},
    {"DEL", &plat::kKeyDelete},
    {"F5", &plat::kKeyF5},
    {"ctrl+z", &plat::kKeyCtrlZ},
    {"ctrl+y", &plat::kKeyCtrlY},
    {"ctrl+s", &plat::kKeyCtrlS},
    {"BACKSPACE", &plat::kKeyBackspace}};

bool ParseKeyName(const std::string& name, std::string& key) {
  for (const auto& [n, k] : kKeyNames) {
    if (name == n) {
      key = *k;
      return true;
    }
  }
  if (name.size() == 1 && static_cast<unsigned char>(name[0]) >= 32 &&
      static_cast<unsigned char>(name[0]) < 127) {
    key = name;
    return true;
  }
  return false;
}

bool ParseWhole(const std::string& text, long long& out) {
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || v < 0) return false;
  out = v;
  return true;
}

// `drag X1 Y1 X2 Y2` (left button) and `rdrag` (right button): the button
// goes down at the first point, the pointer moves there in three frames
// with the button held, and the button comes up at the second point; each
// step is a pointer command and a frame. False when the line is no drag;
// error is set when it is a drag with wrong numbers.
bool ParseDrag(const std::string& raw, int lineNo, std::vector<Command>& out, std::string& error) {
  std::istringstream in(raw);
  std::string word;
  in >> word;
  if (word != "drag" && word != "rdrag") return false;
  std::vector<long long> v;
  for (std::string a; in >> a && a[0] != '#';) {
    char* end = nullptr;
    errno = 0;
    const long long n = std::strtoll(a.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || n < 0 || n > INT_MAX) {
      error = "bad drag position";
      return true;
    }
    v.push_back(n);
  }
  if (v.size() != 4) {
    error = "wrong number of arguments for " + word;
    return true;
  }
  const int button = word == "drag" ? 1 : 2;
  for (int step = 0; step <= 4; ++step) {
    const int t = step < 4 ? step : 3;
    Command move{};
    move.op = Op::kPointer;
    move.line = lineNo;
    move.pointer.x = static_cast<int>(v[0] + (v[2] - v[0]) * t / 3);
    move.pointer.y = static_cast<int>(v[1] + (v[3] - v[1]) * t / 3);
    move.pointer.buttons = step < 4 ? button : 0;
    out.push_back(move);
    Command frame{};
    frame.op = Op::kFrames;
    frame.line = lineNo;
    frame.count = 1;
    out.push_back(frame);
  }
  return true;
}

bool ParseLine(const std::string& raw, const std::string& startDir, int lineNo, Command& cmd,
               std::string& error) {
  std::istringstream in(raw);
  std::string word;
  in >> word;
  std::vector<std::string> args;
  for (std::string a; in >> a;) args.push_back(a);
  // A word starting with '#' begins a comment to the end of the line (the
  // one argument of `key` may itself be '#').
  for (size_t i = word == "key" ? 1 : 0; i < args.size(); ++i) {
    if (args[i][0] == '#') {
      args.resize(i);
      break;
    }
  }
  cmd.line = lineNo;
  auto want = [&](size_t lo, size_t hi) {
    if (args.size() < lo || args.size() > hi) {
      error = "wrong number of arguments for " + word;
      return false;
    }
    return true;
  };
  if (word == "frames") {
    cmd.op = Op::kFrames;
    if (!want(1, 1) || !ParseWhole(args[0], cmd.count))
      return error.empty() ? (error = "bad frame count", false) : false;
  } else if (word == "frame-ms") {
    cmd.op = Op::kFrameMs;
    if (!want(1, 1)) return false;
    char* end = nullptr;
    cmd.value = std::strtod(args[0].c_str(), &end);
    if (*end != '\0' || !(cmd.value > 0.0) || cmd.value > 1.0e7)
      return (error = "bad frame-ms", false);
  } else if (word == "until") {
    cmd.op = Op::kUntil;
    if (!want(1, 2)) return false;
    static const std::set<std::string> kScreens = {"intro",   "menu",    "levelselect",
                                                   "session", "credits", "editor"};
    if (!kScreens.count(args[0])) return (error = "unknown screen " + args[0], false);
    cmd.text = args[0];
    cmd.count = 100000;
    if (args.size() == 2 && !ParseWhole(args[1], cmd.count))
      return (error = "bad frame limit", false);
  } else if (word == "key") {
    cmd.op = Op::kKey;
    if (!want(1, 1) || !ParseKeyName(args[0], cmd.text))
      return error.empty() ? (error = "bad key name", false) : false;
  } else if (word == "hold" || word == "release" || word == "tap") {
    cmd.op = word == "hold" ? Op::kHold : word == "release" ? Op::kRelease : Op::kTap;
    if (!want(1, 1) || !ParseScancodeName(args[0], cmd.count))
      return error.empty() ? (error = "bad key", false) : false;
  } else if (word == "pause") {
    cmd.op = Op::kPause;
    if (!want(0, 0)) return false;
  } else if (word == "pointer") {
    cmd.op = Op::kPointer;
    if (args.size() == 1 && args[0] == "outside") {
      cmd.pointer = plat::Pointer();
    } else {
      long long v[3];
      if (!want(3, 3)) return false;
      for (int i = 0; i < 3; ++i) {
        char* end = nullptr;
        errno = 0;
        v[i] = std::strtoll(args[static_cast<size_t>(i)].c_str(), &end, 10);
        if (*end != '\0' || errno != 0 || v[i] < INT_MIN || v[i] > INT_MAX)
          return (error = "bad pointer value", false);
      }
      cmd.pointer.x = static_cast<int>(v[0]);
      cmd.pointer.y = static_cast<int>(v[1]);
      cmd.pointer.buttons = static_cast<int>(v[2]);
    }
  } else if (word == "memory") {
    cmd.op = Op::kMemory;
    if (!want(1, 1)) return false;
    cmd.text = Absolute(startDir, args[0]);
  } else if (word == "click") {
    cmd.op = Op::kClick;
    if (!want(2, 2)) return false;
    long long v[2];
    for (int i = 0; i < 2; ++i) {
      char* end = nullptr;
      errno = 0;
      v[i] = std::strtoll(args[static_cast<size_t>(i)].c_str(), &end, 10);
      if (*end != '\0' || errno != 0 || v[i] < 0 || v[i] > INT_MAX)
        return (error = "bad click position", false);
    }
    cmd.pointer.x = static_cast<int>(v[0]);
    cmd.pointer.y = static_cast<int>(v[1]);
    cmd.pointer.buttons = 0;
  } else if (word == "shot" || word == "dump" || word == "dump-every") {
    cmd.op = word == "shot" ? Op::kShot : word == "dump" ? Op::kDump : Op::kDumpEvery;
    if (!want(1, 1)) return false;
    cmd.text = (cmd.op == Op::kDumpEvery && args[0] == "off") ? std::string()
                                                              : Absolute(startDir, args[0]);
  } else if (word == "pad" || word == "pad-hold" || word == "pad-release") {
    cmd.op = word == "pad" ? Op::kPad : word == "pad-hold" ? Op::kPadHold : Op::kPadRelease;
    plat::PadButton button;
    if (!want(1, 1)) return false;
    if (!plat::PadButtonNamed(args[0], button)) return (error = "bad pad button " + args[0], false);
    cmd.count = static_cast<long long>(button);
  } else if (word == "axis") {
    cmd.op = Op::kAxis;
    plat::PadAxis axis;
    if (!want(2, 2)) return false;
    if (!plat::PadAxisNamed(args[0], axis)) return (error = "bad axis " + args[0], false);
    cmd.count = static_cast<long long>(axis);
    char* end = nullptr;
    cmd.value = std::strtod(args[1].c_str(), &end);
    if (*end != '\0' || !(cmd.value >= -1.0 && cmd.value <= 1.0))
      return (error = "bad axis value", false);
  } else if (word == "records-wait") {
    cmd.op = Op::kRecordsWait;
    if (!want(1, 1)) return false;
    char* end = nullptr;
    cmd.value = std::strtod(args[0].c_str(), &end);
    if (*end != '\0' || !(cmd.value > 0.0) || cmd.value > 3600.0)
      return (error = "bad records-wait seconds", false);
  } else if (word == "wheel") {
    cmd.op = Op::kWheel;
    long long notches = 0;
    if (!want(1, 1)) return false;
    const bool negative = args[0].size() > 1 && args[0][0] == '-';
    if (!ParseWhole(negative ? args[0].substr(1) : args[0], notches) || notches > 1000)
      return (error = "bad wheel notches", false);
    cmd.value = static_cast<double>(negative ? -notches : notches);
  } else if (word == "signal") {
    cmd.op = Op::kSignal;
    if (!want(1, 1)) return false;
    if (args[0] == "INT") {
      cmd.count = SIGINT;
    } else if (args[0] == "TERM") {
      cmd.count = SIGTERM;
    } else {
      return (error = "bad signal " + args[0], false);
    }
  } else {
    error = "unknown command " + word;
    return false;
  }
  return true;
}

}  // namespace

bool ParseScript(const std::string& text, const std::string& startDir, std::vector<Command>& script,
                 std::string& error) {
  script.clear();
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    Command cmd{};
    std::string why;
    if (ParseDrag(line, lineNo, script, why) && why.empty()) continue;
    if (!why.empty() || !ParseLine(line, startDir, lineNo, cmd, why)) {
      error = "line " + std::to_string(lineNo) + ": " + why;
      script.clear();
      return false;
    }
    script.push_back(cmd);
  }
  return true;
}

std::string DescribeCommands(const std::vector<Command>& script) {
  std::string out;
  for (const Command& cmd : script) {
    switch (cmd.op) {
      case Op::kFrames:
        out += "frames " + std::to_string(cmd.count);
        break;
      case Op::kFrameMs: {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", cmd.value);
        out += "frame-ms " + std::string(buf);
        break;
      }
      case Op::kUntil:
        out += "until " + cmd.text + " " + std::to_string(cmd.count);
        break;
      case Op::kKey: {
        std::string name = cmd.text;
        for (const auto& [n, k] : kKeyNames) {
          if (cmd.text == *k) name = n;
        }
        out += "key " + name;
        break;
      }
      case Op::kHold:
      case Op::kRelease:
        out += (cmd.op == Op::kHold ? "hold " : "release ") + std::to_string(cmd.count);
        break;
      case Op::kPause:
        out += "pause";
        break;
      case Op::kPointer:
        out += "pointer " + std::to_string(cmd.pointer.x) + " " + std::to_string(cmd.pointer.y) +
               " " + std::to_string(cmd.pointer.buttons);
        break;
      case Op::kShot:
        out += "shot " + cmd.text;
        break;
      case Op::kDump:
        out += "dump " + cmd.text;
        break;
      case Op::kDumpEvery:
        out += "dump-every " + (cmd.text.empty() ? std::string("off") : cmd.text);
        break;
      case Op::kMemory:
        out += "memory " + cmd.text;
        break;
      case Op::kTap:
        out += "tap " + std::to_string(cmd.count);
        break;
      case Op::kClick:
        out += "click " + std::to_string(cmd.pointer.x) + " " + std::to_string(cmd.pointer.y);
        break;
      case Op::kSignal:
        out += cmd.count == SIGINT ? "signal INT" : "signal TERM";
        break;
      case Op::kRecordsWait: {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", cmd.value);
        out += "records-wait " + std::string(buf);
        break;
      }
      case Op::kWheel:
        out += "wheel " + std::to_string(static_cast<long long>(cmd.value));
        break;
      case Op::kPad:
      case Op::kPadHold:
      case Op::kPadRelease: {
        static const char* const kButtons[] = {"a",     "b",    "x",      "y",      "back",
                                               "start", "dpup", "dpdown", "dpleft", "dpright"};
        out += cmd.op == Op::kPad ? "pad " : cmd.op == Op::kPadHold ? "pad-hold " : "pad-release ";
        for (const char* name : kButtons) {
          plat::PadButton button;
          if (plat::PadButtonNamed(name, button) && static_cast<long long>(button) == cmd.count)
            out += name;
        }
        break;
      }
      case Op::kAxis: {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", cmd.value);
        out += std::string(cmd.count == static_cast<long long>(plat::PadAxis::kLeftX)
                               ? "axis leftx "
                               : "axis lefty ") +
               buf;
        break;
      }
    }
    out += '\n';
  }
  return out;
}

}  // namespace headless
