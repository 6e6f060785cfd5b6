#include "frontend/editor.h"

#include <algorithm>
#include <cmath>

#include "frontend/play_screen.h"
#include "game/game.h"
#include "mapfile/map_file.h"
#include "render/frame_draw.h"
#include "render/video.h"
#include "replay/replay_file.h"
#include "session/session.h"
#include "sim/level_objects.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
// Half the height the 45 degree projection shows of the plane at distance 1.
const double kHalfViewPerDistance = std::tan(22.5 * kPi / 180.0);
constexpr int kHandlePixels = 4;       // a handle's half size on screen
constexpr int kGrabPixels = 8;         // how near the pointer must be to grab
constexpr int kDrawMinPixels = 4;      // a shorter left-drag is a click
constexpr int kPaletteShown = 7;       // palette rows on screen
constexpr float kPaletteShare = 0.4f;  // of the width, left of the level
constexpr std::size_t kFindingsShown = 5;
const char* const kHelp[] = {
    "Links: zeichnen, waehlen, ziehen  Rechts: schieben  Rad: Zoom  +/-: Palette",
    "G: Raster  Entf: loeschen  Strg+Z/Y: zurueck/vor  Strg+S: speichern  F5: testen"};

float WorldPerPixel(const Game& game, const EditorSession& ed) {
  const int h = game.video.ScreenHeight > 0 ? game.video.ScreenHeight : 1;
  return static_cast<float>(2.0 * ed.camDistance * kHalfViewPerDistance / h);
}

// Texts stand on the text plane; its units across and up from the centre.
float TextPlaneUnitsPerPixel(const Game& game) {
  const int h = game.video.ScreenHeight > 0 ? game.video.ScreenHeight : 1;
  return static_cast<float>(2.0 * -kTextPlane * kHalfViewPerDistance / h);
}

float TextLineHeight(const Game& game) {
  const int px = std::max(8, TextFontHeight(game.video.TextUnit) * 3 / 2);
  return static_cast<float>(px) * TextPlaneUnitsPerPixel(game);
}

// Where the palette's rows stand on the text plane (row 0 the top one).
float PaletteLeft(const Game& game) {
  return -0.97f * game.video.ScreenWidth / 2.0f * TextPlaneUnitsPerPixel(game);
}
float PaletteRowY(const Game& game, int row) {
  const float top = 0.97f * game.video.ScreenHeight / 2.0f * TextPlaneUnitsPerPixel(game);
  return top - TextLineHeight(game) * static_cast<float>(row + 2);
}
// The first palette entry shown: the chosen one stays in the middle.
int PaletteFirstShown(const EditorSession& ed) {
  const int n = static_cast<int>(ed.palette.size());
  return std::clamp(ed.paletteIndex - kPaletteShown / 2, 0, std::max(0, n - kPaletteShown));
}
// The palette row a pixel lies on, -1 for none: the left quarter of the
// screen, between the rows' tops and bottoms.
int PaletteRowAt(const Game& game, const EditorSession& ed, int px, int py) {
  if (px < 0 || px > game.video.ScreenWidth / 4) return -1;
  const float unit = TextPlaneUnitsPerPixel(game);
  const float y = (game.video.ScreenHeight / 2.0f - static_cast<float>(py)) * unit;
  const float line = TextLineHeight(game);
  for (int row = 0; row < kPaletteShown; ++row) {
    const float base = PaletteRowY(game, row);
    if (y >= base - line * 0.3f && y < base + line * 0.7f) {
      const int entry = PaletteFirstShown(ed) + row;
      return entry < static_cast<int>(ed.palette.size()) ? entry : -1;
    }
  }
  return -1;
}

Point Snapped(const EditorSession& ed, Point p) {
  return ed.snap ? SnapToGrid(p) : p;
}

