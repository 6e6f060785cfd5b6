// Scene drawing: balls, platforms with round or jagged ends, textured static
// spheres, the guide grid of the play scene, the goal disk and the sparks. Everything lies in the
// plane z = -6 (kSceneDepth).
#include "render/scene_draw.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sim/level_objects.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr float kHalfThickness = 0.08f;
constexpr float kJagDepth = 0.032f;
constexpr float kJagWidth = 0.05f;

// A disc is drawn with at least 3 and at most 400 slices, whatever radius a
// map gives.
constexpr double kMinSlices = 3.0;
constexpr double kMaxSlices = 400.0;

int DiscSlices(float radius) {
  const double slices = std::nearbyint(static_cast<double>(radius) * 5.0 + 35.0);
  // A radius from a map may be anything; keep the slice count drawable.
  return static_cast<int>(std::clamp(slices, kMinSlices, kMaxSlices));
}

unsigned SphereTexture(const VideoState& video, ColourWord colour) {
  switch (colour) {
    case ColourWord::White:
      return video.tex.SphereWhiteTexture;
    case ColourWord::Blue:
      return video.tex.SphereBlueTexture;
    case ColourWord::Red:
      return video.tex.SphereRedTexture;
    case ColourWord::Other:
      break;
  }
  return 0;
}

// A disc with the sphere texture of the colour word; other words bind
// nothing and show whatever texture is bound.
void DrawTexturedDisc(const VideoState& video, ColourWord colour, float x, float y, float radius) {
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
  if (colour != ColourWord::Other) glBindTexture(GL_TEXTURE_2D, SphereTexture(video, colour));
  glPushMatrix();
  glTranslatef(x, y, kSceneDepth);
  gluQuadricTexture(video.DiskQuadric, GL_TRUE);
  gluDisk(video.DiskQuadric, 0.0, radius, DiscSlices(radius), 1);
  glPopMatrix();
  glDisable(GL_TEXTURE_2D);
}

void PlainDisc(const VideoState& video, float x, float y, float radius) {
  glPushMatrix();
  glTranslatef(x, y, kSceneDepth);
  gluDisk(video.DiskQuadric, 0.0, radius, DiscSlices(radius), 1);
  glPopMatrix();
}

void PlatformColour(PlatformKind kind, ColourWord colour) {
  const float level = kind == PlatformKind::Fixed ? 0.75f : 1.0f;
  switch (colour) {
    case ColourWord::White:
      glColor3f(level, level, level);
      break;
    case ColourWord::Blue:
      glColor3f(0.0f, 0.0f, level);
      break;
    case ColourWord::Red:
      glColor3f(level, 0.0f, 0.0f);
      break;
    case ColourWord::Other:
      break;
  }
}

// Rim point s (0..20) of a round end about the origin, running
// counter-clockwise from the top over the left to the bottom.
void CapVertex(int s, float offsetX) {
  const double a = kPi / 2.0 + s * kPi / 10.0;
  glVertex3f(static_cast<float>(offsetX + kHalfThickness * std::cos(a)),
             static_cast<float>(kHalfThickness * std::sin(a)), 0.0f);
}

void V(float x, float y) {
  glVertex3f(x, y, 0.0f);
}

// The outline of one platform from (0, 0) to (length, 0), as one fan.
void PlatformFan(PlatformKind kind, float length) {
  const float l = length;
  glBegin(GL_TRIANGLE_FAN);
  switch (kind) {
    case PlatformKind::Fixed:
    case PlatformKind::Intact:
      for (int s = 0; s <= 10; ++s) CapVertex(s, 0.0f);
      for (int s = 10; s <= 20; ++s) CapVertex(s, l);
      break;
    case PlatformKind::RightBroken:
      for (int s = 0; s <= 10; ++s) CapVertex(s, 0.0f);
      V(l, -kHalfThickness);
      V(l - kJagWidth, -kJagDepth);
      V(l + kJagWidth, kJagDepth);
      V(l, kHalfThickness);
      break;
    case PlatformKind::LeftBroken:
      V(l / 2.0f, -kHalfThickness);
      V(0.0f, kHalfThickness);
      V(kJagWidth, kJagDepth);
      V(-kJagWidth, -kJagDepth);
      V(0.0f, -kHalfThickness);
      for (int s = 11; s <= 20; ++s) CapVertex(s, l);
      V(0.0f, kHalfThickness);
      break;
    case PlatformKind::BothBroken:
      V(l / 2.0f, kHalfThickness);
      V(0.0f, kHalfThickness);
      V(kJagWidth, kJagDepth);
      V(-kJagWidth, -kJagDepth);
      V(0.0f, -kHalfThickness);
      V(l, -kHalfThickness);
      V(l - kJagWidth, -kJagDepth);
      V(l + kJagWidth, kJagDepth);
      V(l, kHalfThickness);
      break;
  }
  glEnd();
}

