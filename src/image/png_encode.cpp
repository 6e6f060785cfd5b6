// PNG encoder: packed rows, Adam7 passes, the five filters, zlib, chunks.
#include "image/png_encode.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>

namespace {

struct Pass {
  std::uint32_t x0, y0, dx, dy;
};
constexpr Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
constexpr Pass kPlain = {0, 0, 1, 1};

int ChannelsOf(int colourType) {
  switch (colourType) {
    case 2:
      return 3;
    case 4:
      return 2;
    case 6:
      return 4;
    default:
      return 1;
  }
}

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// Copies pixel x of a packed row to pixel i of another packed row.
void CopyPixel(const std::uint8_t* src, std::uint32_t x, std::uint8_t* dst, std::uint32_t i,
               int bitsPerPixel) {
  if (bitsPerPixel >= 8) {
    const std::size_t bytes = static_cast<std::size_t>(bitsPerPixel / 8);
    std::copy_n(src + x * bytes, bytes, dst + i * bytes);
    return;
  }
  const std::size_t srcBit = std::size_t{x} * bitsPerPixel, dstBit = std::size_t{i} * bitsPerPixel;
  const unsigned mask = (1u << bitsPerPixel) - 1;
  const unsigned value = (src[srcBit / 8] >> (8 - bitsPerPixel - srcBit % 8)) & mask;
  dst[dstBit / 8] |= static_cast<std::uint8_t>(value << (8 - bitsPerPixel - dstBit % 8));
}

int PaethPredict(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  if (pb <= pc) return b;
  return c;
}

void FilterRow(int type, const std::uint8_t* row, const std::uint8_t* prev, std::size_t n,
               std::size_t unit, std::uint8_t* out) {
  for (std::size_t i = 0; i < n; ++i) {
    const int a = i >= unit ? row[i - unit] : 0;
    const int b = prev[i];
    const int c = i >= unit ? prev[i - unit] : 0;
    int predicted = 0;
    switch (type) {
      case 1:
        predicted = a;
        break;
      case 2:
        predicted = b;
        break;
      case 3:
        predicted = (a + b) / 2;
        break;
      case 4:
        predicted = PaethPredict(a, b, c);
        break;
      default:
        break;
    }
    out[i] = static_cast<std::uint8_t>(row[i] - predicted);
  }
}

std::uint64_t SumOfMagnitudes(const std::uint8_t* data, std::size_t n) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += data[i] < 128 ? data[i] : 256 - data[i];
  return sum;
}

}  // namespace

std::size_t PngRowBytes(std::uint32_t width, int colourType, int bitDepth) {
  return (std::size_t{width} * ChannelsOf(colourType) * bitDepth + 7) / 8;
}

std::vector<std::uint8_t> PngFilteredScanlines(const std::uint8_t* packed, std::uint32_t width,
                                               std::uint32_t height,
                                               const PngEncodeOptions& options) {
  const int bitsPerPixel = ChannelsOf(options.colourType) * options.bitDepth;
  const std::size_t unit = static_cast<std::size_t>(std::max(1, bitsPerPixel / 8));
  const std::size_t fullRow = PngRowBytes(width, options.colourType, options.bitDepth);
  std::vector<std::uint8_t> out;
  const Pass* passes = options.interlace ? kAdam7 : &kPlain;
  const int passCount = options.interlace ? 7 : 1;
  for (int p = 0; p < passCount; ++p) {
    const Pass& pass = passes[p];
    const std::uint32_t columns = width > pass.x0 ? (width - pass.x0 + pass.dx - 1) / pass.dx : 0;
    const std::uint32_t rows = height > pass.y0 ? (height - pass.y0 + pass.dy - 1) / pass.dy : 0;
    if (columns == 0 || rows == 0) continue;
    const std::size_t n = PngRowBytes(columns, options.colourType, options.bitDepth);
    std::vector<std::uint8_t> row(n), prev(n, 0), filtered(n), best(n);
    for (std::uint32_t r = 0; r < rows; ++r) {
      const std::uint8_t* source = packed + std::size_t{pass.y0 + r * pass.dy} * fullRow;
      std::fill(row.begin(), row.end(), 0);
      for (std::uint32_t i = 0; i < columns; ++i) {
        CopyPixel(source, pass.x0 + i * pass.dx, row.data(), i, bitsPerPixel);
      }
      int type = options.filter;
      if (type == kPngFilterCycle) type = static_cast<int>(r % 5);
      if (type == kPngFilterAdaptive) {
        std::uint64_t bestSum = UINT64_MAX;
        for (int t = 0; t < 5; ++t) {
          FilterRow(t, row.data(), prev.data(), n, unit, filtered.data());
          const std::uint64_t sum = SumOfMagnitudes(filtered.data(), n);
          if (sum < bestSum) {
            bestSum = sum;
            type = t;
            best.swap(filtered);
          }
        }
      } else {
        FilterRow(type, row.data(), prev.data(), n, unit, best.data());
      }
      out.push_back(static_cast<std::uint8_t>(type));
      out.insert(out.end(), best.begin(), best.end());
      prev.swap(row);
    }
  }
  return out;
}

