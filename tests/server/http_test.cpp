// The built server over real HTTP: uploads built by the launcher's own
// escaping, every refusal with its status and nothing stored, hostile names
// shown as text, privacy, the repeat upload, the rate limit and the stop.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <pqxx/pqxx>
#include <string>
#include <thread>
#include <vector>

#include "launcher/upload_address.h"
#include "server/storage.h"
#include "tests/server/postgres_cluster.h"
#include "tests/server/raw_client.h"
#include "tests/server/running_server.h"

namespace {

// The path and query of the address the launcher hands to the browser.
std::string Upload(const RunningServer& server, const char* game, const char* player, int32_t score) {
  const std::string address = UploadAddress(server.Server().c_str(), game, player, score);
  return address.substr(server.Server().size());
}

size_t Entries(const RunningServer& server, const std::string& game) {
  return score::OpenStorage(server.Database())->Dump(game).size();
}

TEST(ScoreServerHttp, UploadRoundTripShowsEverywhere) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  auto first = server.Get(Upload(server, "Quibbleton", "Ann:1 Main St::Y", 1200));
  ASSERT_TRUE(first);
  EXPECT_EQ(first->status, 200);
  EXPECT_NE(first->body.find("Your score is number 1 of 1 in Quibbleton."), std::string::npos) << first->body;

  auto second = server.Get(Upload(server, "Quibbleton", "Zo\xc3\xab & Bo:::N", 5000));
  ASSERT_TRUE(second);
  EXPECT_NE(second->body.find("Your score is number 1 of 2 in Quibbleton."), std::string::npos) << second->body;
  EXPECT_NE(second->body.find("<td>Ann</td><td class=\"n\">1200</td>"), std::string::npos);
  auto other = server.Get(Upload(server, "Big Game", "Cy:::Y", 3));
  EXPECT_NE(other->body.find("number 1 of 1 in Big Game."), std::string::npos);

  auto page = server.Get("/games/Quibbleton");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->get_header_value("Content-Type").find("text/html"), std::string::npos);
  const size_t zoe = page->body.find("Zo\xc3\xab &amp; Bo");
  const size_t ann = page->body.find(">Ann<");
  ASSERT_NE(zoe, std::string::npos);
  EXPECT_LT(zoe, ann);  // best first

  auto json = server.Get("/api/games/Quibbleton/scores?limit=1");
  ASSERT_TRUE(json);
  EXPECT_EQ(json->status, 200);
  EXPECT_EQ(json->get_header_value("Content-Type"), "application/json");
  const nlohmann::json doc = nlohmann::json::parse(json->body);
  EXPECT_EQ(doc["total"], 2);
  ASSERT_EQ(doc["scores"].size(), 1u);
  EXPECT_EQ(doc["scores"][0]["name"], "Zo\xc3\xab & Bo");
  EXPECT_EQ(doc["scores"][0]["score"], 5000);
  EXPECT_EQ(doc["scores"][0]["rank"], 1);

  auto home = server.Get("/");
  EXPECT_NE(home->body.find("href=\"/games/Big%20Game\""), std::string::npos);
  EXPECT_NE(server.Get("/games/Big%20Game")->body.find(">Cy<"), std::string::npos);
  EXPECT_EQ(server.Get("/healthz")->body, "ok\n");

  EXPECT_EQ(server.Get("/games/Nothing")->status, 404);
  EXPECT_EQ(server.Get("/games/..")->status, 404);
  // Names that cannot be games are refused before any lookup.
  for (const char* target : {"/games/%zz", "/games/a%2Fb", "/api/games/%zz/scores", "/api/games/..%2F/scores"}) {
    auto refused = server.Get(target);
    EXPECT_EQ(refused->status, 404) << target;
    EXPECT_NE(refused->body.find("There is no game by that name."), std::string::npos) << target;
  }
  for (const char* target : {"/api/games/scores", "/api/games//scores", "/api/games/Quibbleton"}) {
    auto missing = server.Get(target);
    EXPECT_EQ(missing->status, 404) << target;
    EXPECT_NE(missing->body.find("There is no page at this address."), std::string::npos) << target;
  }
  EXPECT_EQ(server.Get("/api/games/Nothing/scores")->status, 404);
  EXPECT_EQ(server.Get("/api/games/Quibbleton/scores?limit=0")->status, 400);
  EXPECT_EQ(server.Get("/api/games/Quibbleton/scores?limit=101")->status, 400);
  EXPECT_EQ(server.Get("/nowhere")->status, 404);
  httplib::Client client("127.0.0.1", server.Port());
  EXPECT_EQ(client.Post("/cgi-bin/hiscore.cgi", "game=Q", "text/plain")->status, 405);
}

