// Level checking: the objects of a map text as the game reads them, and the
// findings about them.
#include "mapcheck/map_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_map>

#include "mapfile/map_file.h"
#include "platform/platform.h"
#include "platform/text_codec.h"
#include "sim/level_objects.h"
#include "sim/sim_state.h"

namespace {

// ---- type words -------------------------------------------------------------

struct TypeWordEntry {
  const char* word;
  LevelObjectType type;
  PlatformKind kind;
};

constexpr TypeWordEntry kTypeWords[] = {
    {"Plattform.static", LevelObjectType::kPlatform, PlatformKind::Fixed},
    {"Plattform.static.destructible", LevelObjectType::kPlatform, PlatformKind::Intact},
    {"Plattform.static.destructible.left", LevelObjectType::kPlatform, PlatformKind::RightBroken},
    {"Plattform.static.destructible.right", LevelObjectType::kPlatform, PlatformKind::LeftBroken},
    {"Plattform.static.destructible.both", LevelObjectType::kPlatform, PlatformKind::BothBroken},
    {"Sphere.static", LevelObjectType::kSphere, PlatformKind::Fixed},
    {"Sphere.ragdoll", LevelObjectType::kRagdoll, PlatformKind::Fixed},
    {"Goal.static", LevelObjectType::kGoalStatic, PlatformKind::Fixed},
    {"Goal.ragdoll", LevelObjectType::kGoalRagdoll, PlatformKind::Fixed},
    {"BallPosition", LevelObjectType::kBallStart, PlatformKind::Fixed},
    {"Startgame.zoomin", LevelObjectType::kCamera, PlatformKind::Fixed},
    {"Output.text", LevelObjectType::kText, PlatformKind::Fixed},
    {"FontEvent.static.Activ", LevelObjectType::kTextShown, PlatformKind::Fixed},
};

// The word a destroyed platform's type line becomes; nothing reads it.
const char* const kDestroyedWord = "Plattform.static.destructible.destroyed";

// What each parameter line of a type holds.
enum class Slot : std::uint8_t { kPoint, kTriple, kNumber, kColour, kText };

struct SlotList {
  Slot slots[4];
  int count;
};

SlotList SlotsOf(LevelObjectType type) {
  switch (type) {
    case LevelObjectType::kPlatform:
      return {{Slot::kPoint, Slot::kPoint, Slot::kColour}, 3};
    case LevelObjectType::kSphere:
    case LevelObjectType::kRagdoll:
      return {{Slot::kPoint, Slot::kNumber, Slot::kColour}, 3};
    case LevelObjectType::kGoalStatic:
    case LevelObjectType::kGoalRagdoll:
      return {{Slot::kPoint, Slot::kNumber}, 2};
    case LevelObjectType::kBallStart:
      return {{Slot::kPoint}, 1};
    case LevelObjectType::kCamera:
      return {{Slot::kTriple}, 1};
    case LevelObjectType::kText:
    case LevelObjectType::kTextShown:
      return {{Slot::kPoint, Slot::kPoint, Slot::kText, Slot::kNumber}, 4};
  }
  return {{}, 0};
}

bool IsGoal(LevelObjectType t) {
  return t == LevelObjectType::kGoalStatic || t == LevelObjectType::kGoalRagdoll;
}
bool IsText(LevelObjectType t) {
  return t == LevelObjectType::kText || t == LevelObjectType::kTextShown;
}
bool MenuReads(LevelObjectType t) {
  return t == LevelObjectType::kPlatform || t == LevelObjectType::kSphere;
}

// ---- how a parameter line is written ----------------------------------------
// These only judge whether the game's conversion takes the whole text as
// the author meant it; the values always come from the conversion itself.

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsRadixDigit(char c, int radix) {
  if (radix == 16) return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  if (radix == 8) return c >= '0' && c <= '7';
  return c == '0' || c == '1';
}
int RadixOf(char letter) {
  if (letter == 'H' || letter == 'h') return 16;
  if (letter == 'O' || letter == 'o') return 8;
  if (letter == 'B' || letter == 'b') return 2;
  return 0;
}

// Length of the number the conversion takes at s[i] (after the blanks it
// skips), 0 when none starts there.
std::size_t NumberLength(const std::string& s, std::size_t i) {
  const std::size_t start = i;
  if (i + 1 < s.size() && s[i] == '&') {
    const int radix = RadixOf(s[i + 1]);
    if (radix == 0) return 0;
    std::size_t j = i + 2;
    while (j < s.size() && IsRadixDigit(s[j], radix)) ++j;
    return j > i + 2 ? j - start : 0;
  }
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    const std::size_t first = j;
    while (j < s.size() && IsDigit(s[j])) ++j;
    if (j > first) i = j;
  }
  return i - start;
}

