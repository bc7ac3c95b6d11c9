#include "server/service.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <variant>

#include "game/rules/replay.h"
#include "game/rules/replay_verifier.h"
#include "server/board_cache.h"
#include "server/client_address.h"
#include "server/deals.h"
#include "server/fair_play.h"
#include "server/leaderboard.h"
#include "server/pages.h"
#include "server/player_name.h"
#include "server/query.h"
#include "server/static_site.h"
#include "server/web_paths.h"
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

constexpr std::string_view kAnotherSite = "Scores are uploaded by the game and its launcher, not from another site.";

constexpr std::string_view kApiGames = "/api/games/";

// The game of "/api/games/GAME/SUFFIX", or nothing.
std::optional<std::string> ApiGame(std::string_view path, std::string_view suffix) {
  if (!path.starts_with(kApiGames) || !path.ends_with(suffix) || path.size() <= kApiGames.size() + suffix.size()) {
    return std::nullopt;
  }
  return GameFromPath(path.substr(kApiGames.size(), path.size() - kApiGames.size() - suffix.size()));
}

std::optional<std::string> DealsGame(std::string_view path) { return ApiGame(path, "/deals"); }

constexpr std::string_view kReplayPrefix = "/api/replays/";

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

// A host without its port ("[::1]:8080" is "[::1]"), in lower case.
std::string HostName(std::string_view host) {
  const size_t colon = host.rfind(':');
  if (colon != std::string_view::npos && host.find(']', colon) == std::string_view::npos) host = host.substr(0, colon);
  std::string name(host);
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  return name;
}

// Whether a browser says another site made the request: an image or a link
// there, a form it posts, its script's fetch. The launcher opens the upload
// address in the player's browser, which marks that as made by no site
// ("none"); the server's own pages are the same origin; programs, the
// launcher's replay post among them, mark nothing. A site on another port
// of the same host is the same site, as browsers have it.
bool FromAnotherSite(const Request& request) {
  if (request.fetchSite == "cross-site") return true;
  if (request.origin.empty()) return false;
  // "null" (a sandboxed frame, a redirect from elsewhere) names no site.
  const size_t scheme = request.origin.find("://");
  if (scheme == std::string::npos) return true;
  return request.host.empty() ||
         HostName(std::string_view(request.origin).substr(scheme + 3)) != HostName(request.host);
}

Response Json(std::string body) {
  Response r;
  r.contentType = "application/json";
  r.body = std::move(body);
  return r;
}

// A request the database failed.
Response Failed(const Request& request) {
  Response r = Service::Unavailable(request);
  r.databaseError = true;
  return r;
}

Response Answer(const CachedPage& page) {
  Response r;
  r.contentType = page.contentType;
  r.body = page.body;
  r.tag = page.tag;
  return r;
}

// The read pages, which are kept in memory once built.
bool IsKeptRead(std::string_view path) {
  return path == "/" || path.starts_with("/games/") || path.starts_with(kApiGames);
}

// A kept page answered without knowing it is current: a reader (or a cache
// in between) is told so, and asks again next time.
Response Stale(Response r) {
  r.headers.emplace_back("X-Stale", "1");
  return r;
}

}  // namespace

// Headers every answer carries: the pages load nothing from outside and run
// no script, may not be framed, and leak no address through Referer.
// A route may set its own policy and caching (the web build's files do).
Response Service::Finish(const Request& request, Response r) {
  auto has = [&r](std::string_view name) {
    return std::any_of(r.headers.begin(), r.headers.end(), [name](const auto& header) { return header.first == name; });
  };
  if (!has("Content-Security-Policy")) {
    r.headers.emplace_back("Content-Security-Policy",
                           "default-src 'none'; style-src 'unsafe-inline'; frame-ancestors 'none'; base-uri 'none';"
                           " form-action 'none'");
  }
  r.headers.emplace_back("X-Content-Type-Options", "nosniff");
  r.headers.emplace_back("X-Frame-Options", "DENY");
  r.headers.emplace_back("Referrer-Policy", "no-referrer");
  if (has("Cache-Control")) return r;
  if (r.status != 200 || r.stored) {
    // An upload's answer is about that upload alone: never kept or replayed.
    r.headers.emplace_back("Cache-Control", "no-store");
    return r;
  }
  // Boards change with every upload: a cache keeps them but asks each time,
  // and an unchanged board costs an answer without a body.
  const std::string tag = r.tag.empty() ? EntityTag(r.body) : r.tag;
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
  auto [it, fresh] = buckets_.try_emplace(client, Bucket{double(burst_), now});
  Bucket& b = it->second;
  if (!fresh) {
    b.tokens = std::min<double>(burst_, b.tokens + (now - b.updated) * rate);
    b.updated = now;
  }
  if (b.tokens < 1) return false;
  b.tokens -= 1;
  return true;
}

