// Draws what a screen's step asked a frame to show, item by item in its
// order: every GL call of a frame goes through here or the set-up.
#pragma once

#include <cstddef>

#include "game/frame_view.h"
#include "game/video_state.h"

// Draws the items from `from` on, up to a sub-screen's mark or the end;
// returns the index after the last item drawn (past the mark).
std::size_t DrawFrameView(const FrameView& view, const VideoState& video, std::size_t from = 0);
