// Answers the server's requests without knowing about sockets: the HTTP
// layer hands in the method, the raw target, the peer's address and the
// few headers the answers depend on.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "records/upload.h"
#include "server/storage.h"

namespace score {

struct Request {
  std::string method;
  std::string target;  // path and query exactly as received
  std::string client;  // the peer's address
  std::string forwardedFor;  // X-Forwarded-For, as received
  std::string ifNoneMatch;
  bool hasBody = false;  // a Content-Length above 0 or a Transfer-Encoding
  // A replay's upload: its body as read, or that it was longer than a
  // replay can be (and was not read).
  std::string body;
  bool bodyTooLarge = false;
};

struct Response {
  int status = 200;
  std::string contentType = "text/html; charset=utf-8";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
  bool stored = false;  // an upload's answer (stored now or before)
  bool databaseError = false;  // the database failed it
};

// Uploads per client address: a bucket of `perMinute` that refills evenly
// over a minute, so a burst of that size passes and then one every
// 60/perMinute seconds. Zero turns the limit off.
class RateLimiter {
 public:
  explicit RateLimiter(int perMinute) : perMinute_(perMinute) {}
  bool Allow(const std::string& client, double nowSeconds);
  // Addresses with a bucket kept: those seen within about a minute.
  size_t Clients();

 private:
  struct Bucket {
    double tokens;
    double updated;
  };
  int perMinute_;
  std::mutex mutex_;
  std::unordered_map<std::string, Bucket> buckets_;
  double lastSweep_ = 0;
};

// The client a request counts for: the peer, or behind the trusted proxy
// the address that proxy saw (the last of X-Forwarded-For).
std::string ClientOf(const Request& request, const std::string& trustedProxy);

struct ServiceOptions {
  int uploadsPerMinute = 30;
  std::string trustedProxy;  // empty: X-Forwarded-For is never believed
  // The games whose uploads are taken; empty: any plain name.
  std::vector<std::string> games;
  // Seconds since 1970 for entry dates, and a steady time for the limiter.
  std::function<int64_t()> wallClock = [] {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
  };
  std::function<double()> steadyClock = [] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  };
  // Seconds the longest-waiting request for the database has waited; past
  // kStuckSeconds the server is not ready.
  std::function<double()> databaseWait;
};

class Service {
 public:
  Service(Storage& storage, ServiceOptions options);
  // Never throws: a database failure is a 503 asking to come back later.
  Response Handle(const Request& request);
  // Whether Handle may wait for the database (false: it answers at once).
  static bool NeedsDatabase(const Request& request);
  // The 503 of a database that cannot take the request now.
  static Response Unavailable(const Request& request);

  static constexpr double kStuckSeconds = 2;
  static constexpr int kHomeRows = 10;
  static constexpr int kHomeGames = 50;
  static constexpr int kBoardRows = 100;
  static constexpr int kAroundRows = 5;
  // The longest request target; the launcher's longest upload is under 1 KB.
  static constexpr size_t kMaxTarget = 8 * 1024;
  static constexpr std::string_view kReplaysPath = records::kReplayPath;

 private:
  Response Route(const Request& request, std::string_view path, std::string_view query);
  static Response Finish(const Request& request, Response r);
  Response Upload(const Request& request, std::string_view query);
  // POST /api/replays: the upload with its game's replay, stored verified
  // when the replay reaches the score.
  Response ReplayUpload(const Request& request, std::string_view query);
  Response Home(std::string_view query);
  Response Game(const std::string& game, std::string_view query);
  Response Api(const std::string& game, std::string_view query);

  Storage& storage_;
  ServiceOptions options_;
  RateLimiter limiter_;
};

}  // namespace score
