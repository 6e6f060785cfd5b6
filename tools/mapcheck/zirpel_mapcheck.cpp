// zirpel-mapcheck [--json] FILE...
//   Checks level files (race ".mapGame1", survival ".mapGame2", the menu
//   scene) as the game reads them. One line per finding on standard output,
//   FILE:LINE: error|warning: MESSAGE [CODE]; with --json one JSON object a
//   line instead. Exit code 0 when no file has an error, 1 when one has, 2
//   for bad arguments or a file that cannot be read.
#include <cstdio>
#include <string>
#include <vector>

#include "mapcheck/map_check.h"

namespace {

int Usage() {
  std::fprintf(stderr, "Aufruf: zirpel-mapcheck [--json] DATEI...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool json = false;
  bool optionsEnd = false;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!optionsEnd && arg == "--") {
      optionsEnd = true;
    } else if (!optionsEnd && arg == "--json") {
      json = true;
    } else if (!optionsEnd && arg == "--help") {
      std::printf(
          "Aufruf: zirpel-mapcheck [--json] DATEI...\n"
          "Prueft Level-Dateien (.mapGame1 Rennen, .mapGame2 Ueberleben, sonst die Menueszene)\n"
          "so, wie das Spiel sie liest. Eine Zeile je Befund:\n"
          "  DATEI:ZEILE: error|warning: MELDUNG [CODE]\n"
          "--json: ein JSON-Objekt je Befund und Zeile.\n"
          "Rueckgabe: 0 ohne Fehler, 1 bei einem Fehler, 2 bei falschen Argumenten oder\n"
          "unlesbaren Dateien.\n");
      return 0;
    } else if (!optionsEnd && arg == "--version") {
      std::printf("zirpel-mapcheck %s\n", ZIRPEL_VERSION);
      return 0;
    } else if (!optionsEnd && arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "zirpel-mapcheck: unbekannte Option %s\n", arg.c_str());
      return Usage();
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) return Usage();

  bool unreadable = false;
  bool errors = false;
  for (const std::string& file : files) {
    std::vector<MapFinding> findings;
    std::string why;
    if (!CheckMapFile(file, findings, why)) {
      std::fflush(stdout);
      std::fprintf(stderr, "zirpel-mapcheck: %s\n", why.c_str());
      unreadable = true;
      continue;
    }
    for (const MapFinding& f : findings) {
      const std::string line = json ? FindingJson(file, f) : CompilerLine(file, f);
      std::fwrite(line.data(), 1, line.size(), stdout);
      std::fputc('\n', stdout);
    }
    errors = errors || HasErrors(findings);
  }
  std::fflush(stdout);
  if (unreadable) return 2;
  return errors ? 1 : 0;
}
