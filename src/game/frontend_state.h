// State of the menu, the level selection and the credits screens.
#pragma once

#include <cstdint>
#include <string>

struct MenuState {
  int MenuSelection = 3;                          // 2 "Spiel starten", 1 "Entwickler", 0 "Beenden"
  std::uint8_t BallDropped[5] = {0, 0, 0, 0, 0};  // [1..4]
  float LeftButtonHeld = 0.0f;
  float ClickReleased = 0.0f;
  float PointerWorldX = 0.0f;
  float PointerWorldY = 0.0f;
};

struct LevelSelectState {
  int SelectedMode = 1;      // 1 race, 2 survival
  int HighlightedLevel = 1;  // 1-based row
  int KeyboardCursor = 1;
  std::string ChosenLevelFile;
  // The pointer's pixels at the last frame (none yet on entry) and whether it
  // had moved then: only a pointer in motion or clicking picks anything.
  bool pointerSeen = false;
  int pointerX = 0, pointerY = 0;
  bool pointerMovedBefore = false;
  bool watchChosen = false;  // W: the highlighted level's best run is to be watched
  // A list longer than the screen scrolls: the rows above the view, whether
  // the pointer (not a key) moved last, and when a pointer resting on the
  // view's edge row scrolls next (the timer's seconds; 0: not resting there).
  int firstRow = 0;
  bool pointerDriving = false;
  double edgeScrollAt = 0.0;
};

struct CreditsState {
  int CreditsPage = 0;
  float CreditsFade[3] = {0.0f, 0.0f, 0.0f};
  std::string FadeFalling[3] = {"false", "false", "false"};
};