std::size_t SkipBlanks(const std::string& s, std::size_t i) {
  while (i < s.size() && IsBlank(s[i])) ++i;
  return i;
}

// Blanks, a number, blanks: the whole text is the number.
bool CleanNumber(const std::string& s) {
  const std::size_t at = SkipBlanks(s, 0);
  const std::size_t n = NumberLength(s, at);
  return n > 0 && SkipBlanks(s, at + n) == s.size();
}

bool StartsWithNumber(const std::string& s) {
  return NumberLength(s, SkipBlanks(s, 0)) > 0;
}

// "[" numbers separated by commas "]", exactly count of them.
bool CleanBracketed(const std::string& line, int count) {
  if (line.size() < 2 || line.front() != '[' || line.back() != ']') return false;
  const std::string inner = line.substr(1, line.size() - 2);
  std::size_t from = 0;
  for (int i = 0; i < count; ++i) {
    const std::size_t comma = inner.find(',', from);
    const bool last = i == count - 1;
    if (last != (comma == std::string::npos)) return false;
    const std::size_t to = last ? inner.size() : comma;
    if (!CleanNumber(inner.substr(from, to - from))) return false;
    from = to + 1;
  }
  return true;
}

bool Finite(Point p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

// Whether a start coordinate, rounded as the game rounds it, is a whole
// number the game holds without clamping.
bool FitsInt(float v) {
  const double r = std::nearbyint(static_cast<double>(v));
  return r >= -2147483648.0 && r <= 2147483647.0;
}

// ---- near misses ------------------------------------------------------------

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string Trimmed(const std::string& s) {
  std::size_t from = 0, to = s.size();
  while (from < to && (IsBlank(s[from]) || s[from] == '\r')) ++from;
  while (to > from && (IsBlank(s[to - 1]) || s[to - 1] == '\r')) --to;
  return s.substr(from, to - from);
}

// Whether one letter inserted, dropped, changed or two neighbours swapped
// turn a into b.
bool OneLetterOff(const std::string& a, const std::string& b) {
  if (a == b) return false;
  const std::size_t n = a.size(), m = b.size();
  if (n == m) {
    std::size_t i = 0;
    while (i < n && a[i] == b[i]) ++i;
    if (a.compare(i + 1, std::string::npos, b, i + 1, std::string::npos) == 0) return true;
    return i + 1 < n && a[i] == b[i + 1] && a[i + 1] == b[i] &&
           a.compare(i + 2, std::string::npos, b, i + 2, std::string::npos) == 0;
  }
  if (n + 1 != m && m + 1 != n) return false;
  const std::string& shorter = n < m ? a : b;
  const std::string& longer = n < m ? b : a;
  std::size_t i = 0;
  while (i < shorter.size() && shorter[i] == longer[i]) ++i;
  return shorter.compare(i, std::string::npos, longer, i + 1, std::string::npos) == 0;
}

// The word a line nearly is: another letter case, blanks around it, or one
// letter off. "" when none.
std::string NearWord(const std::string& line, const char* const* words, std::size_t count) {
  const std::string trimmed = Trimmed(line);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string w = words[i];
    if (trimmed == w || EqualNoCase(trimmed, w)) return w;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const std::string w = words[i];
    if (OneLetterOff(line, w) || OneLetterOff(trimmed, w)) return w;
  }
  return std::string();
}

const char* const kColourWords[] = {"white", "blue", "red"};

std::string NearColour(const std::string& line) {
  const std::string near = NearWord(line, kColourWords, 3);
  if (!near.empty()) return near;
  const std::string t = Trimmed(line);
  if (EqualNoCase(t, "weiss") || EqualNoCase(t, "wei\xdf")) return "white";
  if (EqualNoCase(t, "blau")) return "blue";
  if (EqualNoCase(t, "rot")) return "red";
  return std::string();
}

// ---- messages ---------------------------------------------------------------

std::string Quoted(const std::string& text) {
  constexpr std::size_t kShown = 48;
  if (text.size() <= kShown) return "\"" + text + "\"";
  return "\"" + text.substr(0, kShown) + "...\"";
}

std::string F(float v) {
  return FormatFloat7(v);
}

std::string PointText(Point p) {
  return "[" + F(p.x) + "," + F(p.y) + "]";
}

