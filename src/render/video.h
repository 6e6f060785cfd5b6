// Video set-up: GL state, screen-dependent scale factors, the two bitmap
// fonts with DrawText/DrawTitle, the nine textures and the disc quadric.
#pragma once

#include <cstdint>
#include <string>

#include "game/video_state.h"

// round((w + h) / 2), ties to even.
int ComputeTextUnit(int width, int height);
// Pixels per world unit on the menu plane from the aspect table; a screen
// shape no row matches gets the projection's own values (visible extent of
// the plane z = -6 under the 45 degree perspective).
void LookUpAspect(int width, int height, float& perUnitX, float& perUnitY);
// Font pixel heights: round(TextUnit / 35) and round(TextUnit / 23).
int TextFontHeight(int textUnit);
int TitleFontHeight(int textUnit);

// The size a decoded picture is uploaded at: the table's width x height
// (given in width, height), or the picture's own when it has fewer pixels.
void TextureUploadSize(std::uint32_t pictureWidth, std::uint32_t pictureHeight, int& width,
                       int& height);

// GL state, scale factors, fonts, textures and the quadric, in this order.
void SetUpVideo(VideoState& video);
void SetPerspective(const VideoState& video);  // the scene projection

// Text in the smaller (DrawText) or larger (DrawTitle) font at raster
// position (x, y); sets the colour first and leaves it white.
void DrawText(const VideoState& video, const std::string& text, float x, float y, float r, float g,
              float b);
void DrawTitle(const VideoState& video, const std::string& text, float x, float y, float r, float g,
               float b);
