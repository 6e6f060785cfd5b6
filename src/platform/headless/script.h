// The runner's script language: one command a line, "#" starts a comment.
// Parsing a script into commands and saying them back; the backend runs
// them as the game presents its frames.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace headless {

enum class Op {
  kFrames,
  kFrameMs,
  kUntil,
  kKey,
  kHold,
  kRelease,
  kTap,
  kPause,
  kPointer,
  kClick,
  kShot,
  kDump,
  kDumpEvery,
  kMemory,
  kSignal,
  kPad,
  kPadHold,
  kPadRelease,
  kAxis,
  kRecordsWait,
  kWheel,  // value: notches
};

struct Command {
  Op op;
  int line = 0;
  long long count = 0;  // frames, until limit, scancode, pad button or axis
  double value = 0.0;   // frame-ms, axis value, records-wait seconds
  std::string text;     // key string, screen, file
  plat::Pointer pointer;
};

// The commands of a script text, or false with "line N: why" (and no
// commands). Relative file names are taken from startDir.
bool ParseScript(const std::string& text, const std::string& startDir, std::vector<Command>& script,
                 std::string& error);
// The commands as script lines again, one a line, in a plain form (names of
// keys, scancodes as numbers, durations in full).
std::string DescribeCommands(const std::vector<Command>& script);

}  // namespace headless
