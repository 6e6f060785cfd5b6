// Leaderboard: reading, lookup, the record rules and safe rewriting.
#include "session/leaderboard.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

namespace fs = std::filesystem;

class LeaderboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zirpel-board-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "Leaderboard.dat").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string Read() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  fs::path dir_;
  std::string path_;
};

TEST_F(LeaderboardTest, ReadsPairsAndLastMatchWins) {
  Write("a.mapGame1\r\n12.5\nb.mapGame2\r\n40\r\na.mapGame1\r\n11\r\n");
  Leaderboard board;
  ReadLeaderboard(board, path_);
  EXPECT_EQ(board.LeaderboardLineCount, 6);
  EXPECT_FLOAT_EQ(LookUpBestTime(board, "a.mapGame1"), 11.0f);
  EXPECT_FLOAT_EQ(LookUpBestTime(board, "b.mapGame2"), 40.0f);
  EXPECT_FLOAT_EQ(LookUpBestTime(board, "c.mapGame1"), 0.0f);
  // Keys compare exactly: no case folding.
  EXPECT_FLOAT_EQ(LookUpBestTime(board, "A.mapGame1"), 0.0f);
  // A key on the last line reads the spare empty line: 0.
  Write("a.mapGame1\r\n12.5\r\nz.mapGame1\r\n");
  ReadLeaderboard(board, path_);
  EXPECT_FLOAT_EQ(LookUpBestTime(board, "z.mapGame1"), 0.0f);
}

TEST_F(LeaderboardTest, NoFileGivesNoEntriesAndFirstRecordCreatesIt) {
  Leaderboard board;
  ReadLeaderboard(board, path_);
  EXPECT_EQ(board.LeaderboardLineCount, 0);
  EXPECT_FLOAT_EQ(LookUpBestTime(board, "a.mapGame1"), 0.0f);
  EXPECT_TRUE(StoreRecord(board, "a.mapGame1", 12.25f, path_));
  EXPECT_EQ(Read(), "a.mapGame1\r\n12.25\r\n");
}

TEST_F(LeaderboardTest, StoreUpdatesInPlaceOrAppends) {
  Write("a.mapGame1\r\n14\r\nb.mapGame1\r\n20\r\na.mapGame1\r\n15\r\n");
  Leaderboard board;
  ReadLeaderboard(board, path_);
  // Every matching pair is updated in place; the others keep their places.
  EXPECT_TRUE(StoreRecord(board, "a.mapGame1", 12.5f, path_));
  EXPECT_EQ(Read(), "a.mapGame1\r\n12.5\r\nb.mapGame1\r\n20\r\na.mapGame1\r\n12.5\r\n");
  // A new key goes to the end.
  EXPECT_TRUE(StoreRecord(board, "c.mapGame2", 1.0f / 3.0f, path_));
  EXPECT_EQ(Read(),
            "a.mapGame1\r\n12.5\r\nb.mapGame1\r\n20\r\na.mapGame1\r\n12.5\r\n"
            "c.mapGame2\r\n0.3333333\r\n");
  EXPECT_FLOAT_EQ(LookUpBestTime(board, "c.mapGame2"), 0.3333333f);
}

TEST_F(LeaderboardTest, AKeyOnTheLastLineGetsItsTimeLine) {
  for (const char* ending : {"", "\r\n"}) {
    Write(std::string("a.mapGame1\r\n14\r\nz.mapGame1") + ending);
    Leaderboard board;
    ReadLeaderboard(board, path_);
    EXPECT_FLOAT_EQ(LookUpBestTime(board, "z.mapGame1"), 0.0f);
    EXPECT_TRUE(StoreRecord(board, "z.mapGame1", 9.5f, path_));
    EXPECT_EQ(Read(), "a.mapGame1\r\n14\r\nz.mapGame1\r\n9.5\r\n");
    ReadLeaderboard(board, path_);
    EXPECT_FLOAT_EQ(LookUpBestTime(board, "z.mapGame1"), 9.5f);
  }
}

TEST(LeaderboardRules, RecordRulesPerMode) {
  EXPECT_TRUE(IsRecord(PlayMode::kRace, 12.5, 14.0f));      // faster race
  EXPECT_FALSE(IsRecord(PlayMode::kRace, 15.0, 14.0f));     // slower race
  EXPECT_TRUE(IsRecord(PlayMode::kRace, 50.0, 0.0f));       // no record yet
  EXPECT_TRUE(IsRecord(PlayMode::kRace, 50.0, 0.9f));       // under one second is always beaten
  EXPECT_TRUE(IsRecord(PlayMode::kSurvival, 41.0, 40.0f));  // survival: longer wins
  EXPECT_FALSE(IsRecord(PlayMode::kSurvival, 39.0, 40.0f));
}