TEST(ScoreServerHttp, BadUploadsAre400AndStoreNothing) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  const std::string ok = std::to_string(1200 ^ 0x07B7B7B7);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/cgi-bin/hiscore.cgi", "needs a game name"},
      {"/cgi-bin/hiscore.cgi?game=Q&score=" + ok, "needs a name field"},
      {Upload(server, "Q", "", 0), "No score to upload."},
      {"/cgi-bin/hiscore.cgi?game=..%2Fetc&name=A:::Y&score=" + ok, "plain directory name"},
      {"/cgi-bin/hiscore.cgi?game=Q&name=A:::Y&score=1e5", "decimal number"},
      {Upload(server, "Q", "A:::Y", -5), "negative"},
      {Upload(server, "Q", (std::string(64, 'n') + ":::Y").c_str(), 1), "longer than the launcher allows"},
      {"/cgi-bin/hiscore.cgi?game=Q&name=A%fe:::Y&score=" + ok, "UTF-8"},
      {"/cgi-bin/hiscore.cgi?game=Q&name=A%0d%0aX:::Y&score=" + ok, "control characters"},
      {"/cgi-bin/hiscore.cgi?game=Q&name=A:b:c:Y:more&score=" + ok, "send value is longer"},
  };
  for (const auto& [target, reason] : cases) {
    auto res = server.Get(target);
    ASSERT_TRUE(res) << target;
    EXPECT_EQ(res->status, 400) << target;
    EXPECT_NE(res->body.find(reason), std::string::npos) << target << "\n" << res->body;
  }
  EXPECT_EQ(Entries(server, "Q"), 0u);
  EXPECT_EQ(server.Get("/")->body.find("<table>"), std::string::npos);
}

TEST(ScoreServerHttp, HostileNamesAreStoredAndShownAsText) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  const char* script = "<script>alert(1)</script>:::Y";
  const char* injection = "x'); DROP TABLE scores;--:::Y";
  const char* attribute = "\"><img src=x onerror=alert(1)>:::Y";
  for (const char* player : {script, injection, attribute}) {
    auto res = server.Get(Upload(server, "Quibbleton", player, 10));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200) << player << res->body;
  }
  for (const char* target : {"/", "/games/Quibbleton"}) {
    const std::string body = server.Get(target)->body;
    EXPECT_EQ(body.find("<script>"), std::string::npos) << target;
    EXPECT_EQ(body.find("<img"), std::string::npos) << target;
    EXPECT_NE(body.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos) << target;
    EXPECT_NE(body.find("x&#39;); DROP TABLE scores;--"), std::string::npos) << target;
    EXPECT_NE(body.find("&quot;&gt;&lt;img src=x onerror=alert(1)&gt;"), std::string::npos) << target;
  }
  const nlohmann::json doc = nlohmann::json::parse(server.Get("/api/games/Quibbleton/scores")->body);
  EXPECT_EQ(doc["total"], 3);
  EXPECT_EQ(doc["scores"][1]["name"], "x'); DROP TABLE scores;--");
}

TEST(ScoreServerHttp, UploadingTwiceStoresOnce) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  const std::string target = Upload(server, "Quibbleton", "Ann:1 Main St::Y", 1200);
  EXPECT_EQ(server.Get(target)->status, 200);
  auto again = server.Get(target);
  EXPECT_EQ(again->status, 200);
  EXPECT_NE(again->body.find("number 1 of 1"), std::string::npos);
  EXPECT_NE(again->body.find("uploaded before"), std::string::npos);
  EXPECT_EQ(Entries(server, "Quibbleton"), 1u);
}

