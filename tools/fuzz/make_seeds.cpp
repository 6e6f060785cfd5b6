// Writes small PNG files of every colour type, bit depth, interlace method
// and filter into a directory: the fuzzer's starting corpus.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "image/png_encode.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const int formats[][2] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                            {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
  int count = 0;
  for (const auto& f : formats) {
    for (int interlace = 0; interlace < 2; ++interlace) {
      for (int filter = 0; filter < 5; ++filter) {
        const std::uint32_t w = 3 + static_cast<std::uint32_t>(filter) * 2, h = 5;
        PngEncodeOptions options;
        options.colourType = f[0];
        options.bitDepth = f[1];
        options.interlace = interlace == 1;
        options.filter = filter;
        options.idatSplit = filter == 3 ? 8 : 0;
        if (f[0] == 3) {
          for (int i = 0; i < 3 * 5; ++i)
            options.palette.push_back(static_cast<std::uint8_t>(i * 17));
          options.trns = {0, 128};
        }
        if (f[0] == 0 && filter == 1) options.trns = {0, 1};
        if (f[0] == 2 && filter == 1) options.trns = {0, 1, 0, 2, 0, 3};
        std::vector<std::uint8_t> packed(PngRowBytes(w, f[0], f[1]) * h);
        for (std::size_t i = 0; i < packed.size(); ++i)
          packed[i] = static_cast<std::uint8_t>(i * 53 + 7);
        const std::vector<std::uint8_t> file = EncodePng(packed.data(), w, h, options);
        const std::string path = std::string(argv[1]) + "/gen-" + std::to_string(count++) + ".png";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()),
                   static_cast<std::streamsize>(file.size()));
      }
    }
  }
  std::printf("%d seed images\n", count);
  return 0;
}
