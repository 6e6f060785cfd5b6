// The level editor's model: the level's lines, the edits on them as undoable
// splices, hit tests, the grid and the level's file.
#include "leveledit/level_edit.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/platform.h"
#include "sim/sim_state.h"

namespace {

// What a type's parameter lines hold, by family: types of one family share
// their layout and may turn into each other.
enum class Family : std::uint8_t { kPlatform, kSphere, kGoal, kBallStart, kCamera, kText };

Family FamilyOf(LevelObjectType t) {
  switch (t) {
    case LevelObjectType::kPlatform:
      return Family::kPlatform;
    case LevelObjectType::kSphere:
    case LevelObjectType::kRagdoll:
      return Family::kSphere;
    case LevelObjectType::kGoalStatic:
    case LevelObjectType::kGoalRagdoll:
      return Family::kGoal;
    case LevelObjectType::kBallStart:
      return Family::kBallStart;
    case LevelObjectType::kCamera:
      return Family::kCamera;
    case LevelObjectType::kText:
    case LevelObjectType::kTextShown:
      return Family::kText;
  }
  return Family::kPlatform;
}

bool IsDisk(LevelObjectType t) {
  const Family f = FamilyOf(t);
  return f == Family::kSphere || f == Family::kGoal;
}

std::string F(float v) {
  return FormatFloat7(v);
}
std::string TripleText(float x, float y, float z) {
  return "[" + F(x) + "," + F(y) + "," + F(z) + "]";
}

// Ball 1 starts on whole numbers: the game rounds its start, halves to even.
Point StartPoint(Point p) {
  return Point{static_cast<float>(std::nearbyint(static_cast<double>(p.x))),
               static_cast<float>(std::nearbyint(static_cast<double>(p.y)))};
}

// A radius drawn between two points, to thousandths: points on the grid
// give radii as short as the grid's numbers (0.6, not 0.5999999).
float DrawnRadius(Point centre, Point rim) {
  const double dx = static_cast<double>(rim.x) - centre.x,
               dy = static_cast<double>(rim.y) - centre.y;
  return static_cast<float>(std::nearbyint(std::sqrt(dx * dx + dy * dy) * 1000.0) / 1000.0);
}

bool Same(Point p, Point q) {
  return p.x == q.x && p.y == q.y;
}

double Distance(Point p, Point q) {
  const double dx = static_cast<double>(p.x) - q.x, dy = static_cast<double>(p.y) - q.y;
  return std::sqrt(dx * dx + dy * dy);
}

double SegmentDistance(Point p, Point a, Point b) {
  const double dx = static_cast<double>(b.x) - a.x, dy = static_cast<double>(b.y) - a.y;
  const double px = static_cast<double>(p.x) - a.x, py = static_cast<double>(p.y) - a.y;
  const double len2 = dx * dx + dy * dy;
  const double t = len2 > 0.0 ? std::clamp((px * dx + py * dy) / len2, 0.0, 1.0) : 0.0;
  const double ex = px - t * dx, ey = py - t * dy;
  return std::sqrt(ex * ex + ey * ey);
}

// ---- lines and splices ------------------------------------------------------

// The file's lines as the game splits them (a line feed ends a line, a
// carriage return before it is no part of the line), with the bytes that
// ended each.
std::vector<LevelLine> SplitLevelLines(const std::string& bytes) {
  std::vector<LevelLine> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t feed = bytes.find('\n', start);
    const bool last = feed == std::string::npos;
    std::size_t stop = last ? bytes.size() : feed;
    LevelLine line;
    line.end = last ? "" : "\n";
    if (stop > start && bytes[stop - 1] == '\r') {
      --stop;
      line.end = "\r" + line.end;
    }
    line.text = bytes.substr(start, stop - start);
    lines.push_back(std::move(line));
    start = last ? bytes.size() : feed + 1;
  }
  return lines;
}

// The line end new lines get: the file's own (its first line's), a line
// feed for a file without one.
std::string NewLineEnd(const LevelDoc& doc) {
  for (const LevelLine& l : doc.lines) {
    if (l.end == "\n" || l.end == "\r\n") return l.end;
  }
  return "\n";
}

