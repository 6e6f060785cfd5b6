// The decoder's own rules: layouts, row order, chunk structure, header
// limits, palette and transparency, filters and interlacing.
#include "image/png.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "image/png_encode.h"
#include "render/png_file.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

PngImage Decode(const Bytes& file, int layout = kPngOpenGl, std::string* reason = nullptr) {
  return DecodePngMemory(file.data(), file.size(), layout, reason);
}

Bytes Pixels(const PngImage& image) {
  return Bytes(image.data, image.data + image.size);
}

PngEncodeOptions Options(int colourType, int bitDepth, bool interlace = false) {
  PngEncodeOptions options;
  options.colourType = colourType;
  options.bitDepth = bitDepth;
  options.interlace = interlace;
  return options;
}

// A file from hand-made chunks: IHDR, then the given middle, then IEND.
struct ChunkList {
  Bytes file;
  ChunkList(std::uint32_t w, std::uint32_t h, int depth, int colourType, int interlace = 0) {
    AppendPngSignature(file);
    AppendPngHeader(file, w, h, depth, colourType, interlace);
  }
  ChunkList& Add(const char* type, const Bytes& data) {
    AppendPngChunk(file, type, data.data(), data.size());
    return *this;
  }
  ChunkList& Idat(const Bytes& raw) { return Add("IDAT", PngCompress(raw, 9)); }
  Bytes End() {
    Add("IEND", {});
    return file;
  }
};

// Offset of the first chunk of a type (its length field).
std::size_t FindChunk(const Bytes& file, const char* type) {
  for (std::size_t pos = 8; pos + 8 <= file.size();) {
    const std::uint32_t length = std::uint32_t{file[pos]} << 24 |
                                 std::uint32_t{file[pos + 1]} << 16 |
                                 std::uint32_t{file[pos + 2]} << 8 | file[pos + 3];
    if (std::equal(type, type + 4, file.begin() + static_cast<std::ptrdiff_t>(pos + 4))) return pos;
    pos += length + 12;
  }
  return 0;
}

std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

const Bytes kRgba1x1 = EncodePng(Bytes{10, 20, 30, 40}.data(), 1, 1, Options(6, 8));

TEST(PngDecoder, OneRgbaPixelInEveryLayout) {
  PngImage gl = Decode(kRgba1x1, kPngOpenGl);
  ASSERT_TRUE(gl);
  EXPECT_EQ(Pixels(gl), (Bytes{10, 20, 30, 40}));
  EXPECT_EQ(gl.width, 1u);
  EXPECT_EQ(gl.height, 1u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(gl.data) % 16, 0u);

  PngImage compact = Decode(kRgba1x1, kPngCompact);
  ASSERT_TRUE(compact);
  EXPECT_EQ(Pixels(compact), (Bytes{1 << 3 | 4, 0, 1, 0, 30, 20, 10, 40}));

  PngImage full = Decode(kRgba1x1, kPngFullHeader);
  ASSERT_TRUE(full);
  ASSERT_EQ(full.size, 32u + 32u);
  EXPECT_EQ(Le32(full.data), 7u);
  EXPECT_EQ(Le32(full.data + 4), 4u);
  EXPECT_EQ(Le32(full.data + 8), 1u);
  EXPECT_EQ(Le32(full.data + 12), 1u);
  EXPECT_EQ(Le32(full.data + 16), 32u);
  const Bytes fullBytes = Pixels(full);
  EXPECT_EQ(Bytes(fullBytes.begin() + 20, fullBytes.begin() + 32), Bytes(12, 0));
  EXPECT_EQ(Bytes(fullBytes.begin() + 32, fullBytes.begin() + 36), (Bytes{30, 20, 10, 40}));
  EXPECT_EQ(Bytes(fullBytes.begin() + 36, fullBytes.end()), Bytes(28, 0));

  for (int layout : {0, 4, -1}) EXPECT_FALSE(Decode(kRgba1x1, layout)) << layout;
}

