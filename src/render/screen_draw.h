// The screens' own drawing: frame set-up, the camera, the HUD's panels, bars
// and burn overlay, texts on the text plane. Draws what it is given.
#pragma once

#include <string>

#include "render/video.h"

// ---- frame ------------------------------------------------------------------
void ClearFrame();      // colour and depth
void FinishFrame();     // everything drawn reaches the picture
void ResetModelView();  // identity model-view
void TranslateView(float x, float y, float z);
void SetWireframe(bool on);  // polygons as lines or filled
void PushView();             // keeps the model-view for PopView
void PopView();
void SetOpaqueBlend();  // (one, zero): the resting blend function
void SetFadeBlend();    // (source alpha, one minus source alpha)

// ---- HUD --------------------------------------------------------------------
// A rectangle of half-extents (hx + r, hy + r) with rounded corners, centred
// on (0, cy) at z = -5.95, in the current colour and blending.
void RoundedPanel(float cy, float hx, float hy, float r);
// Panel with its colour and the translucent blending, then (one, zero) again.
void DrawPanel(float cy, float hx, float hy, float r, float alpha);
// From an identity model-view: the energy bar (energy of energyMax), the HUD
// panel and, when the race is won, the race-won panel; opaque blending after.
void DrawHudBackground(float energy, float energyMax, bool raceWon);
// The burn overlay: ScreenTexture stretched by margin pixels, added behind
// the scene objects (nothing when its picture did not load); leaves the
// scene projection and an identity model-view.
void DrawBurnOverlay(const VideoState& video, int margin);
// Text and title on the text plane (the model-view must be identity).
void DrawTextOnPlane(const VideoState& video, const std::string& text, float x, float y, float r,
                     float g, float b);
void DrawTitleOnPlane(const VideoState& video, const std::string& text, float x, float y, float r,
                      float g, float b);