// The level's objects, findings, map and start state, made again after a
// change of its text.
void Refresh(Game& game, EditorSession& ed) {
  if (ed.shownState == ed.doc.state) return;
  ed.shownState = ed.doc.state;
  ed.objects = LevelObjects(ed.doc);
  ed.findings = CheckLevel(ed.doc);
  ed.map = LevelMap(ed.doc);
  ed.sim = SimState();
  ed.sim.GameMode = ed.doc.kind == LevelKind::kSurvival ? PlayMode::kSurvival : PlayMode::kRace;
  ed.sim.SceneMode = 0;
  for (Ball& ball : ed.sim.Balls) ball.radius = kBallRadius;
  SetUpLevelObjects(ed.sim, ed.map);
  if (ed.selected != 0 && ObjectOfLine(ed.objects, ed.selected) != ed.selected) ed.selected = 0;
  game.editor.open = true;
  game.editor.objects = static_cast<int>(ed.objects.size());
  game.editor.findings.clear();
  // In the game's own bytes, as the dump gives every text of the game.
  for (const MapFinding& f : ed.findings) {
    game.editor.findings.push_back(std::to_string(f.line) +
                                   (f.severity == Severity::kError ? ": error: " : ": warning: ") +
                                   f.message);
  }
}

// Ball 1's start as the game puts it: the rounded point the map gives.
Point BallStartPoint(const LevelObject& o) {
  return Point{std::nearbyint(o.a.x), std::nearbyint(o.a.y)};
}

// Where the object's handles are: ends, centre and rim, start, camera.
std::vector<Point> HandlePoints(const LevelObject& o) {
  switch (o.type) {
    case LevelObjectType::kPlatform:
    case LevelObjectType::kText:
    case LevelObjectType::kTextShown:
      return {o.a, o.b};
    case LevelObjectType::kSphere:
    case LevelObjectType::kRagdoll:
    case LevelObjectType::kGoalStatic:
    case LevelObjectType::kGoalRagdoll:
      return {o.a, Point{o.a.x + o.radius, o.a.y}};
    case LevelObjectType::kBallStart:
      return {BallStartPoint(o)};
    case LevelObjectType::kCamera:
      return {o.a};
  }
  return {};
}

// The colour an object's marks take: a finding on it, the selection, or
// the plain handle.
EditMarkColour MarkColour(const EditorSession& ed, const LevelObject& o) {
  EditMarkColour colour =
      o.line == ed.selected ? EditMarkColour::kSelected : EditMarkColour::kHandle;
  for (const MapFinding& f : ed.findings) {
    if (f.objectLine != o.line) continue;
    if (f.severity == Severity::kError) return EditMarkColour::kError;
    colour = EditMarkColour::kWarning;
  }
  return colour;
}

void ShowHandles(const Game& game, const EditorSession& ed, FrameView& view) {
  const float half = kHandlePixels * WorldPerPixel(game, ed);
  for (const LevelObject& o : ed.objects) {
    const EditMarkColour colour = MarkColour(ed, o);
    const std::vector<Point> points = HandlePoints(o);
    for (const Point& p : points) view.Handle(p.x, p.y, half, colour);
    // Text triggers are not drawn by the game, and a marked object shows
    // where it lies: a line between its handles.
    if (points.size() == 2 &&
        (o.type == LevelObjectType::kText || o.type == LevelObjectType::kTextShown ||
         colour != EditMarkColour::kHandle)) {
      view.EditLine(points[0].x, points[0].y, points[1].x, points[1].y, colour);
    }
    if (o.type == LevelObjectType::kCamera || o.type == LevelObjectType::kBallStart) {
      view.Handle(points[0].x, points[0].y, half * 2.5f, colour);
    }
  }
}

void ShowDraft(const Game& game, const EditorSession& ed, FrameView& view) {
  if (ed.gesture != EditorGesture::kDraw) return;
  const Point a = Snapped(ed, ed.pressWorld);
  const Point b = Snapped(ed, EditorPointToWorld(game, ed, ed.lastX, ed.lastY));
  view.EditLine(a.x, a.y, b.x, b.y, EditMarkColour::kDraft);
  view.Handle(a.x, a.y, kHandlePixels * WorldPerPixel(game, ed), EditMarkColour::kDraft);
}

bool Proven(const EditorSession& ed) {
  return ed.author.proven && !LevelChanged(ed.doc);
}

std::string Header(const EditorSession& ed) {
  std::string text = "Editor: " + ed.levelFile + (LevelChanged(ed.doc) ? " *" : "");
  if (Proven(ed)) {
    char time[32];
    std::snprintf(time, sizeof time, "%.2f", static_cast<double>(ed.author.time));
    text +=
        "   gepr\xfc"
        "ft (" +
        std::string(time) + " s)";
  }
  text += ed.snap ? "   Raster 0.1" : "   Raster aus";
  return text;
}

