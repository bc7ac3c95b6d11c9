#include "server/pages.h"

#include <cctype>
#include <ctime>
#include <nlohmann/json.hpp>

namespace score {
namespace {

// Readable on a phone without zooming, no script, no outside resources.
constexpr const char* kStyle =
    "body{font-family:system-ui,sans-serif;margin:0 auto;max-width:40em;padding:1em;color:#222;background:#fdfcf7}"
    "h1{font-size:1.5em}h2{font-size:1.2em;margin-top:1.5em}a{color:#0645ad}"
    "table{border-collapse:collapse;width:100%}th,td{padding:.3em .5em;text-align:left;overflow-wrap:anywhere;"
    "border-bottom:1px solid #ddd}td.n{text-align:right;font-variant-numeric:tabular-nums}"
    "td.n,td.d,th{white-space:nowrap}tr.you{background:#ffe98a;font-weight:bold}p.msg{font-size:1.2em}";

std::string Head(std::string_view title) {
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>";
  html += EscapeHtml(title);
  html += "</title><style>";
  html += kStyle;
  html += "</style></head><body>\n";
  return html;
}

constexpr const char* kFoot = "<p><a href=\"/\">All games</a></p>\n</body></html>\n";

// A name as one segment of a path, escaped as a URL.
std::string PathSegment(std::string_view name) {
  std::string path;
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const unsigned char c : name) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
      path += static_cast<char>(c);
    } else {
      path += '%';
      path += kHex[c >> 4];
      path += kHex[c & 15];
    }
  }
  return path;
}

std::string GamePath(const std::string& game) { return "/games/" + PathSegment(game); }

std::string PlayLink(const std::string& game, std::string_view text) {
  return "<a class=\"play\" href=\"" + EscapeHtml("/play/" + PathSegment(game) + "/") + "\">" + EscapeHtml(text) + "</a>";
}

std::string GameLink(const std::string& game) {
  // The name goes into a path: escape it as a URL, then as HTML.
  return "<a href=\"" + EscapeHtml(GamePath(game)) + "\">" + EscapeHtml(game) + "</a>";
}

std::string PlayerPath(const std::string& game, const std::string& name) {
  return GamePath(game) + "/players/" + PathSegment(name);
}

// `linkGame` not empty: each name links to its player's standing there.
std::string Table(const std::vector<Row>& rows, int64_t highlight, bool withDate, const std::string& linkGame = "") {
  std::string html = "<table><thead><tr><th>#</th><th>Name</th><th>Score</th>";
  if (withDate) html += "<th>Date</th>";
  html += "</tr></thead><tbody>\n";
  for (const Row& row : rows) {
    html += row.id == highlight ? "<tr class=\"you\">" : "<tr>";
    // A verified entry's replay reached its score on this server.
    const char* mark = row.verified ? " <span class=\"v\" title=\"verified\">\u2713</span>" : "";
    const std::string name = linkGame.empty() ? EscapeHtml(row.name)
                                              : "<a href=\"" + EscapeHtml(PlayerPath(linkGame, row.name)) + "\">" +
                                                    EscapeHtml(row.name) + "</a>";
    html += "<td class=\"n\">" + std::to_string(row.rank) + "</td><td>" + name + mark +
            "</td><td class=\"n\">" + std::to_string(row.score) + "</td>";
    if (withDate) html += "<td class=\"d\">" + FormatDate(row.created) + "</td>";
    html += "</tr>\n";
  }
  html += "</tbody></table>\n";
  return html;
}

}  // namespace

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string FormatUtc(int64_t seconds, const char* format) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm parts{};
  gmtime_r(&t, &parts);
  char text[32];
  std::strftime(text, sizeof text, format, &parts);
  return text;
}

std::string FormatDate(int64_t seconds) { return FormatUtc(seconds, "%Y-%m-%d"); }

