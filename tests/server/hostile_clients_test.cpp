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

// The answer to a head whose framing two readers could take two ways: a
// 400 with the security headers, and nothing after it on that connection.
void ExpectRefusedAndClosed(RawClient& client, const std::string& bytes, const char* status, const char* what) {
  client.Send(bytes);
  const std::string answer = client.ReadAll(3);
  EXPECT_EQ(answer.rfind(std::string("HTTP/1.1 ") + status, 0), 0u) << what << ": " << answer.substr(0, 120);
  EXPECT_EQ(Answers(answer), 1) << what << ": " << answer;
  EXPECT_NE(answer.find("X-Content-Type-Options: nosniff"), std::string::npos) << what << ": " << answer;
  EXPECT_NE(answer.find("Content-Security-Policy: "), std::string::npos) << what;
  EXPECT_TRUE(client.Closed()) << what;
}

TEST(HostileClients, FramingThatReadsTwoWaysIsRefused) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  const std::string hidden = "GET " + UploadTarget("Smuggled", "Mallory:::Y", 999) + " HTTP/1.1\r\nHost: x\r\n\r\n";
  const std::string n = std::to_string(hidden.size());
  const std::string replay = "POST /api/replays?game=Smuggled&name=Mallory:::Y&score=1 HTTP/1.1\r\nHost: x\r\n";
  const std::vector<std::pair<const char*, std::string>> cases = {
      // A reader that takes the first length runs the body as a request.
      {"a zero length, then another", replay + "Content-Length: 0\r\nContent-Length: " + n + "\r\n\r\n" + hidden},
      {"a zero length on a GET, then another",
       "GET /healthz HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\nContent-Length: " + n + "\r\n\r\n" + hidden},
      {"the same length twice", replay + "Content-Length: 5\r\ncontent-length: 5\r\n\r\nabcde"},
      {"chunked with a length", replay + "Transfer-Encoding: chunked\r\nContent-Length: 5\r\n\r\n0\r\n\r\n"},
      {"a length with chunked", replay + "Content-Length: 0\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n" + hidden},
      // A reader that keeps a lone CR or LF inside the line sees one header
      // where this one sees two.
      {"a bare CR inside a header", "GET /healthz HTTP/1.1\r\nHost: x\r\nX-A: a\rX-B: b\r\n\r\n"},
      {"a bare LF inside a header", "GET /healthz HTTP/1.1\r\nHost: x\r\nX-A: a\nX-B: b\r\n\r\n"},
      {"a bare LF after the request line", "GET /healthz HTTP/1.1\nHost: x\r\nX-A: a\r\n\r\n"},
  };
  for (const auto& [what, bytes] : cases) {
    RawClient client(server.Port());
    ExpectRefusedAndClosed(client, bytes, "400", what);
  }
  EXPECT_TRUE(score::OpenStorage(server.Database())->Dump("Smuggled").empty());
  // A head past the server's own limit is refused by the server itself,
  // with its headers, not by the library below it.
  RawClient big(server.Port());
  ExpectRefusedAndClosed(big, "GET /healthz HTTP/1.1\r\nHost: x\r\nX-Big: " + std::string(20000, 'a') + "\r\n\r\n",
                         "431", "a 20 kB head");
  // Plain requests, one header of each kind, still pass.
  RawClient plain(server.Port());
  plain.Send("GET /healthz HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\nX-A: a \r\nConnection: close\r\n\r\n");
  EXPECT_EQ(plain.ReadAll(3).rfind("HTTP/1.1 200", 0), 0u);
}

// Starts a replay's body of `length` bytes from `from`; its head only.
std::unique_ptr<RawClient> ReplayBody(int port, const std::string& from, size_t length) {
  auto client = std::make_unique<RawClient>(port, from.c_str());
  client->Send("POST /api/replays?game=Quibbleton&name=Ann:::N&score=5 HTTP/1.1\r\nHost: x\r\nContent-Length: " +
               std::to_string(length) + "\r\n\r\n");
  return client;
}

TEST(HostileClients, BodiesMustArriveInTimeAndAtARate) {
  RunningServer server({"--body-timeout", "4"});
  ASSERT_TRUE(server.Up()) << server.Log();
  // A trickle of 40 bytes a second falls below the rate after its grace;
  // 1.5 kB a second keeps the rate but not the whole body's deadline.
  auto trickle = ReplayBody(server.Port(), "127.0.0.2", 4000);
  auto steady = ReplayBody(server.Port(), "127.0.0.3", 60000);
  auto brisk = ReplayBody(server.Port(), "127.0.0.4", 3000);
  const auto start = Clock::now();
  double trickleCut = 0, steadyCut = 0;
  for (int tick = 0; tick < 56 && (trickleCut == 0 || steadyCut == 0); ++tick) {
    if (trickleCut == 0 && (!trickle->Send(std::string(4, 'x')) || (trickle->ReadAll(0.01), trickle->Closed()))) {
      trickleCut = SecondsSince(start);
    }
    if (steadyCut == 0 && (!steady->Send(std::string(150, 'x')) || (steady->ReadAll(0.01), steady->Closed()))) {
      steadyCut = SecondsSince(start);
    }
    if (tick < 10) brisk->Send(std::string(300, 'x'));
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
  }
  EXPECT_GT(trickleCut, 1.5);
  EXPECT_LT(trickleCut, 4.0);
  EXPECT_GT(steadyCut, 3.5);
  EXPECT_LT(steadyCut, 5.8);
  // The brisk one was read whole and answered (it is no replay: 4xx).
  const std::string answer = brisk->ReadAll(3);
  EXPECT_EQ(answer.rfind("HTTP/1.1 4", 0), 0u) << answer;
  EXPECT_EQ(server.Get("/healthz")->status, 200);
}

TEST(HostileClients, AFullServerDropsItsOldestSlowConnection) {
  RunningServer server({"--max-connections", "40", "--per-client", "10", "--threads", "1"});
  ASSERT_TRUE(server.Up()) << server.Log();
  std::vector<std::unique_ptr<RawClient>> slow;
  for (int i = 0; i < 40; ++i) {
    const std::string from = "127.0.0." + std::to_string(2 + i / 10);
    slow.push_back(std::make_unique<RawClient>(server.Port(), from.c_str()));
    slow.back()->Send("GET / HTTP/1.1\r\nHost: x\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  // One more address finds room: the connection that waited longest goes.
  for (int probe = 0; probe < 3; ++probe) {
    const auto asked = Clock::now();
    auto health = server.Get("/healthz");
    ASSERT_TRUE(health) << probe;
    EXPECT_EQ(health->status, 200);
    EXPECT_LT(SecondsSince(asked), 0.5) << probe;
  }
  slow.front()->ReadAll(1);
  EXPECT_TRUE(slow.front()->Closed());
  EXPECT_FALSE((slow.back()->ReadAll(0.2), slow.back()->Closed()));
  // An address past its own share is still turned away, full or not.
  RawClient extra(server.Port(), "127.0.0.5");
  extra.Send("GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(Answers(extra.ReadAll(2)), 0);
  std::vector<std::unique_ptr<RawClient>> greedy;
  for (int i = 0; i < 10; ++i) {
    greedy.push_back(std::make_unique<RawClient>(server.Port(), "127.0.0.9"));
    greedy.back()->Send("GET / HTTP/1.1\r\n");
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  RawClient eleventh(server.Port(), "127.0.0.9");
  eleventh.Send("GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(Answers(eleventh.ReadAll(2)), 0);
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
