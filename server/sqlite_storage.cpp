// SQLite: one file in WAL mode, a connection per concurrent request, every
// statement prepared once per connection.
#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "server/sql.h"
#include "server/sql_storage.h"

namespace score {
namespace {

// "$N" parameters become SQLite's numbered "?N".
std::string ToSqlite(const char* statement) {
  std::string text(statement);
  for (char& c : text) {
    if (c == '$') c = '?';
  }
  return text;
}

// The write turn of this process's connections: one writer at a time, and
// a turn waited for at most a given time. A condition variable rather than
// a timed mutex, whose timed lock (pthread_mutex_clocklock) the thread
// sanitizer cannot follow.
class WriteTurn {
 public:
  bool Take(std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    if (!freed_.wait_for(lock, wait, [this] { return !taken_; })) return false;
    taken_ = true;
    return true;
  }
  void Give() {
    {
      std::lock_guard lock(mutex_);
      taken_ = false;
    }
    freed_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable freed_;
  bool taken_ = false;
};

class SqliteSession : public Session {
 public:
  static constexpr int kBusyMs = 5000;
  // Only the first session may create the file: one that vanished later
  // is an outage until it is back, not a new empty database.
  // With a deadline, every statement that runs longer fails.
  SqliteSession(const std::string& path, WriteTurn& turn, bool create,
                std::chrono::milliseconds deadline = std::chrono::milliseconds(0))
      : path_(path), deadline_(deadline), turn_(turn) {
    if (sqlite3_open_v2(path.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
      const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      throw StorageError("cannot open " + path + ": " + message);
    }
    // Another process on the same file waits rather than failing at once.
    sqlite3_busy_timeout(db_, kBusyMs);
    // Looked at every thousand steps of a statement's program: a few
    // microseconds, so a statement stops soon after its deadline.
    if (deadline_.count() > 0) sqlite3_progress_handler(db_, 1000, &PastDeadline, this);
    // NORMAL in WAL mode: a commit survives the process being killed; only a
    // power loss may take back the last commits.
    Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;");
    struct stat opened {};
    if (stat(path_.c_str(), &opened) != 0) throw StorageError("the database file " + path_ + " is gone");
    device_ = opened.st_dev;
    inode_ = opened.st_ino;
  }
  ~SqliteSession() override {
    for (auto& [text, stmt] : statements_) sqlite3_finalize(stmt);
    sqlite3_close(db_);
  }

  void Exec(const char* text) {
    StartClock();
    char* error = nullptr;
    if (const int rc = sqlite3_exec(db_, text, nullptr, nullptr, &error); rc != SQLITE_OK) {
      const std::string message = error ? error : sqlite3_errmsg(db_);
      sqlite3_free(error);
      throw StorageError(Why(rc, message));
    }
  }

  std::vector<ResultRow> Run(const char* statement, const Params& params) override {
    sqlite3_stmt* stmt = Prepared(statement);
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    for (size_t i = 0; i < params.size(); ++i) {
      const int index = static_cast<int>(i) + 1;
      int rc;
      if (const auto* number = std::get_if<int64_t>(&params[i])) {
        rc = sqlite3_bind_int64(stmt, index, *number);
      } else {
        const std::string& text = std::get<std::string>(params[i]);
        rc = sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
      }
      if (rc != SQLITE_OK) throw StorageError(sqlite3_errmsg(db_));
    }
    std::vector<ResultRow> rows;
    StartClock();
    while (true) {
      const int rc = sqlite3_step(stmt);
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) {
        const std::string message = sqlite3_errmsg(db_);
        sqlite3_reset(stmt);
        throw StorageError(Why(rc, message));
      }
      ResultRow row;
      const int columns = sqlite3_column_count(stmt);
      for (int c = 0; c < columns; ++c) {
        const unsigned char* text = sqlite3_column_text(stmt, c);
        row.emplace_back(text ? reinterpret_cast<const char*>(text) : "",
                         static_cast<size_t>(sqlite3_column_bytes(stmt, c)));
      }
      rows.push_back(std::move(row));
    }
    sqlite3_reset(stmt);
    return rows;
  }

  // Writers of this process take turns instead of polling SQLite's
  // busy handler, which sleeps in steps of milliseconds. The queue is
  // bounded in time too: behind a lock held by another process the n-th
  // writer would otherwise wait n busy timeouts.
  void BeginWrite() override {
    if (!turn_.Take(std::chrono::milliseconds(kBusyMs))) throw StorageError("the database stayed locked");
    holding_ = true;
    try {
      Exec("BEGIN IMMEDIATE");
    } catch (...) {
      GiveTurn();
      throw;
    }
  }
  // A write is answered only once it is known to be in the file that is at
  // the path now: a file deleted or replaced under the server (a restore
  // from backup, a careless clean-up) would take it into a file nobody will
  // read again. The caller then closes this connection and the idle ones.
  void Commit() override {
    Exec("COMMIT");
    GiveTurn();
    Verify();
  }
  void Verify() override {
    struct stat now {};
    if (stat(path_.c_str(), &now) != 0 || now.st_dev != device_ || now.st_ino != inode_) {
      throw StorageError("the database file " + path_ + " was removed or replaced while the server ran");
    }
  }
  void Rollback() override {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    GiveTurn();
  }

