// Where uploaded scores live. One interface, chosen by name at start: a
// SQLite file (the default) or a PostgreSQL database shared by several
// servers. Every query uses bound parameters; every operation may be called
// from any of the server's threads.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "game/rules/replay.h"
#include "server/deals.h"

namespace score {

// What is kept of an upload. The address and e-mail are empty unless the
// player's send value was "Y".
struct Entry {
  std::string game, name, address, email, send;
  int32_t score = 0;
  int64_t created = 0;  // seconds since 1970, UTC
  bool verified = false;  // its replay was checked to reach the score
};

// A leaderboard row: only what may be shown.
struct Row {
  int64_t rank = 0;  // 1 is the best; equal scores rank by upload order
  int64_t id = 0;
  std::string name;
  int32_t score = 0;
  int64_t created = 0;
  bool verified = false;
  bool replay = false;  // its replay is kept: GET /api/replays/ID plays it
  bool ranked = false;  // played on one of the server's deals
};

// How a verified game was played, for the moderators: how many of its
// actions scored as much as the best-scoring action then open (what a
// greedy player would have done), and its fastest reactions (the time
// from the end of an animation to the next action): the quickest and the
// tenth percentile, in ms (-1 without actions).
struct FairPlay {
  int actions = 0;
  int greedy = 0;
  int64_t fastestMs = -1;
  int64_t p10Ms = -1;
};

// What comes with a verified replay's upload beside its entry.
struct Proof {
  quibbleton::Replay replay;  // as parsed
  std::string text;           // the replay as kept and served back
  std::string hash;           // its SHA-256: a replay is taken once
  std::string keyHash;        // the player's key's SHA-256; empty: sent without one
  FairPlay figures;
  // The day's deal when the replay names one (worked out from the secret);
  // a deal of any other name is looked up among those handed out.
  std::optional<Deal> daily;
  int64_t now = 0;  // when it arrived, for the deal's expiry
};

struct Placed {
  bool inserted = false;  // false: the same entry was stored before
  int64_t id = 0;
  int64_t rank = 0;
  int64_t total = 0;  // the game's number of entries
  bool verified = false;  // the entry is verified (now or before)
  // Not empty: nothing was stored, as the name looks like this one, which is
  // already on the board.
  std::string lookalike;
  // Not empty: nothing was stored, as the game's name looks like this game's.
  std::string lookalikeGame;
  // Not empty: nothing was stored, as the moderators banned this name (or
  // one it looks like).
  std::string banned;
  // Nothing was stored: the same entry is there, hidden by the moderators.
  bool hidden = false;
  // A replay's upload: whether it counts on the ranked boards, and why not.
  bool ranked = false;
  std::string unranked;
  int64_t rankedRank = 0, rankedTotal = 0;  // its place on its ranked board
  // Nothing was stored: the same replay is kept already (under any name).
  bool repeat = false;
  // Nothing was stored: the name belongs to another player's key (or, sent
  // without a key, to a player with one).
  bool otherKey = false;
  // Nothing was stored: this name's entry of that score keeps another replay.
  bool replayed = false;
};

// A game name holding '/' is a board of another rule set of a game (see
// BoardKey): it has boards of its own, but is not listed among the games.

// The deepest page of 100 rows a board is read to; past it, a board is
// read by its ranks (a player's standing), never page by page.
inline constexpr int64_t kDeepestPage = 100;

// Which rows a board shows.
struct BoardQuery {
  int64_t since = 0;  // entries uploaded at or after (seconds since 1970); 0: all time
  bool byPlayer = false;  // one row per player: their best entry
  bool verifiedOnly = false;  // all time, every entry: only the verified ones
  bool rankedOnly = false;    // all time, every entry: only the ranked ones
  std::string daily;          // with rankedOnly: the day's deal's board ("daily-YYYYMMDD")
  int64_t offset = 0;
  int limit = 100;
};

// The deepest a board is read: the rows below this many are not served
// (pages of 100 rows: the first 100 pages), so that every page costs as
// little as the first ones. A board longer than that still gives its whole
// length as its total; a service knows a page is past it before any query.
inline constexpr int64_t kDeepestRows = 10000;

struct BoardPage {
  std::vector<Row> rows;  // ranked within the board
  int64_t total = 0;      // the board's rows in all
};

// A player's best entry since a time and where it stands.
struct Standing {
  bool found = false;
  Row best;  // its rank among the entries
  int64_t playerRank = 0;  // among the players' bests
  int64_t entries = 0, players = 0;  // on that board in all
};

// An entry as the administrator sees it.
struct Listed {
  int64_t id = 0;
  std::string game, name;
  int32_t score = 0;
  int64_t created = 0;
  bool verified = false, hidden = false;
  bool ranked = false;
  bool replay = false;  // its replay is kept, with its figures
  FairPlay figures;
};

// What a hide or unhide found.
struct Moderated {
  bool found = false;    // the entry exists
  bool changed = false;  // false: it was hidden (or shown) already
  std::string game;
};

class StorageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Storage {
 public:
  virtual ~Storage() = default;
  // Stores the entry unless an equal one (same game, shown and kept fields,
  // and score) exists, and returns its place either way; or stores nothing
  // when another name of the same confusable skeleton is on the board. A
  // verified entry makes an equal one stored before verified too.
  virtual Placed Add(const Entry& entry) = 0;
  // A verified entry with its replay, in one write: refused when the replay
  // is kept already or the name belongs to another key; else stored as Add
  // does, the replay kept, the name bound to the key when it was free, and
  // ranked when its deal counts.
  virtual Placed AddVerified(const Entry& entry, const Proof& proof) = 0;
  // A kept replay's text; nothing when there is none or its entry is hidden.
  virtual std::optional<std::string> ReplayText(int64_t id) = 0;
  // Keeps a deal handed out (and forgets those long expired).
  virtual void AddDeal(const Deal& deal) = 0;
  // The server's secret of that name, made at first use and kept for good.
  virtual std::string Secret(const std::string& name) = 0;
  // The best `limit` entries of a game, best first; with verifiedOnly, the
  // best verified ones, ranked among themselves.
  virtual std::vector<Row> Top(const std::string& game, int limit, bool verifiedOnly = false) = 0;
  // Up to `before` rows ranked above entry `id` and `after` below it, with
  // the entry itself; `rank` is the entry's rank.
  virtual std::vector<Row> Around(const std::string& game, int64_t id, int32_t score, int64_t rank, int before,
                                  int after) = 0;
  // Games that have entries, by name.
  virtual std::vector<std::string> Games() = 0;
  // Games by their latest upload, most recent first: `limit` of them after
  // the first `offset`.
  virtual std::vector<std::string> RecentGames(int64_t offset, int limit) = 0;
  virtual int64_t GameCount() = 0;
  virtual int64_t Count(const std::string& game) = 0;
  // Every kept field of every entry of a game, for tests and checks.
  virtual std::vector<Entry> Dump(const std::string& game) = 0;
  // Throws when the database cannot be reached.
  virtual void Ping() = 0;

