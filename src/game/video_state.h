// What the screen is: its size, the scale of the menu plane, and the handles
// of what the drawing set up once (fonts, textures, the disc quadric). Plain
// values: the steps read the size and scale, only drawing uses the handles.
#pragma once

struct GLUquadric;

// Texts stand on the plane z = -5.9, just in front of the scene.
constexpr float kTextPlane = -5.9f;

struct Textures {
  unsigned LogoTexture = 0;
  unsigned MascotTexture = 0;
  unsigned ParticleWhiteTexture = 0;
  unsigned ParticleBlueTexture = 0;
  unsigned ParticleRedTexture = 0;
  unsigned SphereWhiteTexture = 0;
  unsigned SphereBlueTexture = 0;
  unsigned SphereRedTexture = 0;
  unsigned ScreenTexture = 0;
  bool ScreenTextureLoaded = false;  // its picture decoded and uploaded
};

struct VideoState {
  int ScreenWidth = 0;
  int ScreenHeight = 0;
  int TextUnit = 0;
  float PixelsPerUnitX = 0.0f;
  float PixelsPerUnitY = 0.0f;
  unsigned TextFont = 0;   // display-list base of the smaller font
  unsigned TitleFont = 0;  // display-list base of the larger font
  Textures tex;
  GLUquadric* DiskQuadric = nullptr;
};
