// The moderator's command against the database of a running server, on
// SQLite and on PostgreSQL: what it hides leaves every page the server
// keeps in memory, a banned name's uploads are refused, and its mistakes
// (no such entry, a mistyped path or command) change nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "launcher/upload_address.h"
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
