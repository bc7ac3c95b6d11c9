#include "server/deals.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <charconv>
#include <ctime>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace score {
namespace {

constexpr int64_t kDay = 86400;
constexpr std::string_view kDailyPrefix = "daily-";

std::string Hex(const unsigned char* bytes, size_t size) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 15];
  }
  return text;
}

// Bytes from the system's random source; a server that cannot have them
// must not hand out guessable deals.
void RandomBytes(unsigned char* out, size_t size) {
  if (RAND_bytes(out, static_cast<int>(size)) != 1) throw std::runtime_error("no random bytes for a deal");
}

std::optional<int64_t> Whole(std::string_view text, int64_t low, int64_t high) {
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

// The day (days since 1970) a "YYYYMMDD" names, when it is a real date.
std::optional<int64_t> DayOf(std::string_view text) {
  if (text.size() != 8 || text.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  std::tm parts{};
  parts.tm_year = static_cast<int>(*Whole(text.substr(0, 4), 0, 9999)) - 1900;
  parts.tm_mon = static_cast<int>(*Whole(text.substr(4, 2), 0, 99)) - 1;
  parts.tm_mday = static_cast<int>(*Whole(text.substr(6, 2), 0, 99));
  const int month = parts.tm_mon, mday = parts.tm_mday;
  const int64_t seconds = timegm(&parts);
  // timegm carries a 31st of February into March: such a date is not one.
  if (parts.tm_mon != month || parts.tm_mday != mday) return std::nullopt;
  return seconds / kDay;
}

std::string DayText(int64_t day) {
  const std::time_t t = static_cast<std::time_t>(day * kDay);
  std::tm parts{};
  gmtime_r(&t, &parts);
  char text[16];
  std::strftime(text, sizeof text, "%Y%m%d", &parts);
  return text;
}

Deal DailyOfDay(const GameRules& rules, std::string_view secret, int64_t day, int64_t margin) {
  Deal deal;
  deal.id = std::string(kDailyPrefix) + DayText(day);
  deal.game = rules.game;
  deal.balloons = rules.balloons;
  deal.gameTime = rules.gameTime;
  deal.expires = (day + 1) * kDay + rules.gameTime + margin;
  const std::string message = deal.game + "/" + deal.id;
  unsigned char mac[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  HMAC(EVP_sha256(), secret.data(), static_cast<int>(secret.size()),
       reinterpret_cast<const unsigned char*>(message.data()), message.size(), mac, &length);
  deal.seed = uint32_t{mac[0]} << 24 | uint32_t{mac[1]} << 16 | uint32_t{mac[2]} << 8 | uint32_t{mac[3]};
  return deal;
}

}  // namespace

namespace {
// The shipped setup.ini of Quibbleton: a group of two, five minutes.
constexpr GameRules kGames[] = {{"Quibbleton", 2, 300}};
}  // namespace

const GameRules* RulesFor(std::string_view game) {
  for (const GameRules& rules : kGames) {
    if (rules.game == game) return &rules;
  }
  return nullptr;
}

std::vector<std::string> GamesWithRules() {
  std::vector<std::string> games;
  for (const GameRules& rules : kGames) games.emplace_back(rules.game);
  return games;
}

std::string RuleSetName(int balloons, int gameTime) {
  return std::to_string(balloons) + "-" + std::to_string(gameTime);
}

std::optional<std::pair<int, int>> ReadRuleSet(std::string_view text) {
  const size_t dash = text.find('-');
  if (dash == std::string_view::npos) return std::nullopt;
  const std::optional<int64_t> balloons = Whole(text.substr(0, dash), 0, quibbleton::kMaxReplayBalloons);
  const std::optional<int64_t> gameTime = Whole(text.substr(dash + 1), 1, quibbleton::kMaxReplayGameTime);
  if (!balloons || !gameTime) return std::nullopt;
  return std::make_pair(static_cast<int>(*balloons), static_cast<int>(*gameTime));
}

std::string BoardKey(const GameRules& rules, int balloons, int gameTime) {
  if (balloons == rules.balloons && gameTime == rules.gameTime) return std::string(rules.game);
  return std::string(rules.game) + "/" + RuleSetName(balloons, gameTime);
}

Deal NewDeal(const GameRules& rules, int64_t now, int64_t margin) {
  unsigned char bytes[20];
  RandomBytes(bytes, sizeof bytes);
  Deal deal;
  // 128 bits of name: nobody finds another's deal by trying names.
  deal.id = Hex(bytes, 16);
  deal.game = rules.game;
  deal.seed = uint32_t{bytes[16]} << 24 | uint32_t{bytes[17]} << 16 | uint32_t{bytes[18]} << 8 | uint32_t{bytes[19]};
  deal.balloons = rules.balloons;
  deal.gameTime = rules.gameTime;
  deal.expires = now + rules.gameTime + margin;
  return deal;
}

Deal DailyDeal(const GameRules& rules, std::string_view secret, int64_t now, int64_t margin) {
  // Floor division: the day that holds `now`.
  return DailyOfDay(rules, secret, now / kDay - (now % kDay < 0 ? 1 : 0), margin);
}

bool IsDailyId(std::string_view id) { return id.starts_with(kDailyPrefix) && DayOf(id.substr(kDailyPrefix.size())); }

std::optional<std::string> DailyIdOfDay(std::string_view day) {
  if (!DayOf(day)) return std::nullopt;
  return std::string(kDailyPrefix) + std::string(day);
}

std::optional<Deal> DailyDealNamed(const GameRules& rules, std::string_view secret, std::string_view id,
                                   int64_t margin) {
  if (!id.starts_with(kDailyPrefix)) return std::nullopt;
  const std::optional<int64_t> day = DayOf(id.substr(kDailyPrefix.size()));
  if (!day) return std::nullopt;
  return DailyOfDay(rules, secret, *day, margin);
}

std::optional<std::string> DealRefusal(const quibbleton::Replay& replay, const std::optional<Deal>& deal, bool used,
                                       int64_t now) {
  if (replay.deal.empty()) return "it was not played on one of this server's deals";
  if (!deal) return "its deal is not one of this server's";
  if (replay.seed != deal->seed || replay.balloons != deal->balloons || replay.gameTime != deal->gameTime) {
    return "its seed or settings are not its deal's";
  }
  if (now >= deal->expires) return "it arrived after its deal expired";
  if (used) {
    return IsDailyId(deal->id) ? "the day's deal counts once for each player, and this player's first game of it counted"
                               : "its deal counted for another game already";
  }
  return std::nullopt;
}

std::string DealJson(const Deal& deal) {
  return nlohmann::json{{"deal", deal.id},
                        {"seed", deal.seed},
                        {"balloons", deal.balloons},
                        {"gametime", deal.gameTime},
                        {"expires", deal.expires}}
      .dump();
}

bool IsPlayerKey(std::string_view key) {
  return key.size() == 32 && key.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

std::string Sha256Hex(std::string_view bytes) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
  return Hex(digest, length);
}

std::string NewSecret() {
  unsigned char bytes[32];
  RandomBytes(bytes, sizeof bytes);
  return Hex(bytes, sizeof bytes);
}

}  // namespace score
