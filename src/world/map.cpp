// Map text: loading, the line accessors, the parameter-line conversions and
// the parsed-object cache.
#include "world/map.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

const std::string kEmptyLine;

const char* const kPlatformNames[] = {
    "Plattform.static",
    "Plattform.static.destructible",
    "Plattform.static.destructible.left",
    "Plattform.static.destructible.right",
    "Plattform.static.destructible.both",
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The value of a "&H", "&O" or "&B" integer starting at s[i] (after the
// letter); digits beyond what 64 bits hold no longer change the value.
double ParseRadixInteger(const std::string& s, std::size_t i, unsigned radix) {
  std::uint64_t value = 0;
  bool saturated = false;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      break;
    }
    if (digit >= radix) break;
    if (value > (UINT64_MAX - digit) / radix) saturated = true;
    if (!saturated) value = value * radix + digit;
  }
  return static_cast<double>(value);
}

// Splits at the first comma the way the parameter lines are read: no comma
// gives an empty left part and the whole text as the right part.
void SplitAtComma(const std::string& text, std::string& left, std::string& right) {
  const std::size_t comma = text.find(',');
  if (comma == std::string::npos) {
    left.clear();
    right = text;
  } else {
    left = text.substr(0, comma);
    right = text.substr(comma + 1);
  }
}

std::string Inner(const std::string& line) {
  if (line.size() < 2) return std::string();
  return line.substr(1, line.size() - 2);
}

bool Finite(Point p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

PlatformBox BoxOf(const MapPlatform& p) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  return p.usable ? PlatformBox{p.leftX, p.rightX, p.yLo, p.yHi} : PlatformBox{nan, nan, nan, nan};
}

// The platforms and static spheres whose type lines lie in lo..hi, in line
// order, appended to the lists.
void ParseObjects(const MapText& map, int lo, int hi, std::vector<MapPlatform>& platforms,
                  std::vector<MapSphere>& spheres, std::vector<MapTrigger>& triggers) {
  map.scanWork += static_cast<std::uint64_t>(std::max(0, hi - lo + 1));
  for (int k = lo; k <= hi; ++k) {
    const std::string& line = map.Line(k);
    // Every type word starts with 'P', 'S', 'O' or 'F'; most lines are points.
    if (line.empty()) continue;
    if (line[0] == 'O' || line[0] == 'F') {
      if (line == "Output.text" || line == "FontEvent.static.Activ") triggers.push_back({k});
      continue;
    }
    if (line[0] != 'P' && line[0] != 'S') continue;
    PlatformKind kind;
    if (PlatformKindOf(line, kind)) {
      MapPlatform p;
      p.line = k;
      p.kind = kind;
      p.a = ParsePoint(map.Line(k + 1));
      p.b = ParsePoint(map.Line(k + 2));
      p.colour = ColourWordOf(map.Line(k + 3));
      Point left = p.a, right = p.b;
      if (left.x > right.x) std::swap(left, right);
      p.leftX = left.x;
      p.leftY = left.y;
      p.rightX = right.x;
      p.rightY = right.y;
      p.yLo = std::min(left.y, right.y);
      p.yHi = std::max(left.y, right.y);
      // A platform whose ends coincide is ignored by everyone; one with a
      // number beyond the float range would only spread infinities.
      p.usable = Finite(p.a) && Finite(p.b) && !(p.a.x == p.b.x && p.a.y == p.b.y);
      platforms.push_back(p);
    } else if (line == "Sphere.static") {
      MapSphere s;
      s.line = k;
      s.centre = ParsePoint(map.Line(k + 1));
      s.radius = static_cast<float>(ParseNumber(map.Line(k + 2)));
      s.colour = ColourWordOf(map.Line(k + 3));
      s.usable = Finite(s.centre) && std::isfinite(s.radius);
      spheres.push_back(s);
    }
  }
}

void RebuildObjects(const MapText& map, MapObjectCache& cache) {
  cache.platforms.clear();
  cache.boxes.clear();
  cache.spheres.clear();
  cache.triggers.clear();
  ParseObjects(map, 1, map.MapLineCount, cache.platforms, cache.spheres, cache.triggers);
  for (const MapPlatform& p : cache.platforms) cache.boxes.push_back(BoxOf(p));
  cache.revision = map.revision;
  cache.valid = true;
}

