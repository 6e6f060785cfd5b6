// The level editor's model: a level's text and the editing operations on it
// (place, select by point, move an end or a body, delete, undo and redo,
// the grid, saving), with no drawing and no input. The text stays the
// file's own bytes: lines the editor does not understand (notes, blank
// lines) stay where they were, line ends stay as they were, and a level
// opened and saved without a change keeps every byte. Objects are named by
// their type line, as the checker's findings name them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mapcheck/map_check.h"
#include "world/map.h"

// ---- the palette ------------------------------------------------------------

// What a placement puts into the level.
struct PaletteChoice {
  LevelObjectType type = LevelObjectType::kPlatform;
  PlatformKind platformKind = PlatformKind::Fixed;
  std::string colour = "white";  // platforms and spheres
  std::string text;              // a text trigger's text
  float counter = 3000.0f;       // a text trigger's display counter
  float cameraZ = 6.0f;          // the start camera's distance
};

struct PaletteEntry {
  PaletteChoice choice;
  std::string label;  // German, for the palette on screen
};
// The palette in its order, starting on a white static platform: the five
// platform kinds each in white, red and blue, static and ragdoll spheres in
// the three colours, static and ragdoll goal, ball 1's start, the start
// camera and a text trigger.
std::vector<PaletteEntry> Palette();

// Sizes a placement by a click alone gets (world units).
constexpr float kDefaultSphereRadius = 0.5f;
constexpr float kDefaultRagdollRadius = 0.18f;
constexpr float kDefaultGoalRadius = 0.4f;
// The most edits that can be undone.
constexpr std::size_t kUndoSteps = 1000;
// The grid the editor snaps to.
constexpr float kGridStep = 0.1f;

// ---- the level being edited -------------------------------------------------

// One line of the file: its text as the game reads it and the bytes that
// ended it ("\n", "\r\n", "" for a last line without one, "\r" for a last
// line ending in a lone carriage return).
struct LevelLine {
  std::string text;
  std::string end;
};

// Lines removed at a place and lines put in their stead: one edit's change.
struct LineSplice {
  std::size_t at = 0;  // index into LevelDoc::lines
  std::vector<LevelLine> removed;
  std::vector<LevelLine> inserted;
};
struct EditStep {
  std::vector<LineSplice> splices;  // applied in order
  std::uint64_t stateBefore = 0, stateAfter = 0;
};

struct LevelDoc {
  LevelKind kind = LevelKind::kRace;
  std::vector<LevelLine> lines;  // line 1 at index 0
  std::vector<EditStep> undo;    // oldest first, at most kUndoSteps
  std::vector<EditStep> redo;    // the next redo last
  // Names the text's state: every edit makes a new one, undo and redo
  // return to earlier ones; savedState is the state last read or written.
  std::uint64_t state = 1;
  std::uint64_t savedState = 1;
  std::uint64_t nextState = 2;
  bool joinNext = false;  // the next edit joins the latest undo step
};

// A level from a file's bytes (and its kind); "" is a new, empty level.
LevelDoc OpenLevel(const std::string& bytes, LevelKind kind);
// The level's bytes, in the map format the game reads.
std::string LevelBytes(const LevelDoc& doc);
// The map text the game holds for the level as it is now (for test-play).
MapText LevelMap(const LevelDoc& doc);
// Every object of the level as the game reads it, in line order.
std::vector<LevelObject> LevelObjects(const LevelDoc& doc);
// Whether the text differs from what was last read or written.
bool LevelChanged(const LevelDoc& doc);

// The checker's findings on the level as it is now; each names its object
// by its type line (objectLine) where it concerns one.
std::vector<MapFinding> CheckLevel(const LevelDoc& doc, const CheckOptions& options = {});
// The type line of the object line k belongs to (its type line or one of
// its parameter lines), 0 for none.
int ObjectOfLine(const std::vector<LevelObject>& objects, int k);

// The smallest box holding every object (ends, disks with their radius,
// ball 1's start with its size, the camera's point); false for a level
// without objects.
bool LevelExtent(const std::vector<LevelObject>& objects, Point& low, Point& high);

// ---- selecting --------------------------------------------------------------

enum class HitPart : std::uint8_t {
  kNone,
  kBody,  // the whole object
  kEndA,  // end A of a platform or text trigger
  kEndB,  // end B
  kRim,   // the rim of a sphere or goal: its radius
};
struct Hit {
  int line = 0;  // the object's type line, 0 for none
  HitPart part = HitPart::kNone;
};
// The object at p (world units) within tolerance: ends and rims before
// bodies, the nearest first, the later object (drawn on top) on a tie.
// Ball 1's start is where the game puts it (rounded).
Hit HitTest(const std::vector<LevelObject>& objects, Point p, float tolerance);

// p on the grid (nearest multiple of step in each coordinate).
Point SnapToGrid(Point p, float step = kGridStep);

// ---- editing ----------------------------------------------------------------
// Each edit is one undo step (unless joined); each returns the edited
// object's type line afterwards, 0 when nothing was done. Only lines whose
// value changes are rewritten, numbers in the game's own "%.7g" form.

// Places a new object: a platform or text trigger from a to b; a sphere or
// goal centred at a with the radius |b - a| to thousandths (a click alone,
// b == a, gives the default radius); ball 1's start at a, rounded as the game rounds it,
// in lines 1 and 2; the start camera at a. Ball 1's start, the start camera
// and a goal exist once: placing one again moves the one the game uses
// (a goal takes the placed kind and size). New objects go after the last
// line that is not blank.
int PlaceObject(LevelDoc& doc, const PaletteChoice& choice, Point a, Point b);
// Sets an end (kEndA, kEndB: the point; kRim: the radius, the distance from
// the centre to `to` to thousandths) of the object whose type line is line.
int MoveEnd(LevelDoc& doc, int line, HitPart part, Point to);
// Moves the whole object by delta.
int MoveObject(LevelDoc& doc, int line, Point delta);
// Gives the object these values (type and kind within the same layout:
// a platform's kind, static or ragdoll sphere or goal, a text shown or not;
// its points, radius, colour, text, counter). Missing parameter lines are
// written too.
int SetObject(LevelDoc& doc, int line, const LevelObject& values);
// Removes the object's type line and its parameter lines.
bool DeleteObject(LevelDoc& doc, int line);

// The next edit joins the latest undo step: a drag made of many moves is
// undone at once.
void ContinueStep(LevelDoc& doc);
bool Undo(LevelDoc& doc);
bool Redo(LevelDoc& doc);

// A name for the player's copy of a level: "NAME Kopie.EXT", then
// "NAME Kopie 2.EXT", ..., the first not among the names taken (compared
// without regard to case, as the game lists levels).
std::string CopyName(const std::string& fileName, const std::vector<std::string>& taken);

// ---- files ------------------------------------------------------------------

// Reads a level file (a game path or a host path) exactly as it is, its kind
// from the name. False, with the reason in German, when it cannot be read.
bool ReadLevelFile(const std::string& path, LevelDoc& doc, std::string& why);
// Writes the level through a temporary file renamed over the old one
// (always, changed or not) and marks it saved. False, with the reason in
// German, when it cannot be written.
bool WriteLevelFile(const std::string& path, LevelDoc& doc, std::string& why);