std::vector<std::uint8_t> PngCompress(const std::vector<std::uint8_t>& raw, int level) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<std::uint8_t> out(size);
  if (compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), level) != Z_OK) {
    return {};
  }
  out.resize(size);
  return out;
}

void AppendPngSignature(std::vector<std::uint8_t>& file) {
  static const std::uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
  for (const std::uint8_t byte : kSignature) file.push_back(byte);
}

void AppendPngChunk(std::vector<std::uint8_t>& file, const char* type, const std::uint8_t* data,
                    std::size_t length) {
  PutBe32(file, static_cast<std::uint32_t>(length));
  const std::size_t start = file.size();
  file.insert(file.end(), type, type + 4);
  if (length > 0) file.insert(file.end(), data, data + length);
  PutBe32(file, static_cast<std::uint32_t>(crc32_z(0L, file.data() + start, length + 4)));
}

void AppendPngHeader(std::vector<std::uint8_t>& file, std::uint32_t width, std::uint32_t height,
                     int bitDepth, int colourType, int interlace) {
  std::vector<std::uint8_t> ihdr;
  PutBe32(ihdr, width);
  PutBe32(ihdr, height);
  ihdr.push_back(static_cast<std::uint8_t>(bitDepth));
  ihdr.push_back(static_cast<std::uint8_t>(colourType));
  ihdr.push_back(0);
  ihdr.push_back(0);
  ihdr.push_back(static_cast<std::uint8_t>(interlace));
  AppendPngChunk(file, "IHDR", ihdr.data(), ihdr.size());
}

std::vector<std::uint8_t> EncodePng(const std::uint8_t* packed, std::uint32_t width,
                                    std::uint32_t height, const PngEncodeOptions& options) {
  std::vector<std::uint8_t> file;
  AppendPngSignature(file);
  AppendPngHeader(file, width, height, options.bitDepth, options.colourType,
                  options.interlace ? 1 : 0);
  if (!options.palette.empty()) {
    AppendPngChunk(file, "PLTE", options.palette.data(), options.palette.size());
  }
  if (!options.trns.empty()) AppendPngChunk(file, "tRNS", options.trns.data(), options.trns.size());
  const std::vector<std::uint8_t> compressed =
      PngCompress(PngFilteredScanlines(packed, width, height, options), options.level);
  const std::size_t step = options.idatSplit > 0 ? options.idatSplit : compressed.size();
  for (std::size_t pos = 0; pos < compressed.size(); pos += step) {
    AppendPngChunk(file, "IDAT", compressed.data() + pos, std::min(step, compressed.size() - pos));
  }
  AppendPngChunk(file, "IEND", nullptr, 0);
  return file;
}

std::vector<std::uint8_t> EncodeRgbPng(const std::uint8_t* rgb, std::uint32_t width,
                                       std::uint32_t height) {
  return EncodePng(rgb, width, height, PngEncodeOptions{});
}