void ApplySplice(std::vector<LevelLine>& lines, const LineSplice& s) {
  const auto at = lines.begin() + static_cast<std::ptrdiff_t>(s.at);
  lines.erase(at, at + static_cast<std::ptrdiff_t>(s.removed.size()));
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(s.at), s.inserted.begin(),
               s.inserted.end());
}

void RevertSplice(std::vector<LevelLine>& lines, const LineSplice& s) {
  const auto at = lines.begin() + static_cast<std::ptrdiff_t>(s.at);
  lines.erase(at, at + static_cast<std::ptrdiff_t>(s.inserted.size()));
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(s.at), s.removed.begin(),
               s.removed.end());
}

// A splice replacing count lines from index at.
LineSplice MakeSplice(const LevelDoc& doc, std::size_t at, std::size_t count,
                      std::vector<LevelLine> inserted) {
  LineSplice s;
  s.at = at;
  s.removed.assign(doc.lines.begin() + static_cast<std::ptrdiff_t>(at),
                   doc.lines.begin() + static_cast<std::ptrdiff_t>(at + count));
  s.inserted = std::move(inserted);
  return s;
}

// Applies the splices, one after the other, as one undo step (or as part
// of the latest one when the edit joins it).
void Change(LevelDoc& doc, std::vector<LineSplice> splices) {
  if (splices.empty()) return;
  for (const LineSplice& s : splices) ApplySplice(doc.lines, s);
  const std::uint64_t before = doc.state;
  doc.state = doc.nextState++;
  doc.redo.clear();
  if (doc.joinNext && !doc.undo.empty() && doc.undo.back().stateAfter == before) {
    EditStep& step = doc.undo.back();
    step.splices.insert(step.splices.end(), splices.begin(), splices.end());
    step.stateAfter = doc.state;
  } else {
    doc.undo.push_back(EditStep{std::move(splices), before, doc.state});
    if (doc.undo.size() > kUndoSteps) doc.undo.erase(doc.undo.begin());
  }
  doc.joinNext = false;
}

std::vector<LevelLine> NewLines(const LevelDoc& doc, const std::vector<std::string>& texts) {
  std::vector<LevelLine> lines;
  const std::string end = NewLineEnd(doc);
  for (const std::string& t : texts) lines.push_back(LevelLine{t, end});
  return lines;
}

// Splices that put new lines before index at; a last line without a line
// end gets one first.
std::vector<LineSplice> InsertLines(const LevelDoc& doc, std::size_t at,
                                    const std::vector<std::string>& texts) {
  std::vector<LineSplice> splices;
  if (at == doc.lines.size() && at > 0) {
    const LevelLine& last = doc.lines.back();
    if (last.end != "\n" && last.end != "\r\n") {
      splices.push_back(MakeSplice(doc, at - 1, 1, {LevelLine{last.text, NewLineEnd(doc)}}));
    }
  }
  splices.push_back(LineSplice{at, {}, NewLines(doc, texts)});
  return splices;
}

// Where new objects go: after the last line that is not blank.
std::size_t AppendIndex(const LevelDoc& doc) {
  std::size_t at = doc.lines.size();
  while (at > 0 && doc.lines[at - 1].text.find_first_not_of(" \t") == std::string::npos) --at;
  return at;
}

// The object whose type line is line, from the objects of the doc.
const LevelObject* Find(const std::vector<LevelObject>& objects, int line) {
  for (const LevelObject& o : objects) {
    if (o.line == line) return &o;
  }
  return nullptr;
}

// Parameter lines of the object at type line k that are in the file: the
// lines after it up to its count, ending early at the file's end or at
// another object's type line.
int PresentParameters(const LevelDoc& doc, const LevelObject& o) {
  int present = 0;
  for (int j = 1; j <= ParameterLines(o.type); ++j) {
    const int k = o.line + j;
    if (k > static_cast<int>(doc.lines.size())) break;
    LevelObjectType type;
    PlatformKind kind;
    if (TypeOfMapLine(doc.lines[static_cast<std::size_t>(k - 1)].text, k, type, kind)) break;
    ++present;
  }
  return present;
}

