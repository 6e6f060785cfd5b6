// Our decoder against libpng as the reference: generated images of every
// colour type, bit depth, interlace method and filter, the PngSuite, and the
// places where our rules are deliberately stricter or more lenient.
#include "image/png.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/libpng_reference.h"
#include "image/png_encode.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Layout 3 holds the bottom row first; libpng gives the top row first.
Bytes TopRowFirst(const PngImage& image) {
  Bytes out(image.size);
  const std::size_t pitch = std::size_t{image.width} * 4;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    std::copy_n(image.data + (image.height - 1 - y) * pitch, pitch, out.begin() + y * pitch);
  }
  return out;
}

// Our result must equal libpng's, byte for byte; returns a description of
// the first difference, empty when equal.
std::string Compare(const Bytes& file) {
  std::string reason;
  PngImage ours = DecodePngMemory(file.data(), file.size(), kPngOpenGl, &reason);
  LibpngImage theirs = DecodeWithLibpng(file.data(), file.size());
  if (!theirs.ok) return "libpng refused the file";
  if (!ours) return "we refused the file: " + reason;
  if (ours.width != theirs.width || ours.height != theirs.height) return "size differs";
  const Bytes mine = TopRowFirst(ours);
  const auto diff = std::mismatch(mine.begin(), mine.end(), theirs.rgba.begin());
  if (diff.first == mine.end()) return "";
  const std::size_t at = static_cast<std::size_t>(diff.first - mine.begin());
  return "pixel " + std::to_string(at / 4) + " byte " + std::to_string(at % 4) + ": ours " +
         std::to_string(*diff.first) + ", libpng " + std::to_string(*diff.second);
}

// A small deterministic generator; few distinct values make keys match.
struct Lcg {
  std::uint32_t state;
  std::uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
};

struct Format {
  int colourType, bitDepth;
};
constexpr Format kFormats[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                               {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};

int ChannelsOf(int colourType) {
  return colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
}

// Packed rows whose samples come from a short list of values, so that tRNS
// keys and repeated pixels occur; the key (when wanted) is one of them.
Bytes MakeImage(const Format& f, std::uint32_t w, std::uint32_t h, Lcg& rng, bool withTrns,
                PngEncodeOptions& options) {
  options.colourType = f.colourType;
  options.bitDepth = f.bitDepth;
  const std::uint32_t maxSample = f.bitDepth == 16 ? 0xFFFF : (1u << f.bitDepth) - 1;
  // Three values in arithmetic progression give the Paeth predictor its ties.
  std::uint32_t values[4];
  const std::uint32_t base = rng.Next() % (maxSample + 1), step = 1 + rng.Next() % 40;
  for (std::uint32_t i = 0; i < 3; ++i) values[i] = (base + i * step) % (maxSample + 1);
  values[3] = rng.Next() % (maxSample + 1);
  const int channels = ChannelsOf(f.colourType);
  Bytes packed(PngRowBytes(w, f.colourType, f.bitDepth) * h, 0);
  const std::size_t rowBytes = PngRowBytes(w, f.colourType, f.bitDepth);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      for (int c = 0; c < channels; ++c) {
        // Mostly the listed values, sometimes a diagonal ramp (more ties).
        const std::uint32_t pick = rng.Next() % 5;
        std::uint32_t v = pick == 4 ? (x + y) * step + static_cast<std::uint32_t>(c) : values[pick];
        v %= maxSample + 1;
        const std::size_t sample = std::size_t{x} * channels + static_cast<std::size_t>(c);
        std::uint8_t* row = packed.data() + y * rowBytes;
        if (f.bitDepth == 16) {
          row[sample * 2] = static_cast<std::uint8_t>(v >> 8);
          row[sample * 2 + 1] = static_cast<std::uint8_t>(v);
        } else if (f.bitDepth == 8) {
          row[sample] = static_cast<std::uint8_t>(v);
        } else {
          const std::size_t bit = sample * static_cast<std::size_t>(f.bitDepth);
          row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - f.bitDepth - bit % 8));
        }
      }
    }
  }
  if (f.colourType == 3) {
    // Fewer entries than indices: the indices beyond read as black.
    const std::uint32_t entries = 1 + rng.Next() % (maxSample + 1);
    for (std::uint32_t i = 0; i < entries * 3; ++i) options.palette.push_back(rng.Next() & 0xFF);
    if (withTrns) {
      const std::uint32_t alphas = 1 + rng.Next() % entries;
      for (std::uint32_t i = 0; i < alphas; ++i) options.trns.push_back(rng.Next() & 0xFF);
    }
  } else if (withTrns && (f.colourType == 0 || f.colourType == 2)) {
    for (int c = 0; c < channels; ++c) {
      const std::uint32_t key = values[(1 + static_cast<std::uint32_t>(c)) % 4];
      options.trns.push_back(static_cast<std::uint8_t>(key >> 8));
      options.trns.push_back(static_cast<std::uint8_t>(key));
    }
  }
  return packed;
}

