// Decoding the game's nine textures: our decoder (layout 3) against libpng
// (RGBA, the same transforms) and against zlib's uncompress alone on the
// same image data, the floor for any decoder built on zlib. After the runs
// it prints, per file, the ratios ours / libpng and ours / uncompress
// (of CPU time, which other load on the machine disturbs least).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "../tests/image/libpng_reference.h"
#include "image/png.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const char* const kTextures[] = {"ScreenTexture.png",  "LOGO.png",          "zirpel.png",
                                 "Particle_White.png", "Particle_Blue.png", "Particle_Red.png",
                                 "SphereWhite.png",    "SphereBlue.png",    "SphereRed.png"};

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The concatenated IDAT data of a (valid) file.
Bytes ImageData(const Bytes& file) {
  Bytes out;
  for (std::size_t pos = 8; pos + 12 <= file.size();) {
    const std::size_t length = std::size_t{file[pos]} << 24 | std::size_t{file[pos + 1]} << 16 |
                               std::size_t{file[pos + 2]} << 8 | file[pos + 3];
    if (pos + 12 + length > file.size()) break;
    if (std::equal(file.begin() + static_cast<std::ptrdiff_t>(pos + 4),
                   file.begin() + static_cast<std::ptrdiff_t>(pos + 8), "IDAT")) {
      out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(pos + 8),
                 file.begin() + static_cast<std::ptrdiff_t>(pos + 8 + length));
    }
    pos += 12 + length;
  }
  return out;
}

void Ours(benchmark::State& state, const Bytes& file) {
  for (auto _ : state) {
    PngImage image = DecodePngMemory(file.data(), file.size(), kPngOpenGl);
    if (!image) state.SkipWithError("decoder refused the file");
    benchmark::DoNotOptimize(image.data);
  }
}

void Libpng(benchmark::State& state, const Bytes& file) {
  for (auto _ : state) {
    LibpngImage image = DecodeWithLibpng(file.data(), file.size());
    if (!image.ok) state.SkipWithError("libpng refused the file");
    benchmark::DoNotOptimize(image.rgba.data());
  }
}

void Uncompress(benchmark::State& state, const Bytes& file) {
  const Bytes compressed = ImageData(file);
  PngHeader header;
  DecodePngMemory(file.data(), file.size(), kPngOpenGl, nullptr, &header);
  // The textures are 8-bit RGB without interlacing.
  const std::size_t expected = std::size_t{header.height} * (1 + std::size_t{header.width} * 3);
  Bytes out(expected + 1);
  for (auto _ : state) {
    uLongf length = static_cast<uLongf>(out.size());
    if (uncompress(out.data(), &length, compressed.data(), static_cast<uLong>(compressed.size())) !=
            Z_OK ||
        length != expected) {
      state.SkipWithError("uncompress failed");
    }
    benchmark::DoNotOptimize(out.data());
  }
}

// Console output as usual, and each run's time kept for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> seconds;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        seconds[run.benchmark_name()] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, Bytes> files;
  for (const char* name : kTextures) {
    files[name] = ReadFile(std::string(ZIRPEL_SOURCE_DIR) + "/res/gfx/" + name);
    if (files[name].empty()) {
      std::fprintf(stderr, "missing res/gfx/%s\n", name);
      return 1;
    }
  }
  for (const char* name : kTextures) {
    const Bytes& file = files[name];
    benchmark::RegisterBenchmark((std::string("Ours/") + name).c_str(), Ours, file)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("Libpng/") + name).c_str(), Libpng, file)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("Uncompress/") + name).c_str(), Uncompress, file)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-20s %14s %18s\n", "file", "ours/libpng", "ours/uncompress");
  for (const char* name : kTextures) {
    const double ours = reporter.seconds[std::string("Ours/") + name];
    const double theirs = reporter.seconds[std::string("Libpng/") + name];
    const double floor = reporter.seconds[std::string("Uncompress/") + name];
    if (ours <= 0 || theirs <= 0 || floor <= 0) continue;
    std::printf("%-20s %14.3f %18.3f\n", name, ours / theirs, ours / floor);
  }
  benchmark::Shutdown();
  return 0;
}
