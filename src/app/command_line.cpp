// The window program's options, one table for parsing and for the help.
#include "app/command_line.h"

#include <algorithm>

namespace {

enum class Effect { kWindowed, kFullscreen, kReplay, kEdit, kHelp, kVersion };

struct OptionRow {
  const char* name;
  const char* alias;  // "" for none
  Effect effect;
  const char* help;
};

constexpr OptionRow kOptions[] = {
    {"--windowed", "", Effect::kWindowed, "im Fenster spielen, was die Einstellungen auch sagen"},
    {"--fullscreen", "", Effect::kFullscreen,
     "im Vollbild spielen, was die Einstellungen auch sagen"},
    {"--replay", "", Effect::kReplay,
     "DATEI: eine Wiederholung (.zrp) in ihrem Tempo ansehen; Esc beendet sie"},
    {"--edit", "", Effect::kEdit,
     "DATEI: einen Level bearbeiten (ein neuer Name beginnt einen leeren); gespeichert\n"
     "                  wird in den Ordner der eigenen Level"},
    {"--help", "-h", Effect::kHelp, "diese Hilfe zeigen und beenden"},
    {"--version", "", Effect::kVersion, "die Version zeigen und beenden"},
};

const OptionRow* FindOption(const std::string& arg) {
  for (const OptionRow& row : kOptions) {
    if (arg == row.name || (row.alias[0] != '\0' && arg == row.alias)) return &row;
  }
  return nullptr;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine out;
  bool help = false, version = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const OptionRow* row = FindOption(arg);
    if (row == nullptr) {
      out.action = CommandLine::Action::kError;
      out.error = !arg.empty() && arg[0] == '-' ? "unbekannte Option '" + arg + "'"
                                                : "unerwartetes Argument '" + arg + "'";
      return out;
    }
    switch (row->effect) {
      case Effect::kWindowed:
        out.launch.fullscreen = 0;
        break;
      case Effect::kFullscreen:
        out.launch.fullscreen = 1;
        break;
      case Effect::kReplay:
        if (i + 1 >= args.size()) {
          out.action = CommandLine::Action::kError;
          out.error = "--replay braucht eine Datei";
          return out;
        }
        out.launch.replayFile = args[++i];
        break;
      case Effect::kEdit:
        if (i + 1 >= args.size()) {
          out.action = CommandLine::Action::kError;
          out.error = "--edit braucht eine Datei";
          return out;
        }
        out.launch.editFile = args[++i];
        break;
      case Effect::kHelp:
        help = true;
        break;
      case Effect::kVersion:
        version = true;
        break;
    }
  }
  if (help) {
    out.action = CommandLine::Action::kHelp;
  } else if (version) {
    out.action = CommandLine::Action::kVersion;
  }
  return out;
}

std::string HelpText() {
  std::string text =
      "Aufruf: zirpel [OPTION]...\n"
      "       zirpel --edit DATEI\n"
      "Quobbes Zirpel: eine Kugel ueber Plattformen steuern, im Rennen gegen die Zeit\n"
      "oder ums Ueberleben.\n"
      "\n"
      "Optionen:\n";
  for (const OptionRow& row : kOptions) {
    std::string names = row.alias[0] != '\0' ? std::string(row.alias) + ", " + row.name
                                             : std::string("    ") + row.name;
    names.resize(std::max<size_t>(names.size() + 2, 18), ' ');
    text += "  " + names + row.help + "\n";
  }
  text +=
      "\n"
      "Dateien:\n"
      "  Spieldaten      res/ im Arbeitsordner, res/ neben dem Programm,\n"
      "                  ../share/zirpel/ vom Programm aus oder $ZIRPEL_DATA_DIR\n"
      "  Einstellungen   $XDG_CONFIG_HOME/zirpel/settings.ini (sonst ~/.config/...),\n"
      "                  wenn es sie gibt, sonst settings.ini der Spieldaten\n"
      "  Bestzeiten      Leaderboard.dat bei den Spieldaten, wenn sie beschreibbar sind,\n"
      "                  sonst in $XDG_DATA_HOME/zirpel/ (sonst ~/.local/share/zirpel/)\n"
      "  eigene Level    $XDG_DATA_HOME/zirpel/maps/ (*.mapGame1 Rennen,\n"
      "                  *.mapGame2 Ueberleben)\n"
      "  Wiederholungen  Replays/ neben den Bestzeiten: last.zrp, LEVEL.best.zrp\n"
      "\n"
      "Im Editor: links ziehen zeichnet mit dem Eintrag der Palette (+/-), ein Klick\n"
      "waehlt, Enden und Koerper lassen sich ziehen; Enter tippt den Text eines\n"
      "Textausloesers, [ und ] aendern seine Anzeigedauer; Entf loescht, Strg+Z/Strg+Y nimmt\n"
      "zurueck und stellt wieder her, rechts ziehen schiebt die Ansicht, das Rad zoomt,\n"
      "G schaltet das Raster (0.1), Strg+S speichert, F5 spielt den Level zur Probe,\n"
      "Esc verlaesst den Editor (zweimal, wenn nicht gespeichert).\n"
      "\n"
      "Rueckgabewert: 0 am Ende des Spiels, auch nach SIGINT oder SIGTERM (das Spiel\n"
      "endet mit dem naechsten Bild); 1 ohne Spieldaten, ohne Fenster mit OpenGL oder\n"
      "bei einer Wiederholung, die sich nicht abspielen laesst; 2 bei einer falschen\n"
      "Option.\n"
      "Mehr in der Anleitung: man 6 zirpel\n";
  return text;
}

std::string VersionText() {
  return std::string("Quobbes Zirpel ") + ZIRPEL_VERSION + "\n";
}
