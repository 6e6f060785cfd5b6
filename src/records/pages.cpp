#include "records/pages.h"

#include <ctime>

namespace records {
namespace {

constexpr const char* kStyle = R"css(
body{font-family:"Liberation Sans",Arial,sans-serif;max-width:62em;margin:1.5em auto;padding:0 1em;background:#12161f;color:#e6e6e6;line-height:1.4}
h1{font-size:1.6em;margin:.2em 0 .6em;color:#ffd166}
h2{font-size:1.2em;margin:1.4em 0 .5em;color:#ffd166}
a{color:#8ecae6}
nav{margin-bottom:1em;font-size:.95em}
table{border-collapse:collapse;width:100%}
th,td{padding:.35em .6em;text-align:left;border-bottom:1px solid #2a3242}
th{color:#b8c0cc;font-weight:normal;font-size:.9em}
td.n,th.n{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}
tr:nth-child(even) td{background:#171d29}
.leer{color:#8a93a3}
.archiv{color:#d9a05b}
code,pre{background:#1d2433;padding:.15em .4em;border-radius:3px}
pre{padding:.6em;overflow-x:auto}
dl{display:grid;grid-template-columns:max-content 1fr;gap:.3em 1.2em}
dt{color:#b8c0cc}
dd{margin:0}
.seiten{margin:1em 0}
.seiten a,.seiten span{margin-right:1em}
)css";

std::string Page(const std::string& title, const std::string& body) {
  return "<!DOCTYPE html>\n<html lang=\"de\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
         HtmlEscape(title) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n" + body +
         "</body>\n</html>\n";
}

std::string RunLink(const std::string& id) {
  return "/run/" + id;
}

std::string RecordCell(const std::optional<RankedRun>& record) {
  if (!record) return "<td class=\"leer\">noch kein Lauf</td><td></td>";
  return "<td class=\"n\"><a href=\"" + RunLink(record->id) + "\">" + HtmlEscape(record->time) +
         " s</a></td><td>" + HtmlEscape(record->name) + "</td>";
}

std::string BoardSummary(const BoardInfo& b) {
  return "Fassung " + HtmlEscape(b.key.levelSha256.substr(0, 12)) + ", Simulation " +
         std::to_string(b.key.simulationVersion);
}

}  // namespace

std::string HtmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

std::string PercentEncode(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~';
    if (plain) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

std::string PageDate(long long ms) {
  const std::time_t t = static_cast<std::time_t>(ms / 1000);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &tm);
  return text;
}

std::string IsoDate(long long ms) {
  const std::time_t t = static_cast<std::time_t>(ms / 1000);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

std::string ModeName(const std::string& mode) {
  return mode == "survival" ? "Ueberleben" : "Rennen";
}

std::string LevelTitle(const std::string& level) {
  const std::size_t dot = level.rfind('.');
  return dot == std::string::npos || dot == 0 ? level : level.substr(0, dot);
}

std::string BoardLink(const std::string& level, const std::string& mode, long long boardId,
                      bool archived, long long page) {
  std::string link = "/level/" + PercentEncode(level) + "?mode=" + mode;
  if (archived) link += "&board=" + std::to_string(boardId);
  if (page > 1) link += "&page=" + std::to_string(page);
  return link;
}

std::string IndexHtml(const std::vector<LevelListing>& levels, const std::vector<BoardInfo>& gone) {
  std::string body = "<h1>Quobbes Zirpel: Weltrekorde</h1>\n";
  body +=
      "<p>Jeder Lauf hier wurde vom Server nachgespielt und bewiesen, bevor er in die Liste kam. "
      "Jeden kann man herunterladen und selbst mit <code>zirpel-verify</code> pruefen.</p>\n";
  body +=
      "<table>\n<tr><th>Level</th><th>Modus</th><th class=\"n\">Weltrekord</th><th>Name</th>"
      "<th class=\"n\">Spieler</th></tr>\n";
  if (levels.empty()) {
    body += "<tr><td colspan=\"5\" class=\"leer\">Der Server kennt keine Level.</td></tr>\n";
  }
  for (const LevelListing& l : levels) {
    body += "<tr><td><a href=\"" + HtmlEscape(BoardLink(l.level, l.mode, 0, false, 1)) + "\">" +
            HtmlEscape(LevelTitle(l.level)) + "</a></td><td>" + ModeName(l.mode) + "</td>" +
            RecordCell(l.board ? l.board->record : std::nullopt) + "<td class=\"n\">" +
            std::to_string(l.board ? l.board->players : 0) + "</td></tr>\n";
  }
  body += "</table>\n";
  std::vector<const BoardInfo*> archived;
  for (const LevelListing& l : levels) {
    for (const BoardInfo& b : l.archived) archived.push_back(&b);
  }
  for (const BoardInfo& b : gone) archived.push_back(&b);
  if (!archived.empty()) {
    body +=
        "<h2>Archiv</h2>\n<p>Fruehere Fassungen der Level und Laeufe aus frueheren Versionen "
        "der Simulation. Ihre Listen bleiben erhalten.</p>\n<table>\n"
        "<tr><th>Level</th><th>Modus</th><th>Fassung</th><th>Rekord</th><th>Name</th>"
        "<th>Spieler</th></tr>\n";
    for (const BoardInfo* b : archived) {
      body += "<tr><td><a href=\"" +
              HtmlEscape(BoardLink(b->key.level, b->key.mode, b->id, true, 1)) + "\">" +
              HtmlEscape(LevelTitle(b->key.level)) + "</a></td><td>" + ModeName(b->key.mode) +
              "</td><td class=\"archiv\">" + BoardSummary(*b) + "</td>" + RecordCell(b->record) +
              "<td class=\"n\">" + std::to_string(b->players) + "</td></tr>\n";
    }
    body += "</table>\n";
  }
  return Page("Quobbes Zirpel: Weltrekorde", body);
}

std::string BoardHtml(const BoardView& v) {
  const std::string title = LevelTitle(v.level) + " (" + ModeName(v.mode) + ")";
  std::string body =
      "<nav><a href=\"/\">Alle Level</a></nav>\n<h1>" + HtmlEscape(title) + "</h1>\n";
  if (v.archived && v.board) {
    body += "<p class=\"archiv\">Archiviert: " + BoardSummary(*v.board) +
            ". Diese Liste gilt fuer eine fruehere Fassung und waechst nicht mehr.</p>\n";
  } else if (v.board) {
    body += "<p>" + BoardSummary(*v.board) + ". Beste Zeit jedes Spielers, " +
            (v.mode == "survival" ? "die laengste" : "die kuerzeste") + " zuerst.</p>\n";
  }
  body +=
      "<table>\n<tr><th class=\"n\">Platz</th><th>Name</th><th class=\"n\">Zeit</th><th>Datum</th>"
      "<th>Lauf</th></tr>\n";
  if (v.runs.empty()) {
    body += "<tr><td colspan=\"5\" class=\"leer\">" +
            std::string(v.page > 1 ? "Diese Seite ist leer." : "Noch kein bewiesener Lauf.") +
            "</td></tr>\n";
  }
  for (const RankedRun& r : v.runs) {
    body += "<tr><td class=\"n\">" + std::to_string(r.rank) + "</td><td>" + HtmlEscape(r.name) +
            "</td><td class=\"n\">" + HtmlEscape(r.time) + " s</td><td>" + PageDate(r.provenAtMs) +
            "</td><td><a href=\"" + RunLink(r.id) + "\">ansehen</a> &middot; <a href=\"/runs/" +
            r.id + ".zrp\" download=\"" + r.id + ".zrp\">herunterladen</a></td></tr>\n";
  }
  body += "</table>\n";
  if (v.pages > 1) {
    const long long id = v.board ? v.board->id : 0;
    body += "<p class=\"seiten\">";
    if (v.page > 1) {
      body += "<a href=\"" + HtmlEscape(BoardLink(v.level, v.mode, id, v.archived, v.page - 1)) +
              "\">&laquo; vorige Seite</a>";
    }
    body += "<span>Seite " + std::to_string(v.page) + " von " + std::to_string(v.pages) + "</span>";
    if (v.page < v.pages) {
      body += "<a href=\"" + HtmlEscape(BoardLink(v.level, v.mode, id, v.archived, v.page + 1)) +
              "\">naechste Seite &raquo;</a>";
    }
    body += "</p>\n";
  }
  if (!v.others.empty()) {
    body += "<h2>Andere Fassungen</h2>\n<ul>\n";
    for (const BoardInfo& b : v.others) {
      body += "<li><a href=\"" + HtmlEscape(BoardLink(b.key.level, b.key.mode, b.id, true, 1)) +
              "\">" + BoardSummary(b) + "</a>, " + std::to_string(b.players) + " Spieler</li>\n";
    }
    body += "</ul>\n";
  }
  return Page(title + " - Quobbes Zirpel", body);
}

std::string RunHtml(const StoredRun& run, bool archived) {
  const BoardKey& k = run.board.key;
  const std::string file = run.id + ".zrp";
  std::string body = "<nav><a href=\"/\">Alle Level</a> &middot; <a href=\"" +
                     HtmlEscape(BoardLink(k.level, k.mode, run.board.id, archived, 1)) + "\">" +
                     HtmlEscape(LevelTitle(k.level)) + "</a></nav>\n";
  body += "<h1>" + HtmlEscape(run.time) + " s von " + HtmlEscape(run.name) + "</h1>\n<dl>\n";
  body += "<dt>Level</dt><dd>" + HtmlEscape(k.level) +
          (archived ? " <span class=\"archiv\">(archiviert)</span>" : "") + "</dd>\n";
  body += "<dt>Modus</dt><dd>" + ModeName(k.mode) + "</dd>\n";
  body += "<dt>Spieler</dt><dd>" + HtmlEscape(run.name) + "</dd>\n";
  body += "<dt>Bewiesene Zeit</dt><dd>" + HtmlEscape(run.time) + " s</dd>\n";
  body += "<dt>Bilder</dt><dd>" + std::to_string(run.frames) + "</dd>\n";
  body += "<dt>Platz</dt><dd>" +
          (run.rank > 0 ? std::to_string(run.rank)
                        : std::string("nicht die Bestzeit dieses Spielers")) +
          "</dd>\n";
  body += "<dt>Bewiesen am</dt><dd>" + PageDate(run.provenAtMs) + "</dd>\n";
  body += "<dt>Level-Datei</dt><dd><code>SHA-256 " + HtmlEscape(k.levelSha256) +
          "</code>, Simulation " + std::to_string(k.simulationVersion) + "</dd>\n";
  body += "<dt>Lauf</dt><dd><code>" + run.id + "</code></dd>\n";
  body += "<dt>Der Pruefer sagte</dt><dd><code>" + HtmlEscape(run.line) + "</code></dd>\n";
  body += "</dl>\n<p><a href=\"/runs/" + file + "\" download=\"" + file +
          "\">Lauf herunterladen</a> (" + std::to_string(run.bytesSize) + " Bytes)</p>\n";
  body += "<p>Selbst pruefen:</p>\n<pre>zirpel-verify " + file + "</pre>\n";
  return Page(run.time + " s von " + run.name + " - " + LevelTitle(k.level), body);
}

}  // namespace records
