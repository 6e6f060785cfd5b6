// PNG decoder: chunk walk, inflate, scanline filters, Adam7, pixel
// conversion into the three buffer layouts. See png.h for the contract.
#include "image/png.h"

#include <zlib.h>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

// ---- the image buffer ----------------------------------------------------

PngImage::PngImage(PngImage&& other) noexcept
    : data(other.data), size(other.size), width(other.width), height(other.height) {
  other.data = nullptr;
  other.size = 0;
  other.width = other.height = 0;
}

PngImage& PngImage::operator=(PngImage&& other) noexcept {
  if (this != &other) {
    Release();
    data = other.data;
    size = other.size;
    width = other.width;
    height = other.height;
    other.data = nullptr;
    other.size = 0;
    other.width = other.height = 0;
  }
  return *this;
}

PngImage::~PngImage() {
  Release();
}

void PngImage::Release() {
  if (data != nullptr) ::operator delete (data, std::align_val_t{16});
  data = nullptr;
  size = 0;
  width = height = 0;
}

PngImage PngImage::Allocate(std::size_t size) {
  PngImage image;
  if (size == 0 || size > kPngMaxBytes) return image;
  void* memory = ::operator new (size, std::align_val_t{16}, std::nothrow);
  if (memory == nullptr) return image;
  std::memset(memory, 0, size);
  image.data = static_cast<std::uint8_t*>(memory);
  image.size = size;
  return image;
}

namespace {

constexpr std::uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
// Deflate cannot expand its input by more than this factor.
constexpr std::uint64_t kMaxInflateRatio = 1032;

std::uint32_t ReadBe32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 |
         std::uint32_t{p[3]};
}

void WriteLe16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void WriteLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

struct Chunk {
  std::uint32_t length;
  const std::uint8_t* type;  // 4 bytes inside the file
  const std::uint8_t* data;  // length bytes inside the file
};

bool IsType(const Chunk& chunk, const char* name) {
  return std::memcmp(chunk.type, name, 4) == 0;
}

// One interlace pass: start column/row and column/row step.
struct Pass {
  std::uint32_t x0, y0, dx, dy;
};
constexpr Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
constexpr Pass kPlain = {0, 0, 1, 1};

// Columns (or rows) a pass covers in an image of the given extent.
std::uint32_t PassExtent(std::uint32_t extent, std::uint32_t start, std::uint32_t step) {
  return extent > start ? (extent - start + step - 1) / step : 0;
}

int Channels(int colourType) {
  switch (colourType) {
    case 0:
      return 1;
    case 2:
      return 3;
    case 3:
      return 1;
    case 4:
      return 2;
    case 6:
      return 4;
    default:
      return 0;
  }
}

bool AllowedCombination(int colourType, int depth) {
  switch (colourType) {
    case 0:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
      return depth == 8 || depth == 16;
    default:
      return false;
  }
}

// Everything one decode needs besides the file bytes.
struct Decoder {
  PngHeader header;
  int channels = 0;
  int filterUnit = 0;  // bytes per complete pixel for filtering
  std::uint32_t paletteCount = 0;
  std::uint8_t palette[256][3] = {};
  bool hasTrns = false;
  std::uint16_t keyGrey = 0;
  std::uint16_t keyRgb[3] = {0, 0, 0};
  std::uint8_t alphaTable[256];
  // Output pixel bytes for every sample value of the one-sample formats
  // (grey at depth 1 to 8, palette), already in the layout's byte order.
  std::uint8_t sampleLut[256][4];
  bool rgbaOrder = false;  // layout 3 writes R, G, B, A; the others B, G, R, A
  const char* reason = nullptr;

  Decoder() { std::memset(alphaTable, 255, sizeof alphaTable); }
};

// A buffer like PngImage::Allocate's, for callers that write every byte.
PngImage AllocateUnfilled(std::size_t size) {
  PngImage image;
  void* memory = ::operator new (size, std::align_val_t{16}, std::nothrow);
  if (memory == nullptr) return image;
  image.data = static_cast<std::uint8_t*>(memory);
  image.size = size;
  return image;
}

bool Fail(Decoder& dec, const char* reason) {
  if (dec.reason == nullptr) dec.reason = reason;
  return false;
}

PngImage Refuse(Decoder& dec, const char* reason) {
  Fail(dec, reason);
  return PngImage();
}

// ---- scanline filters ----------------------------------------------------
// Undone in place; prev is the already restored scanline above (all zero
// above the first scanline of a pass). The running left bytes are kept in
// registers, so each byte waits on the one a pixel before it, not on memory.

template <int kUnit>
void UnfilterSub(std::uint8_t* row, std::size_t n) {
  std::uint8_t a[kUnit] = {};
  std::size_t i = 0;
  for (; i + kUnit <= n; i += kUnit) {
    for (int k = 0; k < kUnit; ++k)
      row[i + k] = a[k] = static_cast<std::uint8_t>(row[i + k] + a[k]);
  }
}

void UnfilterUp(std::uint8_t* row, const std::uint8_t* prev, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prev[i]);
}

template <int kUnit>
void UnfilterAverage(std::uint8_t* row, const std::uint8_t* prev, std::size_t n) {
  unsigned a[kUnit] = {};
  for (std::size_t i = 0; i + kUnit <= n; i += kUnit) {
    for (int k = 0; k < kUnit; ++k) {
      a[k] = (row[i + k] + ((a[k] + prev[i + k]) >> 1)) & 0xFFu;
      row[i + k] = static_cast<std::uint8_t>(a[k]);
    }
  }
}

// The predictor: left when its distance is smallest or tied for smallest,
// else above when not farther than upper-left, else upper-left.
inline int Paeth(int a, int b, int c) {
  int pa = b - c;
  int pb = a - c;
  int pc = pa + pb;
  pa = pa < 0 ? -pa : pa;
  pb = pb < 0 ? -pb : pb;
  pc = pc < 0 ? -pc : pc;
  int bc = pb <= pc ? b : c;
  return (pa <= pb && pa <= pc) ? a : bc;
}

