// A database that stops answering: another process holds the SQLite file's
// write lock while uploads pile up. The liveness check must not wait behind
// them, and the readiness check must say so at once.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "launcher/upload_address.h"
#include "server/storage.h"
#include "tests/server/fake_web_build.h"
#include "tests/server/raw_client.h"
#include "tests/server/running_server.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// One request on a fresh connection: its status and its seconds.
std::pair<int, double> Timed(int port, const std::string& target) {
  const auto start = Clock::now();
  RawClient client(port);
  client.Send("GET " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  const std::string answer = client.ReadAll(20);
  const int status = answer.size() > 12 ? std::stoi(answer.substr(9, 3)) : 0;
  return {status, SecondsSince(start)};
}

TEST(FrozenDatabase, HealthzAnswersAtOnceAndReadyzSaysWhileUploadsAreStuck) {
  const FakeWebBuild web;
  RunningServer server({"--upload-limit", "0", "--web", web.Folder()});
  ASSERT_TRUE(server.Up()) << server.Log();
  ASSERT_EQ(server.Get(UploadAddress("", "Q", "Ann:::Y", 1))->status, 200);

  // This test's process takes the write lock and keeps it.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(server.Database().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

  // More uploads than the server has threads of any kind.
  std::vector<std::thread> uploads;
  std::atomic<int> stored{0}, refused{0};
  for (int i = 0; i < 24; ++i) {
    uploads.emplace_back([&, i] {
      const auto [status, seconds] =
          Timed(server.Port(), UploadAddress("", "Q", ("P" + std::to_string(i) + ":::Y").c_str(), 10 + i));
      (status == 200 ? stored : refused)++;
      EXPECT_TRUE(status == 200 || status == 503) << status;
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));

  double worst = 0;
  for (int i = 0; i < 20; ++i) {
    const auto [status, seconds] = Timed(server.Port(), "/healthz");
    EXPECT_EQ(status, 200);
    worst = std::max(worst, seconds);
  }
  EXPECT_LT(worst, 0.1);
  // The games' pages come from the disk: they never wait for the database.
  const auto [play, playSeconds] = Timed(server.Port(), "/play/Quibbleton/");
  EXPECT_EQ(play, 200);
  EXPECT_LT(playSeconds, 0.1);
  const auto [ready, readySeconds] = Timed(server.Port(), "/readyz");
  EXPECT_EQ(ready, 503);
  EXPECT_LT(readySeconds, 0.5);
  // The JSON API says it in JSON, with when to come back.
  RawClient api(server.Port());
  api.Send("GET /api/games/Q/scores HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  const std::string answer = api.ReadAll(5);
  EXPECT_EQ(answer.rfind("HTTP/1.1 503", 0), 0u) << answer;
  EXPECT_NE(answer.find("Retry-After: "), std::string::npos) << answer;
  EXPECT_NO_THROW(nlohmann::json::parse(answer.substr(answer.find("\r\n\r\n") + 4))) << answer;

  // The lock goes: every upload got an answer, none was lost, and the
  // server is ready again.
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  for (auto& upload : uploads) upload.join();
  EXPECT_EQ(stored + refused, 24);
  EXPECT_EQ(Timed(server.Port(), "/readyz").first, 200);
  EXPECT_EQ(score::OpenStorage(server.Database())->Dump("Q").size(), 1u + stored);

  // Stopped while uploads are stuck again: those it has taken up still get
  // their answer (a request not yet read may go unanswered, never a 200),
  // and the server ends cleanly within a busy timeout.
  ASSERT_EQ(sqlite3_open(server.Database().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  std::vector<std::thread> more;
  std::atomic<int> answered{0}, otherwise{0};
  for (int i = 0; i < 12; ++i) {
    more.emplace_back([&, i] {
      const std::string player = "R" + std::to_string(i) + ":::Y";
      const int status = Timed(server.Port(), UploadAddress("", "Q", player.c_str(), 5)).first;
      if (status == 503) {
        ++answered;
      } else if (status != 0) {
        ++otherwise;
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  const auto stopping = Clock::now();
  server.Process().Signal(SIGTERM);
  EXPECT_EQ(server.Process().Wait(), 0);
  EXPECT_LT(SecondsSince(stopping), 7.0);
  for (auto& upload : more) upload.join();
  EXPECT_GE(answered, 8);  // at least the workers' own
  EXPECT_EQ(otherwise, 0);
  sqlite3_close(other);
}

}  // namespace
