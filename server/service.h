// Answers the server's requests without knowing about sockets: the HTTP
// layer hands in the method, the raw target, the peer's address and the
// few headers the answers depend on.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "records/upload.h"
#include "server/query.h"
#include "server/deals.h"
#include "server/storage.h"

namespace score {

class StaticSite;
struct FileBody;  // server/static_site.h

struct Request {
  std::string method;
  std::string target;  // path and query exactly as received
  std::string client;  // the peer's address
  std::string forwardedFor;  // X-Forwarded-For, as received
  std::string ifNoneMatch;
  std::string acceptEncoding;
  std::string playerKey;  // X-Player-Key, as received (empty: none)
  // What a browser says of who made the request (empty: a client that
  // says nothing, as the launcher's own): Host, Origin, Sec-Fetch-Site.
  std::string host, origin, fetchSite;
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
  std::string tag;  // the body's entity tag when already known (a kept page)
  bool databaseError = false;  // the database failed it
  // Instead of the body: a file sent from the disk as it is (the web build's).
  std::shared_ptr<const FileBody> file;
};

// Uploads (or reads) per client address: a bucket of `burst` (by default
// `perMinute`) that refills evenly over a minute, so a burst of that size
// passes and then one every 60/perMinute seconds. Zero turns the limit off.
class RateLimiter {
 public:
  explicit RateLimiter(int perMinute, int burst = 0) : perMinute_(perMinute), burst_(burst > 0 ? burst : perMinute) {}
  bool Allow(const std::string& client, double nowSeconds);
  // Addresses with a bucket kept: those seen within about a minute.
  size_t Clients();

 private:
  struct Bucket {
    double tokens;
    double updated;
  };
  int perMinute_;
  int burst_;
  std::mutex mutex_;
  std::unordered_map<std::string, Bucket> buckets_;
  double lastSweep_ = 0;
};

// Why the server refused a replay a moment ago, by game, name and score:
// the launcher posts the replay, then opens the plain upload's page, which
// tells the player. Bounded, and forgotten after ten minutes.
class RefusalNotes {
 public:
  static constexpr double kSeconds = 600;
  static constexpr size_t kMaxNotes = 4096;
  void Note(const std::string& key, std::string sentence, double now);
  std::optional<std::string> Find(const std::string& key, double now);

 private:
  std::mutex mutex_;
  std::unordered_map<std::string, std::pair<std::string, double>> notes_;
};
std::string RefusalKey(const std::string& game, const std::string& name, int32_t score);

// The client a request counts for: the peer, or behind the trusted proxy
// the address that proxy saw (the last of X-Forwarded-For).
std::string ClientOf(const Request& request, const std::string& trustedProxy);

class BoardCache;

struct ServiceOptions {
  int uploadsPerMinute = 30;
  // Besides each address's: an IPv6 /48's, and every address's together
  // (what the database takes at most). Zero turns either off.
  int uploadsPerSitePerMinute = 120;
  int uploadsInAllPerMinute = 600;
  // Deals handed out per client address and minute; zero turns the limit off.
  int dealsPerMinute = 6;
  // How long after its game time a deal's replay still counts, in seconds.
  int64_t dealMargin = kDealMarginSeconds;
  std::string trustedProxy;  // empty: X-Forwarded-For is never believed
  // The games whose uploads are taken; empty: any plain name (the program
  // always gives a list: by default the games it has the rules of).
  std::vector<std::string> games;
  // The programs' web build, served under /play/; none when null.
  const StaticSite* web = nullptr;
  // The memory kept pages may take at most.
  size_t cacheBytes = 64u << 20;
  // Reads that need the database (a page not kept, or kept but not known
  // to be current), per client address: a person reading the boards asks
  // for a page every few seconds, and a burst covers opening a board's
  // pages at once; an address past it is answered the page kept, or 429.
  // Zero turns the allowance off.
  int readsPerMinute = 60;
  int readBurst = 20;
  // Pages built from the database at once at most: of the eight database
  // threads, two are left to uploads and to the pages kept, however costly
  // the pages asked for are. A read past it is answered the page kept.
  int readBuilds = 6;
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
  ~Service();
  // Never throws: a database failure is a 503 asking to come back later.
  Response Handle(const Request& request);
  // Whether Handle may wait for the database (false: it answers at once).
  static bool NeedsDatabase(const Request& request);
  // The 503 of a database that cannot take the request now.
  static Response Unavailable(const Request& request);
  // The HTTP layer's refusal of a request before it is handled: 400 (its
  // framing could be read two ways) or 431 (its head is too long).
  static Response Refused(const Request& request, int status);
  // The answer when it needs no database: a request that never does, a
  // page kept in memory and known to be current, or (while the database's
  // threads are busy, or the reader's allowance is spent) the page kept,
  // marked "X-Stale: 1". Never waits.
  std::optional<Response> AtOnce(const Request& request);

