// The logo intro: LogoTexture blended over black by the alpha of the fade.
#include "app/intro.h"

#include <algorithm>

#include "game/frame_view.h"
#include "game/game.h"
#include "platform/platform.h"
#include "render/frame_draw.h"

namespace {

constexpr int kFrameSleepMs = 10;
constexpr int kAfterIntroSleepMs = 200;  // cut short by a key

}  // namespace

bool IntroKeyEnds(const std::string& key) {
  return !key.empty() && static_cast<unsigned char>(key[0]) >= 2;
}

bool IntroAlpha(double e, float& alpha) {
  double value = 0.0;
  if (e < kIntroFadeInStart) {
    value = 0.0;
  } else if (e > kIntroFadeInStart && e < kIntroFadeOutStart) {
    value = (e - kIntroFadeInStart) / kIntroFadeLength;
  } else if (e > kIntroFadeOutStart) {
    value = 1.0 - (e - kIntroFadeOutStart) / kIntroFadeLength;
  } else {
    return false;  // exactly at a turn
  }
  // Past 7.0 s the fade-out goes below 0: the logo stays invisible.
  alpha = static_cast<float>(std::clamp(value, 0.0, 1.0));
  return true;
}

void RunIntro(Game& game) {
  const double start = plat::Timer();
  FrameView view;
  view.Op(ViewOp::kFadeBlend);
  DrawFrameView(view, game.video);
  for (;;) {
    plat::SetScreenName("intro");
    if (plat::Timer() - start > kIntroLength) break;
    PollKeyInto(game);
    if (IntroKeyEnds(game.frame.LastKey)) break;
    const double now = plat::Timer();
    view.Reset();
    view.Clear();
    float alpha = 0.0f;
    const bool fade = IntroAlpha(now - start, alpha);
    view.Logo(fade, alpha);
    DrawFrameView(view, game.video);
    plat::Present();
    plat::SleepMs(kFrameSleepMs);
  }
  // The menu's first frame expects the resting blend function.
  view.Reset();
  view.Op(ViewOp::kOpaqueBlend);
  DrawFrameView(view, game.video);
  plat::SleepMs(kAfterIntroSleepMs);
}
