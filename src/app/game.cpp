// Start-up, the shared frame helpers and the program's end.
#include "app/game.h"

#include <GL/gl.h>

#include <string>
#include <vector>

#include "app/intro.h"
#include "frontend/menu.h"
#include "platform/platform.h"
#include "session/leaderboard.h"

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
  const bool fullscreen = launch.fullscreen >= 0
                              ? launch.fullscreen == 1
                              : SettingsGet(game.settings, "Fullscreen") == "Enabled";
  if (plat::OpenScreen(v.ScreenWidth, v.ScreenHeight, 32, fullscreen)) return true;
  // A size the system refuses (far too large, say): the desktop, windowed.
  plat::DesktopSize(v.ScreenWidth, v.ScreenHeight);
  return plat::OpenScreen(v.ScreenWidth, v.ScreenHeight, 32, false);
}

}  // namespace

void InitGameState(Game& game) {
  game = Game();
  for (int i = 1; i <= 20; ++i) game.sim.Balls[static_cast<size_t>(i)].radius = 0.18f;
}

void PollKeyInto(Game& game) {
  game.frame.LastKey = plat::PollKey();
}

void MeasureFrameTime(Game& game) {
  game.frame.FrameTime = plat::Timer() - game.frame.LastFrameStamp;
  game.frame.LastFrameStamp = plat::Timer();
}

void DrainKeys(Game& game) {
  do {
    plat::SleepMs(1);
    PollKeyInto(game);
  } while (!game.frame.LastKey.empty());
}

int RunGame(Game& game, const LaunchOptions& launch) {
  plat::SeedRandom(plat::Timer());
  PrintBanner();
  InitGameState(game);
  if (!FindTheData()) return kNoDataExitCode;
  plat::SetWindowTitle("Quobbes Zirpel");
  SettingsLoad(game.settings, plat::SettingsFile());
  ChooseScreenSize(game);
  if (!OpenTheScreen(game, launch)) {
    // No display, no GL, every size refused: say so instead of running
    // blind without a context.
    plat::ConsoleError("Quobbes Zirpel: kein Fenster mit OpenGL zu bekommen (" +
                       plat::OpenScreenError() + "). Laeuft eine grafische Oberflaeche?");
    return 1;
  }
  plat::ClearScreen();
  SetUpVideo(game.video);
  StartSound(game);
  if (SettingsGet(game.settings, "PlayIntro") == "Enabled") RunIntro(game);
  ReadLeaderboard(game.board, "Res/Leaderboard.dat");
  LoadMap(game.map, "Res/maps/Mainmenu.startmap");
  game.sim.BallCount = 4;
  for (int i = 1; i <= 4; ++i) game.sim.Balls[static_cast<size_t>(i)].x = 30.0f;
  game.sim.SceneMode = 1;
  game.frame.LastFrameStamp = plat::Timer();
  game.frame.MenuStartTime = plat::Timer();
  RunMainMenu(game);
  return game.exitCode < 0 ? 0 : game.exitCode;
}
