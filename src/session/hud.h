// HUD and on-screen text of a play frame: the danger overlay, the map's text
// triggers, the frame-rate count, the energy bar, the panels and the info
// lines. Shown with the scene projection and an identity model-view: panels
// at z = -5.95, texts on the plane z = -5.9. The Show functions put what is
// to be seen into the frame's view and note each text in the HUD state.
#pragma once

#include <string>
#include <vector>

#include "game/frame_view.h"
#include "game/session_state.h"
#include "sim/sim_state.h"
#include "world/map.h"

// Whether ball (bx, by, radius br) touches the trigger line (x1, y1)-(x2, y2):
// horizontal and vertical lines include their boundaries, sloped ones not.
bool TriggerFires(float x1, float y1, float x2, float y2, float bx, float by, float br);
// A text to show this frame: the map line index of its trigger's type line.
struct TriggerText {
  std::string text;
  float x = 0.0f;  // raster x on the text plane: length / -16
};
// Fires every "Output.text" that ball 1 touches (rewriting its type line to
// "FontEvent.static.Activ"), counts the active ones down by 1000 per second of
// dt and returns the texts still to show (counter above 20 before this frame).
// fired, when given, counts the triggers ball 1 set off in this frame.
std::vector<TriggerText> StepTextTriggers(MapText& map, const Ball& ball1, double dt,
                                          int* fired = nullptr);

// Frame-rate count: one more frame; after a full second the count is shown.
void CountFrame(HudState& hud, double now);

// "Zeit: " times: the first 3, 4, 5 or 6 characters of a seconds text for
// values under 10, 100, 1000 and 10000, nothing from 10000 on; "0" for values
// under 0.1, which one decimal shows as nothing.
std::string ShortTime(const std::string& secondsText);

// Overlay margin in pixels: a quarter screen width per second short of 30.
int DangerMargin(int screenWidth, float burnTime);

// ---- showing ---------------------------------------------------------------
// Text on the HUD's text plane (the model-view must be identity), noted in
// the frame's shown texts.
void ShowText(HudState& hud, FrameView& view, const std::string& text, float x, float y, float r,
              float g, float b);
void ShowTitle(HudState& hud, FrameView& view, const std::string& text, float x, float y, float r,
               float g, float b);
// Steps the text triggers of this frame and shows their texts at the bottom
// of the screen; returns how many ball 1 set off in this frame.
int ShowTextTriggers(HudState& hud, FrameView& view, MapText& map, const Ball& ball1, double dt);
// Energy bar, HUD panel, race-won panel and the "Energie: " label.
void ShowHudBars(HudState& hud, FrameView& view, float energy, const SimState& sim);
// "Zeit: ", "Bestzeit: " and the frame rate when the info overlay is on.
void ShowInfoLines(HudState& hud, FrameView& view, const SessionState& session, double now);