// The parameter lines' texts for values v, the lines that keep their value
// taken from old as they are written.
std::vector<std::string> ParameterTexts(const LevelObject& v, const LevelObject& old,
                                        const std::vector<std::string>& current) {
  std::vector<std::string> t(current);
  t.resize(static_cast<std::size_t>(ParameterLines(v.type)));
  const std::size_t present = current.size();
  auto put = [&](std::size_t i, bool same, const std::string& text) {
    if (i >= present || !same) t[i] = text;
  };
  switch (FamilyOf(v.type)) {
    case Family::kPlatform:
      put(0, Same(v.a, old.a), FormatPoint(v.a.x, v.a.y));
      put(1, Same(v.b, old.b), FormatPoint(v.b.x, v.b.y));
      put(2, v.colour == old.colour, v.colour);
      break;
    case Family::kSphere:
      put(0, Same(v.a, old.a), FormatPoint(v.a.x, v.a.y));
      put(1, v.radius == old.radius, F(v.radius));
      put(2, v.colour == old.colour, v.colour);
      break;
    case Family::kGoal:
      put(0, Same(v.a, old.a), FormatPoint(v.a.x, v.a.y));
      put(1, v.radius == old.radius, F(v.radius));
      break;
    case Family::kBallStart: {
      const Point s = StartPoint(v.a);
      put(0, Same(v.a, old.a), FormatPoint(s.x, s.y));
      break;
    }
    case Family::kCamera:
      put(0, Same(v.a, old.a) && v.z == old.z, TripleText(v.a.x, v.a.y, v.z));
      break;
    case Family::kText:
      put(0, Same(v.a, old.a), FormatPoint(v.a.x, v.a.y));
      put(1, Same(v.b, old.b), FormatPoint(v.b.x, v.b.y));
      put(2, v.text == old.text, v.text);
      put(3, v.counter == old.counter, F(v.counter));
      break;
  }
  return t;
}

// The lines of a new object with these values.
std::vector<std::string> ObjectTexts(const LevelObject& v) {
  std::vector<std::string> texts{TypeWord(v.type, v.platformKind)};
  const std::vector<std::string> params = ParameterTexts(v, v, {});
  texts.insert(texts.end(), params.begin(), params.end());
  return texts;
}

int LastOfFamily(const std::vector<LevelObject>& objects, Family family) {
  int line = 0;
  for (const LevelObject& o : objects) {
    if (FamilyOf(o.type) == family) line = o.line;
  }
  return line;
}

}  // namespace

// ---- the palette ------------------------------------------------------------

std::vector<PaletteEntry> Palette() {
  struct Kind {
    PlatformKind kind;
    const char* label;
  };
  static const Kind kKinds[] = {
      {PlatformKind::Fixed, "Plattform"},
      {PlatformKind::Intact, "Plattform zerbrechlich"},
      {PlatformKind::RightBroken, "Plattform zerbrechlich, rechtes Ende gebrochen"},
      {PlatformKind::LeftBroken, "Plattform zerbrechlich, linkes Ende gebrochen"},
      {PlatformKind::BothBroken, "Plattform zerbrechlich, beide Enden gebrochen"},
  };
  struct Colour {
    const char* word;
    const char* label;
  };
  static const Colour kColours[] = {{"white", "weiss"}, {"red", "rot"}, {"blue", "blau"}};
  std::vector<PaletteEntry> palette;
  for (const Kind& k : kKinds) {
    for (const Colour& c : kColours) {
      PaletteEntry e;
      e.choice.type = LevelObjectType::kPlatform;
      e.choice.platformKind = k.kind;
      e.choice.colour = c.word;
      e.label = std::string(k.label) + " " + c.label;
      palette.push_back(e);
    }
  }
  for (const LevelObjectType t : {LevelObjectType::kSphere, LevelObjectType::kRagdoll}) {
    for (const Colour& c : kColours) {
      PaletteEntry e;
      e.choice.type = t;
      e.choice.colour = c.word;
      e.label =
          std::string(t == LevelObjectType::kSphere ? "Kugelfelsen " : "lose Kugel ") + c.label;
      palette.push_back(e);
    }
  }
  const std::pair<LevelObjectType, const char*> kOthers[] = {
      {LevelObjectType::kGoalStatic, "Ziel, fest"},
      {LevelObjectType::kGoalRagdoll, "Ziel, lose"},
      {LevelObjectType::kBallStart, "Start von Kugel 1"},
      {LevelObjectType::kCamera, "Start der Kamera"},
      {LevelObjectType::kText, "Text"},
  };
  for (const auto& [type, label] : kOthers) {
    PaletteEntry e;
    e.choice.type = type;
    e.label = label;
    palette.push_back(e);
  }
  return palette;
}

