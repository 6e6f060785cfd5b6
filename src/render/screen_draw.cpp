// The screens' own drawing: frame, camera, HUD panels, bars and overlay.
#include "render/screen_draw.h"

#include <GL/gl.h>

#include <cmath>
#include <numbers>

namespace {

constexpr float kPanelDepth = -5.95f;
// The corners' rim runs once round in 63 steps.
constexpr double kPanelCornerStep = 2.0 * std::numbers::pi / 63.0;

}  // namespace

void ClearFrame() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void FinishFrame() {
  glFlush();
}

void ResetModelView() {
  glLoadIdentity();
}

void TranslateView(float x, float y, float z) {
  glTranslatef(x, y, z);
}

void SetWireframe(bool on) {
  glPolygonMode(GL_FRONT_AND_BACK, on ? GL_LINE : GL_FILL);
}

void PushView() {
  glPushMatrix();
}

void PopView() {
  glPopMatrix();
}

void SetOpaqueBlend() {
  glBlendFunc(GL_ONE, GL_ZERO);
}

void SetFadeBlend() {
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void RoundedPanel(float cy, float hx, float hy, float r) {
  glBegin(GL_TRIANGLE_FAN);
  glVertex3f(0.0f, cy, kPanelDepth);
  double theta = 0.0;
  for (int k = 0; k <= 64; ++k) {
    double px = r * std::cos(theta);
    double py = r * std::sin(theta);
    px += px >= 0.0 ? hx : -hx;
    py += py >= 0.0 ? hy : -hy;
    glVertex3f(static_cast<float>(px), static_cast<float>(cy + py), kPanelDepth);
    theta += kPanelCornerStep;
  }
  glEnd();
}

void DrawPanel(float cy, float hx, float hy, float r, float alpha) {
  glBlendFunc(GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA);
  glColor4f(0.0f, 0.3f, 0.7f, alpha);
  RoundedPanel(cy, hx, hy, r);
  glBlendFunc(GL_ONE, GL_ZERO);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void DrawHudBackground(float energy, float energyMax, bool raceWon) {
  glLoadIdentity();
  const float e = energy;
  glBlendFunc(GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA);
  glBegin(GL_QUADS);
  glColor4f(1.0f, 0.0f, 0.0f, 0.3f);
  glVertex3f(-0.3f, 2.2f, kPanelDepth);
  glColor4f(1.0f - e / energyMax, e / energyMax, 0.0f, 0.3f);
  glVertex3f(e / 4.0f - 0.3f, 2.2f, kPanelDepth);
  glVertex3f(e / 4.0f - 0.3f, 2.35f, kPanelDepth);
  glColor4f(1.0f, 0.0f, 0.0f, 0.3f);
  glVertex3f(-0.3f, 2.35f, kPanelDepth);
  glEnd();
  DrawPanel(2.4f, 1.0f, 0.14f, 0.2f, 0.3f);
  if (raceWon) DrawPanel(0.9f, 1.25f, 0.25f, 0.1f, 0.3f);
  glBlendFunc(GL_ONE, GL_ZERO);
}

void DrawBurnOverlay(const VideoState& v, int margin) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, v.ScreenWidth, 0.0, v.ScreenHeight, -10.0, 2.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  const float m = static_cast<float>(margin);
  const float w = static_cast<float>(v.ScreenWidth), h = static_cast<float>(v.ScreenHeight);
  // Without its picture the quad would add plain white over the whole
  // background: then there is no overlay at all.
  if (v.tex.ScreenTextureLoaded) {
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    glBindTexture(GL_TEXTURE_2D, v.tex.ScreenTexture);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(-m, h + m);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(-m, -m);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(w + m, -m);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(w + m, h + m);
    glEnd();
    glDisable(GL_TEXTURE_2D);
  }
  glBlendFunc(GL_ONE, GL_ZERO);
  SetPerspective(v);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void DrawTextOnPlane(const VideoState& video, const std::string& text, float x, float y, float r,
                     float g, float b) {
  glTranslatef(0.0f, 0.0f, kTextPlane);
  DrawText(video, text, x, y, r, g, b);
  glTranslatef(0.0f, 0.0f, -kTextPlane);
}

void DrawTitleOnPlane(const VideoState& video, const std::string& text, float x, float y, float r,
                      float g, float b) {
  glTranslatef(0.0f, 0.0f, kTextPlane);
  DrawTitle(video, text, x, y, r, g, b);
  glTranslatef(0.0f, 0.0f, -kTextPlane);
}