template <int kUnit>
void UnfilterPaeth(std::uint8_t* row, const std::uint8_t* prev, std::size_t n) {
  int a[kUnit] = {};
  int c[kUnit] = {};
  for (std::size_t i = 0; i + kUnit <= n; i += kUnit) {
    for (int k = 0; k < kUnit; ++k) {
      int b = prev[i + k];
      a[k] = (row[i + k] + Paeth(a[k], b, c[k])) & 0xFF;
      c[k] = b;
      row[i + k] = static_cast<std::uint8_t>(a[k]);
    }
  }
}

#if defined(__SSE2__)
// Paeth over four scanlines at once, for 3 and 4 bytes per pixel. Each
// pixel waits on the one left of it, so a single scanline is bound by the
// latency of the predictor. Four scanlines run as a wavefront instead: the
// 16 byte lanes hold pixel i of row 0, i - 1 of row 1, i - 2 of row 2 and
// i - 3 of row 3 (4 lanes each), so every row's upper neighbours are already
// restored, and the byte above row k is the result row k - 1 had one step
// earlier, still in the register.

inline __m128i AbsDiff(__m128i x, __m128i y) {
  return _mm_or_si128(_mm_subs_epu8(x, y), _mm_subs_epu8(y, x));
}
inline __m128i LessEq(__m128i x, __m128i y) {  // unsigned x <= y
  return _mm_cmpeq_epi8(_mm_min_epu8(x, y), x);
}
inline __m128i Select(__m128i mask, __m128i x, __m128i y) {
  return _mm_or_si128(_mm_and_si128(mask, x), _mm_andnot_si128(mask, y));
}

// The predictor on 16 bytes. pc = |(a - c) + (b - c)| is pa + pb when both
// differences have the same sign and |pa - pb| otherwise; the saturated sum
// compares the same way, since it only saturates when it is larger than both.
inline __m128i PaethSimd(__m128i a, __m128i b, __m128i c) {
  const __m128i pa = AbsDiff(b, c);
  const __m128i pb = AbsDiff(a, c);
  const __m128i aAbove = _mm_cmpeq_epi8(_mm_max_epu8(a, c), a);  // a >= c
  const __m128i bAbove = _mm_cmpeq_epi8(_mm_max_epu8(b, c), b);  // b >= c
  const __m128i pc = Select(_mm_xor_si128(aAbove, bAbove), AbsDiff(pa, pb), _mm_adds_epu8(pa, pb));
  const __m128i pickA = _mm_and_si128(LessEq(pa, pb), LessEq(pa, pc));
  return Select(pickA, a, Select(LessEq(pb, pc), b, c));
}

inline __m128i Load32(const std::uint8_t* p) {
  std::int32_t v;
  std::memcpy(&v, p, 4);
  return _mm_cvtsi32_si128(v);
}
inline void Store32(std::uint8_t* p, __m128i v) {
  const std::int32_t w = _mm_cvtsi128_si32(v);
  std::memcpy(p, &w, 4);
}

// Four Paeth rows from row0 on, `stride` bytes apart, with prev the
// restored scanline above row0. Every load and store covers 4 bytes: with 3
// bytes per pixel the fourth is the next pixel's (or the next scanline's
// filter byte, or the spare byte after the data) and is written back
// unchanged; prev must be readable one byte past its end.
template <int kUnit>
void UnfilterPaethFourRows(std::uint8_t* row0, std::ptrdiff_t stride, const std::uint8_t* prev,
                           std::uint32_t pixels) {
  static_assert(kUnit == 3 || kUnit == 4);
  constexpr std::uint32_t kRows = 4;
  // Lane 3 of each pixel is not part of a 3-byte pixel: its prediction is
  // masked to zero, so the raw byte is stored back as it was.
  const __m128i predicted =
      kUnit == 3 ? _mm_set1_epi32(0x00FFFFFF) : _mm_set1_epi32(static_cast<std::int32_t>(~0u));
  const std::ptrdiff_t d = stride - kUnit;  // from a pixel to the one left of it a row below
  __m128i a = _mm_setzero_si128(), c = _mm_setzero_si128();
  const std::uint32_t steps = pixels + kRows - 1;
  for (std::uint32_t i = 0; i < steps; ++i) {
    // Row k works on pixel i - k; in the first and last steps some rows
    // have nothing to do: they load zeros (so their left byte stays zero
    // until they start) and store nothing.
    const bool edge = i < kRows - 1 || i >= pixels;
    std::uint8_t* q = row0 + std::ptrdiff_t{i} * kUnit;  // row 0's pixel i
    __m128i x;
    __m128i above = _mm_setzero_si128();
    if (!edge) {
      above = Load32(prev + std::size_t{i} * kUnit);
      x = _mm_unpacklo_epi64(_mm_unpacklo_epi32(Load32(q), Load32(q + d)),
                             _mm_unpacklo_epi32(Load32(q + 2 * d), Load32(q + 3 * d)));
    } else {
      alignas(16) std::uint8_t lanes[16] = {};
      for (std::uint32_t k = 0; k < kRows; ++k) {
        if (i >= k && i - k < pixels) std::memcpy(lanes + 4 * k, q + std::ptrdiff_t{k} * d, 4);
      }
      if (i < pixels) above = Load32(prev + std::size_t{i} * kUnit);
      x = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
    }
    // The byte above each row is the result of the row before it one step
    // earlier: shift the lanes on by one row.
    const __m128i b = _mm_or_si128(_mm_slli_si128(a, 4), above);
    a = _mm_add_epi8(x, _mm_and_si128(PaethSimd(a, b, c), predicted));
    c = b;
    if (!edge) {
      Store32(q, a);
      Store32(q + d, _mm_srli_si128(a, 4));
      Store32(q + 2 * d, _mm_srli_si128(a, 8));
      Store32(q + 3 * d, _mm_srli_si128(a, 12));
    } else {
      alignas(16) std::uint8_t lanes[16];
      _mm_store_si128(reinterpret_cast<__m128i*>(lanes), a);
      for (std::uint32_t k = 0; k < kRows; ++k) {
        if (i >= k && i - k < pixels) std::memcpy(q + std::ptrdiff_t{k} * d, lanes + 4 * k, 4);
      }
    }
  }
}

