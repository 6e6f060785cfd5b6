// zirpel-make-icons LOGO.png DIR NAME SIZE...: the desktop icons, scaled
// from our own logo picture. Writes DIR/<size>x<size>/apps/NAME.png for
// every size (the folders of the hicolor icon theme): the logo averaged
// down to size x size pixels, as a square with rounded, smoothly
// transparent corners.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "image/png.h"
#include "image/png_encode.h"

namespace {

struct Picture {
  int width = 0, height = 0;
  std::vector<double> rgb;  // top row first, 0..1
};

Picture FromDecoded(const PngImage& image) {
  Picture p;
  p.width = static_cast<int>(image.width);
  p.height = static_cast<int>(image.height);
  p.rgb.resize(static_cast<size_t>(p.width) * p.height * 3);
  for (int y = 0; y < p.height; ++y) {
    // The decoder's OpenGL layout holds the bottom row first.
    const std::uint8_t* row = image.data + static_cast<size_t>(p.height - 1 - y) * p.width * 4;
    for (int x = 0; x < p.width; ++x) {
      for (int c = 0; c < 3; ++c) {
        p.rgb[(static_cast<size_t>(y) * p.width + x) * 3 + c] = row[x * 4 + c] / 255.0;
      }
    }
  }
  return p;
}

// How much of the source span [lo, hi) the source pixel i covers.
double Overlap(int i, double lo, double hi) {
  return std::max(0.0, std::min(hi, i + 1.0) - std::max(lo, static_cast<double>(i)));
}

// Every target pixel is the area-weighted mean of the source pixels under
// it, so no detail of the logo flickers in or out between sizes.
std::vector<double> Scale(const Picture& src, int size) {
  std::vector<double> out(static_cast<size_t>(size) * size * 3, 0.0);
  const double sx = static_cast<double>(src.width) / size;
  const double sy = static_cast<double>(src.height) / size;
  for (int y = 0; y < size; ++y) {
    const double y0 = y * sy, y1 = (y + 1) * sy;
    for (int x = 0; x < size; ++x) {
      const double x0 = x * sx, x1 = (x + 1) * sx;
      double sum[3] = {0, 0, 0}, weight = 0;
      for (int j = static_cast<int>(y0); j < std::min(src.height, static_cast<int>(std::ceil(y1)));
           ++j) {
        const double wy = Overlap(j, y0, y1);
        for (int i = static_cast<int>(x0); i < std::min(src.width, static_cast<int>(std::ceil(x1)));
             ++i) {
          const double w = wy * Overlap(i, x0, x1);
          for (int c = 0; c < 3; ++c)
            sum[c] += w * src.rgb[(static_cast<size_t>(j) * src.width + i) * 3 + c];
          weight += w;
        }
      }
      for (int c = 0; c < 3; ++c) {
        out[(static_cast<size_t>(y) * size + x) * 3 + c] = weight > 0 ? sum[c] / weight : 0.0;
      }
    }
  }
  return out;
}

// Coverage of pixel (x, y) by a square of side size with corners rounded
// at radius r, from 4 x 4 samples inside the pixel.
double Coverage(int x, int y, int size, double r) {
  int inside = 0;
  for (int sy = 0; sy < 4; ++sy) {
    for (int sx = 0; sx < 4; ++sx) {
      const double px = x + (sx + 0.5) / 4.0, py = y + (sy + 0.5) / 4.0;
      const double cx = std::clamp(px, r, size - r), cy = std::clamp(py, r, size - r);
      if ((px - cx) * (px - cx) + (py - cy) * (py - cy) <= r * r) ++inside;
    }
  }
  return inside / 16.0;
}

bool WriteIcon(const Picture& logo, int size, const std::string& file) {
  const std::vector<double> rgb = Scale(logo, size);
  const double radius = size * 0.18;
  std::vector<std::uint8_t> rgba(static_cast<size_t>(size) * size * 4);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const size_t i = static_cast<size_t>(y) * size + x;
      for (int c = 0; c < 3; ++c) {
        rgba[i * 4 + c] =
            static_cast<std::uint8_t>(std::lround(std::clamp(rgb[i * 3 + c], 0.0, 1.0) * 255));
      }
      rgba[i * 4 + 3] = static_cast<std::uint8_t>(std::lround(Coverage(x, y, size, radius) * 255));
    }
  }
  PngEncodeOptions options;
  options.colourType = 6;
  const std::vector<std::uint8_t> png = EncodePng(rgba.data(), static_cast<std::uint32_t>(size),
                                                  static_cast<std::uint32_t>(size), options);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(out);
}

void MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    ::mkdir(path.substr(0, slash).c_str(), 0755);
  }
  ::mkdir(path.c_str(), 0755);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "Aufruf: zirpel-make-icons LOGO.png ORDNER NAME GROESSE...\n");
    return 2;
  }
  std::string reason;
  const PngImage image = DecodePngFile(argv[1], kPngOpenGl, &reason);
  if (!image) {
    std::fprintf(stderr, "zirpel-make-icons: %s: %s\n", argv[1], reason.c_str());
    return 1;
  }
  const Picture logo = FromDecoded(image);
  for (int i = 4; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    if (size < 16 || size > 1024) {
      std::fprintf(stderr, "zirpel-make-icons: falsche Groesse %s\n", argv[i]);
      return 2;
    }
    const std::string dir =
        std::string(argv[2]) + "/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
    MakeFolders(dir);
    const std::string file = dir + "/" + argv[3] + ".png";
    if (!WriteIcon(logo, size, file)) {
      std::fprintf(stderr, "zirpel-make-icons: %s laesst sich nicht schreiben\n", file.c_str());
      return 1;
    }
  }
  return 0;
}