void RefusalNotes::Note(const std::string& key, std::string sentence, double now) {
  std::lock_guard lock(mutex_);
  if (notes_.size() >= kMaxNotes) {
    std::erase_if(notes_, [now](const auto& note) { return now - note.second.second > kSeconds; });
    // Still full: a flood of refusals; the newest matter most.
    if (notes_.size() >= kMaxNotes) notes_.clear();
  }
  notes_[key] = {std::move(sentence), now};
}

std::optional<std::string> RefusalNotes::Find(const std::string& key, double now) {
  std::lock_guard lock(mutex_);
  const auto found = notes_.find(key);
  if (found == notes_.end() || now - found->second.second > kSeconds) return std::nullopt;
  return found->second.first;
}

std::string RefusalKey(const std::string& game, const std::string& name, int32_t score) {
  return game + '\n' + name + '\n' + std::to_string(score);
}

size_t RateLimiter::Clients() {
  std::lock_guard lock(mutex_);
  return buckets_.size();
}

Service::Service(Storage& storage, ServiceOptions options)
    : storage_(storage),
      options_(std::move(options)),
      limiter_(options_.uploadsPerMinute),
      siteLimiter_(options_.uploadsPerSitePerMinute),
      allLimiter_(options_.uploadsInAllPerMinute),
      dealLimiter_(options_.dealsPerMinute),
      readLimiter_(options_.readsPerMinute, options_.readBurst),
      cache_(std::make_unique<BoardCache>(storage, options_.cacheBytes)) {}

Service::~Service() = default;

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

  // The one request with a body: a replay, read by the HTTP layer. A deal
  // is asked for with POST too, as each answer is a new one.
  const bool replay = request.method == "POST" && path == kReplaysPath;
  const std::optional<std::string> dealGame = request.method == "POST" ? DealsGame(path) : std::nullopt;
  Response r;
  if (request.target.size() > kMaxTarget) {
    r = refuse(414, "Address too long", "The address is longer than this server reads.");
  } else if (replay || dealGame) {
    try {
      r = replay ? ReplayUpload(request, query) : NewDeal(request, *dealGame);
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
      // The database is down: the page kept is better than none.
      std::optional<Response> kept = StaleRead(request, path, query);
      return kept ? std::move(*kept) : Failed(request);
    }
  }
  return Finish(request, std::move(r));
}

std::optional<Response> Service::StaleRead(const Request& request, std::string_view path, std::string_view query) {
  if (!IsKeptRead(path) || (request.method != "GET" && request.method != "HEAD") || request.hasBody) {
    return std::nullopt;
  }
  Response r = Route(request, path, query, Source::kAny);
  if (r.status == 0) return std::nullopt;
  return Finish(request, r.status == 200 ? Stale(std::move(r)) : std::move(r));
}

bool Service::Busy() const {
  return building_ >= options_.readBuilds || (options_.databaseWait && options_.databaseWait() > kBusySeconds);
}

bool Service::NeedsDatabase(const Request& request) {
  const std::string_view path = std::string_view(request.target).substr(0, request.target.find('?'));
  if (request.target.size() > kMaxTarget) return false;
  if (request.method == "POST" && path == kReplaysPath) return !request.bodyTooLarge;
  if (request.method == "POST" && DealsGame(path)) return !request.hasBody;
  // The web build's files come from the disk: a stuck database must not hold them up.
  if (path == "/play" || path.starts_with(kPlayPath)) return false;
  return (request.method == "GET" || request.method == "HEAD") && !request.hasBody && path != "/healthz";
}

