// Ranked play through the Service on a clock of the test's own, on SQLite
// and on PostgreSQL: each way a review topped the boards without playing
// (other rules, another game's name, a deal reused, expired or of another
// seed, a replay under a second name, a second key, the same replay twice)
// is refused or left unranked, and an honest game on a deal ranks.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <pqxx/pqxx>

#include <atomic>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "game/rules/replay.h"
#include "game/rules/replay_bot.h"
#include "game/rules/replay_verifier.h"
#include "server/deals.h"
#include "server/service.h"
#include "server/sql.h"
#include "server/storage.h"
#include "tests/server/postgres_cluster.h"

namespace {

using nlohmann::json;
using quibbleton::Replay;

// Wednesday 9 December 2026, 12:00 UTC.
constexpr int64_t kNoon = 1796817600;
constexpr char kKeyA[] = "0123456789abcdef0123456789abcdef";
constexpr char kKeyB[] = "fedcba9876543210fedcba9876543210";

class RankedPlay : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    where_ = ThrowawayDatabase(GetParam(), folder_);
    if (where_.empty()) GTEST_SKIP() << PostgresCluster::Problem();
    Open();
  }
  void TearDown() override {
    service_.reset();
    storage_.reset();
    std::error_code ec;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
  }
  void Open(int dealsPerMinute = 0) {
    service_.reset();
    storage_ = score::OpenStorage(where_);
    score::ServiceOptions options;
    options.uploadsPerMinute = 0;
    options.dealsPerMinute = dealsPerMinute;
    options.wallClock = [this] { return now_.load(); };
    service_ = std::make_unique<score::Service>(*storage_, options);
  }

  score::Response Send(const std::string& method, const std::string& target, const std::string& body = "",
                       const std::string& key = "") {
    score::Request request;
    request.method = method;
    request.target = target;
    request.client = "127.0.0.1";
    request.body = body;
    request.playerKey = key;
    return service_->Handle(request);
  }
  json Json(const score::Response& r) { return json::parse(r.body); }

  // The replay posted as `name`'s upload of its score.
  score::Response Post(const Replay& replay, const std::string& name, const std::string& key,
                       const std::string& game = "Quibbleton") {
    const quibbleton::Verdict verdict = quibbleton::VerifyReplay(replay);
    EXPECT_TRUE(verdict.ok) << verdict.reason;
    return Send("POST", "/api/replays?game=" + game + "&name=" + name + ":::N&score=" + std::to_string(verdict.score),
                quibbleton::FormatReplay(replay), key);
  }
  score::Deal AskDeal() {
    const score::Response r = Send("POST", "/api/games/Quibbleton/deals");
    EXPECT_EQ(r.status, 200) << r.body;
    const json deal = Json(r);
    return {deal.at("deal"), "Quibbleton", deal.at("seed"), deal.at("balloons"), deal.at("gametime"),
            deal.at("expires")};
  }
  // A bot's game on the deal: `actions` tells games of one deal apart.
  static Replay PlayDeal(const score::Deal& deal, int actions) {
    Replay replay = quibbleton::PlayBotGame(deal.seed, deal.balloons, deal.gameTime, actions);
    replay.deal = deal.id;
    return replay;
  }
  // Runs statements on the database directly, as its administrator would.
  void Execute(const std::string& statements) {
    if (GetParam() == "sqlite") {
      sqlite3* db = nullptr;
      ASSERT_EQ(sqlite3_open(where_.c_str(), &db), SQLITE_OK);
      EXPECT_EQ(sqlite3_exec(db, statements.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
      sqlite3_close(db);
    } else {
      pqxx::connection connection(where_);
      pqxx::nontransaction(connection).exec(statements);
    }
  }
  json Board(const std::string& query) {
    const score::Response r = Send("GET", "/api/games/Quibbleton/scores" + query);
    return r.status == 200 ? Json(r).at("scores") : json::array();
  }

  std::atomic<int64_t> now_{kNoon};
  std::string folder_, where_;
  std::unique_ptr<score::Storage> storage_;
  std::unique_ptr<score::Service> service_;
};

TEST_P(RankedPlay, AGameOnAFreshDealRanksAndItsReplayCanBeFetched) {
  const score::Deal deal = AskDeal();
  EXPECT_EQ(deal.balloons, 2);
  EXPECT_EQ(deal.gameTime, 300);
  EXPECT_EQ(deal.expires, kNoon + 300 + score::kDealMarginSeconds);
  EXPECT_TRUE(quibbleton::IsDealId(deal.id));
  EXPECT_NE(AskDeal().seed, deal.seed);  // 1 in 4 billion to fail

  const Replay game = PlayDeal(deal, 30);
  const score::Response r = Post(game, "Ann", kKeyA);
  ASSERT_EQ(r.status, 200) << r.body;
  const json answer = Json(r);
  EXPECT_TRUE(answer.at("verified").get<bool>());
  EXPECT_TRUE(answer.at("ranked").get<bool>()) << r.body;
  EXPECT_EQ(answer.at("rankedRank"), 1);
  EXPECT_FALSE(answer.contains("unranked"));
  const json ranked = Board("?ranked=1");
  ASSERT_EQ(ranked.size(), 1u);
  EXPECT_EQ(ranked[0].at("name"), "Ann");
  EXPECT_TRUE(ranked[0].at("ranked").get<bool>());
  const int64_t id = ranked[0].at("id");
  EXPECT_EQ(ranked[0].at("replay"), id);
  EXPECT_EQ(answer.at("replay"), id);

  const score::Response text = Send("GET", "/api/replays/" + std::to_string(id));
  EXPECT_EQ(text.status, 200);
  EXPECT_EQ(text.contentType, "text/plain; charset=utf-8");
  EXPECT_EQ(text.body, quibbleton::FormatReplay(game));
  for (const std::string bad : {"0", "999", "-1", "x", "", "1x"}) {
    EXPECT_EQ(Send("GET", "/api/replays/" + bad).status, 404) << bad;
  }
  // A hidden entry's replay is not served.
  ASSERT_TRUE(storage_->SetHidden(id, true).changed);
  EXPECT_EQ(Send("GET", "/api/replays/" + std::to_string(id)).status, 404);
}

TEST_P(RankedPlay, ADealCountsOnceWithItsOwnSeedAndSettingsBeforeItExpires) {
  const score::Deal deal = AskDeal();
  ASSERT_TRUE(Json(Post(PlayDeal(deal, 30), "Ann", kKeyA)).at("ranked").get<bool>());
  auto unranked = [&](const Replay& replay, const std::string& name, const std::string& why) {
    const score::Response r = Post(replay, name, kKeyB);
    ASSERT_EQ(r.status, 200) << r.body;
    const json answer = Json(r);
    EXPECT_TRUE(answer.at("verified").get<bool>());
    EXPECT_FALSE(answer.at("ranked").get<bool>()) << r.body;
    EXPECT_NE(answer.at("unranked").get<std::string>().find(why), std::string::npos) << r.body;
  };
  // The same deal again, by another player with another game of it.
  unranked(PlayDeal(deal, 20), "Bob", "counted for another game");

  // Another seed under a deal's name: a seed the player searched for.
  const score::Deal fresh = AskDeal();
  Replay searched = quibbleton::PlayBotGame(fresh.seed + 1, 2, 300, 25);
  searched.deal = fresh.id;
  unranked(searched, "Bob", "seed or settings");
  // The right seed on other settings: its own rule set's board, unranked.
  Replay easier = quibbleton::PlayBotGame(fresh.seed, 1, 300, 25);
  easier.deal = fresh.id;
  unranked(easier, "Bob", "other rules");
  // A deal this server never handed out.
  Replay invented = quibbleton::PlayBotGame(4242, 2, 300, 25);
  invented.deal = "made-up";
  unranked(invented, "Bob", "not one of this server's");
  // No deal at all.
  unranked(quibbleton::PlayBotGame(77, 2, 300, 15), "Bob", "not played on one of this server's deals");
  // After its expiry, even unused.
  now_ = fresh.expires;
  unranked(PlayDeal(fresh, 22), "Bob", "expired");
  // The deal was not taken by any of these: one second earlier it ranks.
  now_ = fresh.expires - 1;
  const score::Response late = Post(PlayDeal(fresh, 21), "Bob", kKeyB);
  EXPECT_TRUE(Json(late).at("ranked").get<bool>()) << late.body;

  const json ranked = Board("?ranked=1");
  ASSERT_EQ(ranked.size(), 2u);
  EXPECT_NE(ranked[0].at("name"), ranked[1].at("name"));
}

// Many games of one deal at once, each on its own connection: one counts.
TEST_P(RankedPlay, ADealTakenAtOnceByManyCountsOnce) {
  const score::Deal deal = AskDeal();
  std::vector<std::thread> players;
  std::atomic<int> ranked{0}, answered{0};
  for (int i = 0; i < 8; ++i) {
    players.emplace_back([&, i] {
      char key[33];
      std::snprintf(key, sizeof key, "%032x", i + 1);
      const score::Response r = Post(PlayDeal(deal, 10 + i), "P" + std::to_string(i), key);
      if (r.status == 200) ++answered;
      if (r.status == 200 && Json(r).at("ranked").get<bool>()) ++ranked;
    });
  }
  for (auto& player : players) player.join();
  EXPECT_EQ(answered, 8);
  EXPECT_EQ(ranked, 1);
  EXPECT_EQ(Board("?ranked=1").size(), 1u);
}

TEST_P(RankedPlay, OtherRulesKeepABoardOfTheirOwn) {
  // A long, easy game scores far above any honest one.
  const Replay easy = quibbleton::PlayBotGame(9, 1, 86400, 60);
  const score::Response r = Post(easy, "Mallory", kKeyA);
  ASSERT_EQ(r.status, 200) << r.body;
  EXPECT_EQ(Json(r).at("rules"), "1-86400");
  EXPECT_FALSE(Json(r).at("standard").get<bool>());
  // No standard board has it: all time, week, today, by player, verified, ranked, the front page.
  for (const std::string query : {"", "?period=week", "?period=today", "?by=player", "?verified=1", "?ranked=1"}) {
    EXPECT_TRUE(Board(query).empty()) << query;
  }
  EXPECT_EQ(Send("GET", "/").body.find("Mallory"), std::string::npos);
  const score::Response own = Send("GET", "/api/games/Quibbleton/scores?rules=1-86400");
  ASSERT_EQ(own.status, 200) << own.body;
  ASSERT_EQ(Json(own).at("scores").size(), 1u);
  EXPECT_EQ(Json(own).at("scores")[0].at("name"), "Mallory");
  EXPECT_NE(Send("GET", "/games/Quibbleton?rules=1-86400").body.find("Mallory"), std::string::npos);
  // The standard rules named are the standard board.
  ASSERT_EQ(Post(quibbleton::PlayBotGame(10, 2, 300, 10), "Ann", kKeyB).status, 200);
  EXPECT_EQ(Json(Send("GET", "/api/games/Quibbleton/scores?rules=2-300")).at("scores").size(), 1u);
  EXPECT_EQ(Send("GET", "/api/games/Quibbleton/scores?rules=2-x").status, 400);
}

TEST_P(RankedPlay, OnlyAGameTheServerHasRulesForIsTaken) {
  const Replay game = quibbleton::PlayBotGame(5, 2, 300, 10);
  const score::Response r = Post(game, "Ann", kKeyA, "NotAGame");
  EXPECT_EQ(r.status, 400);
  EXPECT_NE(Json(r).at("error").get<std::string>().find("no rules"), std::string::npos);
  EXPECT_EQ(storage_->Count("NotAGame"), 0);
  EXPECT_EQ(Send("POST", "/api/games/NotAGame/deals").status, 404);
  EXPECT_EQ(Send("GET", "/api/games/NotAGame/daily").status, 404);
  // The same replay is still welcome under its own game.
  EXPECT_EQ(Post(game, "Ann", kKeyA).status, 200);
}

TEST_P(RankedPlay, AReplayBelongsToItsPlayerAndIsTakenOnce) {
  const Replay game = quibbleton::PlayBotGame(11, 2, 300, 20);
  const score::Response first = Post(game, "Ann", kKeyA);
  ASSERT_EQ(first.status, 200) << first.body;
  EXPECT_EQ(first.body.find("before"), std::string::npos);
  // The same replay again: under its name, under another, with or without a key.
  for (const auto& [name, key] : {std::pair{"Ann", kKeyA}, std::pair{"Bob", kKeyB}, std::pair{"Carl", ""}}) {
    const score::Response again = Post(game, name, key);
    EXPECT_EQ(again.status, 409) << name;
    EXPECT_NE(Json(again).at("error").get<std::string>().find("uploaded before"), std::string::npos);
  }
  // Ann's name is bound to her key: another key, or none, is refused.
  const Replay other = quibbleton::PlayBotGame(12, 2, 300, 20);
  EXPECT_EQ(Post(other, "Ann", kKeyB).status, 409);
  EXPECT_EQ(Post(other, "Ann", "").status, 409);
  EXPECT_EQ(Post(other, "Ann", kKeyA).status, 200);
  // A keyless upload of a free name is verified, unranked, and binds nothing.
  const score::Response keyless = Post(quibbleton::PlayBotGame(13, 2, 300, 20), "Dora", "");
  ASSERT_EQ(keyless.status, 200) << keyless.body;
  EXPECT_FALSE(Json(keyless).at("ranked").get<bool>());
  EXPECT_NE(Json(keyless).at("unranked").get<std::string>().find("without a player key"), std::string::npos);
  EXPECT_EQ(Post(quibbleton::PlayBotGame(14, 2, 300, 20), "Dora", kKeyB).status, 200);
  // Keys of another shape are refused before anything else.
  for (const std::string& bad : {std::string("0123456789ABCDEF0123456789ABCDEF"), std::string("0123"), std::string("0123456789abcdef0123456789abcdeg"),
                                std::string(kKeyA) + "0"}) {
    EXPECT_EQ(Post(quibbleton::PlayBotGame(15, 2, 300, 20), "Eve", bad).status, 400) << bad;
  }
  // Only the key's hash is stored.
  EXPECT_EQ(storage_->Dump("Quibbleton").size(), 4u);
}

TEST_P(RankedPlay, TheDaysDealIsEveryonesAndCountsEachPlayersFirstGame) {
  const json today = Json(Send("GET", "/api/games/Quibbleton/daily"));
  EXPECT_EQ(today.at("deal"), "daily-20261209");
  EXPECT_EQ(today.at("balloons"), 2);
  EXPECT_EQ(today.at("gametime"), 300);
  EXPECT_EQ(today.at("expires"), 1796860800 + 300 + score::kDealMarginSeconds);
  now_ = kNoon + 11 * 3600;
  EXPECT_EQ(Json(Send("GET", "/api/games/Quibbleton/daily")), today);
  // The secret is the database's: a restarted server deals the same.
  Open();
  EXPECT_EQ(Json(Send("GET", "/api/games/Quibbleton/daily")), today);
  now_ = kNoon + 86400;
  const json tomorrow = Json(Send("GET", "/api/games/Quibbleton/daily"));
  EXPECT_EQ(tomorrow.at("deal"), "daily-20261210");
  EXPECT_NE(tomorrow.at("seed"), today.at("seed"));

  // Played a little after midnight: it still counts for its day.
  now_ = kNoon + 12 * 3600 + 60;
  const score::Deal daily{today.at("deal"), "Quibbleton", today.at("seed"), 2, 300, today.at("expires")};
  ASSERT_TRUE(Json(Post(PlayDeal(daily, 10), "Ann", kKeyA)).at("ranked").get<bool>());
  const score::Response second = Post(PlayDeal(daily, 40), "Ann", kKeyA);
  EXPECT_FALSE(Json(second).at("ranked").get<bool>()) << second.body;
  EXPECT_NE(Json(second).at("unranked").get<std::string>().find("first game"), std::string::npos);
  ASSERT_TRUE(Json(Post(PlayDeal(daily, 30), "Bob", kKeyB)).at("ranked").get<bool>());
  const json board = Board("?daily=20261209");
  ASSERT_EQ(board.size(), 2u);
  EXPECT_EQ(board[0].at("name"), "Bob");
  EXPECT_EQ(board[1].at("name"), "Ann");
  EXPECT_TRUE(Board("?daily=20261210").empty());
  // A third player's place on the day's board is the answer's.
  const json dan = Json(Post(PlayDeal(daily, 5), "Dan", "11111111111111111111111111111111"));
  ASSERT_TRUE(dan.at("ranked").get<bool>()) << dan;
  const json three = Board("?daily=20261209");
  ASSERT_EQ(three.size(), 3u);
  for (size_t i = 0; i < three.size(); ++i) {
    if (three[i].at("name") == "Dan") {
      EXPECT_EQ(dan.at("rankedRank"), i + 1);
    }
  }
  EXPECT_EQ(dan.at("rankedTotal"), 3);
  // The day's games rank on the day's board alone.
  EXPECT_TRUE(Board("?ranked=1").empty());
  EXPECT_NE(Send("GET", "/games/Quibbleton?daily=20261209").body.find("Bob"), std::string::npos);
  // Past its day, a game of it does not count.
  now_ = daily.expires;
  const score::Response late = Post(PlayDeal(daily, 35), "Carl", "00000000000000000000000000000000");
  ASSERT_EQ(late.status, 200) << late.body;
  EXPECT_NE(Json(late).at("unranked").get<std::string>().find("expired"), std::string::npos) << late.body;
}

TEST_P(RankedPlay, DealsAreLimitedPerClient) {
  Open(3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Send("POST", "/api/games/Quibbleton/deals").status, 200);
  const score::Response refused = Send("POST", "/api/games/Quibbleton/deals");
  EXPECT_EQ(refused.status, 429);
  EXPECT_EQ(Send("GET", "/api/games/Quibbleton/deals").status, 405);
}

// Databases of an older server have none of the new tables: opening one
// adds them and keeps every row.
TEST_P(RankedPlay, AnOlderDatabaseIsMigratedWithItsRows) {
  ASSERT_EQ(Send("GET", "/cgi-bin/hiscore.cgi?game=Quibbleton&name=Old:::N&score=" + std::to_string(500 ^ 0x07B7B7B7))
                .status,
            200);
  service_.reset();
  storage_.reset();
  // What an older server's schema lacks.
  Execute("DROP TABLE secrets; DROP TABLE deals; DROP TABLE players; DROP TABLE replays; DROP TABLE ranked;");
  Open();
  EXPECT_EQ(Board("").size(), 1u);
  const score::Deal deal = AskDeal();
  EXPECT_TRUE(Json(Post(PlayDeal(deal, 20), "Ann", kKeyA)).at("ranked").get<bool>());
  EXPECT_EQ(Board("").size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Backends, RankedPlay, testing::Values("sqlite", "postgres"),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