// The entries of a line-ordered list whose lines lie in lo..hi replaced by
// fresh ones; in place when their number stays (a break rewrites a platform
// into its piece), so the list moves only when objects come or go.
template <typename T>
std::size_t Splice(std::vector<T>& list, int lo, int hi, const std::vector<T>& fresh) {
  const auto first = std::lower_bound(list.begin(), list.end(), lo,
                                      [](const T& o, int line) { return o.line < line; });
  const auto last =
      std::upper_bound(first, list.end(), hi, [](int line, const T& o) { return line < o.line; });
  const std::size_t at = static_cast<std::size_t>(first - list.begin());
  if (static_cast<std::size_t>(last - first) == fresh.size()) {
    std::copy(fresh.begin(), fresh.end(), first);
  } else {
    list.insert(list.erase(first, last), fresh.begin(), fresh.end());
  }
  return at;
}

// Lines lo..hi changed: every object that reads one of them (its type line
// up to three lines before) is parsed again, when the cache was up to date.
void ReparseAround(const MapText& map, int lo, int hi) {
  MapObjectCache& cache = map.cache;
  if (!cache.valid || cache.revision + 1 != map.revision) return;
  lo = std::max(1, lo - 3);
  std::vector<MapPlatform> platforms;
  std::vector<MapSphere> spheres;
  std::vector<MapTrigger> triggers;
  ParseObjects(map, lo, hi, platforms, spheres, triggers);
  const std::size_t oldCount = cache.platforms.size();
  const std::size_t at = Splice(cache.platforms, lo, hi, platforms);
  std::vector<PlatformBox> boxes;
  for (const MapPlatform& p : platforms) boxes.push_back(BoxOf(p));
  const std::size_t removed = oldCount + platforms.size() - cache.platforms.size();
  if (removed == platforms.size()) {
    std::copy(boxes.begin(), boxes.end(), cache.boxes.begin() + static_cast<std::ptrdiff_t>(at));
  } else {
    const auto first = cache.boxes.begin() + static_cast<std::ptrdiff_t>(at);
    cache.boxes.insert(cache.boxes.erase(first, first + static_cast<std::ptrdiff_t>(removed)),
                       boxes.begin(), boxes.end());
  }
  Splice(cache.spheres, lo, hi, spheres);
  Splice(cache.triggers, lo, hi, triggers);
  cache.revision = map.revision;
}

}  // namespace

// ---- lines ------------------------------------------------------------------

const std::string& MapText::Line(int k) const {
  if (k < 1 || k > MapLineCount || static_cast<std::size_t>(k) >= MapLines.size()) {
    return kEmptyLine;
  }
  return MapLines[static_cast<std::size_t>(k)];
}

void MapText::SetLine(int k, const std::string& text) {
  if (k < 1 || k > MapLineCount || static_cast<std::size_t>(k) >= MapLines.size()) return;
  MapLines[static_cast<std::size_t>(k)] = text;
  ++revision;
  ReparseAround(*this, k, k);
}

MapText MapFromLines(std::vector<std::string> lines) {
  MapText map;
  SetMapLines(map, std::move(lines));
  return map;
}

void SetMapLines(MapText& map, std::vector<std::string> lines) {
  map.MapLines.clear();
  map.MapLines.reserve(lines.size() + 1);
  map.MapLines.emplace_back();
  for (std::string& line : lines) map.MapLines.push_back(std::move(line));
  map.MapLineCount = static_cast<int>(map.MapLines.size() - 1);
  ++map.revision;
}

void AppendMapLines(MapText& map, std::string a, std::string b, std::string c, std::string d) {
  map.MapLines.resize(static_cast<std::size_t>(map.MapLineCount) + 1);
  map.MapLines.push_back(std::move(a));
  map.MapLines.push_back(std::move(b));
  map.MapLines.push_back(std::move(c));
  map.MapLines.push_back(std::move(d));
  map.MapLineCount += 4;
  ++map.revision;
  ReparseAround(map, map.MapLineCount - 5, map.MapLineCount);
}

