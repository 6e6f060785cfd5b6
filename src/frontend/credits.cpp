// The credits: four pages fade in and out one after the other while the
// menu's balls keep rolling over the menu map.
#include "frontend/credits.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "frontend/menu_scene.h"
#include "game/game.h"
#include "platform/platform.h"
#include "render/frame_draw.h"
#include "sim/balls.h"
#include "sound/sound.h"

namespace {

// Seconds after entering the credits at which undropped balls 1 to 4 drop.
constexpr double kCreditsDropTimes[kMenuBalls + 1] = {0.0, 1.0, 4.0, 7.0, 10.0};
// A ball that fell off the map comes back this high, straight above.
constexpr float kPutBackY = 3.0f;
constexpr float kFadeStep = 0.003f;

// Pages 1 and 3 stand at the upper left, pages 2 and 4 below the centre.
constexpr CreditLine kPage1[] = {
    {true, -2.5f, 1.35f, "Quobbes Zirpel"},
    {false, -2.5f, 1.05f, "\xA9 2026 Das Quobbes-Zirpel-Team"},
};
constexpr CreditLine kPage2[] = {
    {true, -0.5f, -0.25f, "Editor Programmer:"},
    {false, -0.5f, -0.5f, "Das Quobbes-Zirpel-Team"},
};
constexpr CreditLine kPage3[] = {
    {true, -2.5f, 1.35f, "Game Programmer:"},
    {false, -2.5f, 1.05f, "Das Quobbes-Zirpel-Team"},
};
constexpr CreditLine kPage4[] = {
    {true, -0.5f, -0.25f, "C++20, SDL2, OpenGL, zlib"},
    {false, -0.5f, -0.5f, "www.libsdl.org"},
    {false, -0.5f, -0.75f, "www.zlib.net"},
};

}  // namespace

void ResetCredits(CreditsState& credits) {
  credits.CreditsPage = 0;
  for (int i = 0; i < 3; ++i) {
    credits.CreditsFade[i] = 0.0f;
    credits.FadeFalling[i] = "false";
  }
}

void StepCreditsFade(CreditsState& credits) {
  if (!(credits.CreditsFade[0] > 0.0f)) credits.CreditsPage += 1;
  for (int i = 0; i < 3; ++i) {
    if (credits.CreditsFade[i] >= 1.0f) credits.FadeFalling[i] = "true";
    if (!(credits.CreditsFade[i] > 0.0f)) credits.FadeFalling[i] = "false";
  }
  for (int i = 0; i < 3; ++i) {
    if (credits.FadeFalling[i] == "false") {
      credits.CreditsFade[i] = credits.CreditsFade[i] + kFadeStep;
    } else {
      credits.CreditsFade[i] = credits.CreditsFade[i] - kFadeStep;
    }
  }
}

void ApplyCreditsSceneRules(SimState& sim, MenuState& menu, bool dropsEnabled, double now,
                            double creditsStart) {
  const int count = std::clamp(sim.BallCount, 0, kMaxBalls);
  for (int i = 1; i <= count; ++i) {
    Ball& ball = sim.Balls[i];
    if (!(ball.y >= kFallenBelowY) || !std::isfinite(ball.x)) {
      // Straight above where it fell; a position that broke down has no
      // "above", so such a ball comes back over the drop point.
      SetBallAt(ball, std::isfinite(ball.x) ? ball.x : kDropPointX, kPutBackY);
    }
  }
  if (dropsEnabled) {
    const double elapsed = now - creditsStart;
    for (int i = 1; i <= kMenuBalls; ++i) {
      if (elapsed > kCreditsDropTimes[i] && menu.BallDropped[i] == 0) {
        sim.Balls[i].x = kDropPointX;
        sim.Balls[i].y = kDropPointY;
        menu.BallDropped[i] = 1;
      }
    }
  }
  for (int i = 1; i <= kMenuBalls; ++i) {
    if (menu.BallDropped[i] == 0) SetBallAt(sim.Balls[i], MenuHoldX(i), kMenuHoldY);
  }
}

int CreditPageLines(int page, const CreditLine** lines) {
  switch (page) {
    case 1:
      *lines = kPage1;
      return static_cast<int>(std::size(kPage1));
    case 2:
      *lines = kPage2;
      return static_cast<int>(std::size(kPage2));
    case 3:
      *lines = kPage3;
      return static_cast<int>(std::size(kPage3));
    case 4:
      *lines = kPage4;
      return static_cast<int>(std::size(kPage4));
    default:
      *lines = nullptr;
      return 0;
  }
}

void ShowCreditPage(FrameView& view, const CreditsState& credits) {
  const CreditLine* lines = nullptr;
  const int count = CreditPageLines(credits.CreditsPage, &lines);
  const float* fade = credits.CreditsFade;
  for (int i = 0; i < count; ++i) {
    const CreditLine& line = lines[i];
    view.Text(line.title ? ViewOp::kTitle : ViewOp::kText, line.text, line.x, line.y, fade[0],
              fade[1], fade[2]);
  }
}

bool StepCreditsFrame(Game& game, double ballClock, double rulesClock, FrameView& view,
                      FrameHits& hits) {
  hits = StepBalls(game.sim, game.map, game.frame.FrameTime, ballClock);
  view.Balls(game.sim, game.session.BurnTime);
  RefillStaticSpheres(game.sim, game.map);
  view.MapObjects(game.map);
  ApplyCreditsSceneRules(game.sim, game.menu, SettingEnabled(game.settings, "Menu_DroppBalls"),
                         rulesClock, game.frame.MenuStartTime);
  StepCreditsFade(game.credits);
  view.Translate(0.0f, 0.0f, kTextPlane);
  ShowCreditPage(view, game.credits);
  // The last page has faded out: this frame is not shown.
  if (game.credits.CreditsPage >= kCreditsEndPage) {
    view.PopView();
    return true;
  }
  view.Translate(0.0f, 0.0f, -kTextPlane);
  view.PopView();
  return false;
}

void RunCredits(Game& game) {
  plat::SetPointerVisible(false);
  game.frame.LastFrameStamp = plat::Timer();
  game.frame.MenuStartTime = plat::Timer();
  ResetCredits(game.credits);

  FrameView view;
  for (;;) {
    plat::SetScreenName("credits");
    PollKeyInto(game);
    if (IsLeaveKey(game.frame.LastKey)) break;
    view.Reset();
    view.PushView();
    MeasureFrameTime(game);
    view.Clear();
    const double ballClock = plat::Timer();
    const double rulesClock = plat::Timer();
    PlayEvents heard;
    const bool ended = StepCreditsFrame(game, ballClock, rulesClock, view, heard.hits);
    DrawFrameView(view, game.video);
    if (ended) break;
    HearFrame(game, "credits", &heard);
    plat::Present();
    plat::SleepMs(10);
  }
  DrainKeys(game);
}
