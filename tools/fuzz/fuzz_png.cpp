// libFuzzer entry for the PNG decoder. Every input is decoded as it is and
// once more with the CRC of every chunk set right, so that mutations reach
// the header, inflate, filter and pixel code behind the checksums. Each
// decode runs in layout 3; when that succeeds, layouts 1 and 2 must give the
// same pixels (as far as the compact header can hold the image), or the run
// stops with a trap.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/png.h"

namespace {

// Pixel (x, y) of the image, y from the top, as R, G, B, A.
void PixelOf(const PngImage& image, int layout, std::uint32_t x, std::uint32_t y,
             std::uint8_t out[4]) {
  const std::uint8_t* p = nullptr;
  if (layout == kPngOpenGl) {
    p = image.data + (std::size_t{image.height - 1 - y} * image.width + x) * 4;
    std::memcpy(out, p, 4);
    return;
  }
  if (layout == kPngCompact) {
    p = image.data + 4 + (std::size_t{y} * image.width + x) * 4;
  } else {
    const std::size_t pitch = (std::size_t{image.width} * 4 + 31) & ~std::size_t{31};
    p = image.data + 32 + std::size_t{y} * pitch + std::size_t{x} * 4;
  }
  out[0] = p[2];
  out[1] = p[1];
  out[2] = p[0];
  out[3] = p[3];
}

void CheckLayouts(const std::uint8_t* data, std::size_t size) {
  PngImage gl = DecodePngMemory(data, size, kPngOpenGl);
  if (!gl) return;
  if (gl.size != std::size_t{gl.width} * gl.height * 4) __builtin_trap();
  for (int layout : {kPngCompact, kPngFullHeader}) {
    PngImage other = DecodePngMemory(data, size, layout);
    if (!other) {
      if (layout == kPngCompact && (gl.width > 0x1FFF || gl.height > 0xFFFF)) continue;
      __builtin_trap();  // the same file must decode in every layout
    }
    if (other.width != gl.width || other.height != gl.height) __builtin_trap();
    for (std::uint32_t y = 0; y < gl.height; ++y) {
      for (std::uint32_t x = 0; x < gl.width; ++x) {
        std::uint8_t a[4], b[4];
        PixelOf(gl, kPngOpenGl, x, y, a);
        PixelOf(other, layout, x, y, b);
        if (std::memcmp(a, b, 4) != 0) __builtin_trap();
      }
    }
  }
}

// The input with the stored CRC of every chunk that fits replaced by the
// right one.
std::vector<std::uint8_t> WithRightCrcs(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> file(data, data + size);
  for (std::size_t pos = 8; pos + 12 <= size;) {
    const std::size_t length = std::size_t{file[pos]} << 24 | std::size_t{file[pos + 1]} << 16 |
                               std::size_t{file[pos + 2]} << 8 | file[pos + 3];
    if (length > size - pos - 12) break;
    const std::uint32_t crc = static_cast<std::uint32_t>(crc32_z(0L, &file[pos + 4], length + 4));
    for (int i = 0; i < 4; ++i)
      file[pos + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    pos += length + 12;
  }
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckLayouts(data, size);
  const std::vector<std::uint8_t> repaired = WithRightCrcs(data, size);
  CheckLayouts(repaired.data(), repaired.size());
  return 0;
}