// ---- the level being edited -------------------------------------------------

LevelDoc OpenLevel(const std::string& bytes, LevelKind kind) {
  LevelDoc doc;
  doc.kind = kind;
  doc.lines = SplitLevelLines(bytes);
  return doc;
}

std::string LevelBytes(const LevelDoc& doc) {
  std::string bytes;
  for (const LevelLine& l : doc.lines) {
    bytes += l.text;
    bytes += l.end;
  }
  return bytes;
}

MapText LevelMap(const LevelDoc& doc) {
  return MapOfBytes(LevelBytes(doc));
}

std::vector<LevelObject> LevelObjects(const LevelDoc& doc) {
  return ListLevelObjects(LevelMap(doc));
}

bool LevelChanged(const LevelDoc& doc) {
  return doc.state != doc.savedState;
}

std::vector<MapFinding> CheckLevel(const LevelDoc& doc, const CheckOptions& options) {
  return CheckMapText(LevelBytes(doc), doc.kind, options);
}

int ObjectOfLine(const std::vector<LevelObject>& objects, int k) {
  // The latest object starting at or before k that reaches k.
  for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
    if (it->line <= k && k <= it->line + ParameterLines(it->type)) return it->line;
  }
  return 0;
}

bool LevelExtent(const std::vector<LevelObject>& objects, Point& low, Point& high) {
  bool any = false;
  auto take = [&](Point p, double r) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(r)) return;
    const Point lo{static_cast<float>(p.x - r), static_cast<float>(p.y - r)};
    const Point hi{static_cast<float>(p.x + r), static_cast<float>(p.y + r)};
    if (!any) {
      low = lo;
      high = hi;
      any = true;
      return;
    }
    low = Point{std::min(low.x, lo.x), std::min(low.y, lo.y)};
    high = Point{std::max(high.x, hi.x), std::max(high.y, hi.y)};
  };
  for (const LevelObject& o : objects) {
    switch (FamilyOf(o.type)) {
      case Family::kPlatform:
      case Family::kText:
        take(o.a, 0.0);
        take(o.b, 0.0);
        break;
      case Family::kSphere:
      case Family::kGoal:
        take(o.a, std::max(0.0f, o.radius));
        break;
      case Family::kBallStart:
        take(StartPoint(o.a), kBallRadius);
        break;
      case Family::kCamera:
        take(o.a, 0.0);
        break;
    }
  }
  return any;
}

// ---- selecting --------------------------------------------------------------

Hit HitTest(const std::vector<LevelObject>& objects, Point p, float tolerance) {
  Hit best;
  int bestRank = 2;  // 0 an end or rim, 1 a body
  double bestDistance = 0.0;
  const double tol = tolerance;
  auto offer = [&](const LevelObject& o, HitPart part, int rank, double distance) {
    if (rank < bestRank || (rank == bestRank && distance <= bestDistance)) {
      best = Hit{o.line, part};
      bestRank = rank;
      bestDistance = distance;
    }
  };
  for (const LevelObject& o : objects) {
    switch (FamilyOf(o.type)) {
      case Family::kPlatform:
      case Family::kText: {
        const double reach = o.type == LevelObjectType::kPlatform ? 0.08 + tol : tol;
        const double da = Distance(p, o.a), db = Distance(p, o.b);
        if (da <= tol) offer(o, HitPart::kEndA, 0, da);
        if (db <= tol) offer(o, HitPart::kEndB, 0, db);
        const double d = SegmentDistance(p, o.a, o.b);
        if (d <= reach) offer(o, HitPart::kBody, 1, d);
        break;
      }
      case Family::kSphere:
      case Family::kGoal: {
        const double r = std::max(0.0f, o.radius);
        const double d = Distance(p, o.a);
        if (std::fabs(d - r) <= tol && d > r / 2.0) offer(o, HitPart::kRim, 0, std::fabs(d - r));
        if (d <= r + tol) offer(o, HitPart::kBody, 1, d - r);
        break;
      }
      case Family::kBallStart: {
        const double d = Distance(p, StartPoint(o.a));
        if (d <= kBallRadius + tol) offer(o, HitPart::kBody, 1, d - kBallRadius);
        break;
      }
      case Family::kCamera: {
        const double d = Distance(p, o.a);
        if (d <= tol) offer(o, HitPart::kBody, 1, d);
        break;
      }
    }
  }
  return best;
}

