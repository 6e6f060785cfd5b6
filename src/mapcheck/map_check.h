// Level checking: what a level author needs to know about a map text, read
// exactly as the game reads it (the map text's own line splitting, parsing
// and bounds, the level set-up and the scene step), one finding per line.
// Errors: the game reads something other than what the author wrote.
// Warnings: legal, but almost surely a mistake or unfair.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "world/map.h"

// ---- levels and their objects -----------------------------------------------

// What a map file is: a race (".mapGame1"), a survival level (".mapGame2")
// or the menu scene (anything else, "Mainmenu.startmap").
enum class LevelKind : std::uint8_t { kRace, kSurvival, kMenu };
LevelKind LevelKindOfName(const std::string& fileName);

enum class LevelObjectType : std::uint8_t {
  kPlatform,     // one of the five "Plattform.static..." words (platformKind)
  kSphere,       // "Sphere.static"
  kRagdoll,      // "Sphere.ragdoll"
  kGoalStatic,   // "Goal.static"
  kGoalRagdoll,  // "Goal.ragdoll"
  kBallStart,    // "BallPosition", only in line 1
  kCamera,       // "Startgame.zoomin"
  kText,         // "Output.text"
  kTextShown,    // "FontEvent.static.Activ": the text shows from the start
};

// The map word of a type (a platform's is its kind's word).
const char* TypeWord(LevelObjectType type, PlatformKind kind = PlatformKind::Fixed);
// Parameter lines after the type line: 3, 3, 3, 2, 2, 1, 1, 4, 4.
int ParameterLines(LevelObjectType type);

// One object of the map as the game reads it: every line equal to a type
// word is one (a parameter line too, as in the game), "BallPosition" only in
// line 1. Values are what the game's parsing gives; lines beyond the end
// read as empty.
struct LevelObject {
  int line = 0;  // the type line
  LevelObjectType type = LevelObjectType::kPlatform;
  PlatformKind platformKind = PlatformKind::Fixed;
  Point a;               // end A, the centre, the start, the camera's x and y
  Point b;               // end B (platforms and text triggers)
  float radius = 0.0f;   // spheres and goals
  float z = 0.0f;        // the camera's z
  std::string colour;    // the colour line as written (platforms and spheres)
  std::string text;      // a text trigger's text
  float counter = 0.0f;  // a text trigger's display counter
};
// Every object of the map in line order.
std::vector<LevelObject> ListLevelObjects(const MapText& map);
// Whether line k of a map, with this text, is a type line the game acts on,
// and of what.
bool TypeOfMapLine(const std::string& text, int k, LevelObjectType& type, PlatformKind& kind);
// The map text the game holds for a map file of these bytes (its bound on
// bytes, lines and line length applied as the game applies it).
MapText MapOfBytes(const std::string& bytes);

// ---- findings ---------------------------------------------------------------

enum class Severity : std::uint8_t { kError, kWarning };

struct MapFinding {
  int line = 1;  // the file's line the finding is about (1 for the whole level)
  Severity severity = Severity::kError;
  std::string code;     // a stable name ("bad-point"); the list is kFindingCodes
  std::string message;  // German; quoted map text in the file's own bytes
  int objectLine = 0;   // the type line of the object it concerns, 0 for none
};

// Every code the checker can give, errors first.
extern const char* const kFindingCodes[];
extern const int kFindingCodeCount;

struct CheckOptions {
  // Play the level without steering to find an unfair start: a race lost or
  // set on fire in its first 3 seconds, a survival level lost in its first 5.
  bool simulate = true;
};

// Findings for a map file's bytes as a level of the given kind, by line
// (errors before warnings on the same line).
std::vector<MapFinding> CheckMapText(const std::string& bytes, LevelKind kind,
                                     const CheckOptions& options = {});
// The same for a file (a game path or a host path; the kind from its name).
// False, with the reason in German, when it cannot be read.
bool CheckMapFile(const std::string& path, std::vector<MapFinding>& findings, std::string& why,
                  const CheckOptions& options = {});
// The errors alone, without playing the level: what the game tells once on
// standard error when it loads a player's level, and marks it for.
std::vector<MapFinding> MapErrors(const std::string& bytes, LevelKind kind);
// Whether any finding is an error.
bool HasErrors(const std::vector<MapFinding>& findings);

// ---- how findings are told --------------------------------------------------

// "LINE: error: MESSAGE" (or "warning"), the message as UTF-8: a finding
// within one file, as the editor lists it.
std::string FindingLine(const MapFinding& finding);
// "FILE:LINE: error: MESSAGE [CODE]" (or "warning"), as compilers write it.
std::string CompilerLine(const std::string& file, const MapFinding& finding);
// One JSON object: {"file":...,"line":N,"severity":"error","code":...,
// "message":...,"object":N}; text taken as Windows-1252, written as UTF-8.
std::string FindingJson(const std::string& file, const MapFinding& finding);
// What the game says once on standard error when it loads a player's level:
// "Fehler in Level NAME, Zeile N: MESSAGE" ("Warnung in Level ..." for a
// warning).
std::string GermanFindingLine(const std::string& levelName, const MapFinding& finding);
// Text in the game's Windows-1252 bytes as UTF-8 for a host's terminal.
std::string Utf8FromGameText(const std::string& text);

// ---- playing without steering -----------------------------------------------

// The fixed frame time of the simulated checks.
constexpr double kCheckFrameTime = 1.0 / 60.0;

// What happens to a level played without any steering, frame by frame at
// kCheckFrameTime, from its start for the given time.
struct NoInputRun {
  int frames = 0;           // frames played
  bool lost = false;        // ball 1 fell out or burnt out
  double lostAt = 0.0;      // seconds of play at the losing frame
  bool caughtFire = false;  // ball 1 touched red
  double fireAt = 0.0;      // seconds of play at that frame
  bool won = false;         // a race's goal reached
  double wonAt = 0.0;
  Point lastBall1;  // ball 1 at the last frame played
};
// Plays the map (race when gameMode is 1, survival when 2) for that many
// seconds, stopping early at a loss or a win. The map itself is not changed.
NoInputRun SimulateWithoutInput(const MapText& map, int gameMode, double seconds);