TEST(PngDecoder, RowOrderAndPitchPerLayout) {
  // 9 x 2 RGB: top row red, bottom row blue.
  Bytes rgb;
  for (int i = 0; i < 9; ++i) rgb.insert(rgb.end(), {255, 0, 0});
  for (int i = 0; i < 9; ++i) rgb.insert(rgb.end(), {0, 0, 255});
  const Bytes file = EncodePng(rgb.data(), 9, 2, Options(2, 8));

  PngImage gl = Decode(file, kPngOpenGl);
  ASSERT_TRUE(gl);
  ASSERT_EQ(gl.size, 9u * 2 * 4);
  EXPECT_EQ(Bytes(gl.data, gl.data + 4), (Bytes{0, 0, 255, 255}));        // bottom row first
  EXPECT_EQ(Bytes(gl.data + 36, gl.data + 40), (Bytes{255, 0, 0, 255}));  // then the top row

  PngImage compact = Decode(file, kPngCompact);
  ASSERT_TRUE(compact);
  EXPECT_EQ(compact.data[0] | compact.data[1] << 8, 9 << 3 | 4);
  EXPECT_EQ(compact.data[2] | compact.data[3] << 8, 2);
  EXPECT_EQ(Bytes(compact.data + 4, compact.data + 8), (Bytes{0, 0, 255, 255}));  // top row: red
  EXPECT_EQ(Bytes(compact.data + 40, compact.data + 44), (Bytes{255, 0, 0, 255}));

  PngImage full = Decode(file, kPngFullHeader);
  ASSERT_TRUE(full);
  EXPECT_EQ(Le32(full.data + 16), 64u);  // 36 bytes padded to 64
  ASSERT_EQ(full.size, 32u + 2 * 64);
  EXPECT_EQ(Bytes(full.data + 32, full.data + 36), (Bytes{0, 0, 255, 255}));
  EXPECT_EQ(Bytes(full.data + 68, full.data + 96), Bytes(28, 0));  // padding stays zero
  EXPECT_EQ(Bytes(full.data + 96, full.data + 100), (Bytes{255, 0, 0, 255}));
}

TEST(PngDecoder, EveryChangedOrMissingByteIsRefused) {
  // A tEXt chunk stands in the file, so damage to an ancillary chunk is
  // caught too: the CRC covers every chunk.
  Bytes grey = {0, 64, 128, 255, 1, 2};
  ChunkList list(3, 2, 8, 0);
  list.Add("tEXt", Bytes{'T', 'i', 't', 'l', 'e', 0, 'Z'});
  list.Idat(PngFilteredScanlines(grey.data(), 3, 2, Options(0, 8)));
  const Bytes file = list.End();
  ASSERT_TRUE(Decode(file));
  for (std::size_t i = 0; i < file.size(); ++i) {
    Bytes damaged = file;
    damaged[i] ^= 0x04;
    EXPECT_FALSE(Decode(damaged)) << "changed byte " << i;
  }
  for (std::size_t n = 0; n < file.size(); ++n) {
    EXPECT_FALSE(Decode(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n))))
        << "cut to " << n;
  }
  const std::size_t text = FindChunk(file, "tEXt");
  Bytes ancillary = file;
  ancillary[text + 10] = 'X';
  std::string reason;
  EXPECT_FALSE(Decode(ancillary, kPngOpenGl, &reason));
  EXPECT_NE(reason.find("CRC"), std::string::npos) << reason;

  for (const Bytes& tail : {Bytes{0}, Bytes(12, 0)}) {
    Bytes after = file;
    after.insert(after.end(), tail.begin(), tail.end());
    EXPECT_FALSE(Decode(after)) << tail.size() << " bytes after IEND";
  }
  Bytes chunkAfter = file;  // even a sound chunk may not follow IEND
  AppendPngChunk(chunkAfter, "tEXt", Bytes{'a', 0, 'b'}.data(), 3);
  EXPECT_FALSE(Decode(chunkAfter));
  EXPECT_FALSE(DecodePngMemory(nullptr, 0, kPngOpenGl));
}

TEST(PngDecoder, ImageDataMayBeSplitAnywhere) {
  Bytes rgb(7 * 5 * 3);
  for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>(i * 37 + 11);
  const Bytes whole = EncodePng(rgb.data(), 7, 5, Options(2, 8));
  PngImage reference = Decode(whole);
  ASSERT_TRUE(reference);
  for (std::size_t split : {1, 2, 5, 13}) {
    PngEncodeOptions options = Options(2, 8);
    options.idatSplit = split;
    PngImage image = Decode(EncodePng(rgb.data(), 7, 5, options));
    ASSERT_TRUE(image) << split;
    EXPECT_EQ(Pixels(image), Pixels(reference)) << split;
  }
  // Separated by ancillary chunks and an empty IDAT: still one stream.
  const Bytes z = PngCompress(PngFilteredScanlines(rgb.data(), 7, 5, Options(2, 8)), 9);
  const auto half = z.begin() + static_cast<std::ptrdiff_t>(z.size() / 2);
  const Bytes apart = ChunkList(7, 5, 8, 2)
                          .Add("IDAT", Bytes(z.begin(), half))
                          .Add("tEXt", Bytes{'a', 0, 'b'})
                          .Add("IDAT", {})
                          .Add("IDAT", Bytes(half, z.end()))
                          .Add("zzZz", Bytes{1, 2, 3})
                          .End();
  PngImage image = Decode(apart);
  ASSERT_TRUE(image);
  EXPECT_EQ(Pixels(image), Pixels(reference));
}

