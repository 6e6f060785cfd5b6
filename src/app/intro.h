// The logo intro played at start-up when "PlayIntro" is "Enabled": a black
// lead-in, the logo fading in and out, a black tail; any key cuts it short.
#pragma once

#include <string>

struct Game;

// Runs the intro and the short pause after it; leaves LastKey holding the
// last polled key string (a key that ended the intro is consumed).
void RunIntro(Game& game);

// Seconds: the whole intro, the end of the black lead-in, the turn from
// fading in to fading out, and the length of each fade.
constexpr double kIntroLength = 7.5;
constexpr double kIntroFadeInStart = 1.0;
constexpr double kIntroFadeOutStart = 4.0;
constexpr double kIntroFadeLength = 3.0;

// True for a key string that ends the intro: any key, window close included.
bool IntroKeyEnds(const std::string& key);

// The logo's alpha at e seconds into the intro, within 0..1. Returns false
// at exactly 1.0 s and 4.0 s, where the previous frame's colour stays.
bool IntroAlpha(double e, float& alpha);