void DrawPlatform(const MapPlatform& p) {
  const double ax = p.leftX, ay = p.leftY, bx = p.rightX, by = p.rightY;
  const double dx = bx - ax, dy = by - ay;
  const double length = std::sqrt(dx * dx + dy * dy);
  double w = dx / length;
  w = std::clamp(w, -1.0, 1.0);
  double angle = std::atan2(std::sqrt(1.0 - w * w), w) * kDegreesPerRadian;
  if (angle > 90.0) angle += -180.0;
  if (ay > by) angle = -angle;

  PlatformColour(p.kind, p.colour);
  glPushMatrix();
  glTranslatef(static_cast<float>(ax), static_cast<float>(ay), kSceneDepth);
  glRotatef(static_cast<float>(angle), 0.0f, 0.0f, 1.0f);
  PlatformFan(p.kind, static_cast<float>(length));
  glPopMatrix();
  glColor3f(1.0f, 1.0f, 1.0f);
}

}  // namespace

void DrawBalls(const SimState& sim, const VideoState& video, float burnTime) {
  if (video.DiskQuadric == nullptr) return;
  const int count = std::clamp(sim.BallCount, 0, kMaxBalls);
  if (count >= 1) {
    const Ball& player = sim.Balls[1];
    glPushMatrix();
    glTranslatef(player.x, player.y, kSceneDepth);
    const int slices = DiscSlices(player.radius);
    if (burnTime != 0.0f) {
      // The burn pie grows by 12 degrees per second burnt.
      glColor3f(0.0f, 0.55f, 0.65f);
      gluPartialDisk(video.DiskQuadric, 0.0, player.radius, slices, 1, 0.0,
                     12.0 * static_cast<double>(burnTime));
    }
    glColor3f(0.1f, 0.3f, 0.6f);
    gluDisk(video.DiskQuadric, 0.0, player.radius, slices, 1);
    glPopMatrix();
  }

  const GoalState& g = sim.Goal;
  for (int i = 2; i <= count; ++i) {
    // With a goal in a race, the goal ball is drawn as the goal disk instead.
    const bool drawn = !g.GoalPresent || sim.SceneMode == 1 ||
                       sim.GameMode == PlayMode::kSurvival ||
                       (sim.GameMode == PlayMode::kRace && i != g.BallIndex());
    if (!drawn) continue;
    const Ball& ball = sim.Balls[static_cast<std::size_t>(i)];
    if (sim.SceneMode == 0) {
      DrawTexturedDisc(video, ColourWordOf(ball.colour), ball.x, ball.y, ball.radius);
    } else {
      glColor3f(0.1f, 0.3f, 0.6f);
      PlainDisc(video, ball.x, ball.y, kBallRadius);
    }
  }
}

void DrawGhost(const VideoState& video, float x, float y, float radius) {
  if (video.DiskQuadric == nullptr) return;
  glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_CURRENT_BIT);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDepthMask(GL_FALSE);
  glPushMatrix();
  glTranslatef(x, y, kSceneDepth + 0.01f);
  glColor4f(0.75f, 0.85f, 1.0f, 0.45f);
  gluDisk(video.DiskQuadric, 0.0, radius, DiscSlices(radius), 1);
  glColor4f(1.0f, 1.0f, 1.0f, 0.7f);
  gluDisk(video.DiskQuadric, radius * 0.85, radius, DiscSlices(radius), 1);
  glPopMatrix();
  glPopAttrib();
}

void DrawMapObjects(const MapText& map, const VideoState& video) {
  glBlendFunc(GL_ONE, GL_ZERO);
  const MapObjectCache& objects = MapObjects(map);
  // Platforms and spheres interleaved in line order, as the map lists them.
  std::size_t p = 0, s = 0;
  while (p < objects.platforms.size() || s < objects.spheres.size()) {
    const bool platformNext =
        s >= objects.spheres.size() ||
        (p < objects.platforms.size() && objects.platforms[p].line < objects.spheres[s].line);
    if (platformNext) {
      const MapPlatform& platform = objects.platforms[p++];
      if (platform.usable) DrawPlatform(platform);
      continue;
    }
    const MapSphere& sphere = objects.spheres[s++];
    if (sphere.usable && video.DiskQuadric != nullptr) {
      DrawTexturedDisc(video, sphere.colour, sphere.centre.x, sphere.centre.y, sphere.radius);
    }
  }
}

