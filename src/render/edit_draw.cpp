#include "render/edit_draw.h"

#include <GL/gl.h>

namespace {

// Just in front of the platforms and spheres (z = -6), behind the texts.
constexpr float kMarkDepth = -5.98f;

void SetMarkColour(int colour) {
  // kHandle, kSelected, kError, kWarning, kDraft
  static const float kColours[][3] = {{0.9f, 0.9f, 0.9f},
                                      {1.0f, 1.0f, 0.2f},
                                      {1.0f, 0.15f, 0.15f},
                                      {1.0f, 0.6f, 0.1f},
                                      {0.3f, 1.0f, 0.4f}};
  const int k = colour >= 0 && colour < 5 ? colour : 0;
  glColor3f(kColours[k][0], kColours[k][1], kColours[k][2]);
}

}  // namespace

void DrawHandle(float x, float y, float half, int colour) {
  glDisable(GL_TEXTURE_2D);
  SetMarkColour(colour);
  glBegin(GL_LINE_LOOP);
  glVertex3f(x - half, y - half, kMarkDepth);
  glVertex3f(x + half, y - half, kMarkDepth);
  glVertex3f(x + half, y + half, kMarkDepth);
  glVertex3f(x - half, y + half, kMarkDepth);
  glEnd();
  glColor3f(1.0f, 1.0f, 1.0f);
}

void DrawEditLine(float x0, float y0, float x1, float y1, int colour) {
  glDisable(GL_TEXTURE_2D);
  SetMarkColour(colour);
  glBegin(GL_LINES);
  glVertex3f(x0, y0, kMarkDepth);
  glVertex3f(x1, y1, kMarkDepth);
  glEnd();
  glColor3f(1.0f, 1.0f, 1.0f);
}