// A palette entry as its row shows it: the platform kinds said short.
std::string RowLabel(const std::string& label) {
  static const std::pair<const char*, const char*> kShort[] = {
      {"Plattform zerbrechlich", "zerbrechlich"},
      {", rechtes Ende gebrochen", " rechts gebrochen,"},
      {", linkes Ende gebrochen", " links gebrochen,"},
      {", beide Enden gebrochen", " beidseits gebrochen,"}};
  std::string text = label;
  for (const auto& [longer, shorter] : kShort) {
    const std::size_t at = text.find(longer);
    if (at != std::string::npos) text.replace(at, std::string(longer).size(), shorter);
  }
  return text;
}

std::string FindingText(const MapFinding& f) {
  return "Zeile " + std::to_string(f.line) +
         (f.severity == Severity::kError ? ": Fehler: " : ": Warnung: ") + f.message;
}

void ShowTexts(const Game& game, const EditorSession& ed, FrameView& view) {
  const float unit = TextPlaneUnitsPerPixel(game);
  const float left = PaletteLeft(game);
  const float top = 0.97f * game.video.ScreenHeight / 2.0f * unit;
  const float bottom = -0.97f * game.video.ScreenHeight / 2.0f * unit;
  const float line = TextLineHeight(game);
  view.Translate(0.0f, 0.0f, kTextPlane);
  view.Text(ViewOp::kText, Header(ed), left, top - line, 1.0f, 1.0f, 1.0f);
  const int first = PaletteFirstShown(ed);
  for (int row = 0; row < kPaletteShown; ++row) {
    const int k = first + row;
    if (k >= static_cast<int>(ed.palette.size())) break;
    const bool chosen = k == ed.paletteIndex;
    view.Text(ViewOp::kText,
              (chosen ? "> " : "  ") + RowLabel(ed.palette[static_cast<std::size_t>(k)].label),
              left, PaletteRowY(game, row), chosen ? 1.0f : 0.6f, chosen ? 1.0f : 0.6f,
              chosen ? 0.3f : 0.6f);
  }
  float y = bottom + line * 0.3f;
  for (const char* help : {kHelp[1], kHelp[0]}) {
    view.Text(ViewOp::kText, help, left, y, 0.7f, 0.7f, 0.9f);
    y += line;
  }
  if (!ed.message.empty()) {
    view.Text(ViewOp::kText, ed.message, left, y, 0.5f, 1.0f, 0.5f);
    y += line;
  }
  const std::size_t shown = std::min(ed.findings.size(), kFindingsShown);
  for (std::size_t k = shown; k-- > 0;) {
    const MapFinding& f = ed.findings[k];
    const bool error = f.severity == Severity::kError;
    view.Text(ViewOp::kText, FindingText(f), left, y, 1.0f, error ? 0.3f : 0.7f,
              error ? 0.3f : 0.2f);
    y += line;
  }
  if (ed.findings.size() > shown) {
    view.Text(ViewOp::kText, "(" + std::to_string(ed.findings.size() - shown) + " weitere)", left,
              y, 0.8f, 0.8f, 0.8f);
  }
  view.Translate(0.0f, 0.0f, -kTextPlane);
}

void ShowLevel(const Game& game, const EditorSession& ed, FrameView& view) {
  view.Clear();
  view.ResetModelView();
  view.Translate(-ed.camX, -ed.camY, -(ed.camDistance - kEditorNearest));
  view.MapObjects(ed.map);
  view.Balls(ed.sim, 0.0f);
  view.GoalDisk(ed.sim);
  ShowHandles(game, ed, view);
  ShowDraft(game, ed, view);
  view.ResetModelView();
  ShowTexts(game, ed, view);
  view.Finish();
}

