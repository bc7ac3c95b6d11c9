// The moderator's command against the database of a running server, on
// SQLite and on PostgreSQL: what it hides leaves every page the server
// keeps in memory, a banned name's uploads are refused, and its mistakes
// (no such entry, a mistyped path or command) change nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sqlite3.h>
#include <pqxx/pqxx>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "launcher/upload_address.h"
#include "server/storage.h"
#include "tests/server/postgres_cluster.h"
#include "tests/server/raw_client.h"
#include "tests/server/running_server.h"

namespace {

struct Admin {
  int code;
  std::string out;
};

Admin RunAdmin(const std::string& db, std::vector<std::string> args) {
  char pattern[] = "/tmp/score_adminXXXXXX";
  const std::string folder = mkdtemp(pattern);
  args.insert(args.begin(), {SCORE_SERVER_EXE, "admin", "--db", db});
  Admin result{RunToEnd(args, folder + "/out", folder + "/err"), ReadWholeFile(folder + "/out")};
  result.out += ReadWholeFile(folder + "/err");
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return result;
}

std::string Upload(const RunningServer& server, const char* player, int32_t score) {
  const std::string address = UploadAddress(server.Server().c_str(), "Q", player, score);
  return address.substr(server.Server().size());
}

// "name score" of each row of the board.
std::vector<std::string> Board(const RunningServer& server, const std::string& query = "") {
  std::vector<std::string> rows;
  const auto res = server.Get("/api/games/Q/scores" + query);
  if (!res || res->status != 200) return {"status " + std::to_string(res ? res->status : 0)};
  const nlohmann::json doc = nlohmann::json::parse(res->body);
  for (const auto& row : doc.at("scores")) {
    rows.push_back(row.at("name").get<std::string>() + " " + std::to_string(row.at("score").get<int>()));
  }
  return rows;
}

// The board as it is within `seconds`: a server sees a change made
// elsewhere within a twentieth of a second on SQLite, a quarter on
// PostgreSQL.
std::vector<std::string> BoardOnceChanged(const RunningServer& server, const std::vector<std::string>& old,
                                          const std::string& query = "", double seconds = 2) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  std::vector<std::string> rows = Board(server, query);
  while (rows == old && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    rows = Board(server, query);
  }
  return rows;
}

class Moderation : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (GetParam() == "postgresql") {
      PostgresCluster* cluster = PostgresCluster::Get();
      if (!cluster) GTEST_SKIP() << PostgresCluster::Problem();
      db_ = cluster->NewDatabase();
      ASSERT_FALSE(db_.empty());
    }
  }
  std::string db_;  // empty: the server's own SQLite file
};

