// The pure parts of ranked play: rule sets and their boards, the day's
// deal's name and seed, a deal's refusals, and the player key's shape.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "game/rules/replay_bot.h"
#include "server/deals.h"

namespace {

const score::GameRules& Rules() { return *score::RulesFor("Quibbleton"); }

TEST(Deals, RuleSetsNameTheirBoardsAndOnlyTheStandardOnesAreTheGames) {
  ASSERT_NE(score::RulesFor("Quibbleton"), nullptr);
  EXPECT_EQ(score::RulesFor("NotAGame"), nullptr);
  EXPECT_EQ(score::RulesFor("quibbleton"), nullptr);
  EXPECT_EQ(Rules().balloons, 2);
  EXPECT_EQ(Rules().gameTime, 300);
  EXPECT_EQ(score::BoardKey(Rules(), 2, 300), "Quibbleton");
  EXPECT_EQ(score::BoardKey(Rules(), 1, 300), "Quibbleton/1-300");
  EXPECT_EQ(score::BoardKey(Rules(), 2, 301), "Quibbleton/2-301");
  EXPECT_TRUE(score::IsRuleSetBoard("Quibbleton/1-300"));
  EXPECT_FALSE(score::IsRuleSetBoard("Quibbleton"));
  EXPECT_EQ(score::ReadRuleSet("1-86400"), std::make_pair(1, 86400));
  EXPECT_EQ(score::ReadRuleSet("0-1"), std::make_pair(0, 1));
  EXPECT_EQ(score::ReadRuleSet("151-86400"), std::make_pair(151, 86400));
  for (const char* bad : {"152-300", "2-0", "2-86401", "-1-300", "2", "2-", "-300", "a-300", "2-300x", "2--300", ""}) {
    EXPECT_FALSE(score::ReadRuleSet(bad)) << bad;
  }
}

TEST(Deals, TheDaysDealIsNamedByItsUtcDayAndSeededByTheSecret) {
  constexpr int64_t kMidnight = 1796774400;  // 9 December 2026, 00:00 UTC
  const score::Deal first = score::DailyDeal(Rules(), "secret", kMidnight);
  const score::Deal last = score::DailyDeal(Rules(), "secret", kMidnight + 86399);
  EXPECT_EQ(first.id, "daily-20261209");
  EXPECT_EQ(last.id, first.id);
  EXPECT_EQ(last.seed, first.seed);
  EXPECT_EQ(first.expires, kMidnight + 86400 + 300 + score::kDealMarginSeconds);
  EXPECT_EQ(score::DailyDeal(Rules(), "secret", kMidnight - 1).id, "daily-20261208");
  EXPECT_EQ(score::DailyDeal(Rules(), "secret", -1).id, "daily-19691231");
  // The seed is the first four bytes of HMAC-SHA-256(secret, "GAME/ID"),
  // big-endian: every server and every version deals the same day alike.
  EXPECT_EQ(first.seed, 0x898901a7u);
  EXPECT_EQ(score::DailyDeal(Rules(), "secret", kMidnight + 86400).seed, 0xa123beb0u);
  EXPECT_EQ(score::DailyDeal(Rules(), "secret", kMidnight, 5).expires, kMidnight + 86400 + 305);
  EXPECT_NE(score::DailyDeal(Rules(), "other", kMidnight).seed, first.seed);
  EXPECT_NE(score::DailyDeal(Rules(), "secret", kMidnight + 86400).seed, first.seed);
  // Named back, it is the same deal.
  const std::optional<score::Deal> named = score::DailyDealNamed(Rules(), "secret", "daily-20261209");
  ASSERT_TRUE(named);
  EXPECT_EQ(named->seed, first.seed);
  EXPECT_EQ(named->expires, first.expires);
  EXPECT_EQ(named->balloons, 2);
  EXPECT_EQ(named->gameTime, 300);
  for (const char* bad : {"daily-20260230", "daily-20261300", "daily-20261315", "daily-20261200", "daily-2026129", "daily-2026120x",
                          "weekly-20261209", "daily-", "20261209"}) {
    EXPECT_FALSE(score::DailyDealNamed(Rules(), "secret", bad)) << bad;
    EXPECT_FALSE(score::IsDailyId(bad)) << bad;
  }
  EXPECT_TRUE(score::IsDailyId("daily-20240229"));
  EXPECT_EQ(score::DailyIdOfDay("20261209"), "daily-20261209");
  EXPECT_FALSE(score::DailyIdOfDay("2026129"));
}

TEST(Deals, AFreshDealIsUnguessableAndExpiresAfterItsGameAndMargin) {
  const score::Deal deal = score::NewDeal(Rules(), 1000, 60);
  EXPECT_EQ(deal.id.size(), 32u);
  EXPECT_TRUE(quibbleton::IsDealId(deal.id));
  EXPECT_EQ(deal.expires, 1000 + 300 + 60);
  EXPECT_EQ(deal.game, "Quibbleton");
  const score::Deal other = score::NewDeal(Rules(), 1000, 60);
  EXPECT_NE(other.id, deal.id);
  // Two seeds of 32 random bits each, three times: equal all three times 1 in 2^96.
  EXPECT_FALSE(other.seed == deal.seed && score::NewDeal(Rules(), 0).seed == score::NewDeal(Rules(), 0).seed &&
               score::NewDeal(Rules(), 0).seed == score::NewDeal(Rules(), 0).seed);
  // Every bit of a seed comes from its own random bit: over 64 deals each is
  // set and clear at least once, and no two of its bytes always agree.
  uint32_t everSet = 0, everClear = 0;
  int bytesDiffer = 0;  // a bit for each pair of bytes seen to differ
  for (int i = 0; i < 64; ++i) {
    const uint32_t seed = score::NewDeal(Rules(), 0).seed;
    everSet |= seed;
    everClear |= ~seed;
    for (int a = 0, pair = 0; a < 4; ++a) {
      for (int b = a + 1; b < 4; ++b, ++pair) {
        if (((seed >> (8 * a)) & 0xFF) != ((seed >> (8 * b)) & 0xFF)) bytesDiffer |= 1 << pair;
      }
    }
  }
  EXPECT_EQ(everSet, 0xFFFFFFFFu);
  EXPECT_EQ(everClear, 0xFFFFFFFFu);
  EXPECT_EQ(bytesDiffer, 0x3F);
  const nlohmann::json json = nlohmann::json::parse(score::DealJson(deal));
  EXPECT_EQ(json.at("deal"), deal.id);
  EXPECT_EQ(json.at("seed"), deal.seed);
  EXPECT_EQ(json.at("balloons"), 2);
  EXPECT_EQ(json.at("gametime"), 300);
  EXPECT_EQ(json.at("expires"), 1360);
}

TEST(Deals, EachWayADealFailsHasItsOwnReason) {
  const score::Deal deal{"d1", "Quibbleton", 77, 2, 300, 5000};
  quibbleton::Replay replay = quibbleton::PlayBotGame(77, 2, 300, 5);
  replay.deal = "d1";
  EXPECT_FALSE(score::DealRefusal(replay, deal, false, 4999));
  auto why = [&](quibbleton::Replay r, const std::optional<score::Deal>& d, bool used, int64_t now) {
    return score::DealRefusal(r, d, used, now).value_or("counts");
  };
  EXPECT_EQ(why(replay, deal, false, 5000), "it arrived after its deal expired");
  EXPECT_EQ(why(replay, deal, true, 4999), "its deal counted for another game already");
  EXPECT_EQ(why(replay, std::nullopt, false, 0), "its deal is not one of this server's");
  quibbleton::Replay own = replay;
  own.deal.clear();
  EXPECT_EQ(why(own, deal, false, 0), "it was not played on one of this server's deals");
  for (auto change : {+[](quibbleton::Replay& r) { ++r.seed; }, +[](quibbleton::Replay& r) { r.balloons = 3; },
                      +[](quibbleton::Replay& r) { r.gameTime = 299; }}) {
    quibbleton::Replay changed = replay;
    change(changed);
    EXPECT_EQ(why(changed, deal, false, 0), "its seed or settings are not its deal's");
  }
  score::Deal daily = deal;
  daily.id = "daily-20261209";
  EXPECT_NE(why(replay, daily, true, 0).find("once for each player"), std::string::npos);
}

TEST(Deals, APlayerKeyIs32LowercaseHexDigitsAndOnlyItsHashIsKept) {
  EXPECT_TRUE(score::IsPlayerKey("0123456789abcdef0123456789abcdef"));
  for (const std::string& bad : {std::string(31, 'a'), std::string(33, 'a'), std::string(32, 'A'), std::string(32, 'g'),
                                std::string(31, 'a') + " ", std::string()}) {
    EXPECT_FALSE(score::IsPlayerKey(bad)) << bad;
  }
  EXPECT_EQ(score::Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(score::NewSecret().size(), 64u);
  EXPECT_NE(score::NewSecret(), score::NewSecret());
}

}  // namespace