// The same wavefront eight rows wide in 32 byte lanes, for processors with
// AVX2 (checked at run time; the build itself assumes only SSE2).
#define ZIRPEL_AVX2 __attribute__((target("avx2")))

ZIRPEL_AVX2 inline __m256i AbsDiff8(__m256i x, __m256i y) {
  return _mm256_or_si256(_mm256_subs_epu8(x, y), _mm256_subs_epu8(y, x));
}
ZIRPEL_AVX2 inline __m256i LessEq8(__m256i x, __m256i y) {
  return _mm256_cmpeq_epi8(_mm256_min_epu8(x, y), x);
}

ZIRPEL_AVX2 inline __m256i PaethAvx2(__m256i a, __m256i b, __m256i c) {
  const __m256i pa = AbsDiff8(b, c);
  const __m256i pb = AbsDiff8(a, c);
  const __m256i aAbove = _mm256_cmpeq_epi8(_mm256_max_epu8(a, c), a);
  const __m256i bAbove = _mm256_cmpeq_epi8(_mm256_max_epu8(b, c), b);
  const __m256i pc = _mm256_blendv_epi8(_mm256_adds_epu8(pa, pb), AbsDiff8(pa, pb),
                                        _mm256_xor_si256(aAbove, bAbove));
  const __m256i pickA = _mm256_and_si256(LessEq8(pa, pb), LessEq8(pa, pc));
  return _mm256_blendv_epi8(_mm256_blendv_epi8(c, b, LessEq8(pb, pc)), a, pickA);
}

// Bytes of eight rows for one step: row k's pixel is at q + k * d, where q
// points at row 0's pixel and d leads from a pixel to the one left of it in
// the row below.
ZIRPEL_AVX2 inline __m256i GatherEight(const std::uint8_t* q, std::ptrdiff_t d) {
  const __m128i x01 = _mm_unpacklo_epi32(Load32(q), Load32(q + d));
  const __m128i x23 = _mm_unpacklo_epi32(Load32(q + 2 * d), Load32(q + 3 * d));
  const __m128i x45 = _mm_unpacklo_epi32(Load32(q + 4 * d), Load32(q + 5 * d));
  const __m128i x67 = _mm_unpacklo_epi32(Load32(q + 6 * d), Load32(q + 7 * d));
  return _mm256_set_m128i(_mm_unpacklo_epi64(x45, x67), _mm_unpacklo_epi64(x01, x23));
}

ZIRPEL_AVX2 inline void ScatterEight(std::uint8_t* q, std::ptrdiff_t d, __m256i v) {
  const __m128i lo = _mm256_castsi256_si128(v);
  const __m128i hi = _mm256_extracti128_si256(v, 1);
  Store32(q, lo);
  Store32(q + d, _mm_srli_si128(lo, 4));
  Store32(q + 2 * d, _mm_srli_si128(lo, 8));
  Store32(q + 3 * d, _mm_srli_si128(lo, 12));
  Store32(q + 4 * d, hi);
  Store32(q + 5 * d, _mm_srli_si128(hi, 4));
  Store32(q + 6 * d, _mm_srli_si128(hi, 8));
  Store32(q + 7 * d, _mm_srli_si128(hi, 12));
}

// One of the first and last steps of the eight-row wavefront, where some
// rows have nothing to do: they load zeros (so their left byte stays zero
// until they start) and store nothing.
template <int kUnit>
ZIRPEL_AVX2 void PaethEdgeStep(std::uint32_t i, std::uint8_t* row0, std::ptrdiff_t stride,
                               const std::uint8_t* prev, std::uint32_t pixels, std::uint8_t* out0,
                               std::ptrdiff_t outStride, __m256i& a, __m256i& c) {
  constexpr std::uint32_t kRows = 8;
  const __m256i predicted = kUnit == 3 ? _mm256_set1_epi32(0x00FFFFFF) : _mm256_set1_epi32(-1);
  const __m256i opaque = kUnit == 3 ? _mm256_set1_epi32(static_cast<std::int32_t>(0xFF000000u))
                                    : _mm256_setzero_si256();
  const __m256i rotate = _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6);
  alignas(32) std::uint8_t lanes[32] = {};
  for (std::uint32_t k = 0; k < kRows; ++k) {
    if (i >= k && i - k < pixels) {
      std::memcpy(lanes + 4 * k, row0 + k * stride + std::ptrdiff_t{i - k} * kUnit, 4);
    }
  }
  __m256i above = _mm256_setzero_si256();
  if (i < pixels) above = _mm256_castsi128_si256(Load32(prev + std::size_t{i} * kUnit));
  const __m256i x = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes));
  const __m256i b = _mm256_blend_epi32(_mm256_permutevar8x32_epi32(a, rotate), above, 0x01);
  a = _mm256_add_epi8(x, _mm256_and_si256(PaethAvx2(a, b, c), predicted));
  c = b;
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), a);
  for (std::uint32_t k = 0; k < kRows; ++k) {
    if (i >= k && i - k < pixels) {
      std::memcpy(row0 + k * stride + std::ptrdiff_t{i - k} * kUnit, lanes + 4 * k, 4);
    }
  }
  if (out0 != nullptr) {
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), _mm256_or_si256(a, opaque));
    for (std::uint32_t k = 0; k < kRows; ++k) {
      if (i >= k && i - k < pixels) {
        std::memcpy(out0 + k * outStride + std::ptrdiff_t{i - k} * 4, lanes + 4 * k, 4);
      }
    }
  }
}

