// The credits: four fading pages over the running menu scene.
#pragma once

#include "game/frame_view.h"
#include "sim/balls.h"

struct Game;
struct CreditsState;
struct MenuState;
struct SimState;
struct VideoState;

// ---- the credits screen ------------------------------------------------
// Runs from the menu frame that chose "Entwickler" (with the menu's text
// translation already undone) until page 4 has faded out, Esc or the window's
// close button; drains the key buffer before it returns.
void RunCredits(Game& game);

// ---- the rules behind it (no GL, no clock) -----------------------------
// Page 0, all fade values 0.0 and rising.
void ResetCredits(CreditsState& credits);

// One frame of the fade: the page advances when the first value is down at
// 0, each value turns at 1.0 and 0.0 and moves by 0.003 in 32-bit floats
// (per frame, not scaled by the frame time). A page lasts 668 frames.
void StepCreditsFade(CreditsState& credits);
constexpr int kCreditsEndPage = 5;

// The credits' scene rules after the scene step, at timer `now` (seconds):
// fallen balls put back at height 3.0 straight above where they fell, the
// drop schedule (1, 4, 7, 10 s after creditsStart) when drops are enabled,
// and undropped balls held. No air damping here.
void ApplyCreditsSceneRules(SimState& sim, MenuState& menu, bool dropsEnabled, double now,
                            double creditsStart);

// One line of a credits page: raster position in world units after the
// text translation, and the font.
struct CreditLine {
  bool title;  // TitleFont, else TextFont
  float x;
  float y;
  const char* text;
};
// The lines of page 1..4; an empty list for any other page.
int CreditPageLines(int page, const CreditLine** lines);

// ---- showing -------------------------------------------------------------
// The current page's lines in the colour of the three fade values.
void ShowCreditPage(FrameView& view, const CreditsState& credits);
// One credits frame's step: the menu's scene with the credits' own rules, the
// fade and the page. Returns true once the last page has faded out (that
// frame is not shown).
bool StepCreditsFrame(Game& game, double ballClock, double rulesClock, FrameView& view,
                      FrameHits& hits);