TEST(ScoreServerHttp, PrivateDetailsAreKeptOnlyWithConsentAndNeverShown) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  std::vector<std::string> bodies;
  bodies.push_back(server.Get(Upload(server, "Quibbleton", "Ann:12 Secret Lane:ann@hidden.example:Y", 10))->body);
  bodies.push_back(server.Get(Upload(server, "Quibbleton", "Bob:34 Private Road:bob@hidden.example:N", 20))->body);
  for (const char* target : {"/", "/games/Quibbleton", "/api/games/Quibbleton/scores"}) {
    bodies.push_back(server.Get(target)->body);
  }
  for (const std::string& body : bodies) {
    EXPECT_NE(body.find("Ann"), std::string::npos);
    for (const char* secret : {"Secret", "Private", "hidden.example", "@"}) {
      EXPECT_EQ(body.find(secret), std::string::npos) << secret << " in\n" << body;
    }
  }
  const std::vector<score::Entry> stored = score::OpenStorage(server.Database())->Dump("Quibbleton");
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0].address, "12 Secret Lane");
  EXPECT_EQ(stored[0].email, "ann@hidden.example");
  EXPECT_EQ(stored[1].name, "Bob");
  EXPECT_EQ(stored[1].address, "");
  EXPECT_EQ(stored[1].email, "");
  // The log has one line per request and no query, so nothing private either.
  EXPECT_EQ(server.Log().find("hidden"), std::string::npos);
}

TEST(ScoreServerHttp, UploadsPastTheLimitGet429) {
  RunningServer server({"--upload-limit", "3"});
  ASSERT_TRUE(server.Up()) << server.Log();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(server.Get(Upload(server, "Q", "A:::Y", i))->status, 200) << i;
  auto refused = server.Get(Upload(server, "Q", "A:::Y", 99));
  EXPECT_EQ(refused->status, 429);
  EXPECT_EQ(refused->get_header_value("Retry-After"), "60");
  EXPECT_EQ(Entries(server, "Q"), 3u);
  EXPECT_EQ(server.Get("/games/Q")->status, 200);  // reading is not limited
}

TEST(ScoreServerHttp, OversizedAndSlowRequestsAreCutOff) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  auto huge = server.Get("/cgi-bin/hiscore.cgi?game=Q&name=" + std::string(10000, 'a') + ":::Y&score=1");
  ASSERT_TRUE(huge);
  EXPECT_EQ(huge->status, 414);

  // A client that sends half a request line and then nothing is dropped.
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(server.Port()));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const char partial[] = "GET /games/Q HT";
  ASSERT_EQ(send(fd, partial, sizeof partial - 1, 0), static_cast<ssize_t>(sizeof partial - 1));
  timeval wait{15, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  const auto start = std::chrono::steady_clock::now();
  char buffer[256];
  const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  close(fd);
  EXPECT_LE(got, 0) << "the server answered a request it never received";
  EXPECT_LT(seconds, 10.0);
}

TEST(ScoreServerHttp, StopsCleanlyOnSigint) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  server.Process().Signal(SIGINT);
  EXPECT_EQ(server.Process().Wait(), 0);
  EXPECT_NE(server.Log().find("stopped"), std::string::npos) << server.Log();
}

TEST(ScoreServerHttp, StopsCleanlyOnSigtermAndLogsEachRequest) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  server.Get("/");
  server.Get("/healthz");
  server.Get(Upload(server, "Q", "A:::Y", 1));
  server.Process().Signal(SIGTERM);
  EXPECT_EQ(server.Process().Wait(), 0);
  const std::string log = server.Log();
  EXPECT_NE(log.find(" GET / 200"), std::string::npos) << log;
  EXPECT_NE(log.find(" GET /healthz 200"), std::string::npos) << log;
  EXPECT_NE(log.find(" GET /cgi-bin/hiscore.cgi 200"), std::string::npos) << log;
  EXPECT_NE(log.find("stopped"), std::string::npos) << log;
}