// The placement a left-drag (or click) from a to b makes with the palette's
// choice; false when it makes none (a click with a platform or text).
bool Place(EditorSession& ed, Point a, Point b, bool click) {
  PaletteChoice choice = ed.palette[static_cast<std::size_t>(ed.paletteIndex)].choice;
  const bool stretched =
      choice.type == LevelObjectType::kPlatform || choice.type == LevelObjectType::kText;
  if (click && stretched) return false;
  if (choice.type == LevelObjectType::kText && choice.text.empty()) choice.text = "Hinweis";
  const int line = PlaceObject(ed.doc, choice, a, click ? a : b);
  if (line != 0) ed.selected = line;
  return line != 0;
}

const LevelObject* SelectedText(const EditorSession& ed) {
  for (const LevelObject& o : ed.objects) {
    if (o.line == ed.selected &&
        (o.type == LevelObjectType::kText || o.type == LevelObjectType::kTextShown)) {
      return &o;
    }
  }
  return nullptr;
}

void ShowTyping(EditorSession& ed) {
  ed.message = "Text: " + ed.typed + "_   (Enter: fertig, Esc: verwerfen)";
}

// A key while a text trigger's text is typed: characters (in the game's
// bytes), Backspace, Enter takes the text, Esc drops it.
void StepTyping(EditorSession& ed, const std::string& key) {
  const LevelObject* text = SelectedText(ed);
  if (key == plat::kKeyEsc || key == plat::kKeyClose || text == nullptr) {
    ed.typing = false;
    ed.message.clear();
    return;
  }
  if (key == plat::kKeyEnter) {
    LevelObject values = *text;
    values.text = ed.typed;
    const int line = SetObject(ed.doc, text->line, values);
    if (line != 0) ed.selected = line;
    ed.typing = false;
    ed.message.clear();
    return;
  }
  if (key == plat::kKeyBackspace) {
    if (!ed.typed.empty()) ed.typed.pop_back();
  } else if (key.size() == 1 && static_cast<unsigned char>(key[0]) >= 32 && ed.typed.size() < 200) {
    ed.typed += key;
  }
  ShowTyping(ed);
}

// [ and ] change the selected text trigger's display counter by 500.
void StepCounter(EditorSession& ed, float delta) {
  const LevelObject* text = SelectedText(ed);
  if (text == nullptr) return;
  LevelObject values = *text;
  values.counter = std::max(0.0f, values.counter + delta);
  const int line = SetObject(ed.doc, text->line, values);
  if (line != 0) ed.selected = line;
  ed.message = "Anzeigedauer: " + std::to_string(static_cast<int>(values.counter));
}

void StepKeys(Game& game, EditorSession& ed, EditorAction& action) {
  const std::string& key = game.frame.LastKey;
  if (key.empty()) return;
  if (ed.typing) {
    StepTyping(ed, key);
    return;
  }
  if (key == plat::kKeyEsc || key == plat::kKeyClose) {
    if (LevelChanged(ed.doc) && !ed.leaveArmed && key != plat::kKeyClose) {
      ed.leaveArmed = true;
      ed.message = "Nicht gespeichert! Esc noch einmal: ohne Speichern verlassen.";
      return;
    }
    action = EditorAction::kLeave;
    return;
  }
  ed.leaveArmed = false;
  const int n = static_cast<int>(ed.palette.size());
  if (key == plat::kKeyCtrlZ) {
    ed.message = Undo(ed.doc) ? "" : "Nichts mehr rueckgaengig zu machen.";
  } else if (key == plat::kKeyCtrlY) {
    ed.message = Redo(ed.doc) ? "" : "Nichts wiederherzustellen.";
  } else if (key == plat::kKeyCtrlS) {
    action = EditorAction::kSave;
  } else if (key == plat::kKeyF5) {
    action = EditorAction::kTestPlay;
  } else if (key == plat::kKeyDelete) {
    if (ed.selected != 0 && DeleteObject(ed.doc, ed.selected)) ed.selected = 0;
  } else if (key == "+" || key == plat::kKeyDown) {
    ed.paletteIndex = (ed.paletteIndex + 1) % n;
  } else if (key == "-" || key == plat::kKeyUp) {
    ed.paletteIndex = (ed.paletteIndex + n - 1) % n;
  } else if (key == "g" || key == "G") {
    ed.snap = !ed.snap;
  } else if (key == plat::kKeyEnter && SelectedText(ed) != nullptr) {
    ed.typing = true;
    ed.typed = SelectedText(ed)->text;
    ShowTyping(ed);
  } else if (key == "]" || key == "[") {
    StepCounter(ed, key == "]" ? 500.0f : -500.0f);
  }
}

