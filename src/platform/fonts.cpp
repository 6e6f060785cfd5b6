// Bitmap fonts from fontconfig + FreeType into GL display lists.
#include "platform/fonts.h"

#include <GL/gl.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>

#include "platform/text_codec.h"
#include FT_FREETYPE_H

#include <string>
#include <vector>

namespace plat {
namespace {

// Path of the file fontconfig offers for "Arial" at this Windows weight.
std::string FindFace(int weight) {
  std::string path;
  if (!FcInit()) return path;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("Arial"));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  if (match) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
      path = reinterpret_cast<const char*>(file);
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return path;
}

void EmptyLists(unsigned base, int from, int to) {
  for (int code = from; code <= to; ++code) {
    glNewList(base + static_cast<unsigned>(code), GL_COMPILE);
    glEndList();
  }
}

}  // namespace

unsigned BuildBitmapFont(int pixelHeight, int weight) {
  const unsigned base = glGenLists(256);
  if (base == 0) return 0;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  const std::string file = FindFace(weight);
  const bool ready = pixelHeight > 0 && !file.empty() && FT_Init_FreeType(&library) == 0 &&
                     FT_New_Face(library, file.c_str(), 0, &face) == 0 &&
                     FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelHeight)) == 0;
  if (!ready) {
    EmptyLists(base, 0, 255);
  } else {
    GLint oldAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &oldAlignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    std::vector<unsigned char> flipped;
    for (int code = 0; code < 255; ++code) {
      const unsigned cp = UnicodeFromCp1252(static_cast<unsigned char>(code));
      const FT_UInt glyph = (cp < 32 || cp == 127) ? 0 : FT_Get_Char_Index(face, cp);
      if (glyph == 0 ||
          FT_Load_Glyph(face, glyph, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME)) {
        EmptyLists(base, code, code);
        continue;
      }
      const FT_GlyphSlot slot = face->glyph;
      const FT_Bitmap& bm = slot->bitmap;
      const int rows = static_cast<int>(bm.rows);
      const int width = static_cast<int>(bm.width);
      const int pitch = bm.pitch < 0 ? -bm.pitch : bm.pitch;
      const int rowBytes = (width + 7) / 8;
      // glBitmap wants the bottom row first; FreeType gives the top row first.
      flipped.assign(static_cast<size_t>(rowBytes) * static_cast<size_t>(rows > 0 ? rows : 1), 0);
      for (int r = 0; r < rows; ++r) {
        const unsigned char* src = bm.buffer + static_cast<ptrdiff_t>(r) * pitch;
        std::copy(src, src + rowBytes,
                  flipped.begin() + static_cast<ptrdiff_t>(rows - 1 - r) * rowBytes);
      }
      glNewList(base + static_cast<unsigned>(code), GL_COMPILE);
      glBitmap(width, rows, static_cast<float>(-slot->bitmap_left),
               static_cast<float>(rows - slot->bitmap_top),
               static_cast<float>(slot->advance.x) / 64.0f, 0.0f, flipped.data());
      glEndList();
    }
    EmptyLists(base, 255, 255);
    glPixelStorei(GL_UNPACK_ALIGNMENT, oldAlignment);
  }
  if (face) FT_Done_Face(face);
  if (library) FT_Done_FreeType(library);
  return base;
}

}  // namespace plat
