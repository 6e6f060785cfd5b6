// The level editor's screen: the game's own drawing of the level being
// edited with handles on top, a palette of what can be placed, the checker's
// findings, saving into the player's levels folder and test-play in the real
// game. Each frame: poll, measure, read, step, draw, present, sleep; the
// step changes the editor's state and fills the view, saving and test-play
// run between frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/frame_view.h"
#include "leveledit/level_edit.h"
#include "platform/platform.h"
#include "session/author_run.h"
#include "sim/sim_state.h"
#include "world/map.h"

struct Game;

// The camera's distance to the scene plane: the game's own at the near end
// (nothing can come closer than the projection's near plane), eight times
// as far at the far end.
constexpr float kEditorNearest = 6.0f;
constexpr float kEditorFarthest = 48.0f;

// What the pointer is doing with the left or right button held.
enum class EditorGesture : std::uint8_t { kNone, kDraw, kMoveEnd, kMoveBody, kPan };

struct EditorSession {
  LevelDoc doc;
  std::string levelFile;  // the name the level has in the player's folder
  std::string savePath;   // its host file there ("" when the game has none)
  std::vector<PaletteEntry> palette = Palette();
  int paletteIndex = 0;
  bool snap = true;  // to the grid of kGridStep
  float camX = 0.0f, camY = 0.0f, camDistance = 12.0f;
  // The pointer's gesture: where it began (world and pixels), the object it
  // holds and how far a body was moved so far.
  EditorGesture gesture = EditorGesture::kNone;
  Point pressWorld;
  int pressX = 0, pressY = 0, lastX = 0, lastY = 0;
  int buttonsBefore = 0;
  Hit held;
  Point movedSoFar;
  bool gestureEdited = false;  // the gesture made its undo step already
  int selected = 0;            // the selected object's type line, 0 for none
  bool leaveArmed = false;     // Esc once with unsaved changes: the next leaves
  // Enter on a selected text trigger: its text is typed here until Enter
  // (taken, one undo step) or Esc (dropped).
  bool typing = false;
  std::string typed;
  std::string message;  // the latest word to the player (German)
  // What the level is now, made again whenever its text changes.
  std::uint64_t shownState = 0;
  std::vector<LevelObject> objects;
  std::vector<MapFinding> findings;
  MapText map;
  SimState sim;
  AuthorRun author;  // proven against the file as last read or written
};

// The readings of one editor frame after its key poll.
struct EditorInput {
  plat::Pointer pointer;
  int wheel = 0;
};
EditorInput ReadEditorInput();

// What the frame asks for besides itself.
enum class EditorAction : std::uint8_t { kNone, kLeave, kSave, kTestPlay };

// Opens a level from its bytes under its name in the player's folder: the
// camera takes in the whole level, the author run is proven.
void OpenEditorSession(EditorSession& ed, const std::string& levelFile, const std::string& bytes);
// One editor frame's step: keys, pointer, wheel; then the view of the level
// with handles, marks, palette and findings. Game::editor gets the numbers
// the state dump reports.
EditorAction StepEditorFrame(Game& game, EditorSession& ed, const EditorInput& in, FrameView& view);
// The world point under a pixel of the screen, for the editor's camera.
Point EditorPointToWorld(const Game& game, const EditorSession& ed, int px, int py);

// Runs the editor on FILE as the command line gives it: a file on the host,
// or a level name the game lists ("Res/maps/NAME"); a name that is neither
// starts a new, empty level (".mapGame1" is added to a name without a level
// extension). Returns when the player leaves it.
void RunEditorOn(Game& game, const std::string& file);
// From the level selection: the player's own level is edited where it is;
// a shipped one is first copied into the player's levels folder under a new
// name ("NAME Kopie.mapGame1"). Returns when the player leaves the editor.
void EditListedLevel(Game& game, const std::string& levelFile);
