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

// The name goes into a path: escape it as a URL, then as HTML.
std::string GameHref(std::string_view prefix, const std::string& game, std::string_view suffix) {
  std::string path(prefix);
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const unsigned char c : game) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
      path += static_cast<char>(c);
    } else {
      path += '%';
      path += kHex[c >> 4];
      path += kHex[c & 15];
    }
  }
  return EscapeHtml(path + std::string(suffix));
}

std::string GameLink(const std::string& game) {
  return "<a href=\"" + GameHref("/games/", game, "") + "\">" + EscapeHtml(game) + "</a>";
}

std::string PlayLink(const Board& board, std::string_view text) {
  if (!board.playable) return "";
  return "<a class=\"play\" href=\"" + GameHref("/play/", board.game, "/") + "\">" + EscapeHtml(text) + "</a>";
}

std::string Table(const std::vector<Row>& rows, int64_t highlight, bool withDate) {
  std::string html = "<table><thead><tr><th>#</th><th>Name</th><th>Score</th>";
  if (withDate) html += "<th>Date</th>";
  html += "</tr></thead><tbody>\n";
  for (const Row& row : rows) {
    html += row.id == highlight ? "<tr class=\"you\">" : "<tr>";
    // A verified entry's replay reached its score on this server.
    const char* mark = row.verified ? " <span class=\"v\" title=\"verified\">\u2713</span>" : "";
    html += "<td class=\"n\">" + std::to_string(row.rank) + "</td><td>" + EscapeHtml(row.name) + mark +
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

std::string FormatDate(int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm parts{};
  gmtime_r(&t, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d", &parts);
  return text;
}

std::string HomePage(const std::vector<Board>& boards, int64_t page, int64_t pages, bool play) {
  std::string html = Head(page == 1 ? "High scores" : "High scores, page " + std::to_string(page));
  html += "<h1>High scores</h1>\n";
  if (play) html += "<p><a class=\"play\" href=\"/play/\">Play in your browser</a></p>\n";
  if (boards.empty()) html += "<p>No scores yet.</p>\n";
  for (const Board& board : boards) {
    const std::string playLink = PlayLink(board, "play");
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

std::string GamePage(const Board& board, int64_t total) {
  std::string html = Head(board.game + " high scores");
  html += "<h1>" + EscapeHtml(board.game) + "</h1>\n<p>" + std::to_string(total) +
          (total == 1 ? " score" : " scores") + " uploaded.</p>\n";
  if (board.playable) html += "<p>" + PlayLink(board, "Play " + board.game + " in your browser") + "</p>\n";
  html += Table(board.rows, -1, true);
  return html + kFoot;
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

std::string ScoresJson(const Board& board, int64_t total) {
  nlohmann::json scores = nlohmann::json::array();
  for (const Row& row : board.rows) {
    scores.push_back({{"rank", row.rank},
                      {"name", row.name},
                      {"score", row.score},
                      {"date", FormatDate(row.created)},
                      {"verified", row.verified}});
  }
  const nlohmann::json doc = {{"game", board.game}, {"total", total}, {"scores", std::move(scores)}};
  return doc.dump();
}

}  // namespace score