TEST(PngAgainstLibpng, GeneratedImagesOfEveryFormat) {
  Lcg rng{12345};
  const std::uint32_t widths[] = {1, 2, 3, 5, 7, 8, 9, 11, 15, 16, 17, 23, 31, 33};
  const std::uint32_t heights[] = {1, 2, 3, 5, 6, 9, 13, 33};
  int checked = 0;
  for (const Format& f : kFormats) {
    for (bool interlace : {false, true}) {
      for (bool withTrns : {false, true}) {
        if (withTrns && (f.colourType == 4 || f.colourType == 6)) continue;
        for (std::uint32_t w : widths) {
          for (std::uint32_t h : heights) {
            // All five filters in turn, then one filter for the whole image.
            for (int filter : {static_cast<int>(kPngFilterCycle), static_cast<int>((w + h) % 5)}) {
              PngEncodeOptions options;
              const Bytes packed = MakeImage(f, w, h, rng, withTrns, options);
              options.interlace = interlace;
              options.filter = filter;
              options.idatSplit = (w * h) % 3 == 0 ? 17 : 0;
              const std::string diff = Compare(EncodePng(packed.data(), w, h, options));
              ASSERT_EQ(diff, "") << "colour type " << f.colourType << " depth " << f.bitDepth
                                  << (interlace ? " Adam7 " : " ") << w << "x" << h
                                  << (withTrns ? " tRNS" : "") << " filter " << filter;
              ++checked;
            }
          }
        }
      }
    }
  }
  EXPECT_GT(checked, 5000);
}

Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(PngAgainstLibpng, PngSuite) {
  const std::filesystem::path dir = ZIRPEL_PNGSUITE_DIR;
  ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
  int good = 0, broken = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".png") continue;
    const Bytes file = ReadFile(entry.path());
    if (name[0] == 'x') {
      std::string reason;
      EXPECT_FALSE(DecodePngMemory(file.data(), file.size(), kPngOpenGl, &reason)) << name;
      ++broken;
    } else {
      EXPECT_EQ(Compare(file), "") << name;
      ++good;
    }
  }
  EXPECT_EQ(broken, 14);
  EXPECT_GE(good, 160);
}

// Where libpng is lenient and we are strict, or the other way round.
TEST(PngAgainstLibpng, OurRulesWhereLibpngDiffers) {
  Bytes rgb(6 * 4 * 3);
  for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>(i * 29);
  PngEncodeOptions options;
  const Bytes scanlines = PngFilteredScanlines(rgb.data(), 6, 4, options);
  const Bytes good = EncodePng(rgb.data(), 6, 4, options);
  ASSERT_EQ(Compare(good), "");

  auto build = [](const std::vector<std::pair<const char*, Bytes>>& middle) {
    Bytes file;
    AppendPngSignature(file);
    AppendPngHeader(file, 6, 4, 8, 2, 0);
    for (const auto& [type, data] : middle) AppendPngChunk(file, type, data.data(), data.size());
    AppendPngChunk(file, "IEND", nullptr, 0);
    return file;
  };
  auto ours = [](const Bytes& file) {
    return static_cast<bool>(DecodePngMemory(file.data(), file.size(), kPngOpenGl));
  };
  auto theirs = [](const Bytes& file) { return DecodeWithLibpng(file.data(), file.size()).ok; };

  // Bytes after IEND: libpng never reads them, we refuse the file.
  Bytes trailing = good;
  trailing.insert(trailing.end(), {1, 2, 3, 4});
  EXPECT_TRUE(theirs(trailing));
  EXPECT_FALSE(ours(trailing));

  // Surplus image data (a longer stream than the scanlines): libpng warns,
  // we refuse.
  Bytes longer = scanlines;
  longer.insert(longer.end(), 40, 0);
  const Bytes surplus = build({{"IDAT", PngCompress(longer, 9)}});
  EXPECT_TRUE(theirs(surplus));
  EXPECT_FALSE(ours(surplus));

  // An ancillary chunk between IDAT chunks: libpng refuses, we join the data.
  const Bytes z = PngCompress(scanlines, 9);
  const auto half = z.begin() + static_cast<std::ptrdiff_t>(z.size() / 2);
  const Bytes apart = build({{"IDAT", Bytes(z.begin(), half)},
                             {"tEXt", Bytes{'k', 0, 'v'}},
                             {"IDAT", Bytes(half, z.end())}});
  EXPECT_FALSE(theirs(apart));
  PngImage joined = DecodePngMemory(apart.data(), apart.size(), kPngOpenGl);
  PngImage reference = DecodePngMemory(good.data(), good.size(), kPngOpenGl);
  ASSERT_TRUE(joined);
  EXPECT_TRUE(std::equal(joined.data, joined.data + joined.size, reference.data));
}

}  // namespace