  static constexpr double kStuckSeconds = 2;
  // A request for the database waiting this long: the threads are busy,
  // and a kept page is answered at once rather than queued behind them.
  static constexpr double kBusySeconds = 0.2;
  static constexpr int kHomeRows = 10;
  static constexpr int kHomeGames = 50;
  static constexpr int kBoardRows = 100;
  static constexpr int kAroundRows = 5;
  // The longest request target; the launcher's longest upload is under 1 KB.
  static constexpr size_t kMaxTarget = 8 * 1024;
  static constexpr std::string_view kReplaysPath = records::kReplayPath;

 private:
  // Where a read page comes from: the database (kept pages checked to be
  // current), only a kept page known to be current, or any page kept.
  // From memory alone, a page not there is answered with status 0.
  enum class Source { kDatabase, kCurrent, kAny };
  Response Route(const Request& request, std::string_view path, std::string_view query,
                 Source source = Source::kDatabase);
  // The page kept for a read the database cannot answer now, marked as
  // possibly outdated; nothing when none was ever built.
  std::optional<Response> StaleRead(const Request& request, std::string_view path, std::string_view query);
  // Every page build slot is taken, or requests wait for the database.
  bool Busy() const;
  static Response Finish(const Request& request, Response r);
  Response Upload(const Request& request, std::string_view query);
  // POST /api/replays: the upload with its game's replay, stored verified
  // when the replay reaches the score.
  Response ReplayUpload(const Request& request, std::string_view query);
  // Its replay verified, kept and ranked, once the upload itself is read.
  Response CheckedReplay(const Request& request, const score::Upload& upload, const GameRules& rules,
                         const std::string& name);
  // Why an upload is refused before anything is stored or checked further
  // (its site, its game, its name, the allowances), or nothing; the game's
  // and the player's names become the forms they are kept in.
  struct UploadRefusal {
    int status;
    std::string sentence;
  };
  std::optional<UploadRefusal> Admit(const Request& request, score::Upload& upload);
  // POST /api/games/GAME/deals and GET /api/games/GAME/daily.
  Response NewDeal(const Request& request, const std::string& game);
  Response Daily(const std::string& game, Source source);
  // GET /api/replays/ID: a kept replay's text.
  Response ReplayText(std::string_view id);
  // The secret the day's deals are worked out from, read once from the
  // database; nothing when memoryOnly and it was not read yet.
  std::optional<std::string> DailySecret(bool memoryOnly);
  Response Home(std::string_view query, Source source);
  // A game's boards as a page or as JSON (the API).
  Response Board(const std::string& game, std::string_view query, bool api, Source source);
  // A player's standing; `rawName` as it came in the path.
  Response Player(const std::string& game, std::string_view rawName, bool api, Source source);
  // The page kept for (game, key), or built by `build` and kept when it
  // is a 200; while every build slot is taken, the page kept or a 503.
  Response Kept(const std::string& game, const std::string& key, const std::function<Response()>& build,
               Source source);

  Storage& storage_;
  ServiceOptions options_;
  RateLimiter limiter_;
  RateLimiter siteLimiter_;
  RateLimiter allLimiter_;
  RateLimiter dealLimiter_;
  RateLimiter readLimiter_;
  std::atomic<int> building_{0};
  RefusalNotes refusals_;
  std::mutex secretMutex_;
  std::optional<std::string> secret_;
  std::unique_ptr<BoardCache> cache_;
};

}  // namespace score