TEST(PngDecoder, Adam7MatchesTheSamePictureUninterlaced) {
  const Bytes one = EncodePng(Bytes{10, 20, 30, 40}.data(), 1, 1, Options(6, 8, true));
  PngImage single = Decode(one);
  ASSERT_TRUE(single);
  EXPECT_EQ(Pixels(single), (Bytes{10, 20, 30, 40}));

  for (std::uint32_t w : {1u, 2u, 3u, 5u, 8u, 9u, 17u}) {
    for (std::uint32_t h : {1u, 2u, 4u, 7u, 10u}) {
      for (int depth : {1, 8}) {
        Bytes packed(PngRowBytes(w, 0, depth) * h);
        for (std::size_t i = 0; i < packed.size(); ++i)
          packed[i] = static_cast<std::uint8_t>(i * 91 + w);
        PngImage plain = Decode(EncodePng(packed.data(), w, h, Options(0, depth, false)));
        PngImage adam7 = Decode(EncodePng(packed.data(), w, h, Options(0, depth, true)));
        ASSERT_TRUE(plain);
        ASSERT_TRUE(adam7) << w << "x" << h;
        EXPECT_EQ(Pixels(plain), Pixels(adam7)) << w << "x" << h << " depth " << depth;
      }
    }
  }
}

TEST(PngDecoder, GreyKeysCompareTheWholeSample) {
  // 16-bit: only 0x1234 is transparent, not 0x12xx; grey is the high byte.
  const Bytes samples = {0x12, 0x34, 0x12, 0x35, 0x12, 0x00, 0x34, 0x12, 0xAB, 0xCD};
  PngEncodeOptions options = Options(0, 16);
  options.trns = {0x12, 0x34};
  PngImage image = Decode(EncodePng(samples.data(), 5, 1, options));
  ASSERT_TRUE(image);
  EXPECT_EQ(Pixels(image), (Bytes{0x12, 0x12, 0x12, 0,    0x12, 0x12, 0x12, 255,  0x12, 0x12,
                                  0x12, 255,  0x34, 0x34, 0x34, 255,  0xAB, 0xAB, 0xAB, 255}));

  // 8-bit: the key 0x0105 matches no 8-bit sample (not even 5).
  options = Options(0, 8);
  options.trns = {0x01, 0x05};
  image = Decode(EncodePng(Bytes{5, 6}.data(), 2, 1, options));
  ASSERT_TRUE(image);
  EXPECT_EQ(image.data[3], 255);
  options.trns = {0x00, 0x05};
  image = Decode(EncodePng(Bytes{5, 6}.data(), 2, 1, options));
  ASSERT_TRUE(image);
  EXPECT_EQ(Pixels(image), (Bytes{5, 5, 5, 0, 6, 6, 6, 255}));

  // RGB 16-bit: all three whole samples must match.
  options = Options(2, 16);
  options.trns = {0, 1, 0, 2, 0, 3};
  const Bytes rgb = {0, 1, 0, 2, 0, 3, 0, 1, 0, 2, 0, 4};
  image = Decode(EncodePng(rgb.data(), 2, 1, options));
  ASSERT_TRUE(image);
  EXPECT_EQ(Pixels(image), (Bytes{0, 0, 0, 0, 0, 0, 0, 255}));
}

TEST(PngDecoder, LowDepthGreyScalesAndSkipsTheTail) {
  // 2-bit, 5 pixels 0..3,3 in two bytes; the last 3 samples of byte 2 are padding.
  PngImage image = Decode(EncodePng(Bytes{0b00011011, 0b11101010}.data(), 5, 1, Options(0, 2)));
  ASSERT_TRUE(image);
  EXPECT_EQ(Pixels(image), (Bytes{0,   0,   0,   255, 85,  85,  85,  255, 170, 170,
                                  170, 255, 255, 255, 255, 255, 255, 255, 255, 255}));
  image = Decode(EncodePng(Bytes{0xF1}.data(), 2, 1, Options(0, 4)));
  ASSERT_TRUE(image);
  EXPECT_EQ(Pixels(image), (Bytes{255, 255, 255, 255, 17, 17, 17, 255}));
  PngEncodeOptions keyed = Options(0, 1);
  keyed.trns = {0, 1};
  image = Decode(EncodePng(Bytes{0b10100000}.data(), 3, 1, keyed));
  ASSERT_TRUE(image);
  EXPECT_EQ(Pixels(image), (Bytes{255, 255, 255, 0, 0, 0, 0, 255, 255, 255, 255, 0}));
}

TEST(PngDecoder, PaletteEntriesAndAlphaTable) {
  PngEncodeOptions options = Options(3, 8);
  options.palette = {10, 20, 30, 40, 50, 60, 70, 80, 90};
  const Bytes indices = {0, 2, 5, 255};
  PngImage image = Decode(EncodePng(indices.data(), 4, 1, options));
  ASSERT_TRUE(image);
  EXPECT_EQ(Pixels(image), (Bytes{10, 20, 30, 255, 70, 80, 90, 255, 0, 0, 0, 255, 0, 0, 0, 255}));

  // tRNS shorter than the palette: the other indices stay opaque; it may
  // even cover indices beyond the palette.
  options.trns = {7, 8, 9, 11, 12, 13};
  image = Decode(EncodePng(indices.data(), 4, 1, options));
  ASSERT_TRUE(image);
  EXPECT_EQ(Pixels(image), (Bytes{10, 20, 30, 7, 70, 80, 90, 9, 0, 0, 0, 13, 0, 0, 0, 255}));

  // 4-bit indices, odd width.
  options = Options(3, 4);
  options.palette = {1, 1, 1, 2, 2, 2, 3, 3, 3};
  image = Decode(EncodePng(Bytes{0x21, 0x00}.data(), 3, 1, options));
  ASSERT_TRUE(image);
  EXPECT_EQ(Pixels(image), (Bytes{3, 3, 3, 255, 2, 2, 2, 255, 1, 1, 1, 255}));

  // A palette in an RGB image is only a suggestion and is ignored.
  options = Options(2, 8);
  options.palette = {1, 2, 3};
  EXPECT_TRUE(Decode(EncodePng(Bytes{4, 5, 6}.data(), 1, 1, options)));
}