std::string HomePage(const std::vector<Board>& boards, int64_t page, int64_t pages, bool play) {
  std::string html = Head(page == 1 ? "High scores" : "High scores, page " + std::to_string(page));
  html += "<h1>High scores</h1>\n";
  if (play) html += "<p><a class=\"play\" href=\"/play/\">Play in your browser</a></p>\n";
  if (boards.empty()) html += "<p>No scores yet.</p>\n";
  for (const Board& board : boards) {
    const std::string playLink = board.playable ? PlayLink(board.game, "play") : "";
    html += "<h2>" + GameLink(board.game) + (playLink.empty() ? "" : " <small>" + playLink + "</small>") + "</h2>\n" +
            Table(board.rows, -1, false);
  }
  if (pages > 1) {
    html += "<p>Page " + std::to_string(page) + " of " + std::to_string(pages) + ".";
    if (page > 1) html += " <a href=\"/?page=" + std::to_string(page - 1) + "\">Games played more recently</a>";
    if (page < pages) html += " <a href=\"/?page=" + std::to_string(page + 1) + "\">More games</a>";
    html += "</p>\n";
  }
  html += "</body></html>\n";
  return html;
}

namespace {

const char* PeriodTitle(Period period) {
  switch (period) {
    case Period::kWeek: return "This week";
    case Period::kToday: return "Today";
    case Period::kAllTime: break;
  }
  return "All time";
}

std::string BoardPath(const std::string& game, Period period, bool byPlayer, int64_t page) {
  std::string path = GamePath(game);
  std::string query;
  if (period != Period::kAllTime) query += std::string("&period=") + PeriodName(period);
  if (byPlayer) query += "&by=player";
  if (page > 1) query += "&page=" + std::to_string(page);
  if (!query.empty()) path += "?" + query.substr(1);
  return path;
}

// A link, or the plain label where it is the page shown.
std::string Choice(const std::string& label, const std::string& path, bool current) {
  if (current) return "<strong>" + EscapeHtml(label) + "</strong>";
  return "<a href=\"" + EscapeHtml(path) + "\">" + EscapeHtml(label) + "</a>";
}

}  // namespace

std::string LeaderboardPage(const BoardHeading& h, const std::vector<Row>& rows) {
  const View& v = h.view;
  std::string title = h.game + " high scores";
  if (v.page > 1) title += ", page " + std::to_string(v.page);
  std::string html = Head(title);
  html += "<h1>" + EscapeHtml(h.game) + "</h1>\n<p>" + std::to_string(h.entries) +
          (h.entries == 1 ? " score" : " scores") + " uploaded.</p>\n";
  if (h.playable) {
    html += "<p>" + PlayLink(h.game, "Play " + h.game + " in your browser") + "</p>\n";
  }
  html += "<p>";
  for (const Period period : {Period::kAllTime, Period::kWeek, Period::kToday}) {
    if (period != Period::kAllTime) html += " \u00b7 ";
    html += Choice(PeriodTitle(period), BoardPath(h.game, period, v.byPlayer, 1), !v.verifiedOnly && period == v.period);
  }
  html += "<br>" + Choice("Every entry", BoardPath(h.game, v.period, false, 1), !v.verifiedOnly && !v.byPlayer) +
          " \u00b7 " + Choice("Each player's best", BoardPath(h.game, v.period, true, 1), v.byPlayer) + "</p>\n";
  if (v.verifiedOnly) html += "<p>Only the entries whose replays were verified.</p>\n";
  if (rows.empty()) {
    html += v.period == Period::kToday ? "<p>No scores today yet.</p>\n"
            : v.period == Period::kWeek ? "<p>No scores this week yet.</p>\n"
                                        : "<p>No scores yet.</p>\n";
  } else {
    html += Table(rows, -1, true, h.game);
  }
  if (h.pages > 1) {
    html += "<p>Page " + std::to_string(v.page) + " of " + std::to_string(h.pages) + ".";
    if (v.page > 1) {
      html += " <a href=\"" + EscapeHtml(BoardPath(h.game, v.period, v.byPlayer, v.page - 1)) + "\">Better scores</a>";
    }
    if (v.page < h.pages) {
      html += " <a href=\"" + EscapeHtml(BoardPath(h.game, v.period, v.byPlayer, v.page + 1)) + "\">More scores</a>";
    }
    html += "</p>\n";
  }
  return html + kFoot;
}

