// Map text: the loaded map held as 1-based text lines, the parameter-line
// conversions, and the parsed-object cache the scene consumers share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Point {
  float x = 0.0f;
  float y = 0.0f;
};
struct Triple {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

// ---- parsed objects ----------------------------------------------------
// The objects the scene step and the scene drawing interpret, parsed from
// the text once per revision of the map instead of once per consumer.

enum class PlatformKind : std::uint8_t {
  Fixed,        // "Plattform.static"
  Intact,       // "Plattform.static.destructible"
  RightBroken,  // "Plattform.static.destructible.left"
  LeftBroken,   // "Plattform.static.destructible.right"
  BothBroken,   // "Plattform.static.destructible.both"
};

enum class ColourWord : std::uint8_t { Other, White, Blue, Red };

struct MapPlatform {
  int line = 0;  // the type line k
  PlatformKind kind = PlatformKind::Fixed;
  ColourWord colour = ColourWord::Other;
  bool usable = false;  // ends differ and every coordinate is finite
  Point a, b;           // as written in lines k+1 and k+2
  // Ends ordered by x (left first), and the vertical extent, for the
  // broad test of the collision scan.
  float leftX = 0.0f, leftY = 0.0f, rightX = 0.0f, rightY = 0.0f;
  float yLo = 0.0f, yHi = 0.0f;
};

struct MapSphere {
  int line = 0;
  ColourWord colour = ColourWord::Other;
  bool usable = false;  // every number finite
  Point centre;
  float radius = 0.0f;
};

struct MapTrigger {
  int line = 0;
};

// The broad-test box of a platform in the collision's precision: the x
// range of its ends and its y range; a platform nobody may use gets NaN bounds,
// which fail every comparison.
struct PlatformBox {
  double leftX, rightX, yLo, yHi;
};

struct MapObjectCache {
  std::uint64_t revision = 0;
  bool valid = false;
  // Set by the benchmark: parse the whole text again at every request, as a
  // map without a cache would be read.
  bool literalReparse = false;
  std::vector<MapPlatform> platforms;  // in line order
  std::vector<PlatformBox> boxes;      // one per platform, same order
  std::vector<MapSphere> spheres;      // in line order
  // Type lines of the text triggers ("Output.text", "FontEvent.static.Activ"),
  // in line order.
  std::vector<MapTrigger> triggers;
};

// The current map, exactly as read (no trimming). Index 0 is unused; lines
// beyond MapLineCount read as empty strings. Change lines only through
// SetLine, AppendMapLines and SetMapLines, so the object cache sees every change.
struct MapText {
  std::vector<std::string> MapLines{std::string()};  // [0] unused
  int MapLineCount = 0;
  // Bumped by every change of MapLines, so caches of parsed objects can tell
  // they are stale before any later consumer in the same frame looks.
  std::uint64_t revision = 0;
  mutable MapObjectCache cache;
  // Lines and platforms the consumers have looked at so far: a frame's work,
  // counted rather than timed, which tests and fuzzers hold within bounds.
  mutable std::uint64_t scanWork = 0;

  const std::string& Line(int k) const;          // "" outside 1..MapLineCount
  void SetLine(int k, const std::string& text);  // ignored outside 1..MapLineCount
};

// What a map file can hand the game, at most: later bytes and lines are left
// out and a longer line keeps its first bytes. Far beyond any level (the
// shipped ones have a few hundred short lines), small enough that a hostile
// file cannot fill the memory or stall a frame.
constexpr std::size_t kMaxMapBytes = std::size_t{64} << 20;
constexpr std::size_t kMaxMapLines = 1000000;
constexpr std::size_t kMaxMapLineBytes = 4096;

// Replaces the map with these lines (line 1 first), as LoadMap does with a
// file's lines.
void SetMapLines(MapText& map, std::vector<std::string> lines);
// A map holding these lines.
MapText MapFromLines(std::vector<std::string> lines);
// Adds four lines at the end (a split platform's second piece). The lines
// are taken by value, so they may come from the map itself.
void AppendMapLines(MapText& map, std::string a, std::string b, std::string c, std::string d);

// The parsed platforms and static spheres of the current text, rebuilt when
// the map's revision moved on since the last request. SetLine and
// AppendMapLines keep an up-to-date cache up to date themselves, parsing
// only the objects that read the changed lines.
const MapObjectCache& MapObjects(const MapText& map);
// Index of the first cached platform whose type line lies after line k.
std::size_t FirstPlatformAfter(const MapObjectCache& cache, int k);

// Type words of the platform kinds and the colour words.
const char* PlatformTypeName(PlatformKind kind);
bool PlatformKindOf(const std::string& line, PlatformKind& kind);
ColourWord ColourWordOf(const std::string& word);

// "[x,y]": drops the first and last character, splits at the first comma.
Point ParsePoint(const std::string& line);
Triple ParseTriple(const std::string& line);
// Leading blanks, sign, digits, fraction, exponent (e/E/d/D), &H/&O/&B
// integers; trailing text ignored; no number gives 0.
double ParseNumber(const std::string& text);
// "[x,y]" with each value in the "%.7g" form of a 32-bit float.
std::string FormatPoint(float x, float y);
// The "%.7g" form of a 32-bit float without a trailing point.
std::string FormatFloat7(float value);
// The "%.16g" form of a double.
std::string FormatDouble16(double value);