TEST(PngDecoder, PaletteAndTransparencyRules) {
  const Bytes index = {0, 0};
  auto paletted = [&](const Bytes& plte, const Bytes& trns) {
    ChunkList list(1, 1, 8, 3);
    if (!plte.empty()) list.Add("PLTE", plte);
    if (!trns.empty()) list.Add("tRNS", trns);
    return Decode(list.Idat(index).End());
  };
  EXPECT_TRUE(paletted(Bytes(3, 1), {}));
  EXPECT_TRUE(paletted(Bytes(3 * 256 + 2, 1), {}));  // 256 entries and a remainder
  EXPECT_FALSE(paletted({}, {}));                    // palette image without PLTE
  EXPECT_FALSE(paletted(Bytes(3 * 257, 1), {}));     // 257 entries
  EXPECT_TRUE(paletted(Bytes(3, 1), Bytes(256, 0)));
  EXPECT_FALSE(paletted(Bytes(3, 1), Bytes(257, 0)));

  // Only the first PLTE and the first tRNS count.
  const Bytes twice = ChunkList(2, 1, 8, 3)
                          .Add("PLTE", Bytes{1, 2, 3, 4, 5, 6})
                          .Add("PLTE", Bytes(3 * 300, 9))
                          .Add("tRNS", Bytes{77})
                          .Add("tRNS", Bytes(300, 0))
                          .Idat(Bytes{0, 0, 1})
                          .End();
  PngImage first = Decode(twice);
  ASSERT_TRUE(first);
  EXPECT_EQ(Pixels(first), (Bytes{1, 2, 3, 77, 4, 5, 6, 255}));

  auto withTrns = [](int colourType, int depth, const Bytes& trns) {
    const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    return Decode(ChunkList(1, 1, depth, colourType)
                      .Add("tRNS", trns)
                      .Idat(Bytes(1 + static_cast<std::size_t>(channels * depth / 8), 0))
                      .End());
  };
  EXPECT_TRUE(withTrns(0, 8, Bytes(2, 0)));
  EXPECT_FALSE(withTrns(0, 8, Bytes(1, 0)));
  EXPECT_FALSE(withTrns(0, 8, Bytes(6, 0)));
  EXPECT_TRUE(withTrns(2, 8, Bytes(6, 0)));
  EXPECT_FALSE(withTrns(2, 8, Bytes(2, 0)));
  EXPECT_FALSE(withTrns(6, 8, Bytes(2, 0)));  // an image with alpha takes no tRNS
  EXPECT_FALSE(withTrns(6, 16, Bytes(6, 0)));
  EXPECT_FALSE(withTrns(4, 8, Bytes(2, 0)));
}

