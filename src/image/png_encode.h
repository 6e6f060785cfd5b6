// PNG encoder: the texture generator writes the game's pictures with it and
// the decoder tests build their images (good and broken) with it.
// Depends on zlib (compress2, crc32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Filter choice per scanline.
enum PngFilterChoice : int {
  kPngFilterNone = 0,
  kPngFilterSub = 1,
  kPngFilterUp = 2,
  kPngFilterAverage = 3,
  kPngFilterPaeth = 4,
  kPngFilterAdaptive = -1,  // per row the filter with the smallest sum of |bytes|
  kPngFilterCycle = -2,     // row r of a pass gets filter r mod 5
};

struct PngEncodeOptions {
  int colourType = 2;      // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
  int bitDepth = 8;        // 1, 2, 4, 8, 16 as the colour type allows
  bool interlace = false;  // Adam7
  int filter = kPngFilterAdaptive;
  int level = 9;                      // zlib compression level
  std::vector<std::uint8_t> palette;  // RGB triples, written as PLTE when not empty
  std::vector<std::uint8_t> trns;     // raw tRNS data, written when not empty
  std::size_t idatSplit = 0;          // largest IDAT chunk; 0 writes one chunk
};

// Bytes of one packed row of width pixels (no filter byte).
std::size_t PngRowBytes(std::uint32_t width, int colourType, int bitDepth);

// The filtered scanlines (filter byte + row, every pass) of an image given as
// packed rows in the file's own sample format: height rows of PngRowBytes,
// samples big-endian, low depths packed from the most significant bit.
std::vector<std::uint8_t> PngFilteredScanlines(const std::uint8_t* packed, std::uint32_t width,
                                               std::uint32_t height,
                                               const PngEncodeOptions& options);

// A whole file: signature, IHDR, PLTE, tRNS, IDAT chunk(s), IEND.
std::vector<std::uint8_t> EncodePng(const std::uint8_t* packed, std::uint32_t width,
                                    std::uint32_t height, const PngEncodeOptions& options);

// 8-bit RGB pixels, top row first, adaptive filters, best compression.
std::vector<std::uint8_t> EncodeRgbPng(const std::uint8_t* rgb, std::uint32_t width,
                                       std::uint32_t height);

// Building blocks for hand-made files.
void AppendPngSignature(std::vector<std::uint8_t>& file);
void AppendPngChunk(std::vector<std::uint8_t>& file, const char* type, const std::uint8_t* data,
                    std::size_t length);
void AppendPngHeader(std::vector<std::uint8_t>& file, std::uint32_t width, std::uint32_t height,
                     int bitDepth, int colourType, int interlace);
std::vector<std::uint8_t> PngCompress(const std::vector<std::uint8_t>& raw, int level);