std::optional<Response> Service::AtOnce(const Request& request) {
  if (!NeedsDatabase(request)) return Handle(request);
  if ((request.method != "GET" && request.method != "HEAD") || request.hasBody) return std::nullopt;
  const size_t mark = request.target.find('?');
  const std::string_view path = std::string_view(request.target).substr(0, mark);
  const std::string_view query =
      mark == std::string::npos ? std::string_view() : std::string_view(request.target).substr(mark + 1);
  // Only the reads: uploads have their own allowance and must never be
  // answered from here, and only the read pages are kept.
  const bool kept = IsKeptRead(path);
  if (!kept && !path.starts_with(kReplayPrefix)) return std::nullopt;
  if (kept) {
    // Refusals and pages past the deepest are answered here too.
    Response r = Route(request, path, query, Source::kCurrent);
    if (r.status != 0) return Finish(request, std::move(r));
  }
  // The read needs the database: it counts against its reader's
  // allowance, and waits for no one while the page kept can answer it.
  const bool allowed = readLimiter_.Allow(LimitKey(ClientOf(request, options_.trustedProxy)), options_.steadyClock());
  if (allowed && !Busy()) return std::nullopt;
  if (std::optional<Response> stale = StaleRead(request, path, query)) return stale;
  if (allowed) return std::nullopt;
  const std::string_view sentence = "Too many pages read from your address; please wait a minute.";
  Response r = path.starts_with("/api/") ? JsonError(429, sentence) : Refusal(429, "Too many reads", sentence);
  r.headers.emplace_back("Retry-After", "60");
  return Finish(request, std::move(r));
}

Response Service::Unavailable(const Request& request) {
  const std::string_view sentence = "The score database cannot be reached; please try again later.";
  Response r = request.target.starts_with("/api/") ? JsonError(503, sentence)
                                                   : Refusal(503, "Unavailable", sentence);
  r.headers.emplace_back("Retry-After", "30");
  return Finish(request, std::move(r));
}

Response Service::Refused(const Request& request, int status) {
  const bool tooLong = status == 431;
  const std::string_view sentence = tooLong ? "The request's headers are too long." : "The request is malformed.";
  Response r = request.target.starts_with("/api/")
                   ? JsonError(status, sentence)
                   : Refusal(status, tooLong ? "Request too long" : "Bad request", sentence);
  return Finish(request, std::move(r));
}

Response Service::Route(const Request& request, std::string_view path, std::string_view query, Source source) {
  if (path == records::kUploadPath) return Upload(request, query);
  if (path == "/") return Home(query, source);
  if (path == "/play" || path.starts_with(kPlayPath)) {
    if (!options_.web) return Refusal(404, "Not found", "This server has no games to play in a browser.");
    return options_.web->Serve(request, path, query);
  }
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
  // A player's standing: GAME/players/NAME after either prefix.
  constexpr std::string_view kGames = "/games/";
  constexpr std::string_view kApi = "/api/games/";
  constexpr std::string_view kPlayers = "/players/";
  for (const bool api : {false, true}) {
    const std::string_view prefix = api ? kApi : kGames;
    if (!path.starts_with(prefix)) continue;
    const std::string_view rest = path.substr(prefix.size());
    const size_t slash = rest.find('/');
    if (slash == std::string_view::npos || !rest.substr(slash).starts_with(kPlayers) ||
        rest.size() == slash + kPlayers.size()) {
      continue;
    }
    const std::optional<std::string> game = GameFromPath(rest.substr(0, slash));
    if (!game) {
      return api ? JsonError(404, "There is no game by that name.")
                 : Refusal(404, "Not found", "There is no game by that name.");
    }
    return Player(*game, rest.substr(slash + kPlayers.size()), api, source);
  }
  if (path.starts_with(kGames)) {
    const std::optional<std::string> game = GameFromPath(path.substr(kGames.size()));
    if (!game) return Refusal(404, "Not found", "There is no game by that name.");
    return Board(*game, query, false, source);
  }
  constexpr std::string_view kScores = "/scores";
  if (path.starts_with(kApi) && path.ends_with(kScores) && path.size() > kApi.size() + kScores.size()) {
    const std::optional<std::string> game = ApiGame(path, kScores);
    if (!game) return JsonError(404, "There is no game by that name.");
    return Board(*game, query, true, source);
  }
  if (const std::optional<std::string> game = ApiGame(path, "/daily")) return Daily(*game, source);
  if (DealsGame(path)) {
    Response r = JsonError(405, "A deal is asked for with POST: each answer is a new deal.");
    r.headers.emplace_back("Allow", "POST");
    return r;
  }
  if (path.starts_with(kReplayPrefix)) return ReplayText(path.substr(kReplayPrefix.size()));
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
  score::Upload& upload = std::get<score::Upload>(parsed);
  if (const std::optional<UploadRefusal> refused = Admit(request, upload)) {
    Response r = Refusal(refused->status, refused->status == 429 ? "Too many uploads" : "Upload refused",
                         refused->sentence);
    if (refused->status == 429) r.headers.emplace_back("Retry-After", "60");
    return r;
  }

  const Entry entry = EntryOf(upload, upload.player.name, options_.wallClock(), false);
  const Placed placed = storage_.Add(entry);
  if (!placed.lookalikeGame.empty()) {
    return Refusal(400, "Upload refused", "The game's name looks like the game " + placed.lookalikeGame + ".");
  }
  if (!placed.lookalike.empty()) {
    return Refusal(400, "Upload refused",
                   "The name looks like \u201c" + placed.lookalike + "\u201d, who is already on this board; please "
                   "choose a name that cannot be taken for another.");
  }
  if (!placed.banned.empty()) return Refusal(403, "Upload refused", "This name may not upload scores here.");
  if (placed.hidden) return Refusal(403, "Upload refused", "This score was taken off the board by its moderators.");
  cache_->Changed(entry.game);
  const std::vector<Row> around =
      storage_.Around(entry.game, placed.id, entry.score, placed.rank, kAroundRows, kAroundRows);
  const std::optional<std::string> refusal =
      refusals_.Find(RefusalKey(entry.game, entry.name, entry.score), options_.steadyClock());
  Response r = Html(200, UploadPage(entry.game, placed, around, refusal.value_or("")));
  r.stored = true;
  return r;
}