TEST(PngDecoder, HeaderRules) {
  auto header = [](std::uint32_t w, std::uint32_t h, int depth, int colourType) {
    return Decode(ChunkList(w, h, depth, colourType).Idat(Bytes(64, 0)).End());
  };
  const std::vector<int> allowed[5] = {{1, 2, 4, 8, 16}, {8, 16}, {1, 2, 4, 8}, {8, 16}, {8, 16}};
  const int types[5] = {0, 2, 3, 4, 6};
  for (int t = 0; t < 5; ++t) {
    for (int depth : {0, 1, 2, 3, 4, 5, 8, 12, 16, 32}) {
      bool ok = false;
      for (int a : allowed[t]) ok = ok || a == depth;
      // the IDAT holds exactly one zero scanline for a 1-pixel-wide, 1-row image
      const int channels = types[t] == 2 ? 3 : types[t] == 4 ? 2 : types[t] == 6 ? 4 : 1;
      const Bytes raw(1 + static_cast<std::size_t>((channels * depth + 7) / 8), 0);
      ChunkList list(1, 1, depth, types[t]);
      if (types[t] == 3) list.Add("PLTE", Bytes(3, 0));
      EXPECT_EQ(static_cast<bool>(Decode(list.Idat(raw).End())), ok)
          << "colour type " << types[t] << " depth " << depth;
    }
  }
  for (int colourType : {1, 5, 7, 9}) EXPECT_FALSE(header(1, 1, 8, colourType));
  EXPECT_FALSE(header(0, 1, 8, 0));
  EXPECT_FALSE(header(1, 0, 8, 0));

  auto patched = [](int offset, std::uint8_t value) {
    Bytes ihdr = {0, 0, 0, 1, 0, 0, 0, 1, 8, 0, 0, 0, 0};
    ihdr[static_cast<std::size_t>(offset)] = value;
    Bytes file;
    AppendPngSignature(file);
    AppendPngChunk(file, "IHDR", ihdr.data(), ihdr.size());
    const Bytes idat = PngCompress(Bytes{0, 7}, 9);
    AppendPngChunk(file, "IDAT", idat.data(), idat.size());
    AppendPngChunk(file, "IEND", nullptr, 0);
    return Decode(file);
  };
  EXPECT_TRUE(patched(12, 0));
  EXPECT_TRUE(patched(12, 1));   // Adam7
  EXPECT_FALSE(patched(12, 2));  // interlace method
  EXPECT_FALSE(patched(10, 1));  // compression method
  EXPECT_FALSE(patched(11, 1));  // filter method

  // IHDR must come first and have 13 bytes; IEND must be last.
  const Bytes z = PngCompress(Bytes{0, 7}, 9);
  Bytes late;
  AppendPngSignature(late);
  AppendPngChunk(late, "tEXt", Bytes{'a', 0}.data(), 2);
  AppendPngHeader(late, 1, 1, 8, 0, 0);
  AppendPngChunk(late, "IDAT", z.data(), z.size());
  AppendPngChunk(late, "IEND", nullptr, 0);
  EXPECT_FALSE(Decode(late));
  Bytes longHeader;
  AppendPngSignature(longHeader);
  AppendPngChunk(longHeader, "IHDR", Bytes{0, 0, 0, 1, 0, 0, 0, 1, 8, 0, 0, 0, 0, 0}.data(), 14);
  AppendPngChunk(longHeader, "IDAT", z.data(), z.size());
  AppendPngChunk(longHeader, "IEND", nullptr, 0);
  EXPECT_FALSE(Decode(longHeader));
  Bytes noEnd = ChunkList(1, 1, 8, 0).Idat(Bytes{0, 7}).Add("tEXt", Bytes{'a', 0, 'b', 'c'}).file;
  EXPECT_FALSE(Decode(noEnd));
  Bytes endFirst = ChunkList(1, 1, 8, 0).Add("IEND", {}).Idat(Bytes{0, 7}).End();
  EXPECT_TRUE(Decode(endFirst));  // an early IEND is just another chunk
  EXPECT_FALSE(Decode(ChunkList(1, 1, 8, 0).Add("tEXt", Bytes(40, 'x')).End()));  // no IDAT
}

TEST(PngDecoder, ImageDataMustInflateToExactlyTheScanlines) {
  // 2 x 2 grey 8-bit: 2 scanlines of 3 bytes.
  const Bytes good = {0, 1, 2, 0, 3, 4};
  EXPECT_TRUE(Decode(ChunkList(2, 2, 8, 0).Idat(good).End()));
  EXPECT_FALSE(Decode(ChunkList(2, 2, 8, 0).Idat(Bytes(good.begin(), good.end() - 1)).End()));
  Bytes surplus = good;
  surplus.push_back(0);
  EXPECT_FALSE(Decode(ChunkList(2, 2, 8, 0).Idat(surplus).End()));
  surplus.resize(100, 0);  // beyond 1.2 times the expected size
  EXPECT_FALSE(Decode(ChunkList(2, 2, 8, 0).Idat(surplus).End()));
  // A cut stream and data that is not zlib at all.
  Bytes cut = PngCompress(good, 9);
  ASSERT_GT(cut.size(), 5u);
  cut.erase(cut.end() - 5, cut.end());
  EXPECT_FALSE(Decode(ChunkList(2, 2, 8, 0).Add("IDAT", cut).End()));
  EXPECT_FALSE(Decode(ChunkList(2, 2, 8, 0).Add("IDAT", Bytes(20, 0x55)).End()));
  // Filter types above 4, in any row, fail.
  for (std::uint8_t type : {5, 6, 255}) {
    EXPECT_FALSE(Decode(ChunkList(2, 2, 8, 0).Idat(Bytes{0, 1, 2, type, 3, 4}).End()));
  }
  // Input of 48 bytes or less is refused at once.
  const Bytes small = ChunkList(1, 1, 8, 0).Idat(Bytes{0, 9}).End();
  ASSERT_GT(small.size(), 48u);
  EXPECT_TRUE(Decode(small));
}