// Eight Paeth rows from row0 on, `stride` bytes apart, with prev the
// restored scanline above row0. When out0 is given (R, G, B or R, G, B, A
// at depth 8 into layout 3), the pixels go straight to the output rows
// out0 + k * outStride as R, G, B, A, and only the last scanline is written
// back, as the one above the next rows.
template <int kUnit>
ZIRPEL_AVX2 void UnfilterPaethEightRowsAvx2(std::uint8_t* row0, std::ptrdiff_t stride,
                                            const std::uint8_t* prev, std::uint32_t pixels,
                                            std::uint8_t* out0, std::ptrdiff_t outStride) {
  static_assert(kUnit == 3 || kUnit == 4);
  constexpr std::uint32_t kRows = 8;
  const __m256i predicted = kUnit == 3 ? _mm256_set1_epi32(0x00FFFFFF) : _mm256_set1_epi32(-1);
  const __m256i opaque = kUnit == 3 ? _mm256_set1_epi32(static_cast<std::int32_t>(0xFF000000u))
                                    : _mm256_setzero_si256();
  // Row k's upper byte is row k - 1's result of the step before: rotate the
  // rows on by one and put the scanline above into row 0.
  const __m256i rotate = _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6);
  const std::ptrdiff_t d = stride - kUnit, outD = outStride - 4;
  __m256i a = _mm256_setzero_si256(), c = _mm256_setzero_si256();

  const std::uint32_t steps = pixels + kRows - 1;
  std::uint32_t i = 0;
  for (; i < kRows - 1; ++i) {
    PaethEdgeStep<kUnit>(i, row0, stride, prev, pixels, out0, outStride, a, c);
  }
  if (pixels > kRows - 1) {
    // q: row 0's pixel i; the next step's bytes are loaded before this
    // step's stores: with 3 bytes per pixel a store's fourth byte is the next
    // load's first, and a load behind such a store would wait for it.
    std::uint8_t* q = row0 + std::size_t{i} * kUnit;
    const std::uint8_t* above = prev + std::size_t{i} * kUnit;
    std::uint8_t* o = out0 != nullptr ? out0 + std::size_t{i} * 4 : nullptr;
    __m256i x = GatherEight(q, d);
    for (; i < pixels; ++i, q += kUnit, above += kUnit) {
      const __m256i b = _mm256_blend_epi32(_mm256_permutevar8x32_epi32(a, rotate),
                                           _mm256_castsi128_si256(Load32(above)), 0x01);
      a = _mm256_add_epi8(x, _mm256_and_si256(PaethAvx2(a, b, c), predicted));
      c = b;
      if (i + 1 < pixels) x = GatherEight(q + kUnit, d);
      if (o != nullptr) {
        ScatterEight(o, outD, _mm256_or_si256(a, opaque));
        Store32(q + 7 * d, _mm_srli_si128(_mm256_extracti128_si256(a, 1), 12));
        o += 4;
      } else {
        ScatterEight(q, d, a);
      }
    }
  }
  for (; i < steps; ++i) {
    PaethEdgeStep<kUnit>(i, row0, stride, prev, pixels, out0, outStride, a, c);
  }
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

using FilterFn = void (*)(std::uint8_t*, const std::uint8_t*, std::size_t);

template <int kUnit>
void SubFn(std::uint8_t* row, const std::uint8_t*, std::size_t n) {
  UnfilterSub<kUnit>(row, n);
}

struct FilterSet {
  FilterFn sub, average, paeth;
};

template <int kUnit>
constexpr FilterSet MakeFilterSet() {
  return {&SubFn<kUnit>, &UnfilterAverage<kUnit>, &UnfilterPaeth<kUnit>};
}

FilterSet FiltersFor(int unit) {
  switch (unit) {
    case 1:
      return MakeFilterSet<1>();
    case 2:
      return MakeFilterSet<2>();
    case 3:
      return MakeFilterSet<3>();
    case 4:
      return MakeFilterSet<4>();
    case 6:
      return MakeFilterSet<6>();
    default:
      return MakeFilterSet<8>();
  }
}

// Scanline lengths are whole multiples of the filter unit for depths of 8
// and more; below 8 the unit is 1, so no partial pixel is left over.
bool Unfilter(int type, const FilterSet& set, std::uint8_t* row, const std::uint8_t* prev,
              std::size_t n) {
  switch (type) {
    case 0:
      return true;
    case 1:
      set.sub(row, prev, n);
      return true;
    case 2:
      UnfilterUp(row, prev, n);
      return true;
    case 3:
      set.average(row, prev, n);
      return true;
    case 4:
      set.paeth(row, prev, n);
      return true;
    default:
      return false;
  }
}

// ---- pixel conversion ----------------------------------------------------
// Writes count pixels from one restored scanline to dst, step bytes apart.

inline void Put(std::uint8_t* d, bool rgbaOrder, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                std::uint8_t a) {
  d[0] = rgbaOrder ? r : b;
  d[1] = g;
  d[2] = rgbaOrder ? b : r;
  d[3] = a;
}

void BuildSampleLut(Decoder& dec) {
  const int depth = dec.header.bitDepth;
  const unsigned maxSample = (1u << depth) - 1;
  for (unsigned s = 0; s <= maxSample; ++s) {
    std::uint8_t r, g, b, a;
    if (dec.header.colourType == 3) {
      r = dec.palette[s][0];
      g = dec.palette[s][1];
      b = dec.palette[s][2];
      a = dec.hasTrns ? dec.alphaTable[s] : 255;
    } else {
      r = g = b = static_cast<std::uint8_t>(s * (255 / maxSample));
      a = (dec.hasTrns && s == dec.keyGrey) ? 0 : 255;
    }
    Put(dec.sampleLut[s], dec.rgbaOrder, r, g, b, a);
  }
}