TEST_F(LeaderboardTest, RecordCheckStoresOncePerRun) {
  Leaderboard board;
  ReadLeaderboard(board, path_);
  SessionState s;
  GoalState goal;
  s.SessionStartTime = 100.0f;
  s.BestTime = 14.0f;
  // Nothing before the goal.
  RecordCheck(s, goal, PlayMode::kRace, 112.5, board, "a.mapGame1", path_);
  EXPECT_EQ(s.RecordStored, 0);
  EXPECT_FALSE(fs::exists(path_));
  // Slower than the best: nothing, now or later.
  goal.GoalReached = true;
  RecordCheck(s, goal, PlayMode::kRace, 115.0, board, "a.mapGame1", path_);
  EXPECT_EQ(s.RecordStored, 0);
  EXPECT_FALSE(fs::exists(path_));
  // Faster: stored once.
  s.BestTime = 20.0f;
  RecordCheck(s, goal, PlayMode::kRace, 112.5, board, "a.mapGame1", path_);
  EXPECT_EQ(s.RecordStored, 1);
  EXPECT_FLOAT_EQ(s.BestTime, 12.5f);
  EXPECT_EQ(Read(), "a.mapGame1\r\n12.5\r\n");
  RecordCheck(s, goal, PlayMode::kRace, 110.0, board, "a.mapGame1", path_);
  EXPECT_EQ(Read(), "a.mapGame1\r\n12.5\r\n");

  // Survival judges the frozen time once it is shown.
  SessionState v;
  GoalState none;
  v.SessionStartTime = 100.0f;
  v.BestTime = 30.0f;
  v.SurvivalEnded = 1;
  v.SurvivalTimeText = "31.25";
  RecordCheck(v, none, PlayMode::kSurvival, 200.0, board, "s.mapGame2", path_);
  EXPECT_FLOAT_EQ(v.BestTime, 31.25f);
  EXPECT_EQ(Read(), "a.mapGame1\r\n12.5\r\ns.mapGame2\r\n31.25\r\n");
}

