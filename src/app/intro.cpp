// The logo intro: LogoTexture blended over black by the alpha of the current
// colour (decal texturing keeps the logo's own colours).
#include "app/intro.h"

#include <GL/gl.h>

#include <algorithm>

#include "game/game.h"
#include "platform/platform.h"

namespace {

constexpr int kFrameSleepMs = 10;
constexpr int kAfterIntroSleepMs = 200;  // cut short by a key

void DrawLogo(const VideoState& video, double elapsed) {
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
  glBindTexture(GL_TEXTURE_2D, video.tex.LogoTexture);
  glBegin(GL_QUADS);
  float alpha = 0.0f;
  if (IntroAlpha(elapsed, alpha)) glColor4f(0.0f, 0.0f, 0.0f, alpha);
  glTexCoord2f(0.0f, 1.0f);
  glVertex3f(-2.0f, 2.0f, -6.0f);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3f(-2.0f, -2.0f, -6.0f);
  glTexCoord2f(1.0f, 0.0f);
  glVertex3f(2.0f, -2.0f, -6.0f);
  glTexCoord2f(1.0f, 1.0f);
  glVertex3f(2.0f, 2.0f, -6.0f);
  glEnd();
  glDisable(GL_TEXTURE_2D);
}

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
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  for (;;) {
    plat::SetScreenName("intro");
    if (plat::Timer() - start > kIntroLength) break;
    PollKeyInto(game);
    if (IntroKeyEnds(game.frame.LastKey)) break;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawLogo(game.video, plat::Timer() - start);
    plat::Present();
    plat::SleepMs(kFrameSleepMs);
  }
  // The menu's first frame expects the resting blend function.
  glBlendFunc(GL_ONE, GL_ZERO);
  plat::SleepMs(kAfterIntroSleepMs);
}