void StartGesture(Game& game, EditorSession& ed, const plat::Pointer& p, bool left) {
  ed.pressX = p.x;
  ed.pressY = p.y;
  ed.pressWorld = EditorPointToWorld(game, ed, p.x, p.y);
  ed.movedSoFar = Point{};
  ed.gestureEdited = false;
  if (!left) {
    ed.gesture = EditorGesture::kPan;
    return;
  }
  const int row = PaletteRowAt(game, ed, p.x, p.y);
  if (row >= 0) {
    ed.paletteIndex = row;
    ed.gesture = EditorGesture::kNone;
    return;
  }
  ed.held = HitTest(ed.objects, ed.pressWorld, kGrabPixels * WorldPerPixel(game, ed));
  if (ed.held.line == 0) {
    ed.gesture = EditorGesture::kDraw;
    return;
  }
  ed.selected = ed.held.line;
  ed.gesture = ed.held.part == HitPart::kBody ? EditorGesture::kMoveBody : EditorGesture::kMoveEnd;
}

// One step of a move: the held end or body follows the pointer; every
// step after the first joins the gesture's one undo step.
void FollowPointer(Game& game, EditorSession& ed, const plat::Pointer& p) {
  const Point here = EditorPointToWorld(game, ed, p.x, p.y);
  if (ed.gesture == EditorGesture::kPan) {
    ed.camX -= static_cast<float>(p.x - ed.lastX) * WorldPerPixel(game, ed);
    ed.camY += static_cast<float>(p.y - ed.lastY) * WorldPerPixel(game, ed);
    return;
  }
  if (ed.gesture != EditorGesture::kMoveEnd && ed.gesture != EditorGesture::kMoveBody) return;
  if (p.x == ed.lastX && p.y == ed.lastY) return;
  if (ed.gestureEdited) ContinueStep(ed.doc);
  int line = 0;
  if (ed.gesture == EditorGesture::kMoveEnd) {
    line = MoveEnd(ed.doc, ed.held.line, ed.held.part, Snapped(ed, here));
  } else {
    Point total{here.x - ed.pressWorld.x, here.y - ed.pressWorld.y};
    if (ed.snap) total = SnapToGrid(total);
    const Point step{total.x - ed.movedSoFar.x, total.y - ed.movedSoFar.y};
    if (step.x == 0.0f && step.y == 0.0f) {
      if (ed.gestureEdited) ed.doc.joinNext = false;
      return;
    }
    line = MoveObject(ed.doc, ed.held.line, step);
    if (line != 0) ed.movedSoFar = total;
  }
  if (line != 0) {
    ed.gestureEdited = true;
    ed.held.line = line;
    ed.selected = line;
  } else if (ed.gestureEdited) {
    ed.doc.joinNext = false;
  }
}

void EndGesture(Game& game, EditorSession& ed, const plat::Pointer& p) {
  if (ed.gesture == EditorGesture::kDraw) {
    const Point b = EditorPointToWorld(game, ed, p.x, p.y);
    const bool click =
        std::abs(p.x - ed.pressX) < kDrawMinPixels && std::abs(p.y - ed.pressY) < kDrawMinPixels;
    if (!Place(ed, Snapped(ed, ed.pressWorld), Snapped(ed, b), click) && click) ed.selected = 0;
  }
  ed.gesture = EditorGesture::kNone;
  ed.held = Hit{};
}

