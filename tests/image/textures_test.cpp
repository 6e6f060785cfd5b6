// The game's nine texture files and the texture checker that vets them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "e2e/runner_harness.h"
#include "image/png.h"
#include "image/png_encode.h"
#include "render/png_file.h"

namespace {

namespace fs = std::filesystem;

struct Texture {
  const char* file;
  std::uint32_t width, height;
};
constexpr Texture kTextures[] = {{"LOGO.png", 512, 512},           {"zirpel.png", 800, 300},
                                 {"Particle_White.png", 128, 128}, {"Particle_Blue.png", 128, 128},
                                 {"Particle_Red.png", 128, 128},   {"SphereWhite.png", 256, 256},
                                 {"SphereBlue.png", 256, 256},     {"SphereRed.png", 256, 256},
                                 {"ScreenTexture.png", 2048, 2048}};

TEST(GameTextures, LoadAtTheSizesTheGameUploadsWithoutAlpha) {
  for (const Texture& t : kTextures) {
    PngHeader header;
    std::string reason;
    // The game's own spelling of the path: "res" for the directory "res".
    PngImage image = DecodePngFile(std::string(ZIRPEL_SOURCE_DIR) + "/res/gfx/" + t.file,
                                   kPngOpenGl, &reason, &header);
    ASSERT_TRUE(image) << t.file << ": " << reason;
    EXPECT_EQ(image.width, t.width) << t.file;
    EXPECT_EQ(image.height, t.height) << t.file;
    EXPECT_EQ(header.colourType, 2) << t.file << " should be stored as RGB";
  }
}

TEST(GameTextures, DrawnAdditivelyTheyAreBlackWhereNothingShouldShow) {
  auto load = [](const char* file) {
    return DecodePngFile(std::string(ZIRPEL_SOURCE_DIR) + "/res/gfx/" + file, kPngOpenGl);
  };
  auto rgbAt = [](const PngImage& image, std::uint32_t x, std::uint32_t yFromTop) {
    const std::uint8_t* p =
        image.data + (std::size_t{image.height - 1 - yFromTop} * image.width + x) * 4;
    return int{p[0]} + p[1] + p[2];
  };
  // The danger frame: black in the middle, glowing at every edge.
  PngImage frame = load("ScreenTexture.png");
  ASSERT_TRUE(frame);
  EXPECT_EQ(rgbAt(frame, 1024, 1024), 0);
  for (auto [x, y] : {std::pair{2u, 1024u}, {2045u, 1024u}, {1024u, 2u}, {1024u, 2045u}}) {
    EXPECT_GT(rgbAt(frame, x, y), 150) << x << "," << y;
  }
  // Every spark cell is black along its border, so cells never bleed.
  for (const char* file : {"Particle_White.png", "Particle_Blue.png", "Particle_Red.png"}) {
    PngImage sheet = load(file);
    ASSERT_TRUE(sheet);
    for (std::uint32_t i = 0; i < 128; ++i) {
      for (std::uint32_t line : {0u, 63u, 64u, 127u}) {
        EXPECT_EQ(rgbAt(sheet, i, line), 0) << file;
        EXPECT_EQ(rgbAt(sheet, line, i), 0) << file;
      }
    }
    EXPECT_GT(rgbAt(sheet, 32, 32), 300) << file;  // a bright core in each cell
    EXPECT_GT(rgbAt(sheet, 96, 96), 300) << file;
  }
}

// The checker sits beside the headless runner in the build tree.
std::string CheckerPath() {
  return (fs::path(ZIRPEL_HEADLESS_BIN).parent_path() / "tools" / "zirpel-png" / "zirpel-png")
      .string();
}

e2e::RunResult RunChecker(const std::string& arguments) {
  return e2e::RunCommand(CheckerPath() + " " + arguments);
}

TEST(TextureChecker, OneLinePerFileAndTheFirstReason) {
  if (!fs::exists(CheckerPath())) GTEST_SKIP() << "zirpel-png not built";
  const fs::path dir = fs::temp_directory_path() / ("zirpel-checker-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::vector<std::uint8_t> good =
      EncodePng(std::vector<std::uint8_t>(3 * 5 * 3, 7).data(), 5, 3, PngEncodeOptions{});
  std::vector<std::uint8_t> bad = good;
  bad[20] ^= 1;  // inside IHDR: its CRC no longer matches
  auto write = [&](const char* name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return (dir / name).string();
  };
  const std::string goodPath = write("good.png", good), badPath = write("bad.png", bad);

  e2e::RunResult both = RunChecker(goodPath + " " + badPath);
  EXPECT_EQ(both.exitCode, 1);
  EXPECT_NE(both.output.find("good.png: ladbar, 5 x 3, Farbtyp 2 (RGB), 8 Bit, ohne Interlace\n"),
            std::string::npos)
      << both.output;
  EXPECT_NE(both.output.find("bad.png: nicht ladbar: CRC eines Chunks stimmt nicht\n"),
            std::string::npos)
      << both.output;

  const std::string raw = (dir / "good.raw").string();
  e2e::RunResult one = RunChecker("--raw " + raw + " --layout 1 " + goodPath);
  EXPECT_EQ(one.exitCode, 0) << one.output;
  std::ifstream in(raw, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  PngImage reference = DecodePngMemory(good.data(), good.size(), kPngCompact);
  ASSERT_TRUE(reference);
  EXPECT_EQ(bytes, std::vector<std::uint8_t>(reference.data, reference.data + reference.size));

  EXPECT_EQ(RunChecker("--raw " + raw + " " + goodPath + " " + badPath).exitCode, 2);
  EXPECT_EQ(RunChecker("").exitCode, 2);
  fs::remove_all(dir);
}

}  // namespace
