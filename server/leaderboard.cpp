#include "server/leaderboard.h"

#include <charconv>
#include <optional>

#include "server/deals.h"
#include "server/query.h"

namespace score {
namespace {

std::optional<int64_t> WholeNumber(const std::string& text, int64_t low, int64_t high) {
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
  return value;
}

}  // namespace

std::variant<View, std::string> ReadView(std::string_view query, bool limitAllowed) {
  View view;
  if (const std::optional<std::string> period = QueryValue(query, "period")) {
    if (*period == "all") {
      view.period = Period::kAllTime;
    } else if (*period == "week") {
      view.period = Period::kWeek;
    } else if (*period == "today") {
      view.period = Period::kToday;
    } else {
      return std::string("The period must be all, week or today.");
    }
  }
  if (const std::optional<std::string> by = QueryValue(query, "by")) {
    if (*by != "entry" && *by != "player") return std::string("The board is by entry or by player.");
    view.byPlayer = *by == "player";
  }
  if (const std::optional<std::string> page = QueryValue(query, "page")) {
    const std::optional<int64_t> number = WholeNumber(*page, 1, kMaxPage);
    if (!number) return std::string("The page must be a whole number from 1 to 100000.");
    view.page = *number;
  }
  if (const std::optional<std::string> limit = QueryValue(query, "limit"); limit && limitAllowed) {
    const std::optional<int64_t> number = WholeNumber(*limit, 1, kRowsPerPage);
    if (!number) return std::string("The limit must be a whole number from 1 to 100.");
    view.limit = static_cast<int>(*number);
  }
  view.verifiedOnly = QueryValue(query, "verified") == std::optional<std::string>("1");
  view.rankedOnly = QueryValue(query, "ranked") == std::optional<std::string>("1");
  if (const std::optional<std::string> daily = QueryValue(query, "daily")) {
    if (*daily != "today" && !DailyIdOfDay(*daily)) return std::string("The day's board is today or a day as YYYYMMDD.");
    view.daily = *daily;
    view.rankedOnly = true;
  }
  if (const std::optional<std::string> rules = QueryValue(query, "rules")) {
    const auto settings = ReadRuleSet(*rules);
    if (!settings) return std::string("The rules are BALLOONS-GAMETIME, such as 2-300.");
    view.rules = RuleSetName(settings->first, settings->second);
  }
  if ((view.verifiedOnly || view.rankedOnly) && (view.byPlayer || view.period != Period::kAllTime)) {
    return std::string("Only the all-time board of every entry can show its verified or ranked entries alone.");
  }
  if (view.verifiedOnly && view.rankedOnly) return std::string("A board shows its verified or its ranked entries.");
  return view;
}

const char* PeriodName(Period period) {
  switch (period) {
    case Period::kWeek: return "week";
    case Period::kToday: return "today";
    case Period::kAllTime: break;
  }
  return "all";
}

int64_t PeriodStart(Period period, int64_t now) {
  constexpr int64_t kDay = 86400;
  if (period == Period::kAllTime) return 0;
  // Floor division: a clock before 1970 still gives the day that holds it.
  int64_t day = now / kDay - (now % kDay < 0 ? 1 : 0);
  if (period == Period::kWeek) {
    // 1 January 1970 was a Thursday: three days after a Monday.
    const int64_t sinceMonday = ((day + 3) % 7 + 7) % 7;
    day -= sinceMonday;
  }
  // 0 means all time to the storage; the first day of 1970 starts at 1.
  return day * kDay == 0 ? 1 : day * kDay;
}

std::string ViewKey(const View& view, int64_t since) {
  return std::string(PeriodName(view.period)) + "/" + std::to_string(since) + (view.byPlayer ? "/player" : "/entry") +
         (view.verifiedOnly ? "/verified" : "") + (view.rankedOnly ? "/ranked" : "") + "/" + view.daily + "/" +
         view.rules + "/" + std::to_string(view.page) + "/" + std::to_string(view.limit);
}

}  // namespace score