void StepPointer(Game& game, EditorSession& ed, const EditorInput& in) {
  const plat::Pointer& p = in.pointer;
  if (p.buttons < 0) return;  // outside the window: the gesture waits
  const int before = ed.buttonsBefore;
  ed.buttonsBefore = p.buttons;
  const bool leftDown = (p.buttons & 1) != 0, rightDown = (p.buttons & 2) != 0;
  const bool leftWas = (before & 1) != 0, rightWas = (before & 2) != 0;
  if (ed.gesture == EditorGesture::kNone) {
    if (leftDown && !leftWas) {
      StartGesture(game, ed, p, true);
    } else if (rightDown && !rightWas) {
      StartGesture(game, ed, p, false);
    }
  } else {
    FollowPointer(game, ed, p);
    const bool released = ed.gesture == EditorGesture::kPan ? !rightDown : !leftDown;
    if (released) EndGesture(game, ed, p);
  }
  ed.lastX = p.x;
  ed.lastY = p.y;
  if (in.wheel != 0) {
    // The point under the pointer stays where it is.
    const Point under = EditorPointToWorld(game, ed, p.x, p.y);
    const float factor = static_cast<float>(std::pow(0.85, in.wheel));
    ed.camDistance = std::clamp(ed.camDistance * factor, kEditorNearest, kEditorFarthest);
    const Point after = EditorPointToWorld(game, ed, p.x, p.y);
    ed.camX += under.x - after.x;
    ed.camY += under.y - after.y;
  }
}

