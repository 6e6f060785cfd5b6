// PNG decoder: texture files into 8-bit RGBA pixel buffers.
// Depends on zlib only (crc32 for the chunk checksums, uncompress for the
// image data); reading a file is render's DecodePngFile.
//
// Every colour type and bit depth of the format, both interlace methods and
// all five scanline filters are decoded; 16-bit channels keep their high byte
// and no gamma is applied. Any fault in a file gives an empty PngImage; the
// game stays silent about it, the texture checker prints the reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Output layouts, chosen by number.
//  1: 4-byte header (16-bit word width << 3 | 4, then 16-bit height, both
//     little-endian), rows top first, pitch width x 4, bytes B, G, R, A.
//  2: 32-byte header (32-bit little-endian words 7, 4, width, height, pitch,
//     then zeros), rows top first, pitch = (width x 4 + 31) & ~31, B, G, R, A.
//  3: no header, exactly width x height x 4 bytes, the image's bottom row
//     first, bytes R, G, B, A (what glTexImage2D wants for RGBA).
enum PngLayout : int { kPngCompact = 1, kPngFullHeader = 2, kPngOpenGl = 3 };

// A decoded picture. Owns its buffer (start aligned to 16 bytes, bytes not
// covered by pixels are zero); move-only; empty (data == nullptr, size 0)
// after any failure.
struct PngImage {
  std::uint8_t* data = nullptr;
  std::size_t size = 0;  // bytes of the buffer in the chosen layout
  std::uint32_t width = 0;
  std::uint32_t height = 0;

  PngImage() = default;
  PngImage(PngImage&& other) noexcept;
  PngImage& operator=(PngImage&& other) noexcept;
  PngImage(const PngImage&) = delete;
  PngImage& operator=(const PngImage&) = delete;
  ~PngImage();

  explicit operator bool() const { return data != nullptr; }
  void Release();  // frees the buffer, leaves an empty image

  // A zero-filled buffer of size bytes; empty image when out of memory.
  static PngImage Allocate(std::size_t size);
};

// The header values of a file, for the texture checker.
struct PngHeader {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int bitDepth = 0;
  int colourType = 0;
  int interlace = 0;
};

// Largest output buffer or inflated image data a file may ask for (bytes).
constexpr std::size_t kPngMaxBytes = std::size_t{256} << 20;
// Largest file a reader hands to the decoder (bytes).
constexpr std::size_t kPngMaxFileBytes = std::size_t{512} << 20;

// Decodes a whole PNG file held in memory into the given layout (1, 2 or 3).
// On failure the result is empty and, when reason is given, it receives the
// first reason the file was refused; header, when given, receives the IHDR
// values as far as they were read.
PngImage DecodePngMemory(const std::uint8_t* bytes, std::size_t length, int layout,
                         std::string* reason = nullptr, PngHeader* header = nullptr);
