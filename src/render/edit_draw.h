// The level editor's marks over the game's own drawing of a level: handles
// and lines on the scene plane, in the colours of EditMarkColour.
#pragma once

// A square outline around (x, y) with the given half size (world units).
void DrawHandle(float x, float y, float half, int colour);
// A line from (x0, y0) to (x1, y1).
void DrawEditLine(float x0, float y0, float x1, float y1, int colour);