void DrawGrid(float cx, float cy) {
  // A camera far beyond any map has no grid near it worth drawing.
  if (!(std::fabs(cx) < 1.0e8f && std::fabs(cy) < 1.0e8f)) return;
  glColor3f(1.0f, 1.0f, 1.0f);
  glBegin(GL_LINES);
  const int x0 = static_cast<int>(std::nearbyint(static_cast<double>(cx) - 6.0));
  const int x1 = static_cast<int>(std::nearbyint(static_cast<double>(cx) + 6.0));
  for (int i = x0; i <= x1; ++i) {
    if (i % 4 != 0) continue;
    glVertex3f(static_cast<float>(i + 0.2), cy - 6.0f, -6.2f);
    glVertex3f(static_cast<float>(i + 0.2), cy + 6.0f, -6.2f);
  }
  const int y0 = static_cast<int>(std::nearbyint(static_cast<double>(cy) - 6.0));
  const int y1 = static_cast<int>(std::nearbyint(static_cast<double>(cy) + 6.0));
  for (int i = y0; i <= y1; ++i) {
    if (i % 4 != 0) continue;
    glVertex3f(cx - 6.0f, static_cast<float>(i + 0.2), -6.2f);
    glVertex3f(cx + 6.0f, static_cast<float>(i + 0.2), -6.2f);
  }
  glEnd();
}

void DrawGoalDisk(const SimState& sim, const VideoState& video) {
  if (!GoalDiskShown(sim)) return;
  const Ball& g = GoalBall(sim);
  const GoalState& goal = sim.Goal;
  glColor3f(goal.GoalColour[0], goal.GoalColour[1], goal.GoalColour[2]);
  glTranslatef(g.x, g.y, kSceneDepth);
  // Slices: the radius times 40, kept to what a disc can be drawn with (a map
  // may give any radius, even one that overflows).
  const double wanted = std::nearbyint(static_cast<double>(g.radius) * 40.0);
  const int slices = std::isfinite(wanted)
                         ? static_cast<int>(std::clamp(wanted, kMinSlices, kMaxSlices))
                         : static_cast<int>(kMinSlices);
  if (video.DiskQuadric != nullptr) gluDisk(video.DiskQuadric, 0.0, g.radius, slices, 1);
  glTranslatef(-g.x, -g.y, -kSceneDepth);
  glColor3f(1.0f, 1.0f, 1.0f);
}

void DrawParticles(const ParticleList& list, const VideoState& video) {
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  for (const ParticleRecord& p : list.items) {
    if (p.colour == "white")
      glBindTexture(GL_TEXTURE_2D, video.tex.ParticleWhiteTexture);
    else if (p.colour == "blue")
      glBindTexture(GL_TEXTURE_2D, video.tex.ParticleBlueTexture);
    else if (p.colour == "red")
      glBindTexture(GL_TEXTURE_2D, video.tex.ParticleRedTexture);
    float qs = 0.0f, qt = 0.0f;
    if (p.sprite > 3.0f) {
      qs = 0.5f;
      qt = 0.5f;
    } else if (p.sprite > 2.0f) {
      qt = 0.5f;
    } else if (p.sprite > 1.0f) {
      qs = 0.5f;
    }
    const float h = p.size / 2.0f;
    glPushMatrix();
    glTranslatef(p.x, p.y, kSceneDepth);
    glColor4f(0.0f, 0.0f, 0.0f, p.alpha);
    glBegin(GL_QUADS);
    glTexCoord2f(qs, qt + 0.5f);
    glVertex2f(-h, h);
    glTexCoord2f(qs, qt);
    glVertex2f(-h, -h);
    glTexCoord2f(qs + 0.5f, qt);
    glVertex2f(h, -h);
    glTexCoord2f(qs + 0.5f, qt + 0.5f);
    glVertex2f(h, h);
    glEnd();
    glPopMatrix();
  }
  glBlendFunc(GL_ONE, GL_ZERO);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}