// On PostgreSQL: the round trip, then the database going away (503, with
// nothing but one sentence for the client) and coming back (the server
// reconnects by itself).
TEST(ScoreServerHttp, PostgresRoundTripAndOutage) {
  PostgresCluster* cluster = PostgresCluster::Get();
  if (!cluster) GTEST_SKIP() << PostgresCluster::Problem();
  const std::string database = cluster->NewDatabase();
  ASSERT_FALSE(database.empty());
  RunningServer server({}, database);
  ASSERT_TRUE(server.Up()) << server.Log();
  auto first = server.Get(Upload(server, "Quibbleton", "Ann:1 Main St::Y", 1200));
  EXPECT_EQ(first->status, 200);
  EXPECT_NE(first->body.find("number 1 of 1 in Quibbleton."), std::string::npos) << first->body;
  EXPECT_NE(server.Get("/games/Quibbleton")->body.find(">Ann<"), std::string::npos);
  // Requests at once leave several idle connections, all broken by the outage.
  std::vector<std::thread> readers;
  for (int i = 0; i < 6; ++i) {
    readers.emplace_back([&server] {
      for (int k = 0; k < 5; ++k) server.Get("/games/Quibbleton");
    });
  }
  for (auto& reader : readers) reader.join();

  cluster->Stop();
  // Alive without the database, not ready.
  EXPECT_EQ(server.Get("/healthz")->status, 200);
  auto down = server.Get("/readyz");
  EXPECT_EQ(down->status, 503);
  EXPECT_EQ(down->get_header_value("Retry-After"), "30");
  auto api = server.Get("/api/games/Quibbleton/scores");
  EXPECT_EQ(api->status, 503);
  EXPECT_EQ(nlohmann::json::parse(api->body)["error"], "The score database cannot be reached; please try again later.");
  auto refused = server.Get(Upload(server, "Quibbleton", "Bob:::N", 900));
  EXPECT_EQ(refused->status, 503);
  EXPECT_NE(refused->body.find("cannot be reached"), std::string::npos) << refused->body;
  EXPECT_EQ(refused->body.find("postgresql://"), std::string::npos);

  ASSERT_TRUE(cluster->Start());
  EXPECT_EQ(server.Get("/readyz")->status, 200);
  auto second = server.Get(Upload(server, "Quibbleton", "Bob:::N", 900));
  EXPECT_EQ(second->status, 200);
  EXPECT_NE(second->body.find("number 2 of 2 in Quibbleton."), std::string::npos) << second->body;
}

TEST(ScoreServerHttp, BadCommandLinesAndDatabasesEndAtStart) {
  char pattern[] = "/tmp/score_argsXXXXXX";
  const std::string folder = mkdtemp(pattern);
  const std::string log = folder + "/log";
  EXPECT_EQ(RunToEnd({SCORE_SERVER_EXE, "--listen", "nohost"}, log), 2);
  EXPECT_EQ(RunToEnd({SCORE_SERVER_EXE, "--upload-limit", "-1"}, log), 2);
  EXPECT_EQ(RunToEnd({SCORE_SERVER_EXE, "--frobnicate", "1"}, log), 2);
  EXPECT_EQ(RunToEnd({SCORE_SERVER_EXE, "--listen", "127.0.0.1:0", "--db", "mysql://x/y"}, log), 1);
  EXPECT_NE(ReadWholeFile(log).find("unknown database scheme"), std::string::npos) << ReadWholeFile(log);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

}  // namespace

namespace {

TEST(ScoreServerHttp, HeadersCachingAndTheDetailsOfEachAnswer) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  httplib::Client client("127.0.0.1", server.Port());
  // HEAD of an upload stores nothing.
  auto head = client.Head(Upload(server, "Q", "Ann:::Y", 5).c_str());
  ASSERT_TRUE(head);
  EXPECT_EQ(head->status, 405);
  EXPECT_EQ(head->get_header_value("Allow"), "GET");
  EXPECT_EQ(Entries(server, "Q"), 0u);

  auto upload = server.Get(Upload(server, "Q", "Ann:::Y", 5));
  EXPECT_EQ(upload->get_header_value("Cache-Control"), "no-store");
  EXPECT_FALSE(upload->has_header("ETag"));
  for (const char* target : {"/", "/games/Q", "/api/games/Q/scores", "/nowhere"}) {
    auto res = server.Get(target);
    EXPECT_NE(res->get_header_value("Content-Security-Policy").find("frame-ancestors 'none'"), std::string::npos);
    EXPECT_EQ(res->get_header_value("X-Content-Type-Options"), "nosniff") << target;
    EXPECT_EQ(res->get_header_value("Referrer-Policy"), "no-referrer") << target;
    EXPECT_FALSE(res->has_header("Accept-Ranges")) << target;
  }

