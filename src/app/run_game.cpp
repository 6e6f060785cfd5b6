// Start-up: banner, data folder, settings, screen, video, intro, menu.
#include "app/run_game.h"

#include <string>
#include <vector>

#include "app/intro.h"
#include "frontend/editor.h"
#include "frontend/level_records.h"
#include "frontend/menu.h"
#include "frontend/play_screen.h"
#include "platform/platform.h"
#include "render/video.h"
#include "session/leaderboard.h"
#include "session/replays.h"
#include "session/session.h"
#include "session/watch.h"
#include "sound/sound.h"

namespace {

void PrintBanner() {
  const std::string dashes(36, '-');
  plat::ConsoleClear();
  plat::ConsoleLine(dashes);
  plat::ConsoleLine("Quobbes Zirpel");
  plat::ConsoleLine(dashes);
  plat::ConsoleLine("");
  plat::ConsoleLine("Copyright (c) 2026 Das Quobbes-Zirpel-Team");
  plat::ConsoleLine("");
  plat::ConsoleLine("Build Time: 06-25-2012 19:45:00");
  plat::ConsoleLine("Gebaut mit GCC (C++20), CMake, SDL2, OpenGL, FreeType, fontconfig und zlib");
}

// The screen size from "Display": "Auto" is the desktop; a value that gives
// no usable size (empty, no "x", garbage) is the desktop too, instead of a
// window of 0 pixels.
void ChooseScreenSize(Game& game) {
  VideoState& v = game.video;
  const std::string display = SettingsGet(game.settings, "Display");
  if (display == "Auto") {
    plat::DesktopSize(v.ScreenWidth, v.ScreenHeight);
    return;
  }
  ParseDisplay(display, v.ScreenWidth, v.ScreenHeight);
  if (v.ScreenWidth <= 0 || v.ScreenHeight <= 0) plat::DesktopSize(v.ScreenWidth, v.ScreenHeight);
}

// Without its pictures the game would open a window of white rectangles:
// say where it looked instead.
bool FindTheData() {
  std::vector<std::string> tried;
  if (plat::FindPlaces(plat::PlaceInputsFromProcess(), tried)) return true;
  std::string text =
      "Die Spieldaten wurden nicht gefunden: kein Ordner mit den Bildern des Spiels "
      "(gfx/*.png).\nGesucht in:\n";
  for (const std::string& place : tried) text += "  " + place + "\n";
  text +=
      "Das Spiel aus seinem Ordner starten, es installieren oder ZIRPEL_DATA_DIR auf den "
      "Datenordner setzen.";
  plat::ConsoleWarning(text);
  return false;
}

// Returns false when no window with a GL context could be had at all.
bool OpenTheScreen(Game& game, const LaunchOptions& launch) {
  VideoState& v = game.video;
  const bool fullscreen =
      launch.fullscreen >= 0 ? launch.fullscreen == 1 : SettingEnabled(game.settings, "Fullscreen");
  if (plat::OpenScreen(v.ScreenWidth, v.ScreenHeight, 32, fullscreen)) return true;
  // A size the system refuses (far too large, say): the desktop, windowed.
  plat::DesktopSize(v.ScreenWidth, v.ScreenHeight);
  return plat::OpenScreen(v.ScreenWidth, v.ScreenHeight, 32, false);
}

// Proves each replay through the session, stepped without drawing, and
// says what it found.
int VerifyReplays(Game& game, const LaunchOptions& launch) {
  const int failures = VerifyReplayFiles(game, launch.verifyNames, launch.verifyFiles,
                                         [](const VerifiedRun& run, const Replay*) {
                                           plat::ConsoleText(run.name + ": " + run.text + "\n");
                                         });
  return failures == 0 ? kVerifiedExitCode : kNotVerifiedExitCode;
}

}  // namespace

int RunGame(Game& game, const LaunchOptions& launch) {
  plat::SeedRandom(plat::Timer());
  // A verification's output is its lines alone.
  if (launch.verifyFiles.empty()) PrintBanner();
  InitGameState(game);
  if (!FindTheData()) return kNoDataExitCode;
  plat::SetWindowTitle("Quobbes Zirpel");
  const bool verifying = !launch.verifyFiles.empty();
  if (!verifying) {
    SettingsLoad(game.settings, plat::SettingsFile());
    // What the game cannot use is said once and left to its default.
    ReplaceUnusableSettings(game.settings);
  }
  ChooseScreenSize(game);
  if (verifying) {
    game.video.ScreenWidth = launch.verifyWidth;
    game.video.ScreenHeight = launch.verifyHeight;
  }
  if (!OpenTheScreen(game, launch)) {
    // No display, no GL, every size refused: say so instead of running
    // blind without a context.
    plat::ConsoleError("Quobbes Zirpel: kein Fenster mit OpenGL zu bekommen (" +
                       plat::OpenScreenError() + "). Laeuft eine grafische Oberflaeche?");
    return 1;
  }
  plat::ClearScreen();
  SetUpVideo(game.video);
  if (verifying) return VerifyReplays(game, launch);
  StartSound(game);
  if (!launch.replayFile.empty()) {
    Replay replay;
    std::string why;
    if (!LoadReplay(launch.replayFile, replay, why)) {
      plat::ConsoleWarning("Die Wiederholung " + launch.replayFile +
                           " laesst sich nicht abspielen: " + ReplayReasonInGerman(why) + ".");
      return kNotVerifiedExitCode;
    }
    ReadLeaderboard(game.board, kLeaderboardPath);
    SetUpMenuScene(game.sim, game.map);
    game.frame.LastFrameStamp = plat::Timer();
    game.frame.MenuStartTime = plat::Timer();
    PlayReplay(game, replay, true, WindowPlayScreen(), launch.replayHoldsEnd);
    return game.exitCode < 0 ? 0 : game.exitCode;
  }
  if (!launch.editFile.empty()) {
    ReadLeaderboard(game.board, kLeaderboardPath);
    SetUpMenuScene(game.sim, game.map);
    RunEditorOn(game, launch.editFile);
    return game.exitCode < 0 ? 0 : game.exitCode;
  }
  if (SettingEnabled(game.settings, "PlayIntro")) RunIntro(game);
  ReadLeaderboard(game.board, kLeaderboardPath);
  SetUpMenuScene(game.sim, game.map);
  game.frame.LastFrameStamp = plat::Timer();
  game.frame.MenuStartTime = plat::Timer();
  StartWorldRecords(game);
  RunMainMenu(game);
  StopWorldRecords(game);
  return game.exitCode < 0 ? 0 : game.exitCode;
}