const char* SlotName(Slot s) {
  switch (s) {
    case Slot::kPoint:
      return "Punkt";
    case Slot::kTriple:
      return "Tripel";
    case Slot::kNumber:
      return "Zahl";
    case Slot::kColour:
      return "Farbwort";
    case Slot::kText:
      return "Text";
  }
  return "";
}

// Squared distance from p to the segment a-b, in double.
double SegmentDistance(Point p, Point a, Point b) {
  const double dx = static_cast<double>(b.x) - a.x, dy = static_cast<double>(b.y) - a.y;
  const double px = static_cast<double>(p.x) - a.x, py = static_cast<double>(p.y) - a.y;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0.0 ? (px * dx + py * dy) / len2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  const double ex = px - t * dx, ey = py - t * dy;
  return std::sqrt(ex * ex + ey * ey);
}

double CentreDistance(Point p, Point q) {
  const double dx = static_cast<double>(p.x) - q.x, dy = static_cast<double>(p.y) - q.y;
  return std::sqrt(dx * dx + dy * dy);
}

// Half the thickness of a platform: a ball reaches it this far beyond its
// radius, as the collision measures contact.
constexpr double kPlatformHalfThickness = 0.08;
// The shortest time without steering a level must leave the player.
constexpr double kRaceGrace = 3.0;
constexpr double kSurvivalGrace = 5.0;
// A text shows while its counter is above this.
constexpr float kCounterShown = 20.0f;
// What a checker reads of a file at most: twice what the game takes, so the
// part beyond the game's bound can be named.
constexpr std::size_t kMaxCheckedBytes = 2 * kMaxMapBytes;

// ---- the checker ------------------------------------------------------------

class Checker {
 public:
  Checker(LevelKind kind, std::vector<MapFinding>& out) : kind_(kind), out_(out) {}

  void Error(int line, const char* code, std::string message, int objectLine = 0) {
    out_.push_back({line, Severity::kError, code, std::move(message), objectLine});
  }
  void Warning(int line, const char* code, std::string message, int objectLine = 0) {
    out_.push_back({line, Severity::kWarning, code, std::move(message), objectLine});
  }

  void Bounds(const std::string& bytes);
  void Run(const MapText& map, const CheckOptions& options);

 private:
  void Parameters(const MapText& map, const LevelObject& o, std::vector<bool>& isParameter);
  void CheckSlot(const MapText& map, const LevelObject& o, Slot slot, int line);
  void LooseLines(const MapText& map, const std::vector<bool>& isParameter);
  void Tables(const std::vector<LevelObject>& objects);
  void Placement(const MapText& map, const std::vector<LevelObject>& objects);
  void Duplicates(const std::vector<LevelObject>& objects);
  void Simulated(const MapText& map, int startLine);

  LevelKind kind_;
  std::vector<MapFinding>& out_;
  std::vector<bool> numberOk_;  // by line: a radius or counter line that holds a number
};

void Checker::Bounds(const std::string& bytes) {
  const std::size_t taken = std::min(bytes.size(), kMaxMapBytes);
  const std::vector<std::string> lines =
      plat::SplitTextLines(taken < bytes.size() ? bytes.substr(0, taken) : bytes);
  if (bytes.size() > kMaxMapBytes) {
    const int line = static_cast<int>(std::count(bytes.begin(), bytes.begin() + taken, '\n')) + 1;
    Error(line, "file-too-large",
          "die Datei ist groesser als " + std::to_string(kMaxMapBytes >> 20) +
              " MiB: das Spiel liest ab hier nichts mehr");
  }
  const std::size_t kept = std::min(lines.size(), kMaxMapLines);
  for (std::size_t i = 0; i < kept; ++i) {
    if (lines[i].size() > kMaxMapLineBytes) {
      Error(static_cast<int>(i + 1), "line-too-long",
            "die Zeile hat " + std::to_string(lines[i].size()) +
                " Bytes: das Spiel liest nur die ersten " + std::to_string(kMaxMapLineBytes));
    }
  }
  if (lines.size() > kMaxMapLines) {
    Error(static_cast<int>(kMaxMapLines + 1), "too-many-lines",
          "mehr als " + std::to_string(kMaxMapLines) +
              " Zeilen: das Spiel liest ab hier nichts mehr");
  }
}

