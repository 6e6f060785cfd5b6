// State of a game session: camera, controls, rules, leaderboard and HUD.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Ball 1's boost energy at the start of a run, and the most it regains.
constexpr float kEnergyMax = 5.0f;

struct SessionState {
  std::uint8_t CameraPhase = 0;  // 0 start zoom, 1 play
  float ZoomCameraX = 0.0f, ZoomCameraY = 0.0f, ZoomCameraZ = 0.0f;
  float ZoomDirectionX = 0.0f, ZoomDirectionY = 0.0f, ZoomDirectionZ = 0.0f;
  float ZoomPrevDistance = 500.0f;
  float Energy = kEnergyMax;
  std::uint8_t ControlsEnabled = 1;
  std::uint8_t InfoOverlay = 0;
  std::uint8_t Wireframe = 0;
  float SessionStartTime = 0.0f;  // timer seconds at which play began
  float BurnTime = 0.0f;          // seconds burnt
  std::uint8_t RunLost = 0;
  int SurvivalEnded = 0;
  std::string SurvivalTimeText = "0";
  int RecordStored = 0;
  float BestTime = 0.0f;
  int StartPositionX = 0, StartPositionY = 1;
  std::int64_t FrameCounter = 0;
  bool quit = false;  // the session loop is to be left
  // This play frame's answer to the restart question (EndAnswer), and
  // whether the last frame acted on one.
  std::uint8_t endAnswer = 0;
  bool answeredLastFrame = false;
  std::uint8_t GhostHidden = 0;  // "g" hides the ghost of the best run
  // The run's time as the leaderboard takes it, judged by the rules in the
  // latest frame that showed the restart question.
  float runTime = 0.0f;
  double rulesNow = 0.0;  // the clock reading of this frame's rules
};

struct Leaderboard {
  std::vector<std::string> lines{std::string()};  // 1-based, [0] unused
  int LeaderboardLineCount = 0;
  // False when the file exists but could not be read whole: rewriting it
  // from the lines held would lose what was not read, so records then stay
  // in memory only.
  bool writable = true;
};

struct HudState {
  int FpsCounter = 0;
  int ShownRate = 0;
  float WindowStart = 0.0f;
  std::string FpsText = "FPS: 0";
  // Every text the HUD and the end screens drew in the latest play frame,
  // in drawing order (for the state dump).
  std::vector<std::string> shownTexts;
};