 private:
  void StartClock() {
    if (deadline_.count() > 0) until_ = std::chrono::steady_clock::now() + deadline_;
  }
  static int PastDeadline(void* self) {
    return std::chrono::steady_clock::now() > static_cast<SqliteSession*>(self)->until_ ? 1 : 0;
  }
  std::string Why(int rc, const std::string& message) const {
    if (rc != SQLITE_INTERRUPT) return message;
    return "a statement ran past its deadline of " + std::to_string(deadline_.count()) + " ms";
  }

  sqlite3_stmt* Prepared(const char* statement) {
    auto found = statements_.find(statement);
    if (found != statements_.end()) return found->second;
    sqlite3_stmt* stmt = nullptr;
    const std::string text = ToSqlite(statement);
    if (sqlite3_prepare_v3(db_, text.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
      throw StorageError(sqlite3_errmsg(db_));
    }
    statements_.emplace(statement, stmt);
    return stmt;
  }

  sqlite3* db_ = nullptr;
  std::string path_;
  std::chrono::milliseconds deadline_;
  std::chrono::steady_clock::time_point until_;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  void GiveTurn() {
    if (holding_) turn_.Give();
    holding_ = false;
  }

  WriteTurn& turn_;
  bool holding_ = false;
  // Keyed by the statement's address: each is one constant of sql.h.
  std::map<const char*, sqlite3_stmt*> statements_;
};

class SqliteStorage : public SqlStorage {
 public:
  // The statements of requests have a deadline; the filling of what an
  // older server did not keep, at open, takes as long as it takes.
  SqliteStorage(const std::string& path, std::chrono::milliseconds deadline)
      : SqlStorage([this] { return std::make_unique<SqliteSession>(path_, turn_, false, deadline_); }),
        path_(path),
        deadline_(deadline) {
    SqliteSession session(path_, turn_, true);
    session.Exec(sql::kSqliteSchema);
    MigrateIdentity(session);
    KeepShown(session);
    const bool rebuilt = session.Run(sql::kCountsMissing, {}).at(0).at(0) == "1";
    if (rebuilt) {
      session.Exec("BEGIN IMMEDIATE");
      session.Exec(sql::kRebuildCounts);
      session.Exec("COMMIT");
    }
    FillMissing(session, rebuilt);
  }

  // Asked on every board read, so it must cost next to nothing. The
  // database is looked at 20 times a second at most, between reads: a stat
  // of the path (a file replaced or removed is another database) and the
  // data version of a connection kept for this alone, which changes with
  // every commit of any other connection, this server's pool or another
  // process (the administrator's command). Each costs a system call, some
  // microseconds, as much as the rest of a kept page's answer.
  uint64_t ChangeMark() override {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(watchLock_);
    if (watch_ && now < nextLook_) return mark_;
    if (watch_) {
      try {
        watch_->Verify();
      } catch (const StorageError&) {
        watch_.reset();
      }
    }
    if (!watch_) {
      watch_ = std::make_unique<SqliteSession>(path_, turn_, false, deadline_);
      ++opened_;
    }
    try {
      mark_ = (opened_ << 40) ^ std::stoull(watch_->Run(sql::kDataVersion, {}).at(0).at(0));
    } catch (...) {
      watch_.reset();
      throw;
    }
    nextLook_ = now + std::chrono::milliseconds(50);
    return mark_;
  }
  std::optional<uint64_t> KnownMark() override {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(watchLock_);
    if (watch_ && now < nextLook_) return mark_;
    return std::nullopt;
  }

 private:
  std::string path_;
  std::chrono::milliseconds deadline_;
  WriteTurn turn_;
  std::mutex watchLock_;
  std::unique_ptr<SqliteSession> watch_;
  uint64_t opened_ = 0;
  uint64_t mark_ = 0;
  std::chrono::steady_clock::time_point nextLook_;
};

}  // namespace

// A SQLite connection is a file handle; the pool keeps as many as requests
// run at once.
std::unique_ptr<Storage> OpenSqlite(const std::string& path, const StorageOptions& options) {
  return std::make_unique<SqliteStorage>(
      path, std::chrono::milliseconds(options.statementMs > 0 ? options.statementMs : options.seconds * 1000));
}

}  // namespace score
