// Start-up and the program's end, played through the headless runner.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/runner_harness.h"
#include "platform/headless/headless.h"
#include "platform/sanitizer.h"

namespace {

using e2e::Num;
using e2e::ScratchRoot;

TEST(Startup, ReachesTheMenuAndPrintsTheBanner) {
  ScratchRoot root;
  const auto r =
      e2e::RunHeadless(root, "until menu 5\nframes 2\ndump " + root.File("d.json") + "\n");
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_NE(r.output.find("------------------------------------\nQuobbes Zirpel\n"
                          "------------------------------------\n\n"),
            std::string::npos);
  EXPECT_NE(r.output.find("Build Time: 06-25-2012 19:45:00\n"), std::string::npos);
  const auto dumps = e2e::ReadDumps(root.File("d.json"));
  ASSERT_EQ(dumps.size(), 1u);
  EXPECT_EQ(e2e::Str(dumps[0], "screen"), "menu");
  EXPECT_EQ(Num(dumps[0], "ScreenWidth"), 640);
  EXPECT_EQ(Num(dumps[0], "ScreenHeight"), 400);
  EXPECT_EQ(Num(dumps[0], "TextUnit"), 520);
  EXPECT_EQ(Num(dumps[0], "PixelsPerUnitX"), 80);
  EXPECT_EQ(e2e::Str(dumps[0], "WindowTitle"), "Quobbes Zirpel");
  EXPECT_EQ(Num(dumps[0], "MenuSelection"), 3);
  EXPECT_EQ(Num(dumps[0], "SceneMode"), 1);
  EXPECT_EQ(Num(dumps[0], "BallCount"), 4);
  // The clock starts at 100 s and moves 15 ms per frame plus the sleeps.
  EXPECT_GT(Num(dumps[0], "time"), 100.0);
  EXPECT_LT(Num(dumps[0], "time"), 101.0);
}

TEST(Startup, TheBuildFindsItsResourcesByARelativeLink) {
  // The program's folder links to the repository's res/ relatively, so a
  // build folder moved with the sources does not go on using the old tree.
  const std::filesystem::path build = std::filesystem::path(ZIRPEL_WINDOW_BIN).parent_path();
  const std::filesystem::path link = std::filesystem::read_symlink(build / "res");
  EXPECT_TRUE(link.is_relative()) << link;
  EXPECT_TRUE(std::filesystem::equivalent(build / link, std::string(ZIRPEL_SOURCE_DIR) + "/res"));
}

TEST(Startup, EscOrCloseInTheFirstMenuFrameEndsTheProgram) {
  for (const char* key : {"ESC", "CLOSE"}) {
    ScratchRoot root;
    const auto r = e2e::RunHeadless(
        root, std::string("key ") + key + "\nframes 5\ndump " + root.File("d.json") + "\n");
    EXPECT_EQ(r.exitCode, 0) << key;
    // The game ended before the script's dump could run.
    EXPECT_FALSE(root.Exists("d.json")) << key;
  }
}

TEST(Startup, DisplaySizeFromTheSettingsOrTheDesktop) {
  struct Case {
    const char* display;
    int width, height;
  } cases[] = {
      {"Display=Auto", 1366, 768},  // the desktop the runner reports
      {"Display=", 1366, 768},      // no usable size: the desktop, not 0 pixels
      {"Display=1024", 1366, 768},  // width 0
      {"Display=800x600", 800, 600},
  };
  for (const Case& c : cases) {
    ScratchRoot root(std::string(c.display) + "\r\nPlayIntro=Disabled\r\n");
    const auto r = e2e::RunHeadless(root, "until menu 5\ndump " + root.File("d.json") + "\n",
                                    {"--size", "1366x768"});
    ASSERT_EQ(r.exitCode, 0) << c.display << r.errors;
    const auto dumps = e2e::ReadDumps(root.File("d.json"));
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_EQ(Num(dumps[0], "ScreenWidth"), c.width) << c.display;
    EXPECT_EQ(Num(dumps[0], "ScreenHeight"), c.height) << c.display;
  }
}

TEST(Startup, PauseAfterTheIntroEndsAtOnceWhenAKeyIsWaiting) {
  // The intro runs out on time; a key arriving with its last frame is
  // already waiting when the 200 ms pause starts, so the pause ends before
  // its first 50 ms step.
  const std::string settings = "Display=640x400\r\nPlayIntro=Enabled\r\n";
  ScratchRoot first(settings);
  ASSERT_EQ(e2e::RunHeadless(first, "dump-every " + first.File("a.json") + "\nuntil menu 1000\n")
                .exitCode,
            0);
  const auto plain = e2e::ReadDumps(first.File("a.json"));
  size_t introFrames = 0;
  while (introFrames < plain.size() && e2e::Str(plain[introFrames], "screen") == "intro") {
    ++introFrames;
  }
  ASSERT_GT(introFrames, 100u);
  ASSERT_LT(introFrames, plain.size());
  const double menuTime = Num(plain[introFrames], "time");

  ScratchRoot second(settings);
  ASSERT_EQ(e2e::RunHeadless(second, "frames " + std::to_string(introFrames) +
                                         "\nkey a\nframes 1\ndump " + second.File("b.json") + "\n")
                .exitCode,
            0);
  const auto keyed = e2e::ReadDumps(second.File("b.json"));
  ASSERT_EQ(keyed.size(), 1u);
  EXPECT_EQ(e2e::Str(keyed[0], "screen"), "menu");
  EXPECT_NEAR(Num(keyed[0], "time"), menuTime - 0.2, 1e-9);
}

TEST(Runner, ScriptErrorsAndFailedWaits) {
  ScratchRoot root;
  EXPECT_EQ(e2e::RunHeadless(root, "frames\n").exitCode, 2);
  EXPECT_EQ(e2e::RunHeadless(root, "jump 3\n").exitCode, 2);
  EXPECT_EQ(e2e::RunHeadless(root, "until nowhere\n").exitCode, 2);
  EXPECT_EQ(e2e::RunHeadless(root, "key NOPE\n").exitCode, 2);
  EXPECT_EQ(e2e::RunHeadless(root, "# only a comment\n\n").exitCode, 0);
  // Comments may also follow a command; `key #` is the key '#'.
  EXPECT_EQ(e2e::RunHeadless(root, "until menu 5 # the menu\nkey # # the hash key\nframes 1 #\n")
                .exitCode,
            0);
  EXPECT_EQ(e2e::RunHeadless(root, "until credits 20\n").exitCode, 3);
}

TEST(Runner, DumpEveryFollowsTheFramesAndTheClock) {
  ScratchRoot root;
  const auto r =
      e2e::RunHeadless(root, "until menu 5\nframe-ms 20\ndump-every " + root.File("e.json") +
                                 "\nframes 3\ndump-every off\nframes 2\n");
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  const auto dumps = e2e::ReadDumps(root.File("e.json"));
  ASSERT_EQ(dumps.size(), 3u);
  for (size_t i = 1; i < dumps.size(); ++i) {
    EXPECT_EQ(Num(dumps[i], "frame"), Num(dumps[i - 1], "frame") + 1);
    // 20 ms per present plus the menu's 1 ms sleep.
    EXPECT_NEAR(Num(dumps[i], "time") - Num(dumps[i - 1], "time"), 0.021, 1e-9);
    EXPECT_NEAR(Num(dumps[i], "FrameTime"), 0.021, 1e-9);
  }
}

TEST(Runner, ScriptsReadToOnePlainForm) {
  // Every command, its names resolved and its defaults written out; the plain
  // form reads back as itself.
  const std::string cwd = std::filesystem::current_path().string();
  const struct {
    const char* script;
    std::string plain;  // "" for a script the reader refuses
  } cases[] = {
      {"frames 5 # wait\n\n  # note\nkey #\nkey ENTER\nhold LEFT\nrelease 30\npause\n",
       "frames 5\nkey #\nkey ENTER\nhold 75\nrelease 30\npause\n"},
      {"until menu\r\nframe-ms 7.5\npointer outside\npointer 3 -4 1\ndump-every off\n",
       "until menu 100000\nframe-ms 7.5\npointer -1 -1 -1\npointer 3 -4 1\ndump-every off\n"},
      {"shot a.png\ndump /tmp/d.json\nmemory m.json\n",
       "shot " + cwd + "/a.png\ndump /tmp/d.json\nmemory " + cwd + "/m.json\n"},
      {"tap SPACE\nclick 3 4\npad a\npad-hold dpleft\npad-release start\naxis lefty -0.25\n"
       "signal INT\nsignal TERM\n",
       "tap 57\nclick 3 4\npad a\npad-hold dpleft\npad-release start\naxis lefty -0.25\n"
       "signal INT\nsignal TERM\n"},
      {"records-wait 30\nrecords-wait 0.5\n", "records-wait 30\nrecords-wait 0.5\n"},
      {"records-wait 0\n", ""},
      {"records-wait\n", ""},
      {"key DEL\nkey F5\nkey ctrl+z\nkey ctrl+y\nkey ctrl+s\nkey BACKSPACE\nwheel -3\nwheel 2\n"
       "until editor 9\n",
       "key DEL\nkey F5\nkey ctrl+z\nkey ctrl+y\nkey ctrl+s\nkey BACKSPACE\nwheel -3\nwheel 2\n"
       "until editor 9\n"},
      // A drag is the pointer's steps, a frame each; the button comes up last.
      {"rdrag 10 20 40 50 # pan\n",
       "pointer 10 20 2\nframes 1\npointer 20 30 2\nframes 1\npointer 30 40 2\nframes 1\n"
       "pointer 40 50 2\nframes 1\npointer 40 50 0\nframes 1\n"},
      {"drag 1 2 3\n", ""},
      {"drag 1 2 3 -4\n", ""},
      {"wheel x\n", ""},
      {"wheel --1\n", ""},
      {"key ctrl+q\n", ""},
      {"frames -1\n", ""},
      {"pad z\n", ""},
      {"axis leftx 1.5\n", ""},
      {"signal HUP\n", ""},
      {"memory\n", ""},
      {"frame-ms 0\n", ""},
      {"pointer 1 2 99999999999\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    std::string error;
    const bool loaded = headless::LoadScript(c.script, error);
    EXPECT_EQ(loaded, !c.plain.empty()) << error;
    if (!loaded) {
      EXPECT_EQ(error.rfind("line ", 0), 0u) << error;
      continue;
    }
    EXPECT_EQ(headless::DescribeScript(), c.plain);
    ASSERT_TRUE(headless::LoadScript(c.plain, error)) << error;
    EXPECT_EQ(headless::DescribeScript(), c.plain);
  }
}

TEST(Runner, MemoryCommandWritesResidentAndPeakMemory) {
  ScratchRoot root;
  const std::string file = root.File("m.json");
  const auto r =
      e2e::RunHeadless(root, "until menu 5\nmemory " + file + "\nframes 10\nmemory " + file + "\n");
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  const auto lines = e2e::ReadDumps(file);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Num(lines[1], "frame"), Num(lines[0], "frame") + 10);
  for (const auto& m : lines) {
    EXPECT_GT(Num(m, "ResidentKb"), 1000.0);  // a running game holds megabytes
    EXPECT_GE(Num(m, "PeakResidentKb"), Num(m, "ResidentKb"));
    EXPECT_GT(Num(m, "HeapInUseKb"), 100.0);
    EXPECT_LT(Num(m, "HeapInUseKb"), Num(m, "ResidentKb"));
#if !defined(ZIRPEL_ASAN)
    // The game's own share (its new and delete): some of the heap, far from
    // all of it, the driver's textures being the rest.
    EXPECT_GT(Num(m, "OwnHeapKb"), 50.0);
    EXPECT_LT(Num(m, "OwnHeapKb") * 4, Num(m, "HeapInUseKb"));
#endif
  }
}

TEST(Runner, ShotShowsTheMenuEntries) {
  ScratchRoot root;
  const auto r =
      e2e::RunHeadless(root, "until menu 5\nframes 2\nshot " + root.File("s.png") + "\n");
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  int w = 0, h = 0;
  std::vector<unsigned char> px;
  ASSERT_TRUE(e2e::ReadShot(root.File("s.png"), w, h, px));
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 400);
  // The entry texts are blue and stand in the left half.
  int blue = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w / 2; ++x) {
      const unsigned char* p = &px[(static_cast<size_t>(y) * w + x) * 4];
      if (p[2] > 200 && p[0] < 60 && p[1] < 60) ++blue;
    }
  }
  EXPECT_GT(blue, 50);
}

}  // namespace
