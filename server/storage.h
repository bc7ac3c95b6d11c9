// Where uploaded scores live. One interface, chosen by name at start: a
// SQLite file (the default) or a PostgreSQL database shared by several
// servers. Every query uses bound parameters; every operation may be called
// from any of the server's threads.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

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
};

struct StorageOptions {
  // PostgreSQL: connections held at most, well under the database's own
  // limit (100 by default), so several servers leave room for the
  // administrator. A request waits `seconds` for one, then fails.
  int pool = 10;
  // PostgreSQL: the longest a connect or a statement may take.
  int seconds = 5;
};

// "postgresql://…" (or "postgres://…") opens PostgreSQL; any other value
// without "://" is a SQLite file. An address with another scheme is refused.
std::unique_ptr<Storage> OpenStorage(const std::string& where, const StorageOptions& options = {});

std::unique_ptr<Storage> OpenSqlite(const std::string& path, const StorageOptions& options = {});
std::unique_ptr<Storage> OpenPostgres(const std::string& address, const StorageOptions& options = {});

}  // namespace score