TEST_P(Moderation, TheAdminCommandReachesARunningServersKeptPages) {
  RunningServer server({"--upload-limit", "0"}, db_);
  ASSERT_TRUE(server.Up()) << server.Log();
  const std::string db = server.Database();
  for (const auto& [player, score] : std::vector<std::pair<const char*, int>>{
           {"Ann:::N", 900}, {"Bob:::N", 800}, {"Ann:::N", 700}}) {
    ASSERT_EQ(server.Get(Upload(server, player, score))->status, 200);
  }
  const std::vector<std::string> all = {"Ann 900", "Bob 800", "Ann 700"};
  ASSERT_EQ(Board(server), all);
  ASSERT_EQ(Board(server, "?by=player"), (std::vector<std::string>{"Ann 900", "Bob 800"}));

  const Admin recent = RunAdmin(db, {"list-recent", "2"});
  ASSERT_EQ(recent.code, 0) << recent.out;
  const std::regex line("([0-9]+)\tQ\tAnn\t700\t[0-9-]+ [0-9:]+\n([0-9]+)\tQ\tBob\t800\t[0-9-]+ [0-9:]+\n");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(recent.out, m, line)) << recent.out;
  const std::string bob = m[2];
  const std::string ann = std::to_string(std::stoll(bob) - 1);  // the first upload

  // Hidden: off the boards the server kept, its rank and its player's best.
  EXPECT_EQ(RunAdmin(db, {"hide", ann}).out, "entry " + ann + " of Q is hidden\n");
  EXPECT_EQ(BoardOnceChanged(server, all), (std::vector<std::string>{"Bob 800", "Ann 700"}));
  EXPECT_EQ(Board(server, "?by=player&period=today"), (std::vector<std::string>{"Bob 800", "Ann 700"}));
  const nlohmann::json standing = nlohmann::json::parse(server.Get("/api/games/Q/players/Ann")->body);
  EXPECT_EQ(standing.at("periods").at("all").at("score"), 700);
  EXPECT_EQ(standing.at("periods").at("all").at("rank"), 2);
  EXPECT_NE(server.Get("/")->body.find("<td>Bob</td>"), std::string::npos);
  EXPECT_EQ(server.Get("/")->body.find("900"), std::string::npos);
  auto again = server.Get(Upload(server, "Ann:::N", 900));
  EXPECT_EQ(again->status, 403);
  EXPECT_NE(again->body.find("taken off the board by its moderators"), std::string::npos);
  EXPECT_NE(server.Get(Upload(server, "Cy:::N", 850))->body.find("number 1 of 3"), std::string::npos);
  EXPECT_NE(RunAdmin(db, {"list-recent", "5"}).out.find(ann + "\tQ\tAnn\t900\t"), std::string::npos);

  // Banned: the name and its look-alikes are refused, others still upload.
  EXPECT_EQ(RunAdmin(db, {"ban", "Bob"}).out, "Bob is banned\n");
  for (const char* player : {"Bob:::N", "B\xd0\xbe" "b:::N"}) {  // a Cyrillic "о"
    auto refused = server.Get(Upload(server, player, 1000));
    EXPECT_EQ(refused->status, 403) << player;
    EXPECT_NE(refused->body.find("This name may not upload scores here."), std::string::npos);
  }
  EXPECT_EQ(RunAdmin(db, {"unban", "Bob"}).out, "Bob may upload again\n");
  EXPECT_EQ(server.Get(Upload(server, "Bob:::N", 1000))->status, 200);

  // Shown again, with its rank.
  const std::vector<std::string> before = Board(server);
  EXPECT_EQ(RunAdmin(db, {"unhide", ann}).code, 0);
  EXPECT_EQ(BoardOnceChanged(server, before),
            (std::vector<std::string>{"Bob 1000", "Ann 900", "Cy 850", "Bob 800", "Ann 700"}));

  // Mistakes change nothing and say so.
  const Admin missing = RunAdmin(db, {"hide", "999999"});
  EXPECT_EQ(missing.code, 1);
  EXPECT_NE(missing.out.find("there is no entry 999999"), std::string::npos);
  EXPECT_EQ(RunAdmin(db, {"hide", "x"}).code, 2);
  EXPECT_EQ(RunAdmin(db, {"delete", "1"}).code, 2);
  EXPECT_EQ(RunAdmin(db, {"list-recent"}).code, 2);
  EXPECT_EQ(Board(server).size(), 5u);
}

// The id of the newest entry, from the moderator's list.
std::string NewestId(const std::string& db) {
  const std::string out = RunAdmin(db, {"list-recent", "1"}).out;
  return out.substr(0, out.find('\t'));
}

TEST_P(Moderation, OneIdentityPerPlayerWhateverTheSpellingOrTheOtherFields) {
  RunningServer server({"--upload-limit", "0"}, db_);
  ASSERT_TRUE(server.Up()) << server.Log();
  // Padding is no other name: one entry.
  for (const char* player : {"Alice :::N", " Alice:::N", "Alice:::N", "Alice:1 Main St:a@x.org:Y"}) {
    EXPECT_EQ(server.Get(Upload(server, player, 500))->status, 200) << player;
  }
  EXPECT_EQ(Board(server), (std::vector<std::string>{"Alice 500"}));
  auto lower = server.Get(Upload(server, "alice:::N", 600));
  EXPECT_EQ(lower->status, 400);
  EXPECT_NE(lower->body.find("looks like"), std::string::npos);

  // A hidden entry stays hidden whatever comes with it again.
  ASSERT_EQ(server.Get(Upload(server, "Eve:::N", 700))->status, 200);
  const std::string eve = NewestId(server.Database());
  ASSERT_EQ(RunAdmin(server.Database(), {"hide", eve}).code, 0);
  for (const char* player : {"Eve:::N", "Eve:1 Main St:e@x.org:Y", " Eve :::N", "Eve:a:b:Y"}) {
    EXPECT_EQ(server.Get(Upload(server, player, 700))->status, 403) << player;
  }
  // Sent as they are: the launcher itself sends "N" for any choice but "Y".
  for (const char* send : {"n", "Z", ""}) {
    const std::string target =
        "/cgi-bin/hiscore.cgi?game=Q&name=Eve:::" + std::string(send) + "&score=" + std::to_string(700 ^ 0x07B7B7B7);
    EXPECT_EQ(server.Get(target)->status, 400) << send;
  }
  EXPECT_EQ(BoardOnceChanged(server, {"Eve 700", "Alice 500"}), (std::vector<std::string>{"Alice 500"}));

  // A ban holds against every spelling of the name.
  EXPECT_EQ(RunAdmin(server.Database(), {"ban", "Mallory"}).code, 0);
  for (const char* player : {"Mallory:::N", "Mallory :::N", " Mallory:::N", "mallory:::N", "MALLORY:::N",
                             "Mallo\xcc\x81ry:::N", "M\xc3\xa1llory:::Y"}) {
    auto refused = server.Get(Upload(server, player, 800));
    EXPECT_EQ(refused->status, 403) << player;
    EXPECT_NE(refused->body.find("This name may not upload scores here."), std::string::npos) << player;
  }
  EXPECT_EQ(score::OpenStorage(server.Database())->Dump("Q").size(), 2u);
}