TEST(PngDecoder, HostileSizesAreRefusedBeforeAllocating) {
  std::string reason;
  // 65535 x 65535 RGBA wants 16 GiB; a header of 2^31 x 2^31 overflows 32 bits.
  const Bytes tiny = PngCompress(Bytes(1000, 0), 9);
  for (std::uint32_t side : {65535u, 0x80000000u, 0xFFFFFFFFu, 8193u}) {
    EXPECT_FALSE(Decode(ChunkList(side, side, 16, 6).Add("IDAT", tiny).End(), kPngOpenGl, &reason));
    EXPECT_NE(reason.find("256 MiB"), std::string::npos) << side << ": " << reason;
  }
  // 4000 x 4000 grey is small enough, but its 16 MB cannot come from 12 bytes.
  EXPECT_FALSE(Decode(ChunkList(4000, 4000, 8, 0).Add("IDAT", tiny).End(), kPngOpenGl, &reason));
  EXPECT_NE(reason.find("zu kurz"), std::string::npos) << reason;
  // The compact layout holds widths up to 8191 only.
  const Bytes wide = ChunkList(8192, 1, 1, 0).Idat(Bytes(1 + 1024, 0)).End();
  EXPECT_TRUE(Decode(wide, kPngOpenGl));
  EXPECT_FALSE(Decode(wide, kPngCompact));
  EXPECT_TRUE(Decode(wide, kPngFullHeader));
  // A chunk length that points far beyond the end.
  Bytes huge = ChunkList(1, 1, 8, 0).Idat(Bytes{0, 9}).End();
  huge[FindChunk(huge, "IDAT")] = 0xFF;
  EXPECT_FALSE(Decode(huge));
}

// A file of these chunks after the signature (each given as type and data).
Bytes Chunks(const std::vector<std::pair<const char*, Bytes>>& chunks) {
  Bytes file;
  AppendPngSignature(file);
  for (const auto& [type, data] : chunks) AppendPngChunk(file, type, data.data(), data.size());
  return file;
}
Bytes Ihdr(std::uint32_t w, std::uint32_t h, int depth, int colourType, int compression = 0,
           int filter = 0, int interlace = 0) {
  return {static_cast<std::uint8_t>(w >> 24),     static_cast<std::uint8_t>(w >> 16),
          static_cast<std::uint8_t>(w >> 8),      static_cast<std::uint8_t>(w),
          static_cast<std::uint8_t>(h >> 24),     static_cast<std::uint8_t>(h >> 16),
          static_cast<std::uint8_t>(h >> 8),      static_cast<std::uint8_t>(h),
          static_cast<std::uint8_t>(depth),       static_cast<std::uint8_t>(colourType),
          static_cast<std::uint8_t>(compression), static_cast<std::uint8_t>(filter),
          static_cast<std::uint8_t>(interlace)};
}
Bytes Cut(const Bytes& file, std::size_t n) {
  return Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n));
}

