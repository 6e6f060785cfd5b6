// The front end's own pictures: intro logo, title picture, entry bars, boxes.
#include "render/front_draw.h"

#include <GL/gl.h>

#include <cmath>
#include <numbers>

namespace {

constexpr float kLogoDepth = -6.0f;
constexpr float kTitleImageDepth = -6.1f;
constexpr float kBarDepth = -5.95f;
constexpr float kBoxDepth = -6.0f;

}  // namespace

void DrawLogo(const VideoState& video, bool fade, float alpha) {
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
  glBindTexture(GL_TEXTURE_2D, video.tex.LogoTexture);
  glBegin(GL_QUADS);
  if (fade) glColor4f(0.0f, 0.0f, 0.0f, alpha);
  glTexCoord2f(0.0f, 1.0f);
  glVertex3f(-2.0f, 2.0f, kLogoDepth);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3f(-2.0f, -2.0f, kLogoDepth);
  glTexCoord2f(1.0f, 0.0f);
  glVertex3f(2.0f, -2.0f, kLogoDepth);
  glTexCoord2f(1.0f, 1.0f);
  glVertex3f(2.0f, 2.0f, kLogoDepth);
  glEnd();
  glDisable(GL_TEXTURE_2D);
}

void DrawTitleImage(const VideoState& video) {
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
  glBindTexture(GL_TEXTURE_2D, video.tex.MascotTexture);
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 1.0f);
  glVertex3f(-1.0f, 0.0f, kTitleImageDepth);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3f(-1.0f, -1.2f, kTitleImageDepth);
  glTexCoord2f(1.0f, 0.0f);
  glVertex3f(2.35f, -1.2f, kTitleImageDepth);
  glTexCoord2f(1.0f, 1.0f);
  glVertex3f(2.35f, 0.0f, kTitleImageDepth);
  glEnd();
  glDisable(GL_TEXTURE_2D);
}

void DrawEntryBars(int selection) {
  constexpr double kDegrees = std::numbers::pi / 180.0;
  glBlendFunc(GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA);
  for (int k = 0; k <= 2; ++k) {
    const bool highlighted = selection == k;
    const float grey = highlighted ? 0.85f : 0.45f;
    const float capX = highlighted ? -1.3f : -1.8f;
    const float centreY = 0.6f * static_cast<float>(k);
    glColor4f(grey, grey, grey, 0.3f);
    glBegin(GL_TRIANGLE_FAN);
    glVertex3f(-4.4f, centreY - 0.25f, kBarDepth);
    for (int degrees = 270; degrees <= 450; degrees += 10) {
      const double a = degrees * kDegrees;
      glVertex3f(capX + static_cast<float>(0.25 * std::cos(a)),
                 centreY + static_cast<float>(0.25 * std::sin(a)), kBarDepth);
    }
    glVertex3f(-4.4f, centreY + 0.25f, kBarDepth);
    glEnd();
  }
  glBlendFunc(GL_ONE, GL_ZERO);
}

void DrawFlatBox(float x0, float x1, float bottom, float top, float grey) {
  glColor3f(grey, grey, grey);
  glBegin(GL_QUADS);
  glVertex3f(x0, bottom, kBoxDepth);
  glVertex3f(x1, bottom, kBoxDepth);
  glVertex3f(x1, top, kBoxDepth);
  glVertex3f(x0, top, kBoxDepth);
  glEnd();
  glColor3f(1.0f, 1.0f, 1.0f);
}