// ---- parsed objects -----------------------------------------------------------

const MapObjectCache& MapObjects(const MapText& map) {
  MapObjectCache& cache = map.cache;
  if (cache.literalReparse || !cache.valid || cache.revision != map.revision) {
    RebuildObjects(map, cache);
  }
  return cache;
}

std::size_t FirstPlatformAfter(const MapObjectCache& cache, int k) {
  const auto it = std::upper_bound(cache.platforms.begin(), cache.platforms.end(), k,
                                   [](int line, const MapPlatform& p) { return line < p.line; });
  return static_cast<std::size_t>(it - cache.platforms.begin());
}

const char* PlatformTypeName(PlatformKind kind) {
  return kPlatformNames[static_cast<int>(kind)];
}

bool PlatformKindOf(const std::string& line, PlatformKind& kind) {
  // All five names share the first 16 characters.
  if (line.size() < 16 || line.compare(0, 16, kPlatformNames[0]) != 0) return false;
  for (int i = 0; i < 5; ++i) {
    if (line == kPlatformNames[i]) {
      kind = static_cast<PlatformKind>(i);
      return true;
    }
  }
  return false;
}

ColourWord ColourWordOf(const std::string& word) {
  if (word == "white") return ColourWord::White;
  if (word == "blue") return ColourWord::Blue;
  if (word == "red") return ColourWord::Red;
  return ColourWord::Other;
}

// ---- conversions ----------------------------------------------------------------

double ParseNumber(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i + 1 < text.size() && text[i] == '&') {
    const char radix = text[i + 1];
    if (radix == 'H' || radix == 'h') return ParseRadixInteger(text, i + 2, 16);
    if (radix == 'O' || radix == 'o') return ParseRadixInteger(text, i + 2, 8);
    if (radix == 'B' || radix == 'b') return ParseRadixInteger(text, i + 2, 2);
    return 0.0;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Collect the longest decimal number in a clean buffer ('d' becomes 'e').
  std::string number;
  std::size_t mantissaDigits = 0;
  while (i < text.size() && IsDigit(text[i])) {
    number += text[i++];
    ++mantissaDigits;
  }
  if (i < text.size() && text[i] == '.') {
    number += '.';
    ++i;
    while (i < text.size() && IsDigit(text[i])) {
      number += text[i++];
      ++mantissaDigits;
    }
  }
  if (mantissaDigits == 0) return 0.0;
  if (i < text.size() && std::strchr("eEdD", text[i]) != nullptr) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
    const std::size_t firstDigit = j;
    while (j < text.size() && IsDigit(text[j])) exponent += text[j++];
    if (j > firstDigit) number += exponent;
  }
  double value = 0.0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                      std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // Beyond the double range: strtod gives the overflow or underflow value
    // (the buffer holds only digits, '.', 'e' and a sign, so no locale applies
    // beyond the decimal point, which the program never changes).
    value = std::strtod(number.c_str(), nullptr);
  }
  return negative ? -value : value;
}

Point ParsePoint(const std::string& line) {
  std::string left, right;
  SplitAtComma(Inner(line), left, right);
  return Point{static_cast<float>(ParseNumber(left)), static_cast<float>(ParseNumber(right))};
}

Triple ParseTriple(const std::string& line) {
  std::string x, rest, y, z;
  SplitAtComma(Inner(line), x, rest);
  SplitAtComma(rest, y, z);
  return Triple{static_cast<float>(ParseNumber(x)), static_cast<float>(ParseNumber(y)),
                static_cast<float>(ParseNumber(z))};
}

std::string FormatFloat7(float value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                    std::chars_format::general, 7);
  std::string text(buffer, result.ptr);
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

std::string FormatDouble16(double value) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 16);
  return std::string(buffer, result.ptr);
}

std::string FormatPoint(float x, float y) {
  return "[" + FormatFloat7(x) + "," + FormatFloat7(y) + "]";
}