Response Service::ReplayUpload(const Request& request, std::string_view query) {
  if (request.bodyTooLarge) return JsonError(413, "A replay is at most 64 KB.");
  if (FromAnotherSite(request)) return JsonError(403, kAnotherSite);
  auto parsed = ParseUpload(query, false);
  if (const auto* error = std::get_if<std::string>(&parsed)) return JsonError(400, *error);
  score::Upload& upload = std::get<score::Upload>(parsed);
  // A replay is checked by its game's rules: a game the server has none
  // for cannot be verified, whatever its replay says.
  const GameRules* rules = RulesFor(upload.game);
  if (!rules) return JsonError(400, "This server has no rules for " + upload.game + " to check its replays by.");
  if (!request.playerKey.empty() && !IsPlayerKey(request.playerKey)) {
    return JsonError(400, "A player key is 32 lowercase hexadecimal digits.");
  }
  // The same checks and allowance as the plain upload, taken before the
  // replay costs any work.
  if (const std::optional<UploadRefusal> refused = Admit(request, upload)) {
    Response r = JsonError(refused->status, refused->sentence);
    if (refused->status == 429) r.headers.emplace_back("Retry-After", "60");
    return r;
  }
  Response r = CheckedReplay(request, upload, *rules, upload.player.name);
  // The plain upload's page, opened next by the launcher, tells why.
  if (r.status == 403 || r.status == 409 || r.status == 422) {
    refusals_.Note(RefusalKey(upload.game, upload.player.name, upload.score),
                   nlohmann::json::parse(r.body).at("error").get<std::string>(), options_.steadyClock());
  }
  return r;
}

std::optional<Service::UploadRefusal> Service::Admit(const Request& request, score::Upload& upload) {
  if (FromAnotherSite(request)) return UploadRefusal{403, std::string(kAnotherSite)};
  const NameCheck game = NormaliseName(upload.game, "game name");
  if (!game.refusal.empty()) return UploadRefusal{400, game.refusal};
  upload.game = game.name;
  if (!options_.games.empty() &&
      std::find(options_.games.begin(), options_.games.end(), upload.game) == options_.games.end()) {
    return UploadRefusal{400, "This server keeps no scores for " + upload.game + "."};
  }
  const NameCheck name = NormaliseName(upload.player.name);
  if (!name.refusal.empty()) return UploadRefusal{400, name.refusal};
  upload.player.name = name.name;
  // Only uploads that would be stored use up the allowances, so a player's
  // mistyped addresses do not lock them out. An IPv6 site holds many /64s,
  // and a crowd of addresses must not fill the database either.
  const std::string client = ClientOf(request, options_.trustedProxy);
  const std::string site = SiteKey(client);
  const double now = options_.steadyClock();
  if (!limiter_.Allow(LimitKey(client), now) || (!site.empty() && !siteLimiter_.Allow(site, now))) {
    return UploadRefusal{429, "Too many uploads from your address; please wait a minute."};
  }
  if (!allLimiter_.Allow("", now)) {
    return UploadRefusal{429, "This server takes no more uploads this minute; please wait a minute."};
  }
  return std::nullopt;
}

