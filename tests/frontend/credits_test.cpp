// The credits' rules without a window: fade and pages, scene rules, texts.
#include "frontend/credits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "game/game.h"

namespace {

TEST(CreditsFade, PagesStartEvery668FramesAndEndInFrame2673) {
  CreditsState credits;
  ResetCredits(credits);
  std::vector<int> pageStarts;
  int frame = 0;
  int last = credits.CreditsPage;
  float brightest = 0.0f;
  while (credits.CreditsPage < kCreditsEndPage && frame < 10000) {
    ++frame;
    StepCreditsFade(credits);
    if (credits.CreditsPage != last) pageStarts.push_back(frame);
    last = credits.CreditsPage;
    // The three values move in lockstep.
    EXPECT_EQ(credits.CreditsFade[0], credits.CreditsFade[1]);
    EXPECT_EQ(credits.CreditsFade[0], credits.CreditsFade[2]);
    brightest = std::max(brightest, credits.CreditsFade[0]);
  }
  EXPECT_EQ(pageStarts, (std::vector<int>{1, 669, 1337, 2005, 2673}));
  EXPECT_GE(brightest, 1.0f);
  EXPECT_LT(brightest, 1.01f);

  // Restarting puts everything back.
  ResetCredits(credits);
  EXPECT_EQ(credits.CreditsPage, 0);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(credits.CreditsFade[i], 0.0f);
    EXPECT_EQ(credits.FadeFalling[i], "false");
  }
}

SimState MenuBalls() {
  SimState sim;
  sim.BallCount = 4;
  for (int i = 1; i <= 4; ++i) {
    sim.Balls[i].x = static_cast<float>(i - 2);
    sim.Balls[i].y = 3.0f;
    sim.Balls[i].radius = 0.18f;
  }
  return sim;
}

TEST(CreditsScene, DropsUndroppedBallsAtOneFourSevenAndTenSeconds) {
  SimState sim = MenuBalls();
  MenuState menu;
  menu.BallDropped[2] = 1;  // dropped in the menu already: left alone
  sim.Balls[2].x = 0.4f;
  sim.Balls[2].y = 1.0f;
  const double start = 50.0;
  const double times[] = {50.5, 51.0, 51.01, 54.0, 54.2, 57.5, 60.0, 60.02};
  const int dropped[] = {1, 1, 2, 2, 2, 3, 3, 4};
  for (int k = 0; k < 8; ++k) {
    ApplyCreditsSceneRules(sim, menu, true, times[k], start);
    int count = 0;
    for (int i = 1; i <= 4; ++i) count += menu.BallDropped[i];
    EXPECT_EQ(count, dropped[k]) << times[k];
  }
  EXPECT_EQ(sim.Balls[4].x, 0.0f);
  EXPECT_EQ(sim.Balls[4].y, 2.5f);
  EXPECT_EQ(sim.Balls[2].x, 0.4f);
  EXPECT_EQ(sim.Balls[2].y, 1.0f);

  // Disabled drops: the undropped balls stay held, at rest.
  SimState held = MenuBalls();
  MenuState fresh;
  held.Balls[3].vy = -0.5f;
  held.Balls[3].y = 2.99f;
  ApplyCreditsSceneRules(held, fresh, false, 1000.0, start);
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(fresh.BallDropped[i], 0);
    EXPECT_EQ(held.Balls[i].x, static_cast<float>(i - 2));
    EXPECT_EQ(held.Balls[i].y, 3.0f);
    EXPECT_EQ(held.Balls[i].vy, 0.0f);
  }
}

TEST(CreditsScene, FallenBallsComeBackStraightAboveAtHeightThree) {
  SimState sim = MenuBalls();
  MenuState menu;
  for (int i = 1; i <= 4; ++i) menu.BallDropped[i] = 1;
  sim.Balls[1] = {1.25f, -3.51f, 0.7f, -6.0f, 0.18f, "white", 0, 0};
  sim.Balls[2] = {-0.8f, -3.5f, 0.7f, -6.0f, 0.18f, "white", 0, 0};
  sim.Balls[3].x = std::numeric_limits<float>::infinity();
  sim.Balls[4] = {0.3f, 1.0f, 0.5f, 0.0f, 0.18f, "white", 0, 0};
  ApplyCreditsSceneRules(sim, menu, true, 100.0, 100.0);
  EXPECT_EQ(sim.Balls[1].x, 1.25f);
  EXPECT_EQ(sim.Balls[1].y, 3.0f);
  EXPECT_EQ(sim.Balls[1].vx, 0.0f);
  EXPECT_EQ(sim.Balls[1].vy, 0.0f);
  EXPECT_EQ(sim.Balls[2].y, -3.5f);  // not below yet
  EXPECT_EQ(sim.Balls[3].x, 0.0f);   // no "above" for a broken position
  EXPECT_EQ(sim.Balls[3].y, 3.0f);
  // No air damping in the credits.
  EXPECT_EQ(sim.Balls[4].vx, 0.5f);
}

TEST(CreditsPages, LinesFontsAndPlaces) {
  const CreditLine* lines = nullptr;
  ASSERT_EQ(CreditPageLines(1, &lines), 2);
  EXPECT_STREQ(lines[0].text, "Quobbes Zirpel");
  EXPECT_TRUE(lines[0].title);
  EXPECT_EQ(lines[0].x, -2.5f);
  EXPECT_EQ(lines[0].y, 1.35f);
  EXPECT_FALSE(lines[1].title);
  EXPECT_EQ(lines[1].y, 1.05f);
  EXPECT_NE(std::strstr(lines[1].text, "2026"), nullptr);
  EXPECT_NE(std::strstr(lines[1].text, "Quobbes-Zirpel-Team"), nullptr);

  ASSERT_EQ(CreditPageLines(2, &lines), 2);
  EXPECT_STREQ(lines[0].text, "Editor Programmer:");
  EXPECT_EQ(lines[0].x, -0.5f);
  EXPECT_EQ(lines[0].y, -0.25f);
  EXPECT_EQ(lines[1].y, -0.5f);

  ASSERT_EQ(CreditPageLines(3, &lines), 2);
  EXPECT_STREQ(lines[0].text, "Game Programmer:");
  EXPECT_EQ(lines[0].x, -2.5f);

  ASSERT_EQ(CreditPageLines(4, &lines), 3);
  EXPECT_TRUE(lines[0].title);
  EXPECT_NE(std::strstr(lines[0].text, "C++20"), nullptr);
  EXPECT_EQ(lines[2].y, -0.75f);

  for (int page : {0, 5, -1, 99}) {
    EXPECT_EQ(CreditPageLines(page, &lines), 0) << page;
    EXPECT_EQ(lines, nullptr);
  }
}

}  // namespace
