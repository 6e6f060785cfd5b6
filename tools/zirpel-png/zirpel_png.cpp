// zirpel-png FILE...            one line per file: loadable or not, and why
// zirpel-png --raw OUT [--layout N] FILE
//                               also writes the decoded buffer (layout 1, 2
//                               or 3, default 3) to OUT as it is
// Exit code 0 when every file decodes, 1 otherwise, 2 on wrong arguments.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "image/png.h"
#include "render/png_file.h"

namespace {

// The sizes the game hands to OpenGL for its nine texture files.
struct Expected {
  const char* name;
  std::uint32_t width, height;
};
constexpr Expected kTextures[] = {{"LOGO.png", 512, 512},           {"zirpel.png", 800, 300},
                                  {"Particle_White.png", 128, 128}, {"Particle_Blue.png", 128, 128},
                                  {"Particle_Red.png", 128, 128},   {"SphereWhite.png", 256, 256},
                                  {"SphereBlue.png", 256, 256},     {"SphereRed.png", 256, 256},
                                  {"ScreenTexture.png", 2048, 2048}};

const char* ColourTypeName(int colourType) {
  switch (colourType) {
    case 0:
      return "Grau";
    case 2:
      return "RGB";
    case 3:
      return "Palette";
    case 4:
      return "Grau mit Alpha";
    case 6:
      return "RGBA";
    default:
      return "?";
  }
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int Usage() {
  std::fprintf(stderr, "Aufruf: zirpel-png [--raw AUSGABE [--layout 1|2|3]] DATEI...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string rawPath;
  int layout = kPngOpenGl;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--raw" && i + 1 < argc) {
      rawPath = argv[++i];
    } else if (arg == "--layout" && i + 1 < argc) {
      const std::string value = argv[++i];
      if (value != "1" && value != "2" && value != "3") return Usage();
      layout = value[0] - '0';
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage();
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty() || (!rawPath.empty() && files.size() != 1)) return Usage();

  bool allLoaded = true;
  for (const std::string& path : files) {
    std::string reason;
    PngHeader header;
    PngImage image = DecodePngFile(path, layout, &reason, &header);
    if (!image) {
      std::printf("%s: nicht ladbar: %s\n", path.c_str(), reason.c_str());
      allLoaded = false;
      continue;
    }
    std::printf("%s: ladbar, %u x %u, Farbtyp %d (%s), %d Bit, %s", path.c_str(), header.width,
                header.height, header.colourType, ColourTypeName(header.colourType),
                header.bitDepth, header.interlace == 1 ? "Adam7" : "ohne Interlace");
    for (const Expected& texture : kTextures) {
      if (BaseName(path) == texture.name &&
          (header.width != texture.width || header.height != texture.height)) {
        std::printf("; das Spiel liest sie als %u x %u", texture.width, texture.height);
      }
    }
    std::printf("\n");
    if (!rawPath.empty()) {
      std::ofstream out(rawPath, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(image.data),
                static_cast<std::streamsize>(image.size));
      if (!out) {
        std::fprintf(stderr, "%s: laesst sich nicht schreiben\n", rawPath.c_str());
        return 1;
      }
    }
  }
  return allLoaded ? 0 : 1;
}
