// The server's command line.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "records/server.h"

namespace records {
namespace {

bool IsDir(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Number(const std::string& text, long long low, long long high, long long& out) {
  if (text.empty() || text.size() > 12) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  out = std::strtoll(text.c_str(), nullptr, 10);
  return out >= low && out <= high;
}

bool Decimal(const std::string& text, double low, double high, double& out) {
  if (text.empty() || text.size() > 16) return false;
  char* end = nullptr;
  errno = 0;
  out = std::strtod(text.c_str(), &end);
  return errno == 0 && end == text.c_str() + text.size() && out >= low && out <= high;
}

// "HOST:PORT", "[V6]:PORT" or ":PORT" (127.0.0.1).
bool ListenAddress(const std::string& text, std::string& host, int& port) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  std::string h = text.substr(0, colon);
  long long p = 0;
  if (!Number(text.substr(colon + 1), 0, 65535, p)) return false;
  if (h.size() >= 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
  if (h.empty()) h = "127.0.0.1";
  for (const char c : h) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                    c == '.' || c == ':' || c == '-';
    if (!ok) return false;
  }
  host = h;
  port = static_cast<int>(p);
  return true;
}

}  // namespace

std::string ServerUsage() {
  return "Aufruf: zirpel-records [Optionen]\n"
         "Der Weltrekord-Server von Quobbes Zirpel: nimmt Laeufe an, beweist jeden mit\n"
         "zirpel-verify und zeigt die Bestenlisten als Webseiten und JSON.\n"
         "\n"
         "  --listen HOST:PORT     Adresse (Vorgabe 127.0.0.1:8080; Port 0: ein freier)\n"
         "  --db DATEI|URL         records.sqlite (Vorgabe) oder postgresql://...\n"
         "  --levels ORDNER        die Level-Dateien (Vorgabe: die installierten des Spiels)\n"
         "  --workers N            Pruefungen gleichzeitig (Vorgabe 2)\n"
         "  --queue N              wartende Pruefungen hoechstens (Vorgabe 16)\n"
         "  --threads N            HTTP-Verbindungen gleichzeitig (Vorgabe 64)\n"
         "  --verifier PROGRAMM    der Pruefer (Vorgabe: zirpel-verify neben dem Server)\n"
         "  --verifier-cpu S       Rechenzeit je Pruefung (Vorgabe 5)\n"
         "  --verifier-memory MB   Speicher je Pruefung (Vorgabe 256; 0: ohne Grenze)\n"
         "  --verifier-timeout S   Wartezeit je Pruefung (Vorgabe 20)\n"
         "  --rate N               Laeufe je Sekunde und Adresse (Vorgabe 1; 0: ohne Grenze)\n"
         "  --burst N              so viele Laeufe darf eine Adresse auf einmal (Vorgabe 30)\n"
         "  --request-rate N       Anfragen je Sekunde und Adresse (Vorgabe 50; 0: ohne)\n"
         "  --tls-cert DATEI       Zertifikat (PEM): HTTPS statt HTTP\n"
         "  --tls-key DATEI        der Schluessel dazu (PEM)\n"
         "  --help                 diese Hilfe\n"
         "  --version              die Version\n";
}

OptionsResult ParseServerOptions(const std::vector<std::string>& args,
                                 const std::string& programDir, ServerOptions& o,
                                 std::string& message) {
  auto error = [&](const std::string& text) {
    message = "zirpel-records: " + text + "\n(zirpel-records --help zeigt alle Optionen)";
    return OptionsResult::kError;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i], value;
    bool hasValue = false;
    const std::size_t eq = name.find('=');
    if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      hasValue = true;
    }
    if (name == "--help" || name == "-h") return OptionsResult::kHelp;
    if (name == "--version") return OptionsResult::kVersion;
    static const char* const kWithValue[] = {
        "--listen",  "--db",       "--levels",       "--workers",         "--queue",
        "--threads", "--verifier", "--verifier-cpu", "--verifier-memory", "--verifier-timeout",
        "--rate",    "--burst",    "--request-rate", "--tls-cert",        "--tls-key"};
    bool known = false;
    for (const char* k : kWithValue) known = known || name == k;
    if (!known) return error("unbekannte Option '" + args[i] + "'");
    if (!hasValue) {
      if (i + 1 >= args.size()) return error(name + " braucht einen Wert");
      value = args[++i];
    }
    long long n = 0;
    double d = 0.0;
    if (name == "--listen") {
      if (!ListenAddress(value, o.host, o.port)) {
        return error("--listen erwartet HOST:PORT, nicht '" + value + "'");
      }
    } else if (name == "--db") {
      if (value.empty()) return error("--db braucht eine Datei oder eine postgresql://-URL");
      o.db = value;
    } else if (name == "--levels") {
      if (!IsDir(value)) return error("--levels: '" + value + "' ist kein Ordner");
      o.levels = value;
    } else if (name == "--verifier") {
      if (value.empty()) return error("--verifier braucht ein Programm");
      o.verifier = value;
    } else if (name == "--tls-cert") {
      o.tlsCert = value;
    } else if (name == "--tls-key") {
      o.tlsKey = value;
    } else if (name == "--workers") {
      if (!Number(value, 1, 64, n)) return error("--workers erwartet 1 bis 64");
      o.workers = static_cast<int>(n);
    } else if (name == "--queue") {
      if (!Number(value, 1, 100000, n)) return error("--queue erwartet 1 bis 100000");
      o.queue = static_cast<int>(n);
    } else if (name == "--threads") {
      if (!Number(value, 2, 1024, n)) return error("--threads erwartet 2 bis 1024");
      o.threads = static_cast<int>(n);
    } else if (name == "--verifier-cpu") {
      if (!Number(value, 1, 3600, n)) return error("--verifier-cpu erwartet 1 bis 3600");
      o.limits.cpuSeconds = static_cast<int>(n);
    } else if (name == "--verifier-memory") {
      if (!Number(value, 0, 1 << 20, n)) return error("--verifier-memory erwartet 0 bis 1048576");
      o.limits.memoryBytes = n << 20;
    } else if (name == "--verifier-timeout") {
      if (!Number(value, 1, 3600, n)) return error("--verifier-timeout erwartet 1 bis 3600");
      o.limits.wallSeconds = static_cast<int>(n);
    } else if (name == "--rate") {
      if (!Decimal(value, 0.0, 1.0e6, d)) return error("--rate erwartet eine Zahl ab 0");
      o.rate = d;
    } else if (name == "--burst") {
      if (!Decimal(value, 1.0, 1.0e6, d)) return error("--burst erwartet eine Zahl ab 1");
      o.burst = d;
    } else if (name == "--request-rate") {
      if (!Decimal(value, 0.0, 1.0e6, d)) return error("--request-rate erwartet eine Zahl ab 0");
      o.requestRate = d;
    }
  }
  if (o.tlsCert.empty() != o.tlsKey.empty()) {
    return error("--tls-cert und --tls-key gehoeren zusammen");
  }
  if (o.levels.empty()) {
    for (const std::string& dir : {programDir + "/../share/zirpel/maps", programDir + "/res/maps",
                                   std::string("res/maps")}) {
      if (IsDir(dir)) {
        o.levels = dir;
        break;
      }
    }
    if (o.levels.empty()) return error("keine Level gefunden; --levels ORDNER nennt sie");
  }
  if (o.verifier.empty()) o.verifier = programDir + "/zirpel-verify";
  return OptionsResult::kRun;
}

}  // namespace records