Response Service::CheckedReplay(const Request& request, const score::Upload& upload, const GameRules& rules,
                                const std::string& name) {
  const quibbleton::ReplayParse replay = quibbleton::ParseReplay(request.body);
  if (!replay.ok) return JsonError(422, "The replay was refused: " + replay.error + ".");
  const quibbleton::Verdict verdict = quibbleton::VerifyReplay(replay.replay);
  if (!verdict.ok) return JsonError(422, "The replay was refused: " + verdict.reason + ".");
  if (verdict.score != upload.score) {
    return JsonError(422, "The replay reaches " + std::to_string(verdict.score) + " points, not " +
                              std::to_string(upload.score) + ".");
  }

  score::Upload onBoard = upload;
  // Other settings make another game: it goes on its rule set's own boards.
  onBoard.game = BoardKey(rules, replay.replay.balloons, replay.replay.gameTime);
  const Entry entry = EntryOf(onBoard, name, options_.wallClock(), true);
  Proof proof;
  proof.replay = replay.replay;
  // Kept as the server writes it, so two spellings of one game are one replay.
  proof.text = quibbleton::FormatReplay(replay.replay);
  proof.hash = Sha256Hex(proof.text);
  if (!request.playerKey.empty()) proof.keyHash = Sha256Hex(request.playerKey);
  proof.figures = MeasureFairPlay(replay.replay);
  if (IsDailyId(replay.replay.deal)) {
    proof.daily = DailyDealNamed(rules, *DailySecret(false), replay.replay.deal, options_.dealMargin);
  }
  proof.now = options_.wallClock();
  const Placed placed = storage_.AddVerified(entry, proof);
  if (!placed.lookalikeGame.empty()) {
    return JsonError(400, "The game's name looks like the game " + placed.lookalikeGame + ".");
  }
  if (placed.repeat) return JsonError(409, "This replay was uploaded before: a game's replay is taken once.");
  if (placed.otherKey) {
    return JsonError(409, request.playerKey.empty()
                              ? "The name " + name + " belongs to a player with a key, and this upload has none."
                              : "The name " + name + " belongs to another player's key.");
  }
  if (placed.replayed) {
    return JsonError(409, "This name's entry of that score keeps another game's replay already.");
  }
  if (!placed.lookalike.empty()) {
    return JsonError(400, "The name looks like \u201c" + placed.lookalike + "\u201d, who is already on this board.");
  }
  if (!placed.banned.empty()) return JsonError(403, "This name may not upload scores here.");
  if (placed.hidden) return JsonError(403, "This score was taken off the board by its moderators.");
  cache_->Changed(entry.game);
  nlohmann::json answer = {{"verified", true},
                           {"ranked", placed.ranked},
                           {"rank", placed.rank},
                           {"total", placed.total},
                           {"id", placed.id},
                           {"replay", placed.id},
                           {"rules", RuleSetName(replay.replay.balloons, replay.replay.gameTime)},
                           {"standard", !IsRuleSetBoard(entry.game)}};
  if (placed.ranked) {
    answer["rankedRank"] = placed.rankedRank;
    answer["rankedTotal"] = placed.rankedTotal;
    if (proof.daily) answer["daily"] = proof.daily->id;
  } else {
    answer["unranked"] = "Not ranked: " + placed.unranked + ".";
  }
  Response r;
  r.contentType = "application/json";
  r.body = answer.dump();
  r.stored = true;
  return r;
}

std::optional<std::string> Service::DailySecret(bool memoryOnly) {
  std::lock_guard lock(secretMutex_);
  if (!secret_ && !memoryOnly) secret_ = storage_.Secret("daily");
  return secret_;
}