// Runs statements on the database behind `where` directly, as an older
// server would have left it.
void Execute(const std::string& where, const std::string& statements) {
  if (where.find("://") == std::string::npos) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(where.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int code = sqlite3_exec(db, statements.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(code, SQLITE_OK) << message;
  } else {
    pqxx::connection connection(where);
    pqxx::nontransaction work(connection);
    work.exec(statements);
  }
}

// A database of an older server kept an entry per address, e-mail, send
// and untrimmed name: at open they become one entry, the earliest, verified
// when any was, hidden when any was, keeping the one replay.
TEST_P(Moderation, AnOlderDatabasesLooseEntriesCollapseAtOpen) {
  char pattern[] = "/tmp/score_migrateXXXXXX";
  const std::string folder = mkdtemp(pattern);
  const std::string where = db_.empty() ? folder + "/scores.db" : db_;
  score::OpenStorage(where).reset();
  Execute(where,
          "DROP INDEX IF EXISTS scores_identity; DELETE FROM migrations;"
          "CREATE UNIQUE INDEX scores_entry ON scores (game, score, name, address, email, send);"
          "INSERT INTO scores (id, game, name, address, email, send, score, created) VALUES"
          " (1, 'Q', 'Alice', '', '', 'N', 500, 10), (2, 'Q', ' Alice', '', '', 'N', 500, 20),"
          " (3, 'Q', 'Alice', 'a', 'e', 'Y', 500, 30), (4, 'Q', 'Alice', '', '', 'Z', 400, 40),"
          " (5, 'Q', 'Bob', '', '', 'N', 300, 50), (6, 'Q', 'Bob ', '', '', '', 300, 60),"
          " (7, 'Q', 'Cy', '', '', 'N', 200, 70);"
          "INSERT INTO verified (id, game, score) VALUES (2, 'Q', 500), (6, 'Q', 300);"
          "INSERT INTO replays (id, hash, text, actions, greedy, fastest, p10) VALUES (2, 'h2', 'replay two', 1, 1, 1, 1);"
          "INSERT INTO hidden (id) VALUES (3);"
          "INSERT INTO names (game, skeleton, name) VALUES ('Q', 'old', 'Alice');"
          "INSERT INTO bests (game, name, id, score) VALUES ('Q', ' Alice', 2, 500);");
  {
    auto storage = score::OpenStorage(where);
    const std::vector<score::Entry> kept = storage->Dump("Q");
    ASSERT_EQ(kept.size(), 4u);
    EXPECT_EQ(kept[0].name + " " + std::to_string(kept[0].score) + " " + std::to_string(kept[0].created), "Alice 500 10");
    EXPECT_TRUE(kept[0].verified);
    EXPECT_EQ(kept[1].name + " " + std::to_string(kept[1].score), "Alice 400");
    EXPECT_EQ(kept[2].name + " " + std::to_string(kept[2].score) + " " + std::to_string(kept[2].created), "Bob 300 50");
    EXPECT_TRUE(kept[2].verified);
    // The merged entry is hidden, as one of its rows was: off the board and its counts.
    score::BoardQuery all;
    all.limit = 10;
    std::vector<std::string> rows;
    for (const score::Row& r : storage->Board("Q", all).rows) rows.push_back(r.name + " " + std::to_string(r.score));
    EXPECT_EQ(rows, (std::vector<std::string>{"Alice 400", "Bob 300", "Cy 200"}));
    EXPECT_EQ(storage->Count("Q"), 3);
    score::BoardQuery players = all;
    players.byPlayer = true;
    EXPECT_EQ(storage->Board("Q", players).total, 3);
    EXPECT_TRUE(storage->Add(score::Entry{"Q", "Alice", "elsewhere", "x@y.org", "Y", 500, 99}).hidden);
    // Look-alikes and bans compare the new skeletons.
    EXPECT_EQ(storage->Add(score::Entry{"Q", "ALICE", "", "", "N", 1, 99}).lookalike, "Alice");
    EXPECT_EQ(storage->Add(score::Entry{"Q", "Cy", "", "", "N", 200, 99}).id, 7);
    ASSERT_TRUE(storage->SetHidden(1, false).changed);
    EXPECT_EQ(storage->ReplayText(1).value_or("none"), "replay two");
    EXPECT_EQ(storage->Board("Q", all).rows.at(0).name, "Alice");
  }
  // Opened again, nothing more changes.
  EXPECT_EQ(score::OpenStorage(where)->Dump("Q").size(), 4u);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

// Several uploads from many addresses: the caps that hold them all.
int UploadFrom(const RunningServer& server, const std::string& from, const std::string& player, int score,
               const char* game = "Q") {
  httplib::Client client("127.0.0.1", server.Port());
  const auto res = client.Get(UploadAddress("", game, player.c_str(), score), {{"X-Forwarded-For", from}});
  return res ? res->status : 0;
}

TEST(Caps, ATotalUploadRateHoldsWhateverTheAddresses) {
  RunningServer server({"--trust-proxy", "127.0.0.1", "--upload-total", "5"});
  ASSERT_TRUE(server.Up()) << server.Log();
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(UploadFrom(server, std::string("10.0.0.").append(std::to_string(i)), std::string("P").append(std::to_string(i)) + ":::N", 10 + i), 200) << i;
  }
  EXPECT_EQ(UploadFrom(server, "10.0.1.1", "Late:::N", 99), 429);
  EXPECT_EQ(UploadFrom(server, "2001:db8:9::1", "Later:::N", 99), 429);
}

TEST(Caps, AnIpv6SiteSharesOneAllowanceBesidesEachSlash64s) {
  RunningServer server({"--trust-proxy", "127.0.0.1", "--upload-limit", "2", "--upload-limit-48", "3"});
  ASSERT_TRUE(server.Up()) << server.Log();
  EXPECT_EQ(UploadFrom(server, "2001:db8:1:1::1", "A:::N", 1), 200);
  EXPECT_EQ(UploadFrom(server, "2001:db8:1:1::2", "A:::N", 2), 200);
  EXPECT_EQ(UploadFrom(server, "2001:db8:1:1::3", "A:::N", 3), 429);  // the /64's own
  EXPECT_EQ(UploadFrom(server, "2001:db8:1:2::1", "B:::N", 4), 200);
  EXPECT_EQ(UploadFrom(server, "2001:db8:1:3::1", "C:::N", 5), 429);  // the /48's
  EXPECT_EQ(UploadFrom(server, "2001:db8:2:3::1", "D:::N", 6), 200);
  // IPv4 addresses have no site beyond themselves.
  for (int i = 0; i < 4; ++i) EXPECT_EQ(UploadFrom(server, "10.0.0." + std::to_string(i), "E:::N", 10 + i), 200);
}

TEST(Caps, NewGamesOnlyFromTheListAndByDefaultTheGamesWithRules) {
  RunningServer plain({"--upload-limit", "0"}, "", false);
  ASSERT_TRUE(plain.Up()) << plain.Log();
  auto other = plain.Get(Upload(plain, "Ann:::N", 5));
  EXPECT_EQ(other->status, 400);
  EXPECT_NE(other->body.find("This server keeps no scores for Q."), std::string::npos) << other->body;
  EXPECT_EQ(plain.Get(UploadAddress("", "Quibbleton", "Ann:::N", 5))->status, 200);

  char pattern[] = "/tmp/score_gamesXXXXXX";
  const std::string folder = mkdtemp(pattern);
  std::ofstream(folder + "/games.txt") << "Quibbleton\nQuibb1eton\nquibbleton\nQuibbleton\xe2\x80\x8b\n"
                                          "Quib\xe2\x80\xae" "bleton\n";
  RunningServer listed({"--upload-limit", "0", "--games", folder + "/games.txt"});
  ASSERT_TRUE(listed.Up()) << listed.Log();
  EXPECT_EQ(listed.Get(UploadAddress("", "Quibbleton", "Ann:::N", 5))->status, 200);
  for (const char* game : {"Quibb1eton", "quibbleton"}) {
    auto like = listed.Get(UploadAddress("", game, "Ann:::N", 5));
    EXPECT_EQ(like->status, 400) << game;
    EXPECT_NE(like->body.find("looks like the game Quibbleton"), std::string::npos) << like->body;
  }
  EXPECT_NE(listed.Get(UploadAddress("", "Quibbleton\xe2\x80\x8b", "Ann:::N", 5))->body.find("The game name holds an invisible"),
            std::string::npos);
  EXPECT_NE(listed.Get(UploadAddress("", "Quib\xe2\x80\xae" "bleton", "Ann:::N", 5))->body.find("direction"),
            std::string::npos);
  EXPECT_EQ(score::OpenStorage(listed.Database())->Games(), (std::vector<std::string>{"Quibbleton"}));
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

INSTANTIATE_TEST_SUITE_P(Backends, Moderation, testing::Values("sqlite", "postgresql"),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });

TEST(ModerationCommand, AMistypedPathCreatesNoDatabase) {
  const std::string path = "/tmp/score_no_such_folder_" + std::to_string(getpid()) + ".db";
  const Admin result = RunAdmin(path, {"list-recent", "5"});
  EXPECT_EQ(result.code, 1);
  EXPECT_NE(result.out.find("there is no database at"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(path));
}

// Two servers on one PostgreSQL database: each sees the other's uploads
// on the boards it keeps in memory, and on a kept-alive connection a
// board read after an upload is never the page kept from before it.
TEST(KeptBoards, AnotherServersUploadsAndThisConnectionsOwnAreSeen) {
  PostgresCluster* cluster = PostgresCluster::Get();
  if (!cluster) GTEST_SKIP() << PostgresCluster::Problem();
  const std::string db = cluster->NewDatabase();
  RunningServer first({"--upload-limit", "0"}, db);
  RunningServer second({"--upload-limit", "0"}, db);
  ASSERT_TRUE(first.Up() && second.Up()) << first.Log() << second.Log();
  ASSERT_EQ(first.Get(Upload(first, "Ann:::N", 500))->status, 200);
  EXPECT_EQ(BoardOnceChanged(second, {"status 404"}), (std::vector<std::string>{"Ann 500"}));
  ASSERT_EQ(first.Get(Upload(first, "Bob:::N", 600))->status, 200);
  EXPECT_EQ(BoardOnceChanged(second, {"Ann 500"}), (std::vector<std::string>{"Bob 600", "Ann 500"}));

  RawClient client(second.Port());
  ASSERT_TRUE(client.Connected());
  const std::string read = "GET /api/games/Q/scores HTTP/1.1\r\nHost: x\r\n\r\n";
  const std::string upload = "GET " + Upload(second, "Cy:::N", 700) + " HTTP/1.1\r\nHost: x\r\n\r\n";
  ASSERT_TRUE(client.Send(read + upload + read));
  std::string stream;
  for (int i = 0; i < 50 && Answers(stream) < 3; ++i) stream += client.ReadAll(0.1);
  ASSERT_EQ(Answers(stream), 3) << stream;
  const size_t middle = stream.find("HTTP/1.1 ", 1), third = stream.rfind("HTTP/1.1 ");
  EXPECT_EQ(stream.substr(0, middle).find("\"Cy\""), std::string::npos) << stream;
  EXPECT_NE(stream.substr(middle, third - middle).find("HTTP/1.1 200"), std::string::npos) << stream;
  EXPECT_NE(stream.find("\"name\":\"Cy\",\"rank\":1", third), std::string::npos) << stream;
}

}  // namespace