// The camera that takes in the whole level (the game's own distance at the
// least, centred on ball 1's start for a level without objects).
void FrameTheLevel(const Game& game, EditorSession& ed) {
  Point low, high;
  if (!LevelExtent(ed.objects, low, high)) {
    ed.camX = ed.camY = 0.0f;
    ed.camDistance = 12.0f;
    return;
  }
  // The level takes the part of the screen right of the palette.
  const double aspect = game.video.ScreenHeight > 0
                            ? static_cast<double>(game.video.ScreenWidth) / game.video.ScreenHeight
                            : 1.6;
  const double halfH = (high.y - low.y) / 2.0 + 1.0;
  const double halfW = (high.x - low.x) / 2.0 + 1.0;
  const double needed =
      std::max(halfH, halfW / (aspect * (1.0 - kPaletteShare))) / kHalfViewPerDistance * 1.2;
  ed.camDistance =
      static_cast<float>(std::clamp(needed, 8.0, static_cast<double>(kEditorFarthest)));
  ed.camX = (low.x + high.x) / 2.0f - kPaletteShare / 2.0f *
                                          static_cast<float>(game.video.ScreenWidth) *
                                          WorldPerPixel(game, ed);
  ed.camY = (low.y + high.y) / 2.0f;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

void SaveLevel(EditorSession& ed) {
  std::string why;
  if (ed.savePath.empty()) {
    ed.message = "Kein Ordner fuer eigene Level: nicht gespeichert.";
  } else if (WriteLevelFile(ed.savePath, ed.doc, why)) {
    ed.message = "Gespeichert: " + ed.savePath;
    ed.author = ProveAuthorRun(ed.savePath);
  } else {
    ed.message = "Nicht gespeichert: " + why;
  }
  plat::ConsoleWarning(ed.message);
}

// Plays the level as it is now in the real game session; the editor's own
// state stays as it was.
void TestPlay(Game& game, EditorSession& ed) {
  if (ed.doc.kind == LevelKind::kMenu) {
    ed.message = "Nur Rennen und Ueberleben lassen sich testen.";
    return;
  }
  game.testPlay.on = true;
  game.testPlay.map = ed.map;
  game.testPlay.levelHash = HashBytes(LevelBytes(ed.doc));
  game.testPlay.authorRunPath = ed.savePath.empty() ? std::string() : AuthorRunPath(ed.savePath);
  game.select.ChosenLevelFile = ed.levelFile;
  game.select.SelectedMode = ed.doc.kind == LevelKind::kSurvival ? 2 : 1;
  StartLevel(game, WindowPlayScreen());
  game.testPlay = TestPlayState();
  game.select.ChosenLevelFile.clear();
  plat::SetPointerVisible(true);
  if (!ed.savePath.empty()) ed.author = ProveAuthorRun(ed.savePath);
  ed.message.clear();
  ed.buttonsBefore = 0;
  ed.gesture = EditorGesture::kNone;
}

void RunEditor(Game& game, EditorSession& ed) {
  FrameView view;
  plat::SetPointerVisible(true);
  game.frame.LastFrameStamp = plat::Timer();
  for (;;) {
    plat::SetScreenName("editor");
    view.Reset();
    PollKeyInto(game);
    MeasureFrameTime(game);
    const EditorInput input = ReadEditorInput();
    const EditorAction action = StepEditorFrame(game, ed, input, view);
    DrawFrameView(view, game.video);
    if (action == EditorAction::kLeave) break;
    plat::Present();
    plat::SleepMs(10);
    if (action == EditorAction::kSave) SaveLevel(ed);
    if (action == EditorAction::kTestPlay) TestPlay(game, ed);
  }
  game.editor.open = false;
  game.editor.proven = false;
  game.editor.objects = 0;
  game.editor.findings.clear();
  // The level may read otherwise now: the selection checks it again.
  game.editor.levelErrors.erase(ed.levelFile);
  DrainKeys(game);
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

EditorInput ReadEditorInput() {
  EditorInput in;
  in.pointer = plat::ReadPointer();
  in.wheel = plat::ReadWheel();
  return in;
}

Point EditorPointToWorld(const Game& game, const EditorSession& ed, int px, int py) {
  const float w = WorldPerPixel(game, ed);
  return Point{ed.camX + (static_cast<float>(px) - game.video.ScreenWidth / 2.0f) * w,
               ed.camY + (game.video.ScreenHeight / 2.0f - static_cast<float>(py)) * w};
}

void OpenEditorSession(EditorSession& ed, const std::string& levelFile, const std::string& bytes) {
  ed = EditorSession();
  ed.levelFile = levelFile;
  ed.doc = OpenLevel(bytes, LevelKindOfName(levelFile));
  ed.savePath = plat::PlayerLevelPath(levelFile);
  if (!ed.savePath.empty()) ed.author = ProveAuthorRun(ed.savePath);
}

EditorAction StepEditorFrame(Game& game, EditorSession& ed, const EditorInput& in,
                             FrameView& view) {
  EditorAction action = EditorAction::kNone;
  StepKeys(game, ed, action);
  Refresh(game, ed);
  StepPointer(game, ed, in);
  Refresh(game, ed);
  game.editor.proven = Proven(ed);
  ShowLevel(game, ed, view);
  return action;
}

void RunEditorOn(Game& game, const std::string& file) {
  std::string levelFile = BaseName(file);
  std::string bytes, why;
  const bool found = plat::ReadFileBytes(file, 2 * kMaxMapBytes, bytes, why) ||
                     plat::ReadFileBytes(kMapFolder + levelFile, 2 * kMaxMapBytes, bytes, why);
  if (!found) {
    bytes.clear();
    if (!EndsWith(levelFile, ".mapGame1") && !EndsWith(levelFile, ".mapGame2") &&
        !EndsWith(levelFile, ".startmap")) {
      levelFile += ".mapGame1";
    }
  }
  EditorSession ed;
  OpenEditorSession(ed, levelFile, bytes);
  Refresh(game, ed);
  FrameTheLevel(game, ed);
  ed.message = found ? "" : "Neuer Level: " + levelFile;
  RunEditor(game, ed);
}

void EditListedLevel(Game& game, const std::string& levelFile) {
  std::string bytes, why;
  if (!plat::ReadFileBytes(kMapFolder + levelFile, 2 * kMaxMapBytes, bytes, why)) {
    plat::ConsoleWarning("Der Level " + levelFile + " laesst sich nicht oeffnen: " + why);
    return;
  }
  std::string name = levelFile;
  if (!plat::IsPlayerLevel(levelFile)) {
    // A shipped level is never written: the player edits a copy.
    std::vector<std::string> taken = plat::ListFiles(kMapFolder + "*.mapGame1");
    for (const std::string& other : plat::ListFiles(kMapFolder + "*.mapGame2")) {
      taken.push_back(other);
    }
    name = CopyName(levelFile, taken);
    const std::string path = plat::PlayerLevelPath(name);
    if (path.empty() || !plat::WriteFileAtomically(path, bytes, &why)) {
      plat::ConsoleWarning("Die Kopie von " + levelFile + " laesst sich nicht anlegen: " +
                           (path.empty() ? std::string("kein Ordner fuer eigene Level") : why));
      return;
    }
  }
  EditorSession ed;
  OpenEditorSession(ed, name, bytes);
  Refresh(game, ed);
  FrameTheLevel(game, ed);
  if (name != levelFile) ed.message = "Kopie angelegt: " + name;
  RunEditor(game, ed);
}
