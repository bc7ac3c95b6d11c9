// The score server's reading of an upload: arbitrary bytes as the query.
// Whatever is accepted must obey the upload's rules, and must come back the
// same when the launcher's own escaping sends it again. Also the other
// readers of client bytes: player names, X-Forwarded-For, the log's escaping
// a read page's parameters (a board's choices among them, its rule set and
// day), the names of deals and rule sets, the player's key, and the
// metrics' route of a path.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "launcher/upload_address.h"
#include "server/client_address.h"
#include "server/deals.h"
#include "server/leaderboard.h"
#include "server/log_text.h"
#include "server/metrics.h"
#include "server/player_name.h"
#include "server/query.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckText(const std::string& text, size_t max) {
  Check(text.size() <= max);
  Check(score::IsValidUtf8(text));
  Check(!score::HasControlCharacter(text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  auto parsed = score::ParseUpload(input);
  if (const auto* error = std::get_if<std::string>(&parsed)) {
    Check(!error->empty() && error->back() == '.');
  } else {
    const score::Upload& u = std::get<score::Upload>(parsed);
    Check(score::IsPlainDirectoryName(u.game));
    CheckText(u.game, score::kMaxGameName);
    Check(!u.player.name.empty());
    for (const std::string* field : {&u.player.name, &u.player.address, &u.player.email}) {
      CheckText(*field, score::kMaxPlayerField);
    }
    // Extra colons belong to the address alone.
    Check(u.player.name.find(':') == std::string::npos && u.player.email.find(':') == std::string::npos);
    Check(u.player.send == "Y" || u.player.send == "N");
    Check(u.score >= 0);
    // Sent again by the launcher, it reads back the same, the address and
    // e-mail only when the player chose to send them (a game name that
    // itself holds "&name=" is the one ambiguity of the unescaped format).
    if (u.game.find("&name=") == std::string::npos) {
      const std::string player = u.player.name + ":" + u.player.address + ":" + u.player.email + ":" + u.player.send;
      const std::string address = UploadAddress("", u.game.c_str(), player.c_str(), u.score);
      auto again = score::ParseUpload(std::string_view(address).substr(address.find('?') + 1));
      Check(std::holds_alternative<score::Upload>(again));
      const score::Upload& v = std::get<score::Upload>(again);
      const bool sendsAll = u.player.send == "Y";
      Check(v.game == u.game && v.player.name == u.player.name && v.score == u.score);
      Check(v.player.address == (sendsAll ? u.player.address : "") &&
            v.player.email == (sendsAll ? u.player.email : "") && v.player.send == (sendsAll ? "Y" : "N"));
    }
  }

  // The player string split alone: an accepted split joins back to the input.
  auto player = score::SplitPlayer(input);
  if (const auto* p = std::get_if<score::Player>(&player)) {
    Check(p->name + ":" + p->address + ":" + p->email + ":" + p->send == input);
  }

  // A name accepted is valid, short enough, and already in its one form.
  if (score::IsValidUtf8(input) && !score::HasControlCharacter(input)) {
    const score::NameCheck check = score::NormaliseName(input);
    Check(check.name.empty() != check.refusal.empty());
    if (check.refusal.empty()) {
      CheckText(check.name, score::kMaxPlayerField);
      Check(score::NormaliseName(check.name).name == check.name);
      // Trimmed, inner runs of white space one space; padding is no other name.
      Check(check.name.front() != ' ' && check.name.back() != ' ' && check.name.find("  ") == std::string::npos);
      Check(score::Skeleton(" " + check.name + " ") == score::Skeleton(check.name));
    }
  }

  // A log field holds printable ASCII only.
  for (const unsigned char c : score::EscapeForLog(input)) Check(c > 0x20 && c < 0x7F);
  const std::string forwarded = score::LastForwarded(input);
  Check(forwarded.empty() || score::LimitKey(forwarded).size() <= 46);
  Check(forwarded.empty() || score::SiteKey(forwarded).size() <= 46);
  if (auto limit = score::QueryValue(input, "limit")) Check(limit->size() < input.size());

  // A board's choices: within their ranges, refused with one sentence,
  // and the same view always keyed the same way.
  for (const bool api : {false, true}) {
    auto view = score::ReadView(input, api);
    if (const auto* error = std::get_if<std::string>(&view)) {
      Check(!error->empty() && error->back() == '.');
      continue;
    }
    const score::View& v = std::get<score::View>(view);
    Check(v.page >= 1 && v.page <= score::kMaxPage && v.limit >= 1 && v.limit <= score::kRowsPerPage);
    Check(api || v.limit == score::kRowsPerPage);
    Check(!v.verifiedOnly || (!v.byPlayer && v.period == score::Period::kAllTime));
    Check(!(v.verifiedOnly && v.rankedOnly));
    Check(v.daily.empty() || (v.rankedOnly && (v.daily == "today" || score::DailyIdOfDay(v.daily))));
    // A rule set is read back as written.
    Check(v.rules.empty() || score::RuleSetName(score::ReadRuleSet(v.rules)->first,
                                                score::ReadRuleSet(v.rules)->second) == v.rules);
    const int64_t since = score::PeriodStart(v.period, 1796817600);
    Check(since >= 0 && since <= 1796817600);
    Check(score::ViewKey(v, since) == score::ViewKey(std::get<score::View>(score::ReadView(input, api)), since));
  }

  // A rule set, a day's deal or a key from any bytes: within their ranges,
  // and the name of what was read is what was read.
  if (const auto rules = score::ReadRuleSet(input)) {
    Check(rules->first >= 0 && rules->first <= quibbleton::kMaxReplayBalloons);
    Check(rules->second >= 1 && rules->second <= quibbleton::kMaxReplayGameTime);
    Check(score::ReadRuleSet(score::RuleSetName(rules->first, rules->second)) == rules);
  }
  if (score::IsDailyId(input)) {
    Check(quibbleton::IsDealId(input));
    const auto deal = score::DailyDealNamed(*score::RulesFor("Quibbleton"), "secret", input);
    Check(deal && deal->id == input && score::DailyIdOfDay(input.substr(6)) == deal->id);
  }
  if (score::IsPlayerKey(input)) Check(input.size() == 32);

  // Any path counts under one of the fixed routes: the metrics never grow
  // with what clients send.
  static score::Metrics metrics;
  score::Request request;
  request.target = std::string(input);
  metrics.Observe(request, score::Response{}, 0.001);
  Check(metrics.Text().size() < 16 * 1024);

  // Decoding never grows the text, and every byte escaped decodes back.
  if (auto decoded = score::PercentDecode(input)) {
    Check(decoded->size() <= input.size());
    std::string escaped;
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const unsigned char c : *decoded) {
      escaped += '%';
      escaped += kHex[c >> 4];
      escaped += kHex[c & 15];
    }
    Check(score::PercentDecode(escaped) == decoded);
  }
  return 0;
}