void ConvertLut(const Decoder& dec, const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst,
                std::size_t step) {
  const int depth = dec.header.bitDepth;
  if (depth == 8) {
    for (std::uint32_t i = 0; i < count; ++i, dst += step)
      std::memcpy(dst, dec.sampleLut[src[i]], 4);
    return;
  }
  const unsigned mask = (1u << depth) - 1;
  const int perByte = 8 / depth;
  for (std::uint32_t i = 0; i < count; ++i, dst += step) {
    const unsigned byte = src[i / perByte];
    const int shift = 8 - depth * static_cast<int>(i % perByte + 1);
    std::memcpy(dst, dec.sampleLut[(byte >> shift) & mask], 4);
  }
}

void ConvertGrey16(const Decoder& dec, const std::uint8_t* src, std::uint32_t count,
                   std::uint8_t* dst, std::size_t step) {
  for (std::uint32_t i = 0; i < count; ++i, src += 2, dst += step) {
    const unsigned sample = unsigned{src[0]} << 8 | src[1];
    const std::uint8_t a = (dec.hasTrns && sample == dec.keyGrey) ? 0 : 255;
    Put(dst, dec.rgbaOrder, src[0], src[0], src[0], a);
  }
}

template <int kBytes>
void ConvertGreyAlpha(const Decoder& dec, const std::uint8_t* src, std::uint32_t count,
                      std::uint8_t* dst, std::size_t step) {
  for (std::uint32_t i = 0; i < count; ++i, src += 2 * kBytes, dst += step) {
    Put(dst, dec.rgbaOrder, src[0], src[0], src[0], src[kBytes]);
  }
}

// RGB at depth 8, the textures' own format: the hot loop of start-up.
void ConvertRgb8(const Decoder& dec, const std::uint8_t* src, std::uint32_t count,
                 std::uint8_t* dst, std::size_t step) {
  if (dec.hasTrns) {
    for (std::uint32_t i = 0; i < count; ++i, src += 3, dst += step) {
      const bool key =
          src[0] == dec.keyRgb[0] && src[1] == dec.keyRgb[1] && src[2] == dec.keyRgb[2];
      Put(dst, dec.rgbaOrder, src[0], src[1], src[2], key ? 0 : 255);
    }
    return;
  }
  if constexpr (std::endian::native == std::endian::little) {
    // Loads 4 bytes per pixel; the byte past the last pixel is still inside
    // the inflated buffer (the next scanline's filter byte, or the spare
    // byte after the image data).
    if (dec.rgbaOrder) {
      std::uint32_t i = 0;
#if defined(__SSE2__)
      // Four pixels per step while 16 bytes can be read inside the scanline.
      if (step == 4) {
        const __m128i alpha = _mm_set1_epi32(static_cast<std::int32_t>(0xFF000000u));
        // The picture is not read again here: on aligned rows it goes
        // straight to memory without first pulling the lines into the cache.
        const bool aligned = (reinterpret_cast<std::uintptr_t>(dst) & 15) == 0;
        for (; i + 6 <= count; i += 4, src += 12, dst += 16) {
          const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
          const __m128i lo = _mm_unpacklo_epi32(v, _mm_srli_si128(v, 3));
          const __m128i hi = _mm_unpacklo_epi32(_mm_srli_si128(v, 6), _mm_srli_si128(v, 9));
          const __m128i pixels = _mm_or_si128(_mm_unpacklo_epi64(lo, hi), alpha);
          if (aligned) {
            _mm_stream_si128(reinterpret_cast<__m128i*>(dst), pixels);
          } else {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), pixels);
          }
        }
      }
#endif
      for (; i < count; ++i, src += 3, dst += step) {
        std::uint32_t v;
        std::memcpy(&v, src, 4);
        v |= 0xFF000000u;
        std::memcpy(dst, &v, 4);
      }
    } else {
      for (std::uint32_t i = 0; i < count; ++i, src += 3, dst += step) {
        std::uint32_t v;
        std::memcpy(&v, src, 4);
        v = (__builtin_bswap32(v) >> 8) | 0xFF000000u;
        std::memcpy(dst, &v, 4);
      }
    }
    return;
  }
  for (std::uint32_t i = 0; i < count; ++i, src += 3, dst += step) {
    Put(dst, dec.rgbaOrder, src[0], src[1], src[2], 255);
  }
}

void ConvertRgb16(const Decoder& dec, const std::uint8_t* src, std::uint32_t count,
                  std::uint8_t* dst, std::size_t step) {
  for (std::uint32_t i = 0; i < count; ++i, src += 6, dst += step) {
    bool key = false;
    if (dec.hasTrns) {
      key = (unsigned{src[0]} << 8 | src[1]) == dec.keyRgb[0] &&
            (unsigned{src[2]} << 8 | src[3]) == dec.keyRgb[1] &&
            (unsigned{src[4]} << 8 | src[5]) == dec.keyRgb[2];
    }
    Put(dst, dec.rgbaOrder, src[0], src[2], src[4], key ? 0 : 255);
  }
}

void ConvertRgba8(const Decoder& dec, const std::uint8_t* src, std::uint32_t count,
                  std::uint8_t* dst, std::size_t step) {
  if (dec.rgbaOrder && step == 4) {
    std::memcpy(dst, src, std::size_t{count} * 4);
    return;
  }
  for (std::uint32_t i = 0; i < count; ++i, src += 4, dst += step) {
    Put(dst, dec.rgbaOrder, src[0], src[1], src[2], src[3]);
  }
}

void ConvertRgba16(const Decoder& dec, const std::uint8_t* src, std::uint32_t count,
                   std::uint8_t* dst, std::size_t step) {
  for (std::uint32_t i = 0; i < count; ++i, src += 8, dst += step) {
    Put(dst, dec.rgbaOrder, src[0], src[2], src[4], src[6]);
  }
}

using ConvertFn = void (*)(const Decoder&, const std::uint8_t*, std::uint32_t, std::uint8_t*,
                           std::size_t);