  // A board unchanged since the client's copy costs an empty 304; an
  // upload changes its tag.
  auto board = server.Get("/games/Q");
  const std::string tag = board->get_header_value("ETag");
  ASSERT_FALSE(tag.empty());
  EXPECT_EQ(board->get_header_value("Cache-Control"), "no-cache");
  auto same = client.Get("/games/Q", {{"If-None-Match", tag}});
  EXPECT_EQ(same->status, 304);
  EXPECT_TRUE(same->body.empty());
  server.Get(Upload(server, "Q", "Bob:::Y", 9));
  auto changed = client.Get("/games/Q", {{"If-None-Match", tag}});
  EXPECT_EQ(changed->status, 200);
  EXPECT_NE(changed->get_header_value("ETag"), tag);

  // Everything under /api/ answers JSON, errors too; unknown parameters on
  // a read are ignored.
  for (const char* target : {"/api/nothing", "/api/games/%zz/scores", "/api/games/Q/scores?limit=0"}) {
    auto res = server.Get(target);
    EXPECT_EQ(res->get_header_value("Content-Type"), "application/json") << target;
    EXPECT_TRUE(nlohmann::json::parse(res->body).contains("error")) << target;
  }
  auto ignored = server.Get("/api/games/Q/scores?_=123&limit=1&utm_source=x");
  EXPECT_EQ(ignored->status, 200);
  EXPECT_EQ(nlohmann::json::parse(ignored->body)["scores"].size(), 1u);
  EXPECT_EQ(server.Get("/games/Q?page=1&_=x")->status, 200);
}

TEST(ScoreServerHttp, TheLimitCountsTheRightClientAndOnlyRealUploads) {
  RunningServer server({"--upload-limit", "2", "--trust-proxy", "127.0.0.1"});
  ASSERT_TRUE(server.Up()) << server.Log();
  httplib::Client proxy("127.0.0.1", server.Port());
  auto from = [&](const char* client, const char* player) {
    return proxy.Get(Upload(server, "Q", player, 1).c_str(), {{"X-Forwarded-For", std::string("10.9.9.9, ") + client}})
        ->status;
  };
  // Behind the trusted proxy each player has an allowance of their own
  // (the last forwarded address is the one the proxy saw).
  EXPECT_EQ(from("203.0.113.1", "A:::Y"), 200);
  EXPECT_EQ(from("203.0.113.1", "B:::Y"), 200);
  EXPECT_EQ(from("203.0.113.1", "C:::Y"), 429);
  EXPECT_EQ(from("203.0.113.2", "C:::Y"), 200);
  // IPv6 players share one allowance per /64.
  EXPECT_EQ(from("2001:db8:1:2::1", "D:::Y"), 200);
  EXPECT_EQ(from("2001:db8:1:2:ffff::9", "E:::Y"), 200);
  EXPECT_EQ(from("2001:db8:1:2::77", "F:::Y"), 429);
  EXPECT_EQ(from("2001:db8:1:3::1", "F:::Y"), 200);

  // Anyone else's X-Forwarded-For is not believed: 127.0.0.2 is its own client.
  auto direct = [&](const char* forged) {
    RawClient raw(server.Port(), "127.0.0.2");
    raw.Send("GET " + Upload(server, "Q", "G:::Y", 7) + " HTTP/1.1\r\nHost: x\r\nX-Forwarded-For: " + forged +
             "\r\nConnection: close\r\n\r\n");
    const std::string answer = raw.ReadAll(3);
    return std::stoi(answer.substr(9, 3));
  };
  // Malformed uploads and refused names do not use up the allowance.
  for (int i = 0; i < 6; ++i) {
    RawClient raw(server.Port(), "127.0.0.2");
    const std::string target =
        i % 2 ? "/cgi-bin/hiscore.cgi?game=Q&name=oops&score=1" : Upload(server, "Q", "Bob\xe2\x80\xae:::Y", 7);
    raw.Send("GET " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(raw.ReadAll(3).substr(9, 3), "400");
  }
  EXPECT_EQ(direct("198.51.100.1"), 200);
  EXPECT_EQ(direct("198.51.100.2"), 200);
  EXPECT_EQ(direct("198.51.100.3"), 429);
}

}  // namespace

