// Two score servers on one PostgreSQL behind the shipped nginx, as a site
// grows past one machine: an upload on either is on the other's board (kept
// in its memory) within a second, wherever nginx sends the read, a deal of
// either counts on the other, and a ban made with the admin command holds
// on both.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "game/rules/replay_bot.h"
#include "game/rules/replay_verifier.h"
#include "launcher/upload_address.h"
#include "tests/server/postgres_cluster.h"
#include "tests/server/raw_client.h"
#include "tests/server/running_server.h"
#include "tests/server/shipped_deployment.h"

namespace {

using Clock = std::chrono::steady_clock;

// "name score" of each row of the board, as `server` answers it.
std::vector<std::string> Board(const RunningServer& server) {
  const auto res = server.Get("/api/games/Quibbleton/scores");
  if (!res || res->status != 200) return {"status " + std::to_string(res ? res->status : 0)};
  std::vector<std::string> rows;
  const nlohmann::json doc = nlohmann::json::parse(res->body);
  for (const auto& row : doc.at("scores")) {
    rows.push_back(row.at("name").get<std::string>() + " " + std::to_string(row.at("score").get<int>()));
  }
  return rows;
}

// The legacy upload's path and query, as the launcher builds it.
std::string Upload(const char* player, int32_t score) {
  const std::string address = UploadAddress("http://h", "Quibbleton", player, score);
  return address.substr(std::string("http://h").size());
}

// Seconds until `holds` is true, asking every 10 ms; -1 when it is not
// within 3 s.
template <typename Check>
double SecondsUntil(Check holds) {
  const auto start = Clock::now();
  while (!holds()) {
    if (Clock::now() - start > std::chrono::seconds(3)) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(TwoServers, OnePostgresqlBehindNginxSharesBoardsAndBans) {
  if (!HaveNginx()) GTEST_SKIP() << "nginx is not installed";
  PostgresCluster* cluster = PostgresCluster::Get();
  if (!cluster) GTEST_SKIP() << PostgresCluster::Problem();
  const std::string db = cluster->NewDatabase();
  ASSERT_FALSE(db.empty());
  // Each as the unit starts it (on one machine here, so nginx's address is
  // the same loopback for both).
  RunningServer first(ShippedServerOptions(), db), second(ShippedServerOptions(), db);
  ASSERT_TRUE(first.Up()) << first.Log();
  ASSERT_TRUE(second.Up()) << second.Log();
  ShippedNginx nginx({first.Port(), second.Port()});
  ASSERT_TRUE(nginx.Up()) << nginx.Problem();
  // A board read through nginx, from whichever server it picks.
  auto throughNginx = [&nginx] {
    RawClient client(nginx.Port(), "127.0.1.1");
    client.Send("GET /api/games/Quibbleton/scores HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    const std::string answer = client.ReadAll(5);
    return answer.substr(answer.find("\r\n\r\n") + 4);
  };

  // Each server keeps the board in memory (a missing board is not kept, so
  // it gets a first entry); an upload on one is on the other's within a
  // second, both ways.
  ASSERT_EQ(first.Get(Upload("Cy:::N", 900))->status, 200);
  std::vector<std::string> expected = {"Cy 900"};
  ASSERT_GE(SecondsUntil([&] { return Board(second) == expected; }), 0);
  const std::vector<std::pair<RunningServer*, RunningServer*>> pairs = {{&first, &second}, {&second, &first}};
  int32_t score = 500;
  for (const auto& [on, other] : pairs) {
    ASSERT_EQ(Board(*other), expected);
    ASSERT_EQ(Board(*on), expected);
    const char* player = on == &first ? "Ann:::N" : "Bob:::N";
    ASSERT_EQ(on->Get(Upload(player, score))->status, 200);
    expected.push_back(std::string(player, 3) + " " + std::to_string(score));
    score -= 100;
    const double seen = SecondsUntil([&] { return Board(*other) == expected; });
    std::printf("seen on the other server after %.3f s\n", seen);
    EXPECT_GE(seen, 0) << testing::PrintToString(Board(*other));
    EXPECT_LT(seen, 1.0);
  }
  // nginx shares reads between the two; all show every entry.
  for (int i = 0; i < 6; ++i) {
    const nlohmann::json board = nlohmann::json::parse(throughNginx());
    EXPECT_EQ(board.at("scores").size(), 3u) << board;
  }

  // Deals are the database's: one handed out by either server ranks a game
  // posted to the other, and both deal the same game of the day.
  httplib::Client dealer("127.0.0.1", first.Port()), checker("127.0.0.1", second.Port());
  const auto dealt = dealer.Post("/api/games/Quibbleton/deals", "", "text/plain");
  ASSERT_EQ(dealt->status, 200) << dealt->body;
  const nlohmann::json deal = nlohmann::json::parse(dealt->body);
  quibbleton::Replay game = quibbleton::PlayBotGame(deal.at("seed"), deal.at("balloons"), deal.at("gametime"), 30);
  game.deal = deal.at("deal");
  const std::string target =
      "/api/replays?game=Quibbleton&name=Dee:::N&score=" + std::to_string(quibbleton::VerifyReplay(game).score);
  const httplib::Headers key = {{"X-Player-Key", "00112233445566778899aabbccddeeff"}};
  const auto posted = checker.Post(target.c_str(), key, quibbleton::FormatReplay(game), "text/plain");
  ASSERT_EQ(posted->status, 200) << posted->body;
  EXPECT_TRUE(nlohmann::json::parse(posted->body).at("ranked").get<bool>()) << posted->body;
  EXPECT_EQ(first.Get("/api/games/Quibbleton/daily")->body, second.Get("/api/games/Quibbleton/daily")->body);

  // A ban by the administrator's command holds on both servers, whether
  // asked directly or through nginx.
  ASSERT_EQ(RunToEnd({SCORE_SERVER_EXE, "admin", "--db", db, "ban", "Ann"}, "/dev/null"), 0);
  for (RunningServer* server : {&first, &second}) {
    const double refused = SecondsUntil([&] { return server->Get(Upload("Ann:::N", 900))->status == 403; });
    std::printf("ban held after %.3f s\n", refused);
    EXPECT_GE(refused, 0);
    EXPECT_LT(refused, 1.0);
  }
  for (int i = 0; i < 2; ++i) {
    RawClient client(nginx.Port(), "127.0.1.2");
    client.Send("GET " + Upload("Ann:::N", 950 + i) + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(client.ReadAll(5).rfind("HTTP/1.1 403", 0), 0u);
  }
  // Dee's ranked game too, once the first server has seen it.
  EXPECT_GE(SecondsUntil([&] { return Board(first).size() == expected.size() + 1; }), 0);
}

}  // namespace
