#include "server/service.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <variant>

#include "game/rules/replay.h"
#include "game/rules/replay_verifier.h"
#include "server/client_address.h"
#include "server/pages.h"
#include "server/player_name.h"
#include "server/query.h"
#include "records/upload.h"

namespace score {
namespace {

Response Html(int status, std::string body) {
  Response r;
  r.status = status;
  r.body = std::move(body);
  return r;
}

Response Refusal(int status, std::string_view title, std::string_view sentence) {
  return Html(status, MessagePage(title, sentence));
}

Response JsonError(int status, std::string_view sentence) {
  Response r;
  r.status = status;
  r.contentType = "application/json";
  r.body = nlohmann::json{{"error", sentence}}.dump();
  return r;
}

// A game name taken from a path: decoded and checked like an upload's.
std::optional<std::string> GameFromPath(std::string_view raw) {
  std::optional<std::string> game = PercentDecode(raw);
  if (!game || game->size() > kMaxGameName || !IsValidUtf8(*game) || HasControlCharacter(*game) ||
      !IsPlainDirectoryName(*game)) {
    return std::nullopt;
  }
  return game;
}

// A strong validator of the answer's bytes (64-bit FNV-1a).
std::string EntityTag(std::string_view body) {
  uint64_t hash = 14695981039346656037ull;
  for (const unsigned char c : body) hash = (hash ^ c) * 1099511628211ull;
  char text[24];
  std::snprintf(text, sizeof text, "\"%016llx\"", static_cast<unsigned long long>(hash));
  return text;
}

bool Matches(std::string_view ifNoneMatch, std::string_view tag) {
  if (ifNoneMatch.find('*') != std::string_view::npos) return true;
  // A list of tags, any of them weak ("W/" compares equal for GET).
  return ifNoneMatch.find(tag) != std::string_view::npos;
}

// What is kept of an upload under its normalised name.
Entry EntryOf(const score::Upload& upload, const std::string& name, int64_t created, bool verified) {
  Entry entry;
  entry.game = upload.game;
  entry.name = name;
  entry.send = upload.player.send;
  // The player's address and e-mail are kept only with their consent.
  if (upload.player.send == "Y") {
    entry.address = upload.player.address;
    entry.email = upload.player.email;
  }
  entry.score = upload.score;
  entry.created = created;
  entry.verified = verified;
  return entry;
}

// "?verified=1": only the entries whose replays were verified.
bool VerifiedOnly(std::string_view query) { return QueryValue(query, "verified") == std::optional<std::string>("1"); }

// A request the database failed.
Response Failed(const Request& request) {
  Response r = Service::Unavailable(request);
  r.databaseError = true;
  return r;
}

}  // namespace

// Headers every answer carries: the pages load nothing from outside and run
// no script, may not be framed, and leak no address through Referer.
Response Service::Finish(const Request& request, Response r) {
  r.headers.emplace_back("Content-Security-Policy",
                         "default-src 'none'; style-src 'unsafe-inline'; frame-ancestors 'none'; base-uri 'none';"
                         " form-action 'none'");
  r.headers.emplace_back("X-Content-Type-Options", "nosniff");
  r.headers.emplace_back("X-Frame-Options", "DENY");
  r.headers.emplace_back("Referrer-Policy", "no-referrer");
  if (r.status != 200 || r.stored) {
    // An upload's answer is about that upload alone: never kept or replayed.
    r.headers.emplace_back("Cache-Control", "no-store");
    return r;
  }
  // Boards change with every upload: a cache keeps them but asks each time,
  // and an unchanged board costs an answer without a body.
  const std::string tag = EntityTag(r.body);
  r.headers.emplace_back("Cache-Control", "no-cache");
  r.headers.emplace_back("ETag", tag);
  if (!request.ifNoneMatch.empty() && Matches(request.ifNoneMatch, tag)) {
    r.status = 304;
    r.body.clear();
  }
  return r;
}

bool RateLimiter::Allow(const std::string& client, double now) {
  if (perMinute_ <= 0) return true;
  const double rate = perMinute_ / 60.0;
  std::lock_guard lock(mutex_);
  // Full buckets carry no information: drop them now and then so the map
  // stays as small as the set of recent uploaders.
  if (now - lastSweep_ > 60) {
    for (auto it = buckets_.begin(); it != buckets_.end();) {
      it = now - it->second.updated >= 60 ? buckets_.erase(it) : std::next(it);
    }
    lastSweep_ = now;
  }
  auto [it, fresh] = buckets_.try_emplace(client, Bucket{double(perMinute_), now});
  Bucket& b = it->second;
  if (!fresh) {
    b.tokens = std::min<double>(perMinute_, b.tokens + (now - b.updated) * rate);
    b.updated = now;
  }
  if (b.tokens < 1) return false;
  b.tokens -= 1;
  return true;
}

size_t RateLimiter::Clients() {
  std::lock_guard lock(mutex_);
  return buckets_.size();
}

Service::Service(Storage& storage, ServiceOptions options)
    : storage_(storage), options_(std::move(options)), limiter_(options_.uploadsPerMinute) {}

std::string ClientOf(const Request& request, const std::string& trustedProxy) {
  if (!trustedProxy.empty() && request.client == trustedProxy) {
    std::string seen = LastForwarded(request.forwardedFor);
    if (!seen.empty()) return seen;
  }
  return request.client;
}

Response Service::Handle(const Request& request) {
  const size_t mark = request.target.find('?');
  const std::string_view path = std::string_view(request.target).substr(0, mark);
  const std::string_view query =
      mark == std::string::npos ? std::string_view() : std::string_view(request.target).substr(mark + 1);
  const bool api = path.starts_with("/api/");
  auto refuse = [api](int status, std::string_view title, std::string_view sentence) {
    return api ? JsonError(status, sentence) : Refusal(status, title, sentence);
  };

  // The one request with a body: a replay, read by the HTTP layer.
  const bool replay = request.method == "POST" && path == kReplaysPath;
  Response r;
  if (request.target.size() > kMaxTarget) {
    r = refuse(414, "Address too long", "The address is longer than this server reads.");
  } else if (replay) {
    try {
      r = ReplayUpload(request, query);
    } catch (const StorageError&) {
      return Failed(request);
    }
  } else if (request.method != "GET" && request.method != "HEAD") {
    r = refuse(405, "Method not allowed", "This server only answers GET requests.");
    r.headers.emplace_back("Allow", "GET, HEAD");
  } else if (request.hasBody) {
    r = refuse(400, "Bad request", "A request to this server has no body.");
  } else {
    try {
      r = Route(request, path, query);
    } catch (const StorageError&) {
      return Failed(request);
    }
  }
  return Finish(request, std::move(r));
}

bool Service::NeedsDatabase(const Request& request) {
  const std::string_view path = std::string_view(request.target).substr(0, request.target.find('?'));
  if (request.target.size() > kMaxTarget) return false;
  if (request.method == "POST" && path == kReplaysPath) return !request.bodyTooLarge;
  return (request.method == "GET" || request.method == "HEAD") && !request.hasBody && path != "/healthz";
}

Response Service::Unavailable(const Request& request) {
  const std::string_view sentence = "The score database cannot be reached; please try again later.";
  Response r = request.target.starts_with("/api/") ? JsonError(503, sentence)
                                                   : Refusal(503, "Unavailable", sentence);
  r.headers.emplace_back("Retry-After", "30");
  return Finish(request, std::move(r));
}

Response Service::Route(const Request& request, std::string_view path, std::string_view query) {
  if (path == records::kUploadPath) return Upload(request, query);
  if (path == "/") return Home(query);
  // Alive: answers without the database, so a database outage does not
  // get the server restarted. Ready: the database answers too.
  if (path == "/healthz" || path == "/readyz") {
    if (path == "/readyz") {
      // Requests stuck behind the database (a lock held elsewhere) say
      // more than a quick read that still passes.
      if (options_.databaseWait && options_.databaseWait() > kStuckSeconds) {
        throw StorageError("requests have waited for the database too long");
      }
      storage_.Ping();
    }
    Response r = Html(200, "ok\n");
    r.contentType = "text/plain; charset=utf-8";
    return r;
  }
  constexpr std::string_view kGames = "/games/";
  if (path.starts_with(kGames)) {
    const std::optional<std::string> game = GameFromPath(path.substr(kGames.size()));
    if (!game) return Refusal(404, "Not found", "There is no game by that name.");
    return Game(*game, query);
  }
  constexpr std::string_view kApi = "/api/games/";
  constexpr std::string_view kScores = "/scores";
  if (path.starts_with(kApi) && path.ends_with(kScores) && path.size() > kApi.size() + kScores.size()) {
    const std::optional<std::string> game =
        GameFromPath(path.substr(kApi.size(), path.size() - kApi.size() - kScores.size()));
    if (!game) return JsonError(404, "There is no game by that name.");
    return Api(*game, query);
  }
  if (path == kReplaysPath) {
    Response r = JsonError(405, "Replays are uploaded with POST.");
    r.headers.emplace_back("Allow", "POST");
    return r;
  }
  if (path.starts_with("/api/")) return JsonError(404, "There is no page at this address.");
  return Refusal(404, "Not found", "There is no page at this address.");
}

Response Service::Upload(const Request& request, std::string_view query) {
  // A HEAD (a link checker, a preview) must not store what a GET would.
  if (request.method != "GET") {
    Response r = Refusal(405, "Method not allowed", "Scores are uploaded with GET.");
    r.headers.emplace_back("Allow", "GET");
    return r;
  }
  auto parsed = ParseUpload(query);
  if (const auto* error = std::get_if<std::string>(&parsed)) return Refusal(400, "Upload refused", *error);
  const score::Upload& upload = std::get<score::Upload>(parsed);
  if (!options_.games.empty() &&
      std::find(options_.games.begin(), options_.games.end(), upload.game) == options_.games.end()) {
    return Refusal(400, "Upload refused", "This server keeps no scores for " + upload.game + ".");
  }
  const NameCheck name = NormaliseName(upload.player.name);
  if (!name.refusal.empty()) return Refusal(400, "Upload refused", name.refusal);
  // Only uploads that would be stored use up the allowance, so a player's
  // mistyped addresses do not lock them out.
  if (!limiter_.Allow(LimitKey(ClientOf(request, options_.trustedProxy)), options_.steadyClock())) {
    Response r = Refusal(429, "Too many uploads", "Too many uploads from your address; please wait a minute.");
    r.headers.emplace_back("Retry-After", "60");
    return r;
  }

  const Entry entry = EntryOf(upload, name.name, options_.wallClock(), false);
  const Placed placed = storage_.Add(entry);
  if (!placed.lookalike.empty()) {
    return Refusal(400, "Upload refused",
                   "The name looks like \u201c" + placed.lookalike + "\u201d, who is already on this board; please "
                   "choose a name that cannot be taken for another.");
  }
  const std::vector<Row> around =
      storage_.Around(entry.game, placed.id, entry.score, placed.rank, kAroundRows, kAroundRows);
  Response r = Html(200, UploadPage(entry.game, placed, around));
  r.stored = true;
  return r;
}

Response Service::ReplayUpload(const Request& request, std::string_view query) {
  if (request.bodyTooLarge) return JsonError(413, "A replay is at most 64 KB.");
  auto parsed = ParseUpload(query, false);
  if (const auto* error = std::get_if<std::string>(&parsed)) return JsonError(400, *error);
  const score::Upload& upload = std::get<score::Upload>(parsed);
  if (!options_.games.empty() &&
      std::find(options_.games.begin(), options_.games.end(), upload.game) == options_.games.end()) {
    return JsonError(400, "This server keeps no scores for " + upload.game + ".");
  }
  const NameCheck name = NormaliseName(upload.player.name);
  if (!name.refusal.empty()) return JsonError(400, name.refusal);
  // The same allowance as the plain upload, taken before the replay costs
  // any work.
  if (!limiter_.Allow(LimitKey(ClientOf(request, options_.trustedProxy)), options_.steadyClock())) {
    Response r = JsonError(429, "Too many uploads from your address; please wait a minute.");
    r.headers.emplace_back("Retry-After", "60");
    return r;
  }

  const quibbleton::Verdict verdict = quibbleton::VerifyReplayText(request.body);
  if (!verdict.ok) return JsonError(422, "The replay was refused: " + verdict.reason + ".");
  if (verdict.score != upload.score) {
    return JsonError(422, "The replay reaches " + std::to_string(verdict.score) + " points, not " +
                              std::to_string(upload.score) + ".");
  }

  const Entry entry = EntryOf(upload, name.name, options_.wallClock(), true);
  const Placed placed = storage_.Add(entry);
  if (!placed.lookalike.empty()) {
    return JsonError(400, "The name looks like \u201c" + placed.lookalike + "\u201d, who is already on this board.");
  }
  Response r;
  r.contentType = "application/json";
  r.body = nlohmann::json{{"verified", true}, {"rank", placed.rank}, {"total", placed.total}}.dump();
  r.stored = true;
  return r;
}

Response Service::Home(std::string_view query) {
  int64_t page = 1;
  if (const std::optional<std::string> raw = QueryValue(query, "page")) {
    const auto [end, ec] = std::from_chars(raw->data(), raw->data() + raw->size(), page);
    if (ec != std::errc() || end != raw->data() + raw->size() || page < 1) {
      return Refusal(400, "Bad request", "The page must be a whole number from 1.");
    }
  }
  const int64_t games = storage_.GameCount();
  const int64_t pages = std::max<int64_t>(1, (games + kHomeGames - 1) / kHomeGames);
  if (page > pages) return Refusal(404, "Not found", "There is no such page of games.");
  std::vector<Board> boards;
  for (const std::string& game : storage_.RecentGames((page - 1) * kHomeGames, kHomeGames)) {
    // A forged score may top a board; the front page shows the verified
    // entries of its top rows first, each keeping its rank.
    std::vector<Row> rows = storage_.Top(game, kHomeRows);
    std::stable_partition(rows.begin(), rows.end(), [](const Row& row) { return row.verified; });
    boards.push_back({game, std::move(rows)});
  }
  return Html(200, HomePage(boards, page, pages));
}

Response Service::Game(const std::string& game, std::string_view query) {
  const int64_t total = storage_.Count(game);
  if (total == 0) return Refusal(404, "Not found", "There are no scores for " + game + " yet.");
  return Html(200, GamePage({game, storage_.Top(game, kBoardRows, VerifiedOnly(query))}, total));
}

Response Service::Api(const std::string& game, std::string_view query) {
  int limit = kBoardRows;
  // Other parameters (a cache-buster, a tracking tag) are ignored.
  if (const std::optional<std::string> raw = QueryValue(query, "limit")) {
    const auto [end, ec] = std::from_chars(raw->data(), raw->data() + raw->size(), limit);
    if (ec != std::errc() || end != raw->data() + raw->size() || limit < 1 || limit > kBoardRows) {
      return JsonError(400, "The limit must be a whole number from 1 to 100.");
    }
  }
  const int64_t total = storage_.Count(game);
  if (total == 0) return JsonError(404, "There are no scores for " + game + " yet.");
  Response r = Html(200, ScoresJson({game, storage_.Top(game, limit, VerifiedOnly(query))}, total));
  r.contentType = "application/json";
  return r;
}

}  // namespace score