Response Service::NewDeal(const Request& request, const std::string& game) {
  if (request.hasBody) return JsonError(400, "A deal is asked for with an empty body.");
  const GameRules* rules = RulesFor(game);
  if (!rules) return JsonError(404, "This server has no rules for " + game + " to deal by.");
  if (!dealLimiter_.Allow(LimitKey(ClientOf(request, options_.trustedProxy)), options_.steadyClock())) {
    Response r = JsonError(429, "Too many deals asked for from your address; please wait a minute.");
    r.headers.emplace_back("Retry-After", "60");
    return r;
  }
  const Deal deal = score::NewDeal(*rules, options_.wallClock(), options_.dealMargin);
  storage_.AddDeal(deal);
  Response r = Json(DealJson(deal));
  // Each answer is a deal of its own: never kept or given twice.
  r.headers.emplace_back("Cache-Control", "no-store");
  return r;
}

Response Service::Daily(const std::string& game, Source source) {
  const GameRules* rules = RulesFor(game);
  if (!rules) return JsonError(404, "This server has no rules for " + game + " to deal by.");
  const std::optional<std::string> secret = DailySecret(source != Source::kDatabase);
  if (!secret) {
    Response r;
    r.status = 0;
    return r;
  }
  return Json(DealJson(DailyDeal(*rules, *secret, options_.wallClock(), options_.dealMargin)));
}

Response Service::ReplayText(std::string_view id) {
  int64_t number = 0;
  const auto [end, ec] = std::from_chars(id.data(), id.data() + id.size(), number);
  std::optional<std::string> text;
  if (!id.empty() && ec == std::errc() && end == id.data() + id.size() && number > 0) {
    text = storage_.ReplayText(number);
  }
  if (!text) return JsonError(404, "There is no replay by that number.");
  Response r;
  r.contentType = "text/plain; charset=utf-8";
  r.body = std::move(*text);
  return r;
}

Response Service::Kept(const std::string& game, const std::string& key, const std::function<Response()>& build,
                       Source source) {
  if (source != Source::kDatabase) {
    const std::shared_ptr<const CachedPage> page =
        source == Source::kCurrent ? cache_->Peek(game, key) : cache_->Last(game, key);
    if (page) return Answer(*page);
    Response r;
    r.status = 0;
    return r;
  }
  std::optional<Response> notKept;
  const std::shared_ptr<const CachedPage> page =
      cache_->Get(game, key, [&]() -> std::shared_ptr<const CachedPage> {
        // Costly pages asked for all at once take a few of the database's
        // threads, never all of them.
        if (building_.fetch_add(1) >= options_.readBuilds) {
          --building_;
          if (const std::shared_ptr<const CachedPage> last = cache_->Last(game, key)) {
            notKept = Stale(Answer(*last));
          } else {
            notKept = Html(503, MessagePage("Busy", "The server is busy; please try again in a moment."));
            notKept->headers.emplace_back("Retry-After", "5");
          }
          return nullptr;
        }
        struct Release {
          std::atomic<int>& count;
          ~Release() { --count; }
        } release{building_};
        Response r = build();
        if (r.status != 200) {
          notKept = std::move(r);
          return nullptr;
        }
        auto kept = std::make_shared<CachedPage>();
        kept->tag = EntityTag(r.body);
        kept->contentType = std::move(r.contentType);
        kept->body = std::move(r.body);
        return kept;
      });
  if (!page) return std::move(*notKept);
  return Answer(*page);
}

Response Service::Home(std::string_view query, Source source) {
  int64_t page = 1;
  if (const std::optional<std::string> raw = QueryValue(query, "page")) {
    const auto [end, ec] = std::from_chars(raw->data(), raw->data() + raw->size(), page);
    if (ec != std::errc() || end != raw->data() + raw->size() || page < 1) {
      return Refusal(400, "Bad request", "The page must be a whole number from 1.");
    }
  }
  if (page > kDeepestPage) return Refusal(404, "Not found", "There is no such page of games.");
  return Kept(BoardCache::kEveryGame, "home/" + std::to_string(page), [&] {
    const int64_t games = storage_.GameCount();
    const int64_t pages = std::max<int64_t>(1, (games + kHomeGames - 1) / kHomeGames);
    if (page > pages) return Refusal(404, "Not found", "There is no such page of games.");
    std::vector<score::Board> boards;
    for (const std::string& game : storage_.RecentGames((page - 1) * kHomeGames, kHomeGames)) {
      // A forged score may top a board; the front page shows the verified
      // entries of its top rows first, each keeping its rank.
      std::vector<Row> rows = storage_.Top(game, kHomeRows);
      std::stable_partition(rows.begin(), rows.end(), [](const Row& row) { return row.verified; });
      boards.push_back({game, std::move(rows), options_.web && options_.web->HasGame(game)});
    }
    return Html(200, HomePage(boards, page, pages, options_.web != nullptr));
  }, source);
}