ConvertFn ConverterFor(int colourType, int depth) {
  switch (colourType) {
    case 0:
      return depth == 16 ? &ConvertGrey16 : &ConvertLut;
    case 3:
      return &ConvertLut;
    case 4:
      return depth == 16 ? &ConvertGreyAlpha<2> : &ConvertGreyAlpha<1>;
    case 2:
      return depth == 16 ? &ConvertRgb16 : &ConvertRgb8;
    default:
      return depth == 16 ? &ConvertRgba16 : &ConvertRgba8;
  }
}

// ---- parsing ---------------------------------------------------------------

// Bytes of one scanline without its filter byte; 64-bit, cannot overflow.
std::uint64_t RowBytes(const Decoder& dec, std::uint32_t columns) {
  const std::uint64_t bits = std::uint64_t{columns} * static_cast<std::uint64_t>(dec.channels) *
                             static_cast<std::uint64_t>(dec.header.bitDepth);
  return (bits + 7) / 8;
}

const Pass* PassesOf(const Decoder& dec, int& passCount) {
  passCount = dec.header.interlace == 1 ? 7 : 1;
  return dec.header.interlace == 1 ? kAdam7 : &kPlain;
}

// Total length of all filtered scanlines (filter bytes included).
std::uint64_t ExpectedInflatedSize(const Decoder& dec) {
  int passCount = 0;
  const Pass* passes = PassesOf(dec, passCount);
  std::uint64_t total = 0;
  for (int p = 0; p < passCount; ++p) {
    const std::uint32_t columns = PassExtent(dec.header.width, passes[p].x0, passes[p].dx);
    const std::uint32_t rows = PassExtent(dec.header.height, passes[p].y0, passes[p].dy);
    if (columns == 0 || rows == 0) continue;
    const std::uint64_t scanline = 1 + RowBytes(dec, columns);  // below 2^36
    if (rows > (UINT64_MAX - total) / scanline) return UINT64_MAX;
    total += rows * scanline;
  }
  return total;
}

// What the chunk walk keeps: the chunks the decoder reads and the totals of
// the image data. Nothing grows with the number of chunks in the file.
struct ChunkSummary {
  std::size_t count = 0;
  Chunk first{}, last{};
  bool hasPlte = false, hasTrns = false;  // the first PLTE and tRNS count
  Chunk plte{}, trns{}, firstIdat{};
  std::uint64_t idatBytes = 0;
  std::size_t idatCount = 0;
};

// Walks from offset 8 to the end; every chunk must lie inside the file and
// carry the right CRC, and IEND must be the last of more than two chunks.
bool WalkChunks(Decoder& dec, const std::uint8_t* bytes, std::size_t length, ChunkSummary& sum) {
  std::size_t pos = 8;
  while (pos < length) {
    if (length - pos < 12) return Fail(dec, "Chunk ragt ueber das Dateiende");
    const std::uint32_t chunkLength = ReadBe32(bytes + pos);
    if (chunkLength > length - pos - 12) return Fail(dec, "Chunk ragt ueber das Dateiende");
    const std::uint8_t* type = bytes + pos + 4;
    const std::uint32_t stored = ReadBe32(type + 4 + chunkLength);
    if (crc32_z(0L, type, std::size_t{chunkLength} + 4) != stored) {
      return Fail(dec, "CRC eines Chunks stimmt nicht");
    }
    const Chunk chunk{chunkLength, type, type + 4};
    if (sum.count == 0) sum.first = chunk;
    sum.last = chunk;
    ++sum.count;
    if (!sum.hasPlte && IsType(chunk, "PLTE")) {
      sum.plte = chunk;
      sum.hasPlte = true;
    }
    if (!sum.hasTrns && IsType(chunk, "tRNS")) {
      sum.trns = chunk;
      sum.hasTrns = true;
    }
    if (IsType(chunk, "IDAT")) {
      if (sum.idatCount == 0) sum.firstIdat = chunk;
      ++sum.idatCount;
      sum.idatBytes += chunkLength;
    }
    pos += std::size_t{chunkLength} + 12;
  }
  if (sum.count <= 2) return Fail(dec, "zu wenige Chunks");
  if (!IsType(sum.last, "IEND")) return Fail(dec, "IEND fehlt oder steht nicht am Ende");
  return true;
}

// Appends the data of every IDAT chunk in file order (the walk has checked
// that the chunks fit).
void JoinImageData(const std::uint8_t* bytes, std::size_t length, std::vector<std::uint8_t>& out) {
  std::size_t pos = 8;
  while (pos + 12 <= length) {
    const std::uint32_t chunkLength = ReadBe32(bytes + pos);
    const std::uint8_t* type = bytes + pos + 4;
    if (std::memcmp(type, "IDAT", 4) == 0) out.insert(out.end(), type + 4, type + 4 + chunkLength);
    pos += std::size_t{chunkLength} + 12;
  }
}

bool ReadHeader(Decoder& dec, const Chunk& first) {
  if (!IsType(first, "IHDR") || first.length != 13) {
    return Fail(dec, "erster Chunk ist kein IHDR mit 13 Bytes");
  }
  const std::uint8_t* d = first.data;
  dec.header.width = ReadBe32(d);
  dec.header.height = ReadBe32(d + 4);
  dec.header.bitDepth = d[8];
  dec.header.colourType = d[9];
  dec.header.interlace = d[12];
  if (dec.header.width == 0 || dec.header.height == 0) return Fail(dec, "Breite oder Hoehe 0");
  if (!AllowedCombination(dec.header.colourType, dec.header.bitDepth)) {
    return Fail(dec, "Farbtyp und Bittiefe passen nicht");
  }
  if (d[10] != 0) return Fail(dec, "unbekannte Kompressionsmethode");
  if (d[11] != 0) return Fail(dec, "unbekannte Filtermethode");
  if (dec.header.interlace > 1) return Fail(dec, "unbekannte Interlace-Methode");
  dec.channels = Channels(dec.header.colourType);
  dec.filterUnit = std::max(1, dec.header.bitDepth / 8) * dec.channels;
  return true;
}