// Every bound of the decoder at its edge (read, or refused for the next rule
// down) and one past it, each refusal with its own reason.
TEST(PngDecoder, EveryBoundAtItsEdgeAndOnePastWithItsReason) {
  const Bytes z = PngCompress(Bytes{0, 7}, 9);  // one grey pixel
  const Bytes grey = Chunks({{"IHDR", Ihdr(1, 1, 8, 0)}, {"IDAT", z}, {"IEND", {}}});
  ASSERT_GT(grey.size(), 49u);
  auto trailing = [&](const Bytes& tail) {
    Bytes file = grey;
    file.insert(file.end(), tail.begin(), tail.end());
    return file;
  };
  auto paletted = [&](std::size_t entries, std::size_t alphas) {
    std::vector<std::pair<const char*, Bytes>> c = {{"IHDR", Ihdr(1, 1, 8, 3)},
                                                    {"PLTE", Bytes(3 * entries, 1)}};
    if (alphas > 0) c.push_back({"tRNS", Bytes(alphas, 0)});
    c.push_back({"IDAT", PngCompress(Bytes{0, 0}, 9)});
    c.push_back({"IEND", {}});
    return Chunks(c);
  };
  auto keyed = [&](int colourType, std::size_t length) {
    const std::size_t channels = colourType == 2 ? 3 : colourType == 6 ? 4 : 1;
    return Chunks({{"IHDR", Ihdr(1, 1, 8, colourType)},
                   {"tRNS", Bytes(length, 0)},
                   {"IDAT", PngCompress(Bytes(1 + channels, 0), 9)},
                   {"IEND", {}}});
  };
  // n bytes of data that are no zlib stream at all
  auto sized = [](std::uint32_t w, std::uint32_t h, int depth, int colourType, std::size_t n) {
    return Chunks(
        {{"IHDR", Ihdr(w, h, depth, colourType)}, {"IDAT", Bytes(n, 0x55)}, {"IEND", {}}});
  };
  auto greyRows = [](const Bytes& raw) {
    return Chunks({{"IHDR", Ihdr(2, 2, 8, 0)}, {"IDAT", PngCompress(raw, 9)}, {"IEND", {}}});
  };
  Bytes longIend = grey;  // IEND with a byte of data: fine, and the file ends with it
  longIend.resize(longIend.size() - 12);
  AppendPngChunk(longIend, "IEND", Bytes{1}.data(), 1);
  Bytes lyingLength = grey;  // IEND claims one byte more than the file has
  lyingLength[lyingLength.size() - 9] = 1;
  Bytes badSignature = grey;
  badSignature[7] ^= 1;
  Bytes ihdr14 = Ihdr(1, 1, 8, 0);
  ihdr14.push_back(0);
  const struct {
    const char* name;
    Bytes file;
    int layout;
    const char* reason;  // "" when it is read
  } cases[] = {
      {"a one-pixel picture", grey, kPngOpenGl, ""},
      {"48 bytes", Cut(grey, 48), kPngOpenGl, "Datei zu kurz"},
      {"49 bytes", Cut(grey, 49), kPngOpenGl, "Chunk ragt ueber das Dateiende"},
      {"one byte short of the end", Cut(grey, grey.size() - 1), kPngOpenGl,
       "Chunk ragt ueber das Dateiende"},
      {"IEND with data, ending at the end", longIend, kPngOpenGl, ""},
      {"a chunk one byte longer than the file", lyingLength, kPngOpenGl,
       "Chunk ragt ueber das Dateiende"},
      {"11 bytes after IEND", trailing(Bytes(11, 0)), kPngOpenGl, "Chunk ragt ueber das Dateiende"},
      {"12 bytes after IEND", trailing(Bytes(12, 0)), kPngOpenGl, "CRC eines Chunks stimmt nicht"},
      {"a chunk after IEND",
       Chunks({{"IHDR", Ihdr(1, 1, 8, 0)}, {"IDAT", z}, {"IEND", {}}, {"tEXt", Bytes{'a', 0}}}),
       kPngOpenGl, "IEND fehlt oder steht nicht am Ende"},
      {"no signature", badSignature, kPngOpenGl, "keine PNG-Signatur"},
      {"layout 0", grey, 0, "unbekanntes Layout"},
      {"layout 4", grey, 4, "unbekanntes Layout"},
      {"two chunks", Chunks({{"IHDR", Ihdr(1, 1, 8, 0)}, {"IEND", Bytes(20, 0)}}), kPngOpenGl,
       "zu wenige Chunks"},
      {"three chunks, no image data",
       Chunks({{"IHDR", Ihdr(1, 1, 8, 0)}, {"tEXt", Bytes{'a', 0}}, {"IEND", {}}}), kPngOpenGl,
       "keine IDAT-Daten"},
      {"IHDR of 12 bytes", Chunks({{"IHDR", Cut(Ihdr(1, 1, 8, 0), 12)}, {"IDAT", z}, {"IEND", {}}}),
       kPngOpenGl, "erster Chunk ist kein IHDR mit 13 Bytes"},
      {"IHDR of 14 bytes", Chunks({{"IHDR", ihdr14}, {"IDAT", z}, {"IEND", {}}}), kPngOpenGl,
       "erster Chunk ist kein IHDR mit 13 Bytes"},
      {"width 0", sized(0, 1, 8, 0, 8), kPngOpenGl, "Breite oder Hoehe 0"},
      {"height 0", sized(1, 0, 8, 0, 8), kPngOpenGl, "Breite oder Hoehe 0"},
      {"grey of 16 bits",
       Chunks(
           {{"IHDR", Ihdr(1, 1, 16, 0)}, {"IDAT", PngCompress(Bytes{0, 1, 2}, 9)}, {"IEND", {}}}),
       kPngOpenGl, ""},
      {"grey of 32 bits", sized(1, 1, 32, 0, 8), kPngOpenGl, "Farbtyp und Bittiefe passen nicht"},
      {"compression method 1", Chunks({{"IHDR", Ihdr(1, 1, 8, 0, 1)}, {"IDAT", z}, {"IEND", {}}}),
       kPngOpenGl, "unbekannte Kompressionsmethode"},
      {"filter method 1", Chunks({{"IHDR", Ihdr(1, 1, 8, 0, 0, 1)}, {"IDAT", z}, {"IEND", {}}}),
       kPngOpenGl, "unbekannte Filtermethode"},
      {"interlace method 1",
       Chunks({{"IHDR", Ihdr(1, 1, 8, 0, 0, 0, 1)}, {"IDAT", z}, {"IEND", {}}}), kPngOpenGl, ""},
      {"interlace method 2",
       Chunks({{"IHDR", Ihdr(1, 1, 8, 0, 0, 0, 2)}, {"IDAT", z}, {"IEND", {}}}), kPngOpenGl,
       "unbekannte Interlace-Methode"},
      {"256 palette entries", paletted(256, 0), kPngOpenGl, ""},
      {"257 palette entries", paletted(257, 0), kPngOpenGl, "PLTE mit mehr als 256 Eintraegen"},
      {"no palette",
       Chunks({{"IHDR", Ihdr(1, 1, 8, 3)}, {"IDAT", PngCompress(Bytes{0, 0}, 9)}, {"IEND", {}}}),
       kPngOpenGl, "Palettenbild ohne PLTE"},
      {"256 palette alphas", paletted(1, 256), kPngOpenGl, ""},
      {"257 palette alphas", paletted(1, 257), kPngOpenGl, "tRNS hat die falsche Laenge"},
      {"a grey key of 2 bytes", keyed(0, 2), kPngOpenGl, ""},
      {"a grey key of 3 bytes", keyed(0, 3), kPngOpenGl, "tRNS hat die falsche Laenge"},
      {"a colour key of 6 bytes", keyed(2, 6), kPngOpenGl, ""},
      {"a colour key of 7 bytes", keyed(2, 7), kPngOpenGl, "tRNS hat die falsche Laenge"},
      {"a key with alpha", keyed(6, 6), kPngOpenGl, "tRNS in einem Bild mit Alphakanal"},
      // The sizes are judged before anything is inflated or allocated.
      {"256 MiB of pixels", sized(8192, 8192, 8, 0, 1), kPngOpenGl,
       "IDAT-Daten zu kurz fuer das Bild"},
      {"a row more", sized(8192, 8193, 8, 0, 1), kPngOpenGl, "Bild groesser als 256 MiB"},
      {"256 MiB and the full header", sized(8192, 8192, 8, 0, 1), kPngFullHeader,
       "Bild groesser als 256 MiB"},
      {"the compact layout's widest", sized(8191, 1, 8, 0, 8), kPngCompact,
       "IDAT-Daten lassen sich nicht entpacken"},
      {"one wider", sized(8192, 1, 8, 0, 1), kPngCompact, "Bild zu gross fuer dieses Layout"},
      {"the compact layout's highest", sized(1, 65535, 8, 0, 1000), kPngCompact,
       "IDAT-Daten lassen sich nicht entpacken"},
      {"one higher", sized(1, 65536, 8, 0, 1000), kPngCompact, "Bild zu gross fuer dieses Layout"},
      {"twice 256 MiB of image data", sized(8192, 8192, 16, 6, 1), kPngOpenGl,
       "Bilddaten groesser als 256 MiB"},
      {"1032 bytes from one", sized(1031, 1, 8, 0, 1), kPngOpenGl,
       "IDAT-Daten lassen sich nicht entpacken"},
      {"1033 bytes from one", sized(1032, 1, 8, 0, 1), kPngOpenGl,
       "IDAT-Daten zu kurz fuer das Bild"},
      {"the scanlines", greyRows({0, 1, 2, 4, 3, 4}), kPngOpenGl, ""},
      {"a byte short", greyRows({0, 1, 2, 4, 3}), kPngOpenGl,
       "entpackte Bilddaten haben die falsche Laenge"},
      {"a byte more", greyRows({0, 1, 2, 4, 3, 4, 0}), kPngOpenGl,
       "entpackte Bilddaten haben die falsche Laenge"},
      {"two bytes more", greyRows({0, 1, 2, 4, 3, 4, 0, 0}), kPngOpenGl,
       "IDAT-Daten lassen sich nicht entpacken"},
      {"filter type 5", greyRows({0, 1, 2, 5, 3, 4}), kPngOpenGl, "Filtertyp groesser als 4"},
  };
  for (const auto& c : cases) {
    std::string reason = "unset";
    const PngImage image = Decode(c.file, c.layout, &reason);
    EXPECT_EQ(static_cast<bool>(image), *c.reason == '\0') << c.name;
    EXPECT_EQ(reason, c.reason) << c.name;
  }
}