void Checker::CheckSlot(const MapText& map, const LevelObject& o, Slot slot, int line) {
  const std::string& text = map.Line(line);
  const int k = o.line;
  switch (slot) {
    case Slot::kPoint: {
      const Point p = ParsePoint(text);
      if (!CleanBracketed(text, 2)) {
        Error(line, "bad-point",
              Quoted(text) + " ist kein Punkt [x,y] aus Zahlen: das Spiel liest " + PointText(p),
              k);
      } else if (!Finite(p)) {
        Error(
            line, "number-too-large",
            "eine Zahl liegt jenseits der 32-Bit-Gleitkommazahlen: das Spiel liest " + PointText(p),
            k);
      } else if (o.type == LevelObjectType::kBallStart && (!FitsInt(p.x) || !FitsInt(p.y))) {
        Error(line, "number-too-large",
              "die Startposition liegt jenseits der ganzen Zahlen, die das Spiel haelt", k);
      }
      break;
    }
    case Slot::kTriple: {
      const Triple t = ParseTriple(text);
      const std::string read = "[" + F(t.x) + "," + F(t.y) + "," + F(t.z) + "]";
      if (!CleanBracketed(text, 3)) {
        Error(line, "bad-triple",
              Quoted(text) + " ist kein Tripel [x,y,z] aus Zahlen: das Spiel liest " + read, k);
      } else if (!std::isfinite(t.x) || !std::isfinite(t.y) || !std::isfinite(t.z)) {
        Error(line, "number-too-large",
              "eine Zahl liegt jenseits der 32-Bit-Gleitkommazahlen: das Spiel liest " + read, k);
      }
      break;
    }
    case Slot::kNumber: {
      const float v = static_cast<float>(ParseNumber(text));
      if (!StartsWithNumber(text)) {
        Error(line, "bad-number", Quoted(text) + " beginnt nicht mit einer Zahl: das Spiel liest 0",
              k);
      } else if (!std::isfinite(v)) {
        Error(line, "number-too-large",
              Quoted(text) + " liegt jenseits der 32-Bit-Gleitkommazahlen: das Spiel liest " + F(v),
              k);
      } else {
        numberOk_[static_cast<std::size_t>(line)] = true;
      }
      break;
    }
    case Slot::kColour: {
      if (ColourWordOf(text) != ColourWord::Other) break;
      std::string message = "Farbwort " + Quoted(text) +
                            " gibt es nicht (nur \"white\", \"blue\", \"red\"): das Objekt "
                            "bekommt keine eigene Farbe";
      const std::string near = NearColour(text);
      if (!near.empty()) message += "; meintest du \"" + near + "\"?";
      Error(line, "bad-colour", message, k);
      break;
    }
    case Slot::kText:
      break;
  }
}

void Checker::Parameters(const MapText& map, const LevelObject& o, std::vector<bool>& isParameter) {
  const SlotList slots = SlotsOf(o.type);
  const char* word = TypeWord(o.type, o.platformKind);
  for (int j = 1; j <= slots.count; ++j) {
    const int line = o.line + j;
    if (line > map.MapLineCount) {
      Error(o.line, "missing-lines",
            "\"" + std::string(word) + "\" braucht " + std::to_string(slots.count) +
                " Parameterzeilen, die Datei endet nach " + std::to_string(j - 1) +
                " (es fehlt: " + SlotName(slots.slots[j - 1]) + ")",
            o.line);
      return;
    }
    LevelObjectType type;
    PlatformKind kind;
    if (TypeOfMapLine(map.Line(line), line, type, kind)) {
      Error(o.line, "missing-lines",
            "\"" + std::string(word) + "\" braucht " + std::to_string(slots.count) +
                " Parameterzeilen, aber Zeile " + std::to_string(line) +
                " ist schon das naechste Objekt \"" + map.Line(line) +
                "\" (es fehlt: " + SlotName(slots.slots[j - 1]) + ")",
            o.line);
      return;
    }
    isParameter[static_cast<std::size_t>(line)] = true;
    CheckSlot(map, o, slots.slots[j - 1], line);
  }
}

