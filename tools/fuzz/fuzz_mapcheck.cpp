// libFuzzer entry for the level checker and the editor's model. The input's
// last byte chooses the kind of level (race, survival, menu), whether the
// start is played without steering, and a few edits; the rest is the
// level's bytes. The run stops with a trap when
//   - a finding names a line outside the file, an object that is none, or a
//     code the checker does not list,
//   - the editor's lines, put together, are not the input's bytes,
//   - undoing every edit does not give the input back, or redoing them all
//     the edited text.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "leveledit/level_edit.h"
#include "mapcheck/map_check.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t control = data[size - 1];
  const std::string bytes(reinterpret_cast<const char*>(data), size - 1);
  const LevelKind kind = static_cast<LevelKind>(control % 3);
  CheckOptions options;
  options.simulate = (control & 4) != 0;

  const std::vector<MapFinding> findings = CheckMapText(bytes, kind, options);
  LevelDoc doc = OpenLevel(bytes, kind);
  Require(LevelBytes(doc) == bytes);
  const int lines = static_cast<int>(doc.lines.size());
  std::set<int> typeLines;
  for (const LevelObject& o : LevelObjects(doc)) typeLines.insert(o.line);
  const std::set<std::string> codes(kFindingCodes, kFindingCodes + kFindingCodeCount);
  for (const MapFinding& f : findings) {
    Require(f.line >= 1 && f.line <= std::max(1, lines));
    Require(f.objectLine == 0 || typeLines.count(f.objectLine) == 1);
    Require(codes.count(f.code) == 1);
  }

  // A few edits on the objects there are and on new ones.
  const std::vector<PaletteEntry> palette = Palette();
  const int edits = (control >> 3) % 8;
  for (int i = 0; i < edits; ++i) {
    const std::vector<LevelObject> objects = LevelObjects(doc);
    const float x = static_cast<float>(i) * 0.7f - 2.0f;
    const LevelObject* target =
        objects.empty() ? nullptr
                        : &objects[static_cast<std::size_t>(i * 7 + control) % objects.size()];
    switch ((i + control) % 5) {
      case 0:
        PlaceObject(doc, palette[static_cast<std::size_t>(i * 5 + control) % palette.size()].choice,
                    {x, 1.0f}, {x + 1.5f, 0.5f});
        break;
      case 1:
        if (target != nullptr) MoveObject(doc, target->line, {0.3f, -0.1f});
        break;
      case 2:
        if (target != nullptr) DeleteObject(doc, target->line);
        break;
      case 3:
        if (target != nullptr) {
          const Hit hit = HitTest(objects, target->b, 0.2f);
          if (hit.line != 0) MoveEnd(doc, hit.line, hit.part, {x, 2.0f});
        }
        break;
      default:
        if (target != nullptr) {
          LevelObject values = *target;
          values.colour = "blue";
          values.radius += 0.25f;
          SetObject(doc, target->line, values);
        }
        break;
    }
  }
  const std::string edited = LevelBytes(doc);
  while (Undo(doc)) {
  }
  Require(LevelBytes(doc) == bytes);
  while (Redo(doc)) {
  }
  Require(LevelBytes(doc) == edited);
  return 0;
}