TEST(PngDecoder, FilePathsAndUnreadableFiles) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("zirpel-png-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "gfx");
  const std::string path = (dir / "gfx" / "One.png").string();
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(kRgba1x1.data()),
              static_cast<std::streamsize>(kRgba1x1.size()));
  }
  PngImage image = DecodePngFile(path, kPngOpenGl);
  ASSERT_TRUE(image);
  EXPECT_EQ(Pixels(image), (Bytes{10, 20, 30, 40}));
  EXPECT_TRUE(DecodePngFile((dir / "GFX" / "One.png").string(), kPngOpenGl));  // any case
  EXPECT_FALSE(DecodePngFile((dir / "gfx" / "Missing.png").string(), kPngOpenGl));
  EXPECT_FALSE(DecodePngFile((dir / "gfx").string(), kPngOpenGl));  // a directory
  { std::ofstream empty((dir / "Empty.png").string(), std::ios::binary); }
  EXPECT_FALSE(DecodePngFile((dir / "Empty.png").string(), kPngOpenGl));
  std::filesystem::remove_all(dir);
}

TEST(PngDecoder, ImageOwnsItsBuffer) {
  PngImage a = Decode(kRgba1x1);
  ASSERT_TRUE(a);
  std::uint8_t* data = a.data;
  PngImage b = std::move(a);
  EXPECT_FALSE(a);
  EXPECT_EQ(a.size, 0u);
  EXPECT_EQ(b.data, data);
  b = Decode(kRgba1x1);
  EXPECT_TRUE(b);
  b.Release();
  EXPECT_FALSE(b);
  EXPECT_EQ(b.width, 0u);
}

}  // namespace