bool ReadPaletteAndTransparency(Decoder& dec, const ChunkSummary& sum) {
  const int colourType = dec.header.colourType;
  const Chunk* plte = sum.hasPlte ? &sum.plte : nullptr;
  const Chunk* trns = sum.hasTrns ? &sum.trns : nullptr;
  if (colourType == 3) {
    if (plte == nullptr) return Fail(dec, "Palettenbild ohne PLTE");
    if (plte->length / 3 > 256) return Fail(dec, "PLTE mit mehr als 256 Eintraegen");
    dec.paletteCount = plte->length / 3;
    std::memcpy(dec.palette, plte->data, std::size_t{dec.paletteCount} * 3);
  }
  if (trns == nullptr) return true;
  const std::uint8_t* d = trns->data;
  switch (colourType) {
    case 0:
      if (trns->length != 2) return Fail(dec, "tRNS hat die falsche Laenge");
      dec.keyGrey = static_cast<std::uint16_t>(d[0] << 8 | d[1]);
      break;
    case 2:
      if (trns->length != 6) return Fail(dec, "tRNS hat die falsche Laenge");
      for (int i = 0; i < 3; ++i)
        dec.keyRgb[i] = static_cast<std::uint16_t>(d[2 * i] << 8 | d[2 * i + 1]);
      break;
    case 3:
      if (trns->length > 256) return Fail(dec, "tRNS hat die falsche Laenge");
      std::memcpy(dec.alphaTable, d, trns->length);
      break;
    default:
      return Fail(dec, "tRNS in einem Bild mit Alphakanal");
  }
  dec.hasTrns = true;
  return true;
}

// Size of the output buffer in a layout, or 0 when the layout cannot hold
// the image (the compact header has 13 bits for the width, 16 for the height).
std::uint64_t OutputSize(const PngHeader& h, int layout) {
  const std::uint64_t w = h.width, hgt = h.height;
  // Both below 2^32, so the product fits; beyond the limit nothing else is
  // computed, so the sums below cannot overflow either.
  if (w * hgt > kPngMaxBytes / 4) return kPngMaxBytes + 1;
  switch (layout) {
    case kPngCompact:
      if (w > 0x1FFF || hgt > 0xFFFF) return 0;
      return 4 + w * hgt * 4;
    case kPngFullHeader:
      return 32 + ((w * 4 + 31) & ~std::uint64_t{31}) * hgt;
    case kPngOpenGl:
      return w * hgt * 4;
    default:
      return 0;
  }
}

// Restores and converts every scanline of every pass into the output.
bool DecodeScanlines(Decoder& dec, std::uint8_t* inflated, PngImage& out, int layout) {
  const PngHeader& h = dec.header;
  std::size_t headerBytes = 0, pitch = std::size_t{h.width} * 4;
  if (layout == kPngCompact) headerBytes = 4;
  if (layout == kPngFullHeader) {
    headerBytes = 32;
    pitch = (pitch + 31) & ~std::size_t{31};
  }
  const FilterSet filters = FiltersFor(dec.filterUnit);
  const ConvertFn convert = ConverterFor(h.colourType, h.bitDepth);
  // Zeros above the first scanline of a pass, with room for 4-byte loads.
  std::vector<std::uint8_t> zeroRow(static_cast<std::size_t>(RowBytes(dec, h.width)) + 8, 0);

  int passCount = 0;
  const Pass* passes = PassesOf(dec, passCount);
  std::uint8_t* scan = inflated;
  for (int p = 0; p < passCount; ++p) {
    const Pass& pass = passes[p];
    const std::uint32_t columns = PassExtent(h.width, pass.x0, pass.dx);
    const std::uint32_t rows = PassExtent(h.height, pass.y0, pass.dy);
    if (columns == 0 || rows == 0) continue;
    const std::size_t rowBytes = static_cast<std::size_t>(RowBytes(dec, columns));
    const std::uint8_t* prev = zeroRow.data();
    auto target = [&](std::uint32_t r) {
      const std::uint32_t y = pass.y0 + r * pass.dy;
      const std::size_t outRow = layout == kPngOpenGl ? h.height - 1 - y : y;
      return out.data + headerBytes + outRow * pitch + std::size_t{pass.x0} * 4;
    };
    auto store = [&](std::uint32_t r, const std::uint8_t* row) {
      convert(dec, row, columns, target(r), std::size_t{pass.dx} * 4);
    };
    // RGB and RGBA at depth 8 without a key are R, G, B(, A) bytes already:
    // layout 3 takes them as they come out of the filter.
    const bool direct = layout == kPngOpenGl && pass.dx == 1 && h.bitDepth == 8 &&
                        (h.colourType == 2 || h.colourType == 6) && !dec.hasTrns;
    for (std::uint32_t r = 0; r < rows;) {
#if defined(__SSE2__)
      const std::size_t stride = rowBytes + 1;
      // Runs of Paeth scanlines go through the wavefront: 8 at a time with
      // AVX2, else 4 at a time.
      int run = 0;
      if (dec.filterUnit == 3 || dec.filterUnit == 4) {
        while (run < 8 && r + static_cast<std::uint32_t>(run) < rows &&
               scan[static_cast<std::size_t>(run) * stride] == 4) {
          ++run;
        }
      }
      if (run >= 4) {
        run = run >= 8 && HasAvx2() ? 8 : 4;
        std::uint8_t* group[8];
        for (int k = 0; k < run; ++k) group[k] = scan + 1 + static_cast<std::size_t>(k) * stride;
        const auto strideBytes = static_cast<std::ptrdiff_t>(stride);
        if (run == 8) {
          std::uint8_t* out0 = direct ? target(r) : nullptr;
          const std::ptrdiff_t outStride = direct ? target(r + 1) - target(r) : 0;
          dec.filterUnit == 3
              ? UnfilterPaethEightRowsAvx2<3>(group[0], strideBytes, prev, columns, out0, outStride)
              : UnfilterPaethEightRowsAvx2<4>(group[0], strideBytes, prev, columns, out0,
                                              outStride);
          if (direct) {
            prev = group[7];
            scan += 8 * stride;
            r += 8;
            continue;
          }
        } else if (dec.filterUnit == 3) {
          UnfilterPaethFourRows<3>(group[0], strideBytes, prev, columns);
        } else {
          UnfilterPaethFourRows<4>(group[0], strideBytes, prev, columns);
        }
        for (int k = 0; k < run; ++k) store(r + static_cast<std::uint32_t>(k), group[k]);
        prev = group[run - 1];
        scan += static_cast<std::size_t>(run) * stride;
        r += static_cast<std::uint32_t>(run);
        continue;
      }
#endif
      std::uint8_t* row = scan + 1;
      if (!Unfilter(scan[0], filters, row, prev, rowBytes)) {
        Refuse(dec, "Filtertyp groesser als 4");
        return false;
      }
      store(r, row);
      prev = row;
      scan = row + rowBytes;
      ++r;
    }
  }
  return true;
}

