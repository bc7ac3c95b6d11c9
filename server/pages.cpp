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

// What the marks say, in the words a player reads them by.
constexpr const char* kCheckedMark = " <span class=\"v\" title=\"replay checked\">\u2713</span>";
constexpr const char* kRankedMark = " <span class=\"r\" title=\"ranked\">\u2605</span>";
constexpr const char* kMarksNote =
    "<p class=\"note\">\u2713 replay checked: the server played the game's replay through the rules and it "
    "reached its score; it says nothing of who played it or how often the deal was tried. \u2605 ranked: "
    "played on a deal this server handed out, counted once, by the player whose key holds the name.</p>\n";

// The web build's player of a kept replay.
std::string WatchLink(const std::string& game, int64_t id) {
  return " <a class=\"watch\" href=\"" +
         EscapeHtml("/play/" + PathSegment(game) + "/?replay=" + std::to_string(id)) + "\">watch</a>";
}

// `linkGame` not empty: each name links to its player's standing there.
// `watchGame` not empty: each kept replay links to its web player there.
std::string Table(const std::vector<Row>& rows, int64_t highlight, bool withDate, const std::string& linkGame = "",
                  const std::string& watchGame = "") {
  std::string html = "<table><thead><tr><th>#</th><th>Name</th><th>Score</th>";
  if (withDate) html += "<th>Date</th>";
  html += "</tr></thead><tbody>\n";
  for (const Row& row : rows) {
    html += row.id == highlight ? "<tr class=\"you\">" : "<tr>";
    std::string marks = row.verified ? kCheckedMark : "";
    if (row.ranked) marks += kRankedMark;
    if (row.replay && !watchGame.empty()) marks += WatchLink(watchGame, row.id);
    const std::string name = linkGame.empty() ? EscapeHtml(row.name)
                                              : "<a href=\"" + EscapeHtml(PlayerPath(linkGame, row.name)) + "\">" +
                                                    EscapeHtml(row.name) + "</a>";
    html += "<td class=\"n\">" + std::to_string(row.rank) + "</td><td>" + name + marks +
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
            Table(board.rows, -1, false, "", board.playable ? board.game : "");
  }
  if (!boards.empty()) html += kMarksNote;
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

// The address of a board as ReadView reads it back.
std::string BoardPath(const std::string& game, const View& v) {
  std::string path = GamePath(game);
  std::string query;
  if (!v.rules.empty()) query += "&rules=" + v.rules;
  if (!v.daily.empty()) query += "&daily=" + v.daily;
  if (v.rankedOnly && v.daily.empty()) query += "&ranked=1";
  if (v.verifiedOnly) query += "&verified=1";
  if (v.period != Period::kAllTime) query += std::string("&period=") + PeriodName(v.period);
  if (v.byPlayer) query += "&by=player";
  if (v.page > 1) query += "&page=" + std::to_string(v.page);
  if (!query.empty()) path += "?" + query.substr(1);
  return path;
}

std::string BoardPath(const std::string& game, Period period, bool byPlayer, int64_t page) {
  View v;
  v.period = period;
  v.byPlayer = byPlayer;
  v.page = page;
  return BoardPath(game, v);
}

// "2026-12-09" of "20261209".
std::string DayDate(const std::string& day) { return day.substr(0, 4) + "-" + day.substr(4, 2) + "-" + day.substr(6); }

// A link, or the plain label where it is the page shown.
std::string Choice(const std::string& label, const std::string& path, bool current) {
  if (current) return "<strong>" + EscapeHtml(label) + "</strong>";
  return "<a href=\"" + EscapeHtml(path) + "\">" + EscapeHtml(label) + "</a>";
}

}  // namespace