void Checker::LooseLines(const MapText& map, const std::vector<bool>& isParameter) {
  static const char* const kWords[] = {"Plattform.static",
                                       "Plattform.static.destructible",
                                       "Plattform.static.destructible.left",
                                       "Plattform.static.destructible.right",
                                       "Plattform.static.destructible.both",
                                       "Sphere.static",
                                       "Sphere.ragdoll",
                                       "Goal.static",
                                       "Goal.ragdoll",
                                       "BallPosition",
                                       "Startgame.zoomin",
                                       "Output.text",
                                       "FontEvent.static.Activ",
                                       kDestroyedWord};
  constexpr std::size_t kWordCount = sizeof kWords / sizeof kWords[0];
  for (int k = 1; k <= map.MapLineCount; ++k) {
    if (isParameter[static_cast<std::size_t>(k)]) continue;
    const std::string& line = map.Line(k);
    LevelObjectType type;
    PlatformKind kind;
    if (TypeOfMapLine(line, k, type, kind)) continue;
    if (line == "BallPosition") {
      Error(k, "ball-position-not-first",
            "\"BallPosition\" gilt nur in Zeile 1: das Spiel uebergeht es hier");
      continue;
    }
    if (line == kDestroyedWord) {
      Warning(k, "destroyed-platform",
              "eine zerstoerte Plattform: das Spiel zeichnet sie nicht und nichts stoesst an sie");
      continue;
    }
    // Only lines about as long as a type word can nearly be one.
    if (line.size() < 9 || line.size() > 40) continue;
    const std::string near = NearWord(line, kWords, kWordCount);
    if (near.empty() || near == kDestroyedWord) continue;
    Error(k, "misspelt-type-word",
          Quoted(line) + " ist kein Typwort, das Spiel uebergeht die Zeile; meintest du \"" + near +
              "\"?");
  }
}

void Checker::Tables(const std::vector<LevelObject>& objects) {
  int spheres = 0;
  bool spheresTold = false;
  int balls = 1;
  bool ballsTold = false;
  const LevelObject* lastGoal = nullptr;
  for (const LevelObject& o : objects) {
    if (o.type == LevelObjectType::kSphere && Finite(o.a) && std::isfinite(o.radius)) {
      if (++spheres > kMaxStaticSpheres && !spheresTold) {
        spheresTold = true;
        Error(
            o.line, "too-many-spheres",
            "mehr als " + std::to_string(kMaxStaticSpheres) +
                " Kugelfelsen: dieser und alle weiteren werden gezeichnet, stossen aber nichts ab",
            o.line);
      }
    }
    if (kind_ == LevelKind::kMenu) continue;
    if (IsGoal(o.type)) lastGoal = &o;
    if (IsGoal(o.type) || o.type == LevelObjectType::kRagdoll) {
      if (++balls > kMaxBalls && !ballsTold) {
        ballsTold = true;
        Error(o.line, "too-many-balls",
              "mehr als " + std::to_string(kMaxBalls - 1) +
                  " Kugeln und Ziele: dieses Objekt und alle weiteren bekommen keine Kugel",
              o.line);
      }
    }
  }
  if (lastGoal != nullptr && lastGoal->type == LevelObjectType::kGoalStatic &&
      spheres >= kMaxStaticSpheres) {
    Error(lastGoal->line, "too-many-spheres",
          "das Ziel findet neben " + std::to_string(kMaxStaticSpheres) +
              " Kugelfelsen keinen Platz mehr: andere Kugeln prallen nicht von ihm ab",
          lastGoal->line);
  }
}

