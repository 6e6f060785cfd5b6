// The front end's own pictures: the logo of the intro, the menu's title
// picture and entry bars, the level selection's boxes. Draws what it is given.
#pragma once

#include "render/video.h"

// The logo quad, LogoTexture decal-textured; with fade, its colour is black
// at the given alpha first (without, the colour stays what it was).
void DrawLogo(const VideoState& video, bool fade, float alpha);
// MascotTexture on its quad below the entries, just behind the texts.
void DrawTitleImage(const VideoState& video);
// The three translucent entry bars, the selected one lighter and longer;
// opaque blending after.
void DrawEntryBars(int selection);
// A flat grey box between x0 and x1, bottom and top, behind the texts; the
// colour is white again after.
void DrawFlatBox(float x0, float x1, float bottom, float top, float grey);