  // The boards people read: all time or since a time, every entry or each
  // player's best, a page at a time. Hidden entries are left out.
  virtual BoardPage Board(const std::string& game, const BoardQuery& query) = 0;
  virtual Standing PlayerStanding(const std::string& game, const std::string& name, int64_t since) = 0;

  // Moderation. A hidden entry leaves every board, rank and count until it
  // is shown again; a banned name (or a look-alike of it) cannot upload.
  virtual Moderated SetHidden(int64_t id, bool hidden) = 0;
  // True when the ban was new (or, lifting it, when there was one).
  virtual bool Ban(const std::string& name) = 0;
  virtual bool Unban(const std::string& name) = 0;
  // The latest uploads of every game, the newest first, hidden ones too.
  virtual std::vector<Listed> Recent(int limit) = 0;

  // For boards kept in memory. Generation counts up with every change to
  // a game's boards, whoever made it. ChangeMark is cheap enough to ask on
  // every read and differs from its last value whenever someone else may
  // have changed the database since (it may also differ when nobody did).
  virtual int64_t Generation(const std::string& game) = 0;
  virtual uint64_t ChangeMark() = 0;
  // ChangeMark's value when it can be given without the database (its last
  // look is recent enough); nothing otherwise.
  virtual std::optional<uint64_t> KnownMark() = 0;
};

struct StorageOptions {
  // PostgreSQL: connections held at most, well under the database's own
  // limit (100 by default), so several servers leave room for the
  // administrator. A request waits `seconds` for one, then fails.
  int pool = 10;
  // The longest a connect (PostgreSQL) or a statement (either) may take.
  int seconds = 5;
  // A statement's deadline in ms instead, when not 0.
  int statementMs = 0;
};

// "postgresql://…" (or "postgres://…") opens PostgreSQL; any other value
// without "://" is a SQLite file. An address with another scheme is refused.
std::unique_ptr<Storage> OpenStorage(const std::string& where, const StorageOptions& options = {});

std::unique_ptr<Storage> OpenSqlite(const std::string& path, const StorageOptions& options = {});
std::unique_ptr<Storage> OpenPostgres(const std::string& address, const StorageOptions& options = {});

}  // namespace score
