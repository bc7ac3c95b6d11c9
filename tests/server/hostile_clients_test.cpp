// Clients that do not play by the rules, on plain sockets: slow heads,
// header floods, ranges, bodies where none belong, forged log lines, and
// the address families and proxies a public server meets.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "launcher/upload_address.h"
#include "server/storage.h"
#include "tests/server/raw_client.h"
#include "tests/server/running_server.h"

namespace {

using Clock = std::chrono::steady_clock;

// The path and query of the launcher's upload address.
std::string UploadTarget(const char* game, const char* player, int32_t score) {
  return UploadAddress("", game, player, score);
}

// The server's resident memory in kB.
long ResidentKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

TEST(HostileClients, SlowHeadsHoldNoThreadAndEndAtTheDeadline) {
  RunningServer server({"--request-timeout", "2"});
  ASSERT_TRUE(server.Up()) << server.Log();
  // 100 clients on 100 addresses, each trickling one header line at a time:
  // more than the old server had threads.
  std::vector<std::unique_ptr<RawClient>> slow;
  for (int i = 0; i < 100; ++i) {
    const std::string from = "127.0.0." + std::to_string(2 + i);
    slow.push_back(std::make_unique<RawClient>(server.Port(), from.c_str()));
    ASSERT_TRUE(slow.back()->Connected()) << i;
    slow.back()->Send("GET / HTTP/1.1\r\nHost: x\r\n");
  }
  const auto start = Clock::now();
  double worst = 0;
  while (SecondsSince(start) < 1.5) {
    for (auto& client : slow) client->Send("X-Slow: 1\r\n");
    const auto asked = Clock::now();
    auto health = server.Get("/healthz");
    worst = std::max(worst, SecondsSince(asked));
    ASSERT_TRUE(health);
    EXPECT_EQ(health->status, 200);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  EXPECT_LT(worst, 0.5);
  // Past the two seconds (and the sweep's second) every one is cut off,
  // however steadily it kept sending.
  while (SecondsSince(start) < 3.5) {
    for (auto& client : slow) client->Send("X-Slow: 1\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  int cut = 0;
  for (auto& client : slow) {
    const std::string answer = client->ReadAll(0.5);
    cut += client->Closed() ? 1 : 0;
    EXPECT_EQ(Answers(answer), 0) << answer;
  }
  EXPECT_EQ(cut, 100);

  // And a stop does not wait for clients in the middle of a head.
  std::vector<std::unique_ptr<RawClient>> more;
  for (int i = 0; i < 10; ++i) {
    more.push_back(std::make_unique<RawClient>(server.Port()));
    more.back()->Send("GET / HTTP/1.1\r\n");
  }
  const auto stopping = Clock::now();
  server.Process().Signal(SIGTERM);
  EXPECT_EQ(server.Process().Wait(), 0);
  EXPECT_LT(SecondsSince(stopping), 1.5);
}

TEST(HostileClients, HeadsAreBoundedAndAFloodCostsNoMemory) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  const long before = ResidentKb(server.Process().Pid());
  // Eight connections, each offering 50 MB of 8 kB header lines; the
  // loopback's socket buffers take some megabytes whatever the server does.
  const std::string line = "X-Flood: " + std::string(8192, 'a') + "\r\n";
  std::vector<std::thread> floods;
  std::vector<std::string> answers(8);
  std::vector<size_t> accepted(8, 0);
  for (int c = 0; c < 8; ++c) {
    floods.emplace_back([&, c] {
      RawClient client(server.Port());
      client.Send("GET / HTTP/1.1\r\nHost: x\r\n");
      for (int i = 0; i < 6400 && client.Send(line); ++i) accepted[c] += line.size();
      answers[c] = client.ReadAll(2);
    });
  }
  for (auto& flood : floods) flood.join();
  const long after = ResidentKb(server.Process().Pid());
  for (int c = 0; c < 8; ++c) {
    // Refused with an answer or cut off, long before the 50 MB were read.
    EXPECT_LT(accepted[c], 20u * 1024 * 1024) << c;
    if (!answers[c].empty()) {
      EXPECT_EQ(answers[c].rfind("HTTP/1.1 4", 0), 0u) << answers[c].substr(0, 80);
    }
  }
  EXPECT_LT(after - before, 8 * 1024) << before << " kB before, " << after << " kB after";
  EXPECT_EQ(server.Get("/healthz")->status, 200);
}

TEST(HostileClients, RangesGetTheWholePage) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  ASSERT_EQ(server.Get(UploadTarget("Q", "Ann:::Y", 5))->status, 200);
  const std::string whole = server.Get("/games/Q")->body;
  // Each "0-" asks for the whole page again.
  std::string ranges = "bytes=0-";
  for (int i = 1; i < 2700; ++i) ranges += ",0-";
  RawClient client(server.Port());
  client.Send("GET /games/Q HTTP/1.1\r\nHost: x\r\nRange: " + ranges + "\r\nConnection: close\r\n\r\n");
  const std::string answer = client.ReadAll(5);
  EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer.substr(0, 200);
  EXPECT_EQ(answer.find("Accept-Ranges"), std::string::npos);
  EXPECT_EQ(answer.find("multipart"), std::string::npos);
  EXPECT_EQ(answer.substr(answer.find("\r\n\r\n") + 4), whole);
}

TEST(HostileClients, NoBodyIsEverReadAsARequest) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  const std::string hidden =
      "GET " + UploadTarget("Q", "Mallory:::Y", 999) + " HTTP/1.1\r\nHost: x\r\n\r\n";
  // A GET carrying a body: what a proxy forwarded as one request stays one.
  {
    RawClient client(server.Port());
    client.Send("GET / HTTP/1.1\r\nHost: x\r\nContent-Length: " + std::to_string(hidden.size()) + "\r\n\r\n" +
                hidden);
    const std::string answer = client.ReadAll(3);
    EXPECT_EQ(Answers(answer), 1) << answer;
    EXPECT_EQ(answer.rfind("HTTP/1.1 400", 0), 0u) << answer.substr(0, 100);
    EXPECT_NE(answer.find("Connection: close"), std::string::npos);
    EXPECT_TRUE(client.Closed());
  }
  // The same behind chunked encoding, and on a POST.
  for (const char* head : {"GET / HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n",
                           "POST /cgi-bin/hiscore.cgi HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n"
                           "Transfer-Encoding: chunked\r\n\r\n"}) {
    RawClient client(server.Port());
    char size[16];
    std::snprintf(size, sizeof size, "%zx\r\n", hidden.size());
    client.Send(std::string(head) + size + hidden + "\r\n0\r\n\r\n");
    const std::string answer = client.ReadAll(3);
    EXPECT_LE(Answers(answer), 1) << answer;
    EXPECT_TRUE(client.Closed()) << head;
  }
  EXPECT_TRUE(score::OpenStorage(server.Database())->Dump("Q").empty());

  // Pipelined requests without bodies are all answered, at once.
  RawClient client(server.Port());
  const auto start = Clock::now();
  client.Send("GET /healthz HTTP/1.1\r\nHost: x\r\n\r\nGET /healthz HTTP/1.1\r\nHost: x\r\n\r\n"
              "GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  const std::string answers = client.ReadAll(5);
  EXPECT_EQ(Answers(answers), 3) << answers;
  EXPECT_LT(SecondsSince(start), 1.0);
}

TEST(HostileClients, NothingAClientSendsCanForgeALogLine) {
  for (const char* format : {"text", "json"}) {
    RunningServer server({"--log-format", format});
    ASSERT_TRUE(server.Up()) << server.Log();
    RawClient raw(server.Port());
    raw.Send("GET /a\x1b[31mred\rFORGED HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    raw.ReadAll(2);
    server.Get("/b%0a2026-01-01T00:00:00Z%20FORGED%1b[31m");
    server.Process().Signal(SIGTERM);
    server.Process().Wait();
    const std::string log = server.Log();
    std::istringstream lines(log);
    std::string line;
    int requests = 0;
    while (std::getline(lines, line)) {
      for (const char c : line) ASSERT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7f) << format << ": " << line;
      EXPECT_NE(line.rfind("2026-01-01", 0), 0u) << line;
      if (std::string(format) == "json" && line.front() == '{') {
        ++requests;
        EXPECT_NO_THROW(nlohmann::json::parse(line)) << line;
      } else if (line.find(" GET ") != std::string::npos) {
        ++requests;
      }
    }
    EXPECT_GE(requests, 1) << log;
  }
}

TEST(HostileClients, LocalhostIsServedOnBothFamilies) {
  RunningServer server({"--listen", "localhost:0"});
  ASSERT_TRUE(server.Up()) << server.Log();
  for (auto [family, address] : {std::pair{AF_INET, "127.0.0.1"}, std::pair{AF_INET6, "::1"}}) {
    RawClient client(server.Port(), "127.0.0.1", address, family);
    ASSERT_TRUE(client.Connected()) << address;
    client.Send("GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(client.ReadAll(3).rfind("HTTP/1.1 200", 0), 0u) << address;
  }
}

}  // namespace