Point SnapToGrid(Point p, float step) {
  const double s = step;
  return Point{static_cast<float>(std::nearbyint(p.x / s) * s),
               static_cast<float>(std::nearbyint(p.y / s) * s)};
}

// ---- editing ----------------------------------------------------------------

int SetObject(LevelDoc& doc, int line, const LevelObject& values) {
  const std::vector<LevelObject> objects = LevelObjects(doc);
  const LevelObject* old = Find(objects, line);
  if (old == nullptr || FamilyOf(old->type) != FamilyOf(values.type)) return 0;
  if (values.type == LevelObjectType::kBallStart && line != 1) return 0;
  const int present = PresentParameters(doc, *old);
  const std::size_t at = static_cast<std::size_t>(line - 1);
  std::vector<std::string> current;
  for (int j = 1; j <= present; ++j)
    current.push_back(doc.lines[at + static_cast<std::size_t>(j)].text);
  const std::string word = TypeWord(values.type, values.platformKind);
  std::vector<std::string> texts{word};
  const std::vector<std::string> params = ParameterTexts(values, *old, current);
  texts.insert(texts.end(), params.begin(), params.end());

  // Lines that keep their text keep their bytes; the new ones take the
  // file's line end.
  const std::size_t count = 1 + static_cast<std::size_t>(present);
  bool changed = texts.size() != count;
  std::vector<LevelLine> lines;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i < count) {
      LevelLine l = doc.lines[at + i];
      if (l.text != texts[i]) changed = true;
      l.text = texts[i];
      if (i + 1 == count && texts.size() > count && l.end != "\n" && l.end != "\r\n") {
        l.end = NewLineEnd(doc);
      }
      lines.push_back(std::move(l));
    } else {
      lines.push_back(LevelLine{texts[i], NewLineEnd(doc)});
    }
  }
  if (!changed) return line;
  Change(doc, {MakeSplice(doc, at, count, std::move(lines))});
  return line;
}

int PlaceObject(LevelDoc& doc, const PaletteChoice& choice, Point a, Point b) {
  const std::vector<LevelObject> objects = LevelObjects(doc);
  LevelObject v;
  v.type = choice.type;
  v.platformKind = choice.platformKind;
  v.a = a;
  v.b = b;
  v.colour = choice.colour;
  v.text = choice.text;
  v.counter = choice.counter;
  v.z = choice.cameraZ;
  const float drawn = DrawnRadius(a, b);
  switch (FamilyOf(choice.type)) {
    case Family::kSphere:
      v.radius = drawn > 0.0f                              ? drawn
                 : choice.type == LevelObjectType::kSphere ? kDefaultSphereRadius
                                                           : kDefaultRagdollRadius;
      break;
    case Family::kGoal:
      v.radius = drawn > 0.0f ? drawn : kDefaultGoalRadius;
      break;
    default:
      break;
  }
  // One start, one camera and one goal: placing one again moves the one the
  // game uses.
  const Family family = FamilyOf(choice.type);
  if (family == Family::kBallStart) {
    v.a = StartPoint(a);
    if (!doc.lines.empty() && doc.lines[0].text == "BallPosition") return SetObject(doc, 1, v);
    Change(doc, InsertLines(doc, 0, ObjectTexts(v)));
    return 1;
  }
  if (family == Family::kCamera || family == Family::kGoal) {
    const int existing = LastOfFamily(objects, family);
    if (existing != 0) {
      if (family == Family::kCamera) v.z = Find(objects, existing)->z;
      return SetObject(doc, existing, v);
    }
  }
  const std::size_t at = AppendIndex(doc);
  Change(doc, InsertLines(doc, at, ObjectTexts(v)));
  return static_cast<int>(at) + 1;
}