void Checker::Placement(const MapText& map, const std::vector<LevelObject>& objects) {
  auto numberOk = [&](int line) {
    return line <= map.MapLineCount && numberOk_[static_cast<std::size_t>(line)];
  };
  std::vector<const LevelObject*> goals;
  for (const LevelObject& o : objects) {
    if (kind_ == LevelKind::kMenu && !MenuReads(o.type)) continue;
    if (o.type == LevelObjectType::kPlatform && Finite(o.a) && o.a.x == o.b.x && o.a.y == o.b.y &&
        o.line + 2 <= map.MapLineCount) {
      Warning(
          o.line, "zero-length-platform",
          "die Plattform hat die Laenge 0: das Spiel zeichnet sie nicht und nichts stoesst an sie",
          o.line);
    }
    if ((o.type == LevelObjectType::kSphere || o.type == LevelObjectType::kRagdoll ||
         IsGoal(o.type)) &&
        numberOk(o.line + 2) && !(o.radius > 0.0f)) {
      Warning(o.line + 2, "bad-radius", "Radius " + F(o.radius) + ": das Objekt beruehrt nichts",
              o.line);
    }
    if (IsText(o.type) && numberOk(o.line + 4) && !(o.counter > kCounterShown)) {
      Warning(o.line + 4, "text-never-shown",
              "der Zaehler " + F(o.counter) + " ist nicht groesser als 20: der Text erscheint nie",
              o.line);
    }
    if (IsGoal(o.type)) goals.push_back(&o);
  }
  if (kind_ == LevelKind::kMenu) return;

  // The goal: a race needs one, only the last counts, survival has none.
  if (kind_ == LevelKind::kRace && goals.empty()) {
    Warning(1, "no-goal", "ein Rennen ohne Ziel: das Level ist nicht zu gewinnen");
  }
  for (std::size_t i = 0; i + 1 < goals.size(); ++i) {
    Warning(goals[i]->line, "extra-goal",
            "nur das letzte Ziel zaehlt (Zeile " + std::to_string(goals.back()->line) +
                "): dieses ist nur eine weitere Kugel",
            goals[i]->line);
  }
  if (kind_ == LevelKind::kSurvival) {
    for (const LevelObject* g : goals) {
      Warning(g->line, "goal-in-survival", "ein Ziel im Ueberleben: es ist nur eine weitere Kugel",
              g->line);
    }
  }
  if (kind_ == LevelKind::kRace && !goals.empty()) {
    const LevelObject& g = *goals.back();
    for (const LevelObject& p : objects) {
      if (p.type != LevelObjectType::kPlatform || !Finite(p.a) || !Finite(p.b) || !Finite(g.a))
        continue;
      if (p.a.x == p.b.x && p.a.y == p.b.y) continue;
      if (SegmentDistance(g.a, p.a, p.b) < kPlatformHalfThickness) {
        Warning(g.line, "goal-inside-platform",
                "das Ziel liegt in der Plattform aus Zeile " + std::to_string(p.line), g.line);
      }
    }
  }

  // Ball 1's start, where the game puts it.
  SimState sim;
  sim.GameMode = kind_ == LevelKind::kRace ? PlayMode::kRace : PlayMode::kSurvival;
  const LevelStart start = SetUpLevelObjects(sim, map);
  const Point s{static_cast<float>(start.StartPositionX), static_cast<float>(start.StartPositionY)};
  const int at = map.Line(1) == "BallPosition" ? 1 : 0;
  const std::string where =
      "[" + std::to_string(start.StartPositionX) + "," + std::to_string(start.StartPositionY) + "]";
  for (const LevelObject& o : objects) {
    std::string what;
    if (o.type == LevelObjectType::kPlatform && Finite(o.a) && Finite(o.b) &&
        !(o.a.x == o.b.x && o.a.y == o.b.y) &&
        SegmentDistance(s, o.a, o.b) < kBallRadius + kPlatformHalfThickness) {
      what = "in der Plattform";
    } else if ((o.type == LevelObjectType::kSphere || o.type == LevelObjectType::kRagdoll) &&
               Finite(o.a) && std::isfinite(o.radius) &&
               CentreDistance(s, o.a) < static_cast<double>(o.radius) + kBallRadius) {
      what = o.type == LevelObjectType::kSphere ? "im Kugelfelsen" : "in der Kugel";
    }
    if (what.empty()) continue;
    Warning(at == 0 ? 1 : at, "ball-start-inside",
            "Kugel 1 startet bei " + where + " " + what + " aus Zeile " + std::to_string(o.line),
            at);
  }
}

void Checker::Duplicates(const std::vector<LevelObject>& objects) {
  std::unordered_map<std::string, int> seen;
  for (const LevelObject& o : objects) {
    std::string key;
    switch (o.type) {
      case LevelObjectType::kPlatform: {
        std::string a = PointText(o.a), b = PointText(o.b);
        if (b < a) std::swap(a, b);
        key = a + b + o.colour;
        break;
      }
      case LevelObjectType::kSphere:
      case LevelObjectType::kRagdoll:
        key = PointText(o.a) + F(o.radius) + o.colour;
        break;
      case LevelObjectType::kGoalStatic:
      case LevelObjectType::kGoalRagdoll:
        key = PointText(o.a) + F(o.radius);
        break;
      case LevelObjectType::kText:
      case LevelObjectType::kTextShown: {
        std::string a = PointText(o.a), b = PointText(o.b);
        if (b < a) std::swap(a, b);
        key = a + b + o.text;
        break;
      }
      default:
        continue;
    }
    key = std::string(TypeWord(o.type, o.platformKind)) + "\n" + key;
    const auto [it, fresh] = seen.emplace(key, o.line);
    if (!fresh) {
      Warning(o.line, "duplicate-object",
              "dasselbe Objekt wie in Zeile " + std::to_string(it->second) + " an derselben Stelle",
              o.line);
    }
  }
}