void WriteLayoutHeader(const PngHeader& h, PngImage& out, int layout) {
  if (layout == kPngCompact) {
    WriteLe16(out.data, h.width << 3 | 4);
    WriteLe16(out.data + 2, h.height);
  } else if (layout == kPngFullHeader) {
    WriteLe32(out.data, 7);
    WriteLe32(out.data + 4, 4);
    WriteLe32(out.data + 8, h.width);
    WriteLe32(out.data + 12, h.height);
    WriteLe32(out.data + 16,
              static_cast<std::uint32_t>((std::uint64_t{h.width} * 4 + 31) & ~31ull));
  }
}

PngImage Decode(Decoder& dec, const std::uint8_t* bytes, std::size_t length, int layout) {
  if (layout < kPngCompact || layout > kPngOpenGl) return Refuse(dec, "unbekanntes Layout");
  if (bytes == nullptr || length <= 48) return Refuse(dec, "Datei zu kurz");
  if (std::memcmp(bytes, kSignature, 8) != 0) return Refuse(dec, "keine PNG-Signatur");

  ChunkSummary sum;
  if (!WalkChunks(dec, bytes, length, sum)) return PngImage();
  if (!ReadHeader(dec, sum.first)) return PngImage();

  // Sizes first, so that nothing large is taken for a hostile header.
  const std::uint64_t outSize = OutputSize(dec.header, layout);
  if (outSize > kPngMaxBytes) return Refuse(dec, "Bild groesser als 256 MiB");
  if (outSize == 0) return Refuse(dec, "Bild zu gross fuer dieses Layout");
  const std::uint64_t expected = ExpectedInflatedSize(dec);
  if (expected > kPngMaxBytes) return Refuse(dec, "Bilddaten groesser als 256 MiB");
  if (sum.idatCount == 0) return Refuse(dec, "keine IDAT-Daten");
  if (expected > sum.idatBytes * kMaxInflateRatio) {
    return Refuse(dec, "IDAT-Daten zu kurz fuer das Bild");
  }
  if (!ReadPaletteAndTransparency(dec, sum)) return PngImage();

  // One IDAT chunk is inflated where it stands; several are joined first.
  std::vector<std::uint8_t> joined;
  const std::uint8_t* compressed = sum.firstIdat.data;
  if (sum.idatCount > 1) {
    joined.reserve(static_cast<std::size_t>(sum.idatBytes));
    JoinImageData(bytes, length, joined);
    compressed = joined.data();
  }

  // One spare byte: a stream that inflates to more than expected fails,
  // and the RGB loader may read one byte past the last pixel.
  std::unique_ptr<std::uint8_t[]> inflated(
      new (std::nothrow) std::uint8_t[static_cast<std::size_t>(expected) + 1]);
  if (!inflated) return Refuse(dec, "kein Speicher");
  uLongf inflatedLength = static_cast<uLongf>(expected + 1);
  if (uncompress(inflated.get(), &inflatedLength, compressed, static_cast<uLong>(sum.idatBytes)) !=
      Z_OK) {
    return Refuse(dec, "IDAT-Daten lassen sich nicht entpacken");
  }
  if (inflatedLength != expected)
    return Refuse(dec, "entpackte Bilddaten haben die falsche Laenge");
  inflated[static_cast<std::size_t>(expected)] = 0;

  std::vector<std::uint8_t>().swap(joined);

  // Layouts 1 and 3 have every byte written below; only layout 2 has
  // padding that must read as zero.
  PngImage out = layout == kPngFullHeader ? PngImage::Allocate(static_cast<std::size_t>(outSize))
                                          : AllocateUnfilled(static_cast<std::size_t>(outSize));
  if (!out) return Refuse(dec, "kein Speicher");
  out.width = dec.header.width;
  out.height = dec.header.height;
  dec.rgbaOrder = layout == kPngOpenGl;
  if (dec.channels == 1 && dec.header.bitDepth <= 8) BuildSampleLut(dec);
  WriteLayoutHeader(dec.header, out, layout);
  const bool decoded = DecodeScanlines(dec, inflated.get(), out, layout);
#if defined(__SSE2__)
  _mm_sfence();  // the streaming stores are visible before the buffer is handed on
#endif
  if (!decoded) return PngImage();
  return out;
}

}  // namespace

PngImage DecodePngMemory(const std::uint8_t* bytes, std::size_t length, int layout,
                         std::string* reason, PngHeader* header) {
  Decoder dec;
  PngImage image = Decode(dec, bytes, length, layout);
  if (reason != nullptr)
    *reason = image ? std::string() : std::string(dec.reason ? dec.reason : "");
  if (header != nullptr) *header = dec.header;
  return image;
}
