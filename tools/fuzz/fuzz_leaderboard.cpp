// libFuzzer entry for the leaderboard file. The input's last bytes give a
// level key and a time; the rest is the file. The board is read, looked up,
// the record stored (which rewrites the file) and the file read back. The
// run stops with a trap when
//   - the file read back is not exactly the old lines with the key's time
//     lines replaced, or the pair appended: a pair lost or invented,
//   - the stored key does not look up as the time written,
//   - a key holding a line break changed the board or the file.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_files.h"
#include "session/leaderboard.h"
#include "world/map.h"

namespace {

std::vector<std::string> Lines(const Leaderboard& board) {
  std::vector<std::string> lines;
  for (int i = 1; i <= board.LeaderboardLineCount; ++i)
    lines.push_back(board.lines[static_cast<std::size_t>(i)]);
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzz::ScratchDir() + "/Leaderboard.dat";
  FuzzedDataProvider in(data, size);
  const std::uint32_t timeBits = in.ConsumeIntegral<std::uint32_t>();
  const bool existing = in.ConsumeBool();
  std::string key = in.ConsumeRandomLengthString(80);
  const std::string file = in.ConsumeRemainingBytesAsString();
  float time;
  std::memcpy(&time, &timeBits, sizeof time);
  fuzz::WriteFile(path, file);

  Leaderboard board;
  ReadLeaderboard(board, path);
  const std::vector<std::string> before = Lines(board);
  // Half the runs store a key the file already holds.
  if (existing && !before.empty()) key = before[key.size() % before.size()];
  for (const std::string& line : before) LookUpBestTime(board, line);

  const bool written = StoreRecord(board, key, time, path);
  const std::string timeText = FormatFloat7(time);
  if (key.find('\n') != std::string::npos) {
    if (written || Lines(board) != before || fuzz::ReadFile(path) != file) __builtin_trap();
    return 0;
  }
  if (!written) __builtin_trap();

  // Every line equal to the key, in order, gets the time on the line after
  // it (a key on the last line gains that line), or the pair goes to the end.
  std::vector<std::string> expected = before;
  bool found = false;
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (expected[i] != key) continue;
    found = true;
    if (i + 1 < expected.size()) {
      expected[i + 1] = timeText;
    } else {
      expected.push_back(timeText);
    }
  }
  if (!found) {
    expected.push_back(key);
    expected.push_back(timeText);
  }
  if (Lines(board) != expected) __builtin_trap();

  Leaderboard back;
  ReadLeaderboard(back, path);
  if (Lines(back) != expected) __builtin_trap();
  // The key looks up the line after its last match.
  std::string after;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (expected[i] == key) after = i + 1 < expected.size() ? expected[i + 1] : std::string();
  }
  const float looked = LookUpBestTime(back, key);
  const float wanted = static_cast<float>(ParseNumber(after));
  if (std::memcmp(&looked, &wanted, sizeof looked) != 0) __builtin_trap();
  return 0;
}