void Checker::Simulated(const MapText& map, int startLine) {
  if (kind_ == LevelKind::kMenu) return;
  const bool race = kind_ == LevelKind::kRace;
  const double grace = race ? kRaceGrace : kSurvivalGrace;
  const NoInputRun run = SimulateWithoutInput(map, race ? 1 : 2, grace);
  char seconds[32];
  if (run.lost) {
    std::snprintf(seconds, sizeof seconds, "%.2f", run.lostAt);
    Warning(startLine, "lost-without-steering",
            std::string("ohne Steuern ist der Lauf nach ") + seconds +
                " s verloren (Kugel 1 faellt aus dem Level)",
            map.Line(1) == "BallPosition" ? 1 : 0);
  }
  if (race && run.caughtFire) {
    std::snprintf(seconds, sizeof seconds, "%.2f", run.fireAt);
    Warning(startLine, "burns-without-steering",
            std::string("ohne Steuern faengt Kugel 1 nach ") + seconds + " s Feuer",
            map.Line(1) == "BallPosition" ? 1 : 0);
  }
}

void Checker::Run(const MapText& map, const CheckOptions& options) {
  const std::vector<LevelObject> objects = ListLevelObjects(map);
  std::vector<bool> isParameter(static_cast<std::size_t>(map.MapLineCount) + 2, false);
  numberOk_.assign(isParameter.size(), false);
  std::vector<LevelObject> read;  // the objects this kind of file uses
  for (const LevelObject& o : objects) {
    if (kind_ == LevelKind::kMenu && !MenuReads(o.type)) {
      Warning(o.line, "ignored-in-menu",
              "\"" + std::string(TypeWord(o.type)) +
                  "\" gilt nur in Levels: die Menueszene uebergeht es",
              o.line);
      continue;
    }
    Parameters(map, o, isParameter);
    read.push_back(o);
  }
  LooseLines(map, isParameter);
  Tables(read);
  Placement(map, read);
  Duplicates(read);
  if (options.simulate) Simulated(map, 1);
}

void AppendUtf8(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xc0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3f));
  } else {
    out += static_cast<char>(0xe0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (cp & 0x3f));
  }
}

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (const char ch : utf8) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

const char* SeverityWord(Severity s) {
  return s == Severity::kError ? "error" : "warning";
}

}  // namespace

// ---- levels and their objects -----------------------------------------------

LevelKind LevelKindOfName(const std::string& fileName) {
  if (fileName.ends_with(".mapGame1")) return LevelKind::kRace;
  if (fileName.ends_with(".mapGame2")) return LevelKind::kSurvival;
  return LevelKind::kMenu;
}

const char* TypeWord(LevelObjectType type, PlatformKind kind) {
  if (type == LevelObjectType::kPlatform) return PlatformTypeName(kind);
  for (const TypeWordEntry& e : kTypeWords) {
    if (e.type == type) return e.word;
  }
  return "";
}

bool TypeOfMapLine(const std::string& line, int k, LevelObjectType& type, PlatformKind& kind) {
  for (const TypeWordEntry& e : kTypeWords) {
    if (line != e.word) continue;
    if (e.type == LevelObjectType::kBallStart && k != 1) return false;
    type = e.type;
    kind = e.kind;
    return true;
  }
  return false;
}

MapText MapOfBytes(const std::string& bytes) {
  MapText map;
  SetMapText(map, bytes.size() > kMaxMapBytes ? bytes.substr(0, kMaxMapBytes) : bytes);
  return map;
}

int ParameterLines(LevelObjectType type) {
  return SlotsOf(type).count;
}

std::vector<LevelObject> ListLevelObjects(const MapText& map) {
  std::vector<LevelObject> objects;
  for (int k = 1; k <= map.MapLineCount; ++k) {
    LevelObject o;
    if (!TypeOfMapLine(map.Line(k), k, o.type, o.platformKind)) continue;
    o.line = k;
    switch (o.type) {
      case LevelObjectType::kPlatform:
        o.a = ParsePoint(map.Line(k + 1));
        o.b = ParsePoint(map.Line(k + 2));
        o.colour = map.Line(k + 3);
        break;
      case LevelObjectType::kSphere:
      case LevelObjectType::kRagdoll:
        o.a = ParsePoint(map.Line(k + 1));
        o.radius = static_cast<float>(ParseNumber(map.Line(k + 2)));
        o.colour = map.Line(k + 3);
        break;
      case LevelObjectType::kGoalStatic:
      case LevelObjectType::kGoalRagdoll:
        o.a = ParsePoint(map.Line(k + 1));
        o.radius = static_cast<float>(ParseNumber(map.Line(k + 2)));
        break;
      case LevelObjectType::kBallStart:
        o.a = ParsePoint(map.Line(k + 1));
        break;
      case LevelObjectType::kCamera: {
        const Triple t = ParseTriple(map.Line(k + 1));
        o.a = Point{t.x, t.y};
        o.z = t.z;
        break;
      }
      case LevelObjectType::kText:
      case LevelObjectType::kTextShown:
        o.a = ParsePoint(map.Line(k + 1));
        o.b = ParsePoint(map.Line(k + 2));
        o.text = map.Line(k + 3);
        o.counter = static_cast<float>(ParseNumber(map.Line(k + 4)));
        break;
    }
    objects.push_back(std::move(o));
  }
  return objects;
}