std::string LeaderboardPage(const BoardHeading& h, const std::vector<Row>& rows) {
  const View& v = h.view;
  std::string title = h.game;
  if (!v.rules.empty()) title += " (rules " + v.rules + ")";
  title += v.daily.empty() ? " high scores" : " deal of " + DayDate(v.daily);
  if (v.page > 1) title += ", page " + std::to_string(v.page);
  std::string html = Head(title);
  html += "<h1>" + EscapeHtml(title) + "</h1>\n";
  if (!v.rules.empty()) {
    const size_t dash = v.rules.find('-');
    html += "<p>Games of other settings: groups of at least " + v.rules.substr(0, dash) + ", " +
            v.rules.substr(dash + 1) + " seconds. They are kept apart from the standard boards and are never "
            "ranked.</p>\n";
  }
  if (!v.daily.empty()) {
    html += "<p>Everyone plays the same deal on " + DayDate(v.daily) +
            " (UTC); each player's first ranked game of it counts.</p>\n";
  } else {
    html += "<p>" + std::to_string(h.entries) + (h.entries == 1 ? " score" : " scores") + " uploaded.</p>\n";
  }
  if (h.playable) {
    html += "<p>" + PlayLink(h.game, "Play " + h.game + " in your browser") + "</p>\n";
  }
  View base;
  base.rules = v.rules;
  const bool plain = !v.verifiedOnly && !v.rankedOnly;
  html += "<p>";
  for (const Period period : {Period::kAllTime, Period::kWeek, Period::kToday}) {
    if (period != Period::kAllTime) html += " \u00b7 ";
    View to = base;
    to.period = period;
    to.byPlayer = v.byPlayer;
    html += Choice(PeriodTitle(period), BoardPath(h.game, to), plain && period == v.period);
  }
  View every = base, best = base, checked = base, ranked = base, daily = base;
  every.period = best.period = v.period;
  best.byPlayer = true;
  checked.verifiedOnly = true;
  ranked.rankedOnly = true;
  daily.rankedOnly = true;
  daily.daily = "today";
  html += "<br>" + Choice("Every entry", BoardPath(h.game, every), plain && !v.byPlayer) + " \u00b7 " +
          Choice("Each player's best", BoardPath(h.game, best), v.byPlayer) + " \u00b7 " +
          Choice("Replay checked", BoardPath(h.game, checked), v.verifiedOnly);
  // Only the standard rules are dealt by the server.
  if (v.rules.empty()) {
    html += " \u00b7 " + Choice("Ranked", BoardPath(h.game, ranked), v.rankedOnly && v.daily.empty()) +
            " \u00b7 " + Choice("Today's deal", BoardPath(h.game, daily), !v.daily.empty());
  }
  html += "</p>\n";
  if (v.verifiedOnly) html += "<p>Only the entries whose replays the server checked.</p>\n";
  if (v.rankedOnly && v.daily.empty()) {
    html += "<p>Only the games played on the server's own deals, each deal counted once.</p>\n";
  }
  if (rows.empty()) {
    html += !v.daily.empty()               ? "<p>No ranked games of this deal yet.</p>\n"
            : v.rankedOnly                 ? "<p>No ranked games yet.</p>\n"
            : v.period == Period::kToday   ? "<p>No scores today yet.</p>\n"
            : v.period == Period::kWeek    ? "<p>No scores this week yet.</p>\n"
                                           : "<p>No scores yet.</p>\n";
  } else {
    html += Table(rows, -1, true, v.rules.empty() ? h.game : "", h.playable ? h.game : "");
    html += kMarksNote;
  }
  if (h.pages > 1) {
    View before = v, after = v;
    before.page = v.page - 1;
    after.page = v.page + 1;
    html += "<p>Page " + std::to_string(v.page) + " of " + std::to_string(h.pages) + ".";
    if (v.page > 1) html += " <a href=\"" + EscapeHtml(BoardPath(h.game, before)) + "\">Better scores</a>";
    if (v.page < h.pages) html += " <a href=\"" + EscapeHtml(BoardPath(h.game, after)) + "\">More scores</a>";
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
    const char* mark = s.best.verified ? kCheckedMark : "";
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

std::string UploadPage(const std::string& game, const Placed& placed, const std::vector<Row>& around,
                       std::string_view replayRefusal) {
  std::string html = Head(game + ": your score");
  html += "<h1>" + EscapeHtml(game) + "</h1>\n<p class=\"msg\" id=\"place\">Your score is number " +
          std::to_string(placed.rank) + " of " + std::to_string(placed.total) + " in " + EscapeHtml(game) +
          ".</p>\n";
  // A score whose replay came first (the launcher posts it before opening
  // this page) was stored by that replay: this is its first upload, not a
  // repeat.
  if (!placed.inserted && !placed.verified) html += "<p>This score was uploaded before; it is stored once.</p>\n";
  if (placed.verified) html += "<p id=\"verified\">\u2713 Replay checked: its game's replay reached this score.</p>\n";
  if (!placed.verified && !replayRefusal.empty()) {
    html += "<p id=\"refused\">Its replay was refused: " + EscapeHtml(replayRefusal) + "</p>\n";
  }
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