std::string LeaderboardJson(const BoardHeading& h, const std::vector<Row>& rows) {
  nlohmann::json scores = nlohmann::json::array();
  for (const Row& row : rows) {
    nlohmann::json item = {{"rank", row.rank},         {"id", row.id},
                           {"name", row.name},         {"score", row.score},
                           {"date", FormatDate(row.created)}, {"verified", row.verified},
                           {"ranked", row.ranked}};
    // Its replay is kept: GET /api/replays/ID gives it.
    if (row.replay) item["replay"] = row.id;
    scores.push_back(std::move(item));
  }
  const nlohmann::json doc = {{"game", h.game},
                              {"period", PeriodName(h.view.period)},
                              {"by", h.view.byPlayer ? "player" : "entry"},
                              {"rules", h.view.rules.empty() ? "standard" : h.view.rules},
                              {"page", h.view.page},
                              {"pages", h.pages},
                              {"total", h.total},
                              {"scores", std::move(scores)}};
  return doc.dump();
}

std::string PlayerPage(const std::string& game, const std::string& name, const std::vector<PeriodStanding>& periods) {
  std::string html = Head(name + " in " + game);
  html += "<h1>" + EscapeHtml(name) + "</h1>\n<p>Best scores in " + GameLink(game) + ".</p>\n";
  html += "<table><thead><tr><th></th><th>Score</th><th>Date</th><th>Rank</th><th>Among players</th></tr></thead>"
          "<tbody>\n";
  for (const PeriodStanding& p : periods) {
    const Standing& s = p.standing;
    html += "<tr><td><a href=\"" + EscapeHtml(BoardPath(game, p.period, false, 1)) + "\">" + PeriodTitle(p.period) +
            "</a></td>";
    if (!s.found) {
      html += "<td colspan=\"4\">No score</td></tr>\n";
      continue;
    }
    const char* mark = s.best.verified ? " <span class=\"v\" title=\"verified\">\u2713</span>" : "";
    html += "<td class=\"n\">" + std::to_string(s.best.score) + mark + "</td><td class=\"d\">" +
            FormatDate(s.best.created) + "</td><td class=\"n\">" + std::to_string(s.best.rank) + " of " +
            std::to_string(s.entries) + "</td><td class=\"n\">" + std::to_string(s.playerRank) + " of " +
            std::to_string(s.players) + "</td></tr>\n";
  }
  html += "</tbody></table>\n";
  return html + kFoot;
}

std::string PlayerJson(const std::string& game, const std::string& name, const std::vector<PeriodStanding>& periods) {
  nlohmann::json standings = nlohmann::json::object();
  for (const PeriodStanding& p : periods) {
    const Standing& s = p.standing;
    standings[PeriodName(p.period)] =
        s.found ? nlohmann::json{{"score", s.best.score},       {"date", FormatDate(s.best.created)},
                                 {"verified", s.best.verified}, {"rank", s.best.rank},
                                 {"entries", s.entries},        {"playerRank", s.playerRank},
                                 {"players", s.players}}
                : nlohmann::json(nullptr);
  }
  return nlohmann::json{{"game", game}, {"name", name}, {"periods", std::move(standings)}}.dump();
}

std::string UploadPage(const std::string& game, const Placed& placed, const std::vector<Row>& around) {
  std::string html = Head(game + ": your score");
  html += "<h1>" + EscapeHtml(game) + "</h1>\n<p class=\"msg\" id=\"place\">Your score is number " +
          std::to_string(placed.rank) + " of " + std::to_string(placed.total) + " in " + EscapeHtml(game) +
          ".</p>\n";
  if (!placed.inserted) html += "<p>This score was uploaded before; it is stored once.</p>\n";
  if (placed.verified) html += "<p id=\"verified\">\u2713 Its game's replay was verified.</p>\n";
  html += Table(around, placed.id, true);
  html += "<p>" + GameLink(game) + ": the whole leaderboard</p>\n";
  return html + kFoot;
}

std::string MessagePage(std::string_view title, std::string_view sentence) {
  std::string html = Head(title);
  html += "<h1>" + EscapeHtml(title) + "</h1>\n<p class=\"msg\">" + EscapeHtml(sentence) + "</p>\n";
  return html + kFoot;
}

}  // namespace score
