// Video set-up: GL state, scale factors, fonts, textures and the quadric.
#include "render/video.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <numbers>

#include "image/png.h"
#include "platform/fonts.h"
#include "platform/platform.h"
#include "render/png_file.h"

namespace {

constexpr double kPi = std::numbers::pi;

struct AspectRow {
  double ratio;
  bool exact;
  double xDivisor;
  double yDivisor;
};

// Visible width and height (world units) of the plane z = -6 for the
// screen shapes the game knows.
// clang-format off
constexpr AspectRow kAspectTable[] = {
    {1.6, true, 8.0, 4.97},                 // 1280 x 800, 1680 x 1050
    {1.777777777777778, false, 8.8, 5.0},   // 1920 x 1080
    {1.778645833333333, false, 9.2, 5.2},   // 1366 x 768
    {1.333333333333333, false, 6.6, 4.95},  // 1024 x 768
    {1.25, false, 6.2, 4.95},               // 1280 x 1024
    {1.770833333333333, false, 8.2, 4.9},   // 1360 x 768
    {1.5625, false, 7.76, 4.9},             // 1600 x 1024
};
// clang-format on

struct TextureRow {
  unsigned Textures::*handle;
  const char* file;
  int width;
  int height;
};

constexpr TextureRow kTextureTable[] = {
    {&Textures::LogoTexture, "res/gfx/LOGO.png", 512, 512},
    {&Textures::MascotTexture, "res/gfx/zirpel.png", 800, 300},
    {&Textures::ParticleWhiteTexture, "res/gfx/Particle_White.png", 128, 128},
    {&Textures::ParticleBlueTexture, "res/gfx/Particle_Blue.png", 128, 128},
    {&Textures::ParticleRedTexture, "res/gfx/Particle_Red.png", 128, 128},
    {&Textures::SphereWhiteTexture, "res/gfx/SphereWhite.png", 256, 256},
    {&Textures::SphereBlueTexture, "res/gfx/SphereBlue.png", 256, 256},
    {&Textures::SphereRedTexture, "res/gfx/SphereRed.png", 256, 256},
    {&Textures::ScreenTexture, "res/gfx/ScreenTexture.png", 2048, 2048},
};

// Returns whether the picture could be decoded; without it the texture
// stays empty.
bool LoadTexture(const TextureRow& row, unsigned& handle) {
  GLuint name = 0;
  glGenTextures(1, &name);
  handle = name;
  glBindTexture(GL_TEXTURE_2D, name);
  std::string reason;
  const PngImage image = DecodePngFile(row.file, kPngOpenGl, &reason);
  if (image) {
    int w = row.width, h = row.height;
    TextureUploadSize(image.width, image.height, w, h);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, image.data);
  } else {
    // The texture stays without a picture (the game plays on); the player
    // learns which file it is and why.
    plat::ConsoleWarning("Bild " + plat::ResolvePath(row.file) + " nicht ladbar: " + reason);
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  return static_cast<bool>(image);
}

int RoundFloatToInt(float value) {
  return static_cast<int>(std::nearbyint(value));
}

void DrawString(unsigned font, const std::string& text, float x, float y, float r, float g,
                float b) {
  // The raster position takes over the current colour: colour first.
  glColor3f(r, g, b);
  glRasterPos2f(x, y);
  glPushAttrib(GL_LIST_BIT);
  glListBase(font);
  glCallLists(static_cast<GLsizei>(text.size()), GL_UNSIGNED_BYTE, text.data());
  glPopAttrib();
  glColor3f(1.0f, 1.0f, 1.0f);
}

}  // namespace

void TextureUploadSize(std::uint32_t pictureWidth, std::uint32_t pictureHeight, int& width,
                       int& height) {
  // The picture is taken at the table's size; one with fewer pixels than
  // that is taken at its own size, so that nothing past its end is read.
  const std::uint64_t table =
      static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  if (static_cast<std::uint64_t>(pictureWidth) * pictureHeight < table) {
    width = static_cast<int>(pictureWidth);
    height = static_cast<int>(pictureHeight);
  }
}

int ComputeTextUnit(int width, int height) {
  return static_cast<int>(std::nearbyint((static_cast<double>(width) + height) / 2.0));
}

void LookUpAspect(int width, int height, float& perUnitX, float& perUnitY) {
  const double r = static_cast<double>(width) / static_cast<double>(height);
  for (const AspectRow& row : kAspectTable) {
    const bool match = row.exact ? r == row.ratio : std::fabs(r - row.ratio) < 0.0005;
    if (match) {
      perUnitX = static_cast<float>(width / row.xDivisor);
      perUnitY = static_cast<float>(height / row.yDivisor);
      return;
    }
  }
  // Any other shape: the visible extent of the plane z = -6 under the 45
  // degree perspective, so the pointer still maps onto the scene.
  const double visibleHeight = 2.0 * 6.0 * std::tan(22.5 * kPi / 180.0);
  const double visibleWidth = visibleHeight * (height > 0 ? r : 1.0);
  perUnitX = visibleWidth > 0.0 ? static_cast<float>(width / visibleWidth) : 0.0f;
  perUnitY = static_cast<float>(height / visibleHeight);
}

int TextFontHeight(int textUnit) {
  return RoundFloatToInt(static_cast<float>(textUnit / 35.0));
}
int TitleFontHeight(int textUnit) {
  return RoundFloatToInt(static_cast<float>(textUnit / 23.0));
}

void SetPerspective(const VideoState& video) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  const double aspect =
      video.ScreenHeight != 0 ? static_cast<double>(video.ScreenWidth) / video.ScreenHeight : 1.0;
  gluPerspective(45.0, aspect, 5.5, 50.0);
  glMatrixMode(GL_MODELVIEW);
}

void SetUpVideo(VideoState& video) {
  glViewport(0, 0, video.ScreenWidth, video.ScreenHeight);
  SetPerspective(video);
  glLoadIdentity();
  glShadeModel(GL_SMOOTH);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_BLEND);
  glEnable(GL_CULL_FACE);

  video.TextUnit = ComputeTextUnit(video.ScreenWidth, video.ScreenHeight);
  LookUpAspect(video.ScreenWidth, video.ScreenHeight, video.PixelsPerUnitX, video.PixelsPerUnitY);

  video.TextFont = plat::BuildBitmapFont(TextFontHeight(video.TextUnit), 500);
  video.TitleFont = plat::BuildBitmapFont(TitleFontHeight(video.TextUnit), 300);

  for (const TextureRow& row : kTextureTable) {
    const bool loaded = LoadTexture(row, video.tex.*row.handle);
    if (row.handle == &Textures::ScreenTexture) video.tex.ScreenTextureLoaded = loaded;
  }
  glBindTexture(GL_TEXTURE_2D, 0);

  video.DiskQuadric = gluNewQuadric();
}

void DrawText(const VideoState& video, const std::string& text, float x, float y, float r, float g,
              float b) {
  DrawString(video.TextFont, text, x, y, r, g, b);
}

void DrawTitle(const VideoState& video, const std::string& text, float x, float y, float r, float g,
               float b) {
  DrawString(video.TitleFont, text, x, y, r, g, b);
}