int MoveEnd(LevelDoc& doc, int line, HitPart part, Point to) {
  const std::vector<LevelObject> objects = LevelObjects(doc);
  const LevelObject* o = Find(objects, line);
  if (o == nullptr) return 0;
  LevelObject v = *o;
  const Family family = FamilyOf(o->type);
  if (part == HitPart::kEndA && (family == Family::kPlatform || family == Family::kText)) {
    v.a = to;
  } else if (part == HitPart::kEndB && (family == Family::kPlatform || family == Family::kText)) {
    v.b = to;
  } else if (part == HitPart::kRim && IsDisk(o->type)) {
    v.radius = DrawnRadius(o->a, to);
  } else {
    return 0;
  }
  return SetObject(doc, line, v);
}

int MoveObject(LevelDoc& doc, int line, Point delta) {
  const std::vector<LevelObject> objects = LevelObjects(doc);
  const LevelObject* o = Find(objects, line);
  if (o == nullptr) return 0;
  LevelObject v = *o;
  const Family family = FamilyOf(o->type);
  // Ball 1's start moves from where the game puts it.
  const Point from = family == Family::kBallStart ? StartPoint(o->a) : o->a;
  v.a = Point{from.x + delta.x, from.y + delta.y};
  if (family == Family::kPlatform || family == Family::kText) {
    v.b = Point{o->b.x + delta.x, o->b.y + delta.y};
  }
  return SetObject(doc, line, v);
}

bool DeleteObject(LevelDoc& doc, int line) {
  const std::vector<LevelObject> objects = LevelObjects(doc);
  const LevelObject* o = Find(objects, line);
  if (o == nullptr) return false;
  const std::size_t count = 1 + static_cast<std::size_t>(PresentParameters(doc, *o));
  Change(doc, {MakeSplice(doc, static_cast<std::size_t>(line - 1), count, {})});
  return true;
}

void ContinueStep(LevelDoc& doc) {
  doc.joinNext = true;
}

bool Undo(LevelDoc& doc) {
  doc.joinNext = false;
  if (doc.undo.empty()) return false;
  EditStep step = std::move(doc.undo.back());
  doc.undo.pop_back();
  for (auto it = step.splices.rbegin(); it != step.splices.rend(); ++it) {
    RevertSplice(doc.lines, *it);
  }
  doc.state = step.stateBefore;
  doc.redo.push_back(std::move(step));
  return true;
}

bool Redo(LevelDoc& doc) {
  doc.joinNext = false;
  if (doc.redo.empty()) return false;
  EditStep step = std::move(doc.redo.back());
  doc.redo.pop_back();
  for (const LineSplice& s : step.splices) ApplySplice(doc.lines, s);
  doc.state = step.stateAfter;
  doc.undo.push_back(std::move(step));
  return true;
}

std::string CopyName(const std::string& fileName, const std::vector<std::string>& taken) {
  const std::size_t dot = fileName.rfind('.');
  const std::string stem = dot == std::string::npos ? fileName : fileName.substr(0, dot);
  const std::string ext = dot == std::string::npos ? std::string() : fileName.substr(dot);
  auto lower = [](std::string s) {
    for (char& c : s) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
  };
  for (int n = 1;; ++n) {
    const std::string name = stem + " Kopie" + (n == 1 ? "" : " " + std::to_string(n)) + ext;
    const bool used = std::any_of(taken.begin(), taken.end(),
                                  [&](const std::string& t) { return lower(t) == lower(name); });
    if (!used) return name;
  }
}

// ---- files ------------------------------------------------------------------

bool ReadLevelFile(const std::string& path, LevelDoc& doc, std::string& why) {
  std::string bytes;
  // Twice the game's bound: what lies beyond it is kept and shown as such.
  if (!plat::ReadFileBytes(path, 2 * kMaxMapBytes, bytes, why)) return false;
  const std::size_t slash = path.find_last_of("/\\");
  doc =
      OpenLevel(bytes, LevelKindOfName(slash == std::string::npos ? path : path.substr(slash + 1)));
  return true;
}

bool WriteLevelFile(const std::string& path, LevelDoc& doc, std::string& why) {
  if (!plat::WriteFileAtomically(path, LevelBytes(doc), &why)) return false;
  doc.savedState = doc.state;
  return true;
}
