// Which board a reader asked for: all time, this week or today; every
// entry or each player's best; which page. Read from the page's query, so
// tests and the fuzz target call it without a server.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace score {

enum class Period { kAllTime, kWeek, kToday };

struct View {
  Period period = Period::kAllTime;
  bool byPlayer = false;
  bool verifiedOnly = false;
  bool rankedOnly = false;  // the games on the server's deals alone
  // The day's deal's board: "today" or its day as "YYYYMMDD"; empty: none.
  std::string daily;
  // Another rule set's boards ("1-86400"); empty: the standard rules.
  std::string rules;
  int64_t page = 1;
  int limit = 100;  // rows a page
};

inline constexpr int kRowsPerPage = 100;
// Pages past this are not served: a board that long is read by its ranks.
inline constexpr int64_t kMaxPage = 100000;

// "?period=all|week|today", "?by=entry|player", "?page=N", "?verified=1",
// "?ranked=1", "?daily=today|YYYYMMDD" (the day's deal's board, ranked
// games alone), "?rules=BALLOONS-GAMETIME" and, where `limitAllowed` (the JSON API), "?limit=N" rows a page (1 to
// 100). Other parameters are ignored. On failure, the one sentence of the
// 400 answer.
std::variant<View, std::string> ReadView(std::string_view query, bool limitAllowed);

// The name a period has in addresses and in the JSON.
const char* PeriodName(Period period);

// The first second of the period that holds `now` (seconds since 1970):
// today and this week begin at midnight UTC, a week on Monday. All time: 0.
int64_t PeriodStart(Period period, int64_t now);

// The view and its period's start as one text, to key kept pages by.
std::string ViewKey(const View& view, int64_t since);

}  // namespace score