namespace {

TEST(ScoreServerHttp, NamesAreNormalisedAndLookAlikesRefused) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  EXPECT_EQ(server.Get(Upload(server, "Q", "Ann:::Y", 50))->status, 200);
  // Full-width letters are the same name: the same entry again.
  auto wide = server.Get(Upload(server, "Q", "\xef\xbc\xa1nn:::Y", 50));
  EXPECT_EQ(wide->status, 200);
  EXPECT_NE(wide->body.find("uploaded before"), std::string::npos) << wide->body;
  // A Cyrillic A is refused beside the Latin one, but not on another board.
  auto cyrillic = server.Get(Upload(server, "Q", "\xd0\x90nn:::Y", 60));
  EXPECT_EQ(cyrillic->status, 400);
  EXPECT_NE(cyrillic->body.find("looks like \xe2\x80\x9c" "Ann"), std::string::npos) << cyrillic->body;
  EXPECT_EQ(server.Get(Upload(server, "Other", "\xd0\x90nn:::Y", 60))->status, 200);
  auto reversed = server.Get(Upload(server, "Q", "Bob\xe2\x80\xae:::Y", 70));
  EXPECT_EQ(reversed->status, 400);
  EXPECT_NE(reversed->body.find("direction"), std::string::npos);
  EXPECT_EQ(server.Get(Upload(server, "Q", " \xe2\x80\x8b :::Y", 70))->status, 400);
  const std::vector<score::Entry> stored = score::OpenStorage(server.Database())->Dump("Q");
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].name, "Ann");
}

}  // namespace

namespace {

// A database file deleted or replaced under the running server: no upload
// is answered 200 unless it is in the file at the path, and the server
// takes up a file put back without a restart.
TEST(ScoreServerHttp, ADatabaseFileRemovedOrReplacedIsNoticedBeforeAnswering) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  EXPECT_EQ(server.Get(Upload(server, "Q", "Ann:::Y", 10))->status, 200);
  const std::string db = server.Database();
  std::error_code ec;
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db + suffix, ec);
  for (int i = 0; i < 3; ++i) {
    auto lost = server.Get(Upload(server, "Q", "Bob:::Y", 20 + i));
    EXPECT_EQ(lost->status, 503) << i;
    EXPECT_EQ(lost->get_header_value("Retry-After"), "30");
  }
  EXPECT_EQ(server.Get("/readyz")->status, 503);
  EXPECT_EQ(server.Get("/healthz")->status, 200);
  // A board kept in memory goes with the file, within the storage's look at it.
  int board = 0;
  for (int i = 0; i < 100 && board != 503; ++i) {
    if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    board = server.Get("/games/Q")->status;
  }
  EXPECT_EQ(board, 503);
  EXPECT_FALSE(std::filesystem::exists(db)) << "an outage must not create an empty database";

  // A file restored from elsewhere (renamed into place) is used from then on.
  const std::string restored = db + ".restored";
  {
    auto storage = score::OpenStorage(restored);
    score::Entry old{"Q", "Cy", "", "", "N", 99, 1};
    storage->Add(old);
  }
  std::filesystem::rename(restored, db);
  auto back = server.Get(Upload(server, "Q", "Dee:::Y", 50));
  EXPECT_EQ(back->status, 200) << back->body;
  EXPECT_EQ(server.Get("/readyz")->status, 200);
  const std::vector<score::Entry> stored = score::OpenStorage(db)->Dump("Q");
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0].name, "Cy");
  EXPECT_EQ(stored[1].name, "Dee");
}

}  // namespace

