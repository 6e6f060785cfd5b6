// The window's play screen: a play frame drawn by render and heard by the
// game's ears.
#pragma once

#include "session/session.h"

const PlayScreen& WindowPlayScreen();