Response Service::Board(const std::string& game, std::string_view query, bool api, Source source) {
  auto read = ReadView(query, api);
  if (const auto* error = std::get_if<std::string>(&read)) {
    return api ? JsonError(400, *error) : Refusal(400, "Bad request", *error);
  }
  View view = std::get<View>(read);
  auto missing = [api](const std::string& sentence) {
    return api ? JsonError(404, sentence) : Refusal(404, "Not found", sentence);
  };
  // Known before any query: no board is read that deep.
  if (view.page > kDeepestPage) return missing("There is no such page of this board.");
  const int64_t now = options_.wallClock();
  // Another rule set's games are kept under a board of their own.
  std::string board = game;
  if (!view.rules.empty()) {
    const GameRules* rules = RulesFor(game);
    if (!rules) return missing("This server has no rules for " + game + ", so it has no boards of other rules.");
    const auto settings = ReadRuleSet(view.rules);
    board = BoardKey(*rules, settings->first, settings->second);
    if (board == game) view.rules.clear();
  }
  if (view.daily == "today") view.daily = FormatUtc(now, "%Y%m%d");
  const int64_t since = PeriodStart(view.period, now);
  return Kept(board, (api ? "api/" : "page/") + ViewKey(view, since), [&] {
    const int64_t entries = storage_.Count(board);
    if (entries == 0 && view.daily.empty()) return missing("There are no scores for " + game + " yet.");
    // The whole board's pages are known from its count alone.
    const bool whole = since == 0 && !view.byPlayer && !view.verifiedOnly && !view.rankedOnly && view.daily.empty();
    if (whole && view.page > 1 && (view.page - 1) * view.limit >= entries) {
      return missing("There is no such page of this board.");
    }
    BoardQuery q;
    q.since = since;
    q.byPlayer = view.byPlayer;
    q.verifiedOnly = view.verifiedOnly;
    q.rankedOnly = view.rankedOnly;
    if (!view.daily.empty()) q.daily = *DailyIdOfDay(view.daily);
    q.offset = (view.page - 1) * view.limit;
    q.limit = view.limit;
    const BoardPage page = storage_.Board(board, q);
    const BoardHeading heading{game, view, page.total, entries,
                               std::max<int64_t>(1, (page.total + view.limit - 1) / view.limit),
                               options_.web && options_.web->HasGame(game)};
    if (view.page > heading.pages) return missing("There is no such page of this board.");
    return api ? Json(LeaderboardJson(heading, page.rows)) : Html(200, LeaderboardPage(heading, page.rows));
  }, source);
}

Response Service::Player(const std::string& game, std::string_view rawName, bool api, Source source) {
  auto missing = [api](const std::string& sentence) {
    return api ? JsonError(404, sentence) : Refusal(404, "Not found", sentence);
  };
  // Looked up as uploads are stored: in one Unicode form.
  const std::optional<std::string> decoded = PercentDecode(rawName);
  if (!decoded || decoded->size() > kMaxPlayerField || !IsValidUtf8(*decoded) || HasControlCharacter(*decoded)) {
    return missing("There is no player by that name.");
  }
  const NameCheck name = NormaliseName(*decoded);
  if (!name.refusal.empty()) return missing("There is no player by that name.");
  const int64_t now = options_.wallClock();
  const Period periods[] = {Period::kAllTime, Period::kWeek, Period::kToday};
  std::string key = api ? "player-api" : "player";
  for (const Period period : periods) key += "/" + std::to_string(PeriodStart(period, now));
  return Kept(game, key + "/" + name.name, [&] {
    std::vector<PeriodStanding> standings;
    for (const Period period : periods) {
      standings.push_back({period, storage_.PlayerStanding(game, name.name, PeriodStart(period, now))});
    }
    if (!standings[0].standing.found) return missing("There are no scores by " + name.name + " in " + game + ".");
    return api ? Json(PlayerJson(game, name.name, standings)) : Html(200, PlayerPage(game, name.name, standings));
  }, source);
}

}  // namespace score