namespace {

TEST(ScoreServerHttp, TheHomePageShowsTheMostRecentGamesAPageAtATime) {
  RunningServer server({"--upload-limit", "0"});
  ASSERT_TRUE(server.Up()) << server.Log();
  for (int i = 0; i < 120; ++i) {
    ASSERT_EQ(server.Get(Upload(server, std::string("G").append(std::to_string(i)).c_str(), "Ann:::Y", i))->status, 200);
  }
  ASSERT_EQ(server.Get(Upload(server, "G5", "Bob:::Y", 1))->status, 200);  // G5 played last
  const std::string first = server.Get("/")->body;
  size_t games = 0;
  for (size_t at = first.find("<h2>"); at != std::string::npos; at = first.find("<h2>", at + 1)) ++games;
  EXPECT_EQ(games, 50u);
  EXPECT_LT(first.find("/games/G5\""), first.find("/games/G119\""));
  EXPECT_NE(first.find("/games/G71\""), std::string::npos);
  EXPECT_EQ(first.find("/games/G70\""), std::string::npos);
  EXPECT_NE(first.find("href=\"/?page=2\">More games"), std::string::npos);
  const std::string last = server.Get("/?page=3")->body;
  EXPECT_NE(last.find("/games/G0\""), std::string::npos);
  EXPECT_EQ(last.find("More games"), std::string::npos);
  EXPECT_EQ(server.Get("/?page=4")->status, 404);
  EXPECT_EQ(server.Get("/?page=0")->status, 400);
}

TEST(ScoreServerHttp, AGamesListLimitsWhichGamesTakeUploads) {
  char pattern[] = "/tmp/score_gamesXXXXXX";
  const std::string folder = mkdtemp(pattern);
  std::ofstream(folder + "/games.txt") << "# the games of this site\nQuibbleton\n\n  Big Game  \n";
  RunningServer server({"--games", folder + "/games.txt"});
  ASSERT_TRUE(server.Up()) << server.Log();
  EXPECT_EQ(server.Get(Upload(server, "Quibbleton", "Ann:::Y", 1))->status, 200);
  EXPECT_EQ(server.Get(Upload(server, "Big Game", "Ann:::Y", 1))->status, 200);
  auto other = server.Get(Upload(server, "Spam", "Ann:::Y", 1));
  EXPECT_EQ(other->status, 400);
  EXPECT_NE(other->body.find("keeps no scores for Spam."), std::string::npos);
  EXPECT_EQ(RunToEnd({SCORE_SERVER_EXE, "--listen", "127.0.0.1:0", "--games", folder + "/none.txt"},
                     folder + "/log"), 1);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

}  // namespace

namespace {

// PostgreSQL with few connections for many requests, then frozen: requests
// fail within the timeouts instead of hanging, and the server recovers.
TEST(ScoreServerHttp, PostgresPoolIsCappedAndAFrozenDatabaseFailsInTime) {
  PostgresCluster* cluster = PostgresCluster::Get();
  if (!cluster) GTEST_SKIP() << PostgresCluster::Problem();
  const std::string database = cluster->NewDatabase();
  ASSERT_FALSE(database.empty());
  RunningServer server({"--db-pool", "2", "--db-timeout", "1", "--upload-limit", "0", "--threads", "8"}, database);
  ASSERT_TRUE(server.Up()) << server.Log();
  ASSERT_EQ(server.Get(Upload(server, "Quibbleton", "Ann:::Y", 5))->status, 200);

  pqxx::connection watcher(database);
  std::atomic<bool> done{false};
  std::vector<std::thread> readers;
  for (int i = 0; i < 8; ++i) {
    readers.emplace_back([&] {
      while (!done) EXPECT_EQ(server.Get("/games/Quibbleton")->status, 200);
    });
  }
  int most = 0;
  for (int i = 0; i < 20; ++i) {
    pqxx::nontransaction query(watcher);
    most = std::max(most, query.exec("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database()"
                                     " AND pid <> pg_backend_pid()")
                              .at(0)
                              .at(0)
                              .as<int>());
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  done = true;
  for (auto& reader : readers) reader.join();
  EXPECT_GE(most, 1);
  EXPECT_LE(most, 2);

  cluster->SignalAll(SIGSTOP);
  const auto start = std::chrono::steady_clock::now();
  auto frozen = server.Get("/readyz");
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  cluster->SignalAll(SIGCONT);
  ASSERT_TRUE(frozen);
  EXPECT_EQ(frozen->status, 503);
  EXPECT_LT(seconds, 6.0);
  EXPECT_EQ(server.Get("/readyz")->status, 200);
  EXPECT_EQ(server.Get(Upload(server, "Quibbleton", "Bob:::Y", 6))->status, 200);
}

}  // namespace
