// /metrics on its own address: the counters follow what the server
// answered, labels stay in their fixed sets whatever paths clients send,
// and the public address never serves them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "launcher/upload_address.h"
#include "tests/server/raw_client.h"
#include "tests/server/running_server.h"
#include "tests/server/shipped_deployment.h"

namespace {

// Every sample of the exposition, by its name and labels as written.
std::map<std::string, double> Samples(const std::string& text) {
  std::map<std::string, double> samples;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t space = line.rfind(' ');
    samples[line.substr(0, space)] = std::stod(line.substr(space + 1));
  }
  return samples;
}

std::string Get(int port, const std::string& target) {
  RawClient client(port);
  client.Send("GET " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  return client.ReadAll(5);
}

TEST(Metrics, CountWhatWasAnsweredWithFixedLabelsAndOnlyOnTheirOwnAddress) {
  RunningServer server({"--metrics-listen", "127.0.0.1:0", "--upload-limit", "2"});
  ASSERT_TRUE(server.Up()) << server.Log();
  std::smatch found;
  const std::string log = server.Log();
  ASSERT_TRUE(std::regex_search(log, found, std::regex("metrics on http://127.0.0.1:([0-9]+)/metrics"))) << log;
  const int metricsPort = std::stoi(found[1]);

  EXPECT_EQ(server.Get(UploadAddress("", "Q", "Ann:::Y", 10))->status, 200);
  EXPECT_EQ(server.Get(UploadAddress("", "Q", "Ann:::Y", 10))->status, 200);  // stored before
  EXPECT_EQ(server.Get("/cgi-bin/hiscore.cgi?game=Q&name=oops&score=1")->status, 400);
  EXPECT_EQ(server.Get(UploadAddress("", "Q", "Bob:::Y", 11))->status, 429);
  EXPECT_EQ(server.Get("/games/Q")->status, 200);
  // Paths a client makes up are all "other": no series of their own.
  for (int i = 0; i < 50; ++i) server.Get("/probe-" + std::to_string(i) + "%0a");
  // The public address has no metrics.
  EXPECT_EQ(server.Get("/metrics")->status, 404);
  std::error_code ec;
  std::filesystem::remove(server.Database(), ec);
  RawClient other(server.Port(), "127.0.0.2");  // an allowance of its own
  other.Send("GET " + UploadAddress("", "Q", "Cy:::Y", 12) + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(other.ReadAll(5).substr(0, 12), "HTTP/1.1 503");

  const std::string answer = Get(metricsPort, "/metrics");
  ASSERT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer;
  EXPECT_NE(answer.find("Content-Type: text/plain; version=0.0.4"), std::string::npos);
  const std::string text = answer.substr(answer.find("\r\n\r\n") + 4);
  EXPECT_EQ(text.find("probe"), std::string::npos);
  const std::map<std::string, double> samples = Samples(text);
  EXPECT_EQ(samples.at("score_requests_total{route=\"upload\",status=\"200\"}"), 2);
  EXPECT_EQ(samples.at("score_requests_total{route=\"upload\",status=\"400\"}"), 1);
  EXPECT_EQ(samples.at("score_requests_total{route=\"upload\",status=\"503\"}"), 1);
  EXPECT_EQ(samples.at("score_requests_total{route=\"game\",status=\"200\"}"), 1);
  EXPECT_EQ(samples.at("score_requests_total{route=\"other\",status=\"404\"}"), 51);
  EXPECT_EQ(samples.at("score_uploads_stored_total"), 2);
  EXPECT_EQ(samples.at("score_uploads_refused_total{reason=\"invalid\"}"), 1);
  EXPECT_EQ(samples.at("score_uploads_refused_total{reason=\"rate_limited\"}"), 1);
  EXPECT_EQ(samples.at("score_uploads_refused_total{reason=\"unavailable\"}"), 1);
  EXPECT_EQ(samples.at("score_database_errors_total"), 1);
  // The histogram: buckets only grow, and the last holds every request.
  double last = 0;
  for (const char* le : {"0.001", "0.01", "0.1", "1", "10", "+Inf"}) {
    const double n = samples.at(std::string("score_request_duration_seconds_bucket{route=\"upload\",le=\"") + le + "\"}");
    EXPECT_GE(n, last) << le;
    last = n;
  }
  EXPECT_EQ(last, 5);
  EXPECT_EQ(samples.at("score_request_duration_seconds_count{route=\"upload\"}"), 5);
  EXPECT_LT(samples.size(), 150u);
  EXPECT_EQ(Get(metricsPort, "/").rfind("HTTP/1.1 404", 0), 0u);
}

// The deployment's unit starts the server as it is written (any option it
// gives that the server no longer takes would stop the service), and its
// metrics are on the loopback only: never on an address the proxy or the
// internet reaches.
TEST(Metrics, TheDeployedServiceServesThemOnTheLoopbackOnly) {
  const std::vector<std::string> extra = ShippedServerOptions();
  const auto metrics = std::find(extra.begin(), extra.end(), "--metrics-listen");
  ASSERT_TRUE(metrics != extra.end() && metrics + 1 != extra.end());
  const std::string metricsAddress = *(metrics + 1);
  EXPECT_TRUE(metricsAddress.rfind("127.", 0) == 0 || metricsAddress.rfind("[::1]:", 0) == 0) << metricsAddress;
  RunningServer server(extra);
  ASSERT_TRUE(server.Up()) << server.Log();
  std::smatch found;
  const std::string log = server.Log();
  ASSERT_TRUE(std::regex_search(log, found, std::regex("metrics on http://[^ ]*:([0-9]+)/metrics"))) << log;
  EXPECT_NE(Get(std::stoi(found[1]), "/metrics").find("HTTP/1.1 200"), std::string::npos);
  EXPECT_EQ(server.Get("/metrics")->status, 404);
}

}  // namespace
