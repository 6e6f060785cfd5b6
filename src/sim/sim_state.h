// Simulation state: the ball table, the static spheres, the goal, the last
// platform break and the scene flags the shared scene step consults.
// World units: x to the right, y up; everything lies in the plane z = -6.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kMaxBalls = 50;
constexpr int kMaxStaticSpheres = 50;
constexpr float kSceneDepth = -6.0f;
// The radius of the menu's balls and of ball 1 at the start.
constexpr float kBallRadius = 0.18f;

struct Ball {
  float x = 0.0f;
  float y = 0.0f;
  float vx = 0.0f;  // world units per second
  float vy = 0.0f;
  float radius = 0.0f;
  std::string colour;  // "white", "blue", "red" or anything else
  float gravity = 0.0f;
  float lastDampTime = 0.0f;  // timer seconds of the last damping
};

struct StaticSphere {
  float x = 0.0f;
  float y = 0.0f;
  float radius = 0.0f;
  std::string colour;
};

// The last platform break waiting to become sparks.
struct BreakEvent {
  int pending = 0;
  float leftX = 0.0f, leftY = 0.0f;    // new end on the lower end's side
  float rightX = 0.0f, rightY = 0.0f;  // new end on the upper end's side
  float angle = 0.0f;                  // radians
  float mx = 0.0f, my = 0.0f;          // the ball's motion of that frame
  std::string colour = "white";
};

// The game mode. Its values are stored: replays, run starts and the world's
// fingerprint hold them as these numbers.
enum class PlayMode : std::uint8_t { kNone = 0, kRace = 1, kSurvival = 2 };

struct GoalState {
  bool GoalPresent = false;    // once the level has a goal
  float GoalIsRagdoll = 0.0f;  // 1.0 for "Goal.ragdoll"
  float GoalBallIndex = 2.0f;  // whole-number index into the ball table
  bool GoalReached = false;    // once ball 1 touched the goal in a race
  float PendingGoalX = 19000.0f;
  float PendingGoalY = 19000.0f;
  float PendingGoalRadius = 0.0f;
  // The goal disk's colour animation: never reset between levels.
  float GoalColour[3] = {1.0f, 0.5f, 0.0f};
  std::uint8_t GoalColourFalling[3] = {0, 0, 0};

  int BallIndex() const;  // GoalBallIndex rounded to the nearest integer
};

struct SimState {
  std::array<Ball, kMaxBalls + 1> Balls{};  // 1-based; [0] unused
  int BallCount = 1;
  std::array<StaticSphere, kMaxStaticSpheres + 1> Spheres{};  // 1-based
  std::int16_t StaticSphereCount = 0;
  BreakEvent Break;
  GoalState Goal;
  int SceneMode = 1;  // 1 menu and credits scenes, 0 in play
  PlayMode GameMode = PlayMode::kNone;
  bool RedContact = false;  // the ball burns: it last touched red, not blue since
};

struct ParticleRecord {
  float x = 0.0f, y = 0.0f;
  float vx = 0.0f, vy = 0.0f;  // displacement per frame
  float size = 0.1f;
  float sprite = 0.0f;  // [0, 4): quarter of the sprite sheet
  float alpha = 1.0f;
  std::string colour;
};

struct ParticleList {
  std::vector<ParticleRecord> items;  // order carries no meaning
};
