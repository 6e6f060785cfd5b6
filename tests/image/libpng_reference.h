// The reference decoder for the decoder tests and the benchmark: libpng's
// classic API with the transforms that give our pixels (palette, grey and
// tRNS expanded to RGBA, 16-bit channels cut to their high byte, no gamma).
#pragma once

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <vector>

struct LibpngImage {
  bool ok = false;
  std::uint32_t width = 0, height = 0;
  std::vector<std::uint8_t> rgba;  // top row first, R, G, B, A
};

namespace libpng_reference {

struct Reader {
  const std::uint8_t* bytes;
  std::size_t length;
  std::size_t pos;
};

inline void ReadBytes(png_structp png, png_bytep out, png_size_t count) {
  Reader* reader = static_cast<Reader*>(png_get_io_ptr(png));
  if (count > reader->length - reader->pos) png_error(png, "read past the end");
  std::memcpy(out, reader->bytes + reader->pos, count);
  reader->pos += count;
}

inline void QuietWarning(png_structp, png_const_charp) {}
// An error handler must not return; this one skips libpng's message.
inline void QuietError(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

}  // namespace libpng_reference

// Decodes a whole file; ok is false when libpng refuses it.
inline LibpngImage DecodeWithLibpng(const std::uint8_t* bytes, std::size_t length) {
  using namespace libpng_reference;
  LibpngImage result;
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, &QuietError, &QuietWarning);
  if (png == nullptr) return result;
  png_infop info = png_create_info_struct(png);
  Reader reader{bytes, length, 0};
  // Locals changed after setjmp must be volatile or live outside the frame.
  LibpngImage* volatile out = &result;
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    out->ok = false;
    out->rgba.clear();
    return result;
  }
  png_set_read_fn(png, &reader, &ReadBytes);
  png_set_crc_action(png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
  png_read_info(png, info);
  png_set_expand(png);
  png_set_gray_to_rgb(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_strip_16(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  out->width = png_get_image_width(png, info);
  out->height = png_get_image_height(png, info);
  out->rgba.assign(std::size_t{out->width} * out->height * 4, 0);
  rows.resize(out->height);
  for (std::uint32_t y = 0; y < out->height; ++y)
    rows[y] = out->rgba.data() + std::size_t{y} * out->width * 4;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  out->ok = true;
  return result;
}