TEST_F(LeaderboardTest, FailedWriteKeepsOldFileAndUpdatesMemory) {
  // Each way a rewrite can fail, set up beside the old file.
  const struct {
    const char* name;
    std::function<void(const std::string& path)> spoil;
  } cases[] = {
      // The temporary file cannot be made: the write fails before it starts.
      {"temporary name taken by a folder",
       [](const std::string& path) { fs::create_directories(path + ".tmp"); }},
      // Every write fails with "no space left on device".
      {"disk full",
       [](const std::string& path) { fs::create_symlink("/dev/full", path + ".tmp"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(path_ + ".tmp");
    Write("a.mapGame1\r\n14\r\n");
    Leaderboard board;
    ReadLeaderboard(board, path_);
    c.spoil(path_);
    EXPECT_FALSE(StoreRecord(board, "a.mapGame1", 9.0f, path_));
    EXPECT_EQ(Read(), "a.mapGame1\r\n14\r\n");
    EXPECT_FLOAT_EQ(LookUpBestTime(board, "a.mapGame1"), 9.0f);
  }
}

TEST_F(LeaderboardTest, ABoardNotReadWholeIsNeverRewritten) {
  // A board with a line longer than the game reads, and one with more lines:
  // what was not read would be lost.
  for (const std::string& tail :
       {std::string(kMaxLeaderboardLineBytes + 1, 'x'), std::string(kMaxLeaderboardLines, '\n')}) {
    const std::string old = "a.mapGame1\r\n14\r\n" + tail;
    Write(old);
    Leaderboard board;
    ReadLeaderboard(board, path_);
    EXPECT_FALSE(board.writable);
    EXPECT_FLOAT_EQ(LookUpBestTime(board, "a.mapGame1"), 14.0f);
    EXPECT_FALSE(StoreRecord(board, "a.mapGame1", 9.0f, path_));
    EXPECT_TRUE(Read() == old);
    EXPECT_FLOAT_EQ(LookUpBestTime(board, "a.mapGame1"), 9.0f);  // kept for this run
  }
  Leaderboard board;
  // A key no line can hold changes nothing at all.
  Write("a.mapGame1\r\n14\r\n");
  ReadLeaderboard(board, path_);
  EXPECT_FALSE(StoreRecord(board, "b\n20", 5.0f, path_));
  EXPECT_EQ(board.LeaderboardLineCount, 2);
  EXPECT_EQ(Read(), "a.mapGame1\r\n14\r\n");
}

// The board's bounds at their edge (read whole, rewritten on a record) and
// one past (kept as it was, and the player told why).
TEST_F(LeaderboardTest, EveryBoundAtItsEdgeAndOnePast) {
  const std::string pair = "a.mapGame1\r\n14\r\n";
  auto lines = [](std::size_t n) {
    std::string text;
    for (std::size_t i = 0; i < n; ++i) text += "x\n";
    return text;
  };
  // Lines of x, n bytes in all, none longer than the bound.
  auto bytes = [](std::size_t n) {
    std::string text;
    for (; n > 4096; n -= 4096) text += std::string(4095, 'x') + "\n";
    return text + std::string(n - 1, 'x') + "\n";
  };
  const struct {
    const char* name;
    std::string text;
    bool whole;
    float best;
  } cases[] = {
      {"a line of 4096 bytes", pair + std::string(kMaxLeaderboardLineBytes, 'x'), true, 14.0f},
      {"and its CR LF", pair + std::string(kMaxLeaderboardLineBytes, 'x') + "\r\n", true, 14.0f},
      {"a line of 4097 bytes", pair + std::string(kMaxLeaderboardLineBytes + 1, 'x'), false, 14.0f},
      {"1000000 lines", pair + lines(kMaxLeaderboardLines - 2), true, 14.0f},
      {"1000001 lines", pair + lines(kMaxLeaderboardLines - 1), false, 14.0f},
      {"64 MiB", pair + bytes(kMaxLeaderboardBytes - pair.size()), true, 14.0f},
      {"64 MiB and a byte", pair + bytes(kMaxLeaderboardBytes - pair.size() + 1), false, 14.0f},
      {"a time ending at the end", "a.mapGame1\r\n14.5", true, 14.5f},
      {"a time a byte short", "a.mapGame1\r\n14.", true, 14.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Write(c.text);
    Leaderboard board;
    ReadLeaderboard(board, path_);
    EXPECT_EQ(board.writable, c.whole);
    EXPECT_FLOAT_EQ(LookUpBestTime(board, "a.mapGame1"), c.best);
    std::string reason;
    EXPECT_EQ(StoreRecord(board, "a.mapGame1", 9.0f, path_, &reason), c.whole);
    EXPECT_EQ(reason, c.whole ? "" : path_ + ": die alte Datei war nicht ganz lesbar");
    EXPECT_EQ(Read() == c.text, !c.whole);
    EXPECT_FLOAT_EQ(LookUpBestTime(board, "a.mapGame1"), 9.0f);
  }
}

TEST_F(LeaderboardTest, KillDuringWriteLeavesOldOrNewFile) {
  // Two complete versions of a large board; a writer alternates them until
  // it is killed at an arbitrary moment.
  std::string oldText, newText;
  Leaderboard a, b;
  for (int i = 0; i < 4000; ++i) {
    const std::string key = "level" + std::to_string(i) + ".mapGame1";
    a.lines.push_back(key);
    a.lines.push_back("10");
    b.lines.push_back(key);
    b.lines.push_back("10");
  }
  a.LeaderboardLineCount = b.LeaderboardLineCount = 8000;
  a.lines.emplace_back();
  b.lines.emplace_back();
  ASSERT_TRUE(StoreRecord(a, "level0.mapGame1", 1.5f, path_));
  oldText = Read();
  ASSERT_TRUE(StoreRecord(b, "level0.mapGame1", 2.5f, path_));
  newText = Read();
  ASSERT_NE(oldText, newText);

  for (int round = 0; round < 12; ++round) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (int i = 0;; ++i)
        StoreRecord(i % 2 ? a : b, "level0.mapGame1", i % 2 ? 1.5f : 2.5f, path_);
    }
    ::usleep(static_cast<useconds_t>(2000 + 1500 * round));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    const std::string now = Read();
    EXPECT_TRUE(now == oldText || now == newText) << "round " << round << ", size " << now.size();
  }
}

}  // namespace