// ---- findings ---------------------------------------------------------------

const char* const kFindingCodes[] = {
    // errors
    "missing-lines", "bad-point", "bad-triple", "bad-number", "bad-colour",
    "ball-position-not-first", "misspelt-type-word", "too-many-spheres", "too-many-balls",
    "number-too-large", "line-too-long", "too-many-lines", "file-too-large",
    // warnings
    "zero-length-platform", "bad-radius", "ball-start-inside", "no-goal", "extra-goal",
    "goal-in-survival", "goal-inside-platform", "duplicate-object", "text-never-shown",
    "lost-without-steering", "burns-without-steering", "destroyed-platform", "ignored-in-menu"};
const int kFindingCodeCount = static_cast<int>(sizeof kFindingCodes / sizeof kFindingCodes[0]);

std::vector<MapFinding> CheckMapText(const std::string& bytes, LevelKind kind,
                                     const CheckOptions& options) {
  std::vector<MapFinding> findings;
  Checker checker(kind, findings);
  checker.Bounds(bytes);
  checker.Run(MapOfBytes(bytes), options);
  std::stable_sort(findings.begin(), findings.end(), [](const MapFinding& a, const MapFinding& b) {
    if (a.line != b.line) return a.line < b.line;
    return a.severity < b.severity;
  });
  return findings;
}

bool CheckMapFile(const std::string& path, std::vector<MapFinding>& findings, std::string& why,
                  const CheckOptions& options) {
  findings.clear();
  std::string bytes;
  if (!plat::ReadFileBytes(path, kMaxCheckedBytes, bytes, why)) return false;
  const std::size_t slash = path.find_last_of("/\\");
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  findings = CheckMapText(bytes, LevelKindOfName(name), options);
  return true;
}

std::vector<MapFinding> MapErrors(const std::string& bytes, LevelKind kind) {
  CheckOptions options;
  options.simulate = false;
  std::vector<MapFinding> errors = CheckMapText(bytes, kind, options);
  errors.erase(std::remove_if(errors.begin(), errors.end(),
                              [](const MapFinding& f) { return f.severity != Severity::kError; }),
               errors.end());
  return errors;
}

bool HasErrors(const std::vector<MapFinding>& findings) {
  return std::any_of(findings.begin(), findings.end(),
                     [](const MapFinding& f) { return f.severity == Severity::kError; });
}

// ---- how findings are told --------------------------------------------------

std::string Utf8FromGameText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
      continue;
    }
    const unsigned cp = plat::UnicodeFromCp1252(c);
    AppendUtf8(out, cp == 0 ? 0xfffd : cp);
  }
  return out;
}

std::string FindingLine(const MapFinding& f) {
  return std::to_string(f.line) + ": " + SeverityWord(f.severity) + ": " +
         Utf8FromGameText(f.message);
}

std::string CompilerLine(const std::string& file, const MapFinding& f) {
  return file + ":" + FindingLine(f) + " [" + f.code + "]";
}

std::string FindingJson(const std::string& file, const MapFinding& f) {
  return "{\"file\":" + JsonString(file) + ",\"line\":" + std::to_string(f.line) +
         ",\"severity\":\"" + SeverityWord(f.severity) + "\",\"code\":" + JsonString(f.code) +
         ",\"message\":" + JsonString(Utf8FromGameText(f.message)) +
         ",\"object\":" + std::to_string(f.objectLine) + "}";
}

std::string GermanFindingLine(const std::string& levelName, const MapFinding& f) {
  return std::string(f.severity == Severity::kError ? "Fehler" : "Warnung") + " in Level " +
         levelName + ", Zeile " + std::to_string(f.line) + ": " + Utf8FromGameText(f.message);
}
