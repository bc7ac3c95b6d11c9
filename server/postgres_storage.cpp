// PostgreSQL through libpqxx, for several servers sharing one database: a
// connection per concurrent request, statements prepared per connection.
#include <pqxx/pqxx>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <memory>
#include <map>
#include <optional>
#include <string>

#include "server/sql.h"
#include "server/sql_storage.h"

namespace score {
namespace {

// The database's statement_timeout ends slow statements, but not a database
// that stopped answering altogether (a frozen host or process): a statement
// still waiting past its deadline plus a grace has its socket shut down
// here, so it fails at once instead of holding a server thread forever.
class Watchdog {
 public:
  explicit Watchdog(std::chrono::milliseconds limit) : limit_(limit), thread_([this] { Watch(); }) {}
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  // Watched from Begin to End; the socket is shut down only in between.
  void Begin(const void* who, int socket) {
    std::lock_guard lock(mutex_);
    running_[who] = {socket, std::chrono::steady_clock::now() + limit_};
  }
  void End(const void* who) {
    std::lock_guard lock(mutex_);
    running_.erase(who);
  }

 private:
  void Watch() {
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::milliseconds(250), [this] { return stopping_; })) {
      const auto now = std::chrono::steady_clock::now();
      for (auto& [who, watched] : running_) {
        if (watched.second < now && watched.first >= 0) {
          shutdown(watched.first, SHUT_RDWR);
          watched.first = -1;
        }
      }
    }
  }
  std::chrono::milliseconds limit_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::map<const void*, std::pair<int, std::chrono::steady_clock::time_point>> running_;
  std::thread thread_;
};

// The address with a connect timeout unless it names one itself.
std::string WithConnectTimeout(const std::string& address, int seconds) {
  if (address.find("connect_timeout=") != std::string::npos) return address;
  return address + (address.find('?') == std::string::npos ? "?" : "&") + "connect_timeout=" + std::to_string(seconds);
}

class PostgresSession : public Session {
 public:
  // Every statement on the connection ends after `deadlineMs` (0: none).
  PostgresSession(const std::string& address, int deadlineMs, Watchdog* watchdog)
      : connection_(address), watchdog_(watchdog) {
    pqxx::nontransaction setup(connection_);
    setup.exec("SET statement_timeout = " + std::to_string(deadlineMs));
  }

  std::vector<ResultRow> Run(const char* statement, const Params& params) override {
    if (!watchdog_) return RunWatched(statement, params);
    watchdog_->Begin(this, connection_.sock());
    try {
      std::vector<ResultRow> rows = RunWatched(statement, params);
      watchdog_->End(this);
      return rows;
    } catch (...) {
      watchdog_->End(this);
      throw;
    }
  }

 private:
  std::vector<ResultRow> RunWatched(const char* statement, const Params& params) {
    const std::string name = Prepare(statement);
    std::vector<std::string> texts;
    texts.reserve(params.size());
    for (const Param& p : params) {
      if (const auto* number = std::get_if<int64_t>(&p)) {
        texts.push_back(std::to_string(*number));
      } else {
        texts.push_back(std::get<std::string>(p));
      }
    }
    pqxx::result result;
    if (work_) {
      result = work_->exec_prepared(name, pqxx::prepare::make_dynamic_params(texts));
    } else {
      pqxx::nontransaction once(connection_);
      result = once.exec_prepared(name, pqxx::prepare::make_dynamic_params(texts));
    }
    std::vector<ResultRow> rows;
    rows.reserve(result.size());
    for (const auto& r : result) {
      ResultRow row;
      for (const auto& field : r) row.emplace_back(field.is_null() ? "" : field.c_str(), field.size());
      rows.push_back(std::move(row));
    }
    return rows;
  }


 public:
  void BeginWrite() override { work_.emplace(connection_); }
  void Commit() override {
    if (watchdog_) watchdog_->Begin(this, connection_.sock());
    try {
      work_->commit();
    } catch (...) {
      if (watchdog_) watchdog_->End(this);
      work_.reset();
      throw;
    }
    if (watchdog_) watchdog_->End(this);
    work_.reset();
  }
  void Rollback() override { work_.reset(); }

 private:
  // Statement names are their index in the order first used on this connection.
  std::string Prepare(const char* statement) {
    auto found = prepared_.find(statement);
    if (found != prepared_.end()) return found->second;
    // Appended, not "literal" + string: GCC 12 takes that for an overlapping copy (-Wrestrict).
    std::string name = "s";
    name += std::to_string(prepared_.size());
    connection_.prepare(name, statement);
    prepared_.emplace(statement, name);
    return name;
  }

  pqxx::connection connection_;
  Watchdog* watchdog_;
  std::optional<pqxx::work> work_;
  std::map<const char*, std::string> prepared_;
};

class PostgresStorage : public SqlStorage {
 public:
  PostgresStorage(const std::string& address, const StorageOptions& options)
      : SqlStorage([this] { return std::make_unique<PostgresSession>(address_, deadlineMs_, &watchdog_); },
                   options.pool, std::chrono::seconds(options.seconds)),
        address_(WithConnectTimeout(address, options.seconds)),
        deadlineMs_(options.statementMs > 0 ? options.statementMs : options.seconds * 1000),
        watchdog_(std::chrono::seconds(options.seconds + 2)) {
    try {
      pqxx::connection connection(address_);
      pqxx::nontransaction schema(connection);
      // Several servers may start at once: one creates the tables at a time.
      schema.exec("SELECT pg_advisory_lock(7077)");
      schema.exec(sql::kPostgresSchema);
      {
        // Migrating and filling what an older server did not keep take as
        // long as they take.
        PostgresSession session(address_, 0, nullptr);
        MigrateIdentity(session);
        KeepShown(session);
        const bool rebuilt = schema.exec(sql::kCountsMissing).at(0).at(0).as<bool>();
        if (rebuilt) schema.exec(std::string("BEGIN;") + sql::kRebuildCounts + "COMMIT;");
        FillMissing(session, rebuilt);
      }
      // Tables just filled, and columns just added, have no statistics
      // until autovacuum comes by, and a page would be planned as a scan
      // of them all. The vacuum marks their pages all-visible, so a deep
      // page is read from the index alone rather than visiting a table
      // page per skipped row; pages already marked are skipped, so an open
      // after the first costs little.
      schema.exec("VACUUM (ANALYZE) period_entries, period_bests, board_totals, scores, verified, ranked");
      schema.exec("SELECT pg_advisory_unlock(7077)");
    } catch (const std::exception& e) {
      throw StorageError(e.what());
    }
  }

  // PostgreSQL tells no connection what others committed without a round
  // trip, so the mark moves on four times a second: boards kept in memory
  // ask their game's generation at most that often, and see other
  // servers' uploads and the administrator's changes within 250 ms.
  uint64_t ChangeMark() override {
    return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch() / std::chrono::milliseconds(250));
  }
  std::optional<uint64_t> KnownMark() override { return ChangeMark(); }

 private:
  std::string address_;
  int deadlineMs_;
  Watchdog watchdog_;
};

}  // namespace

std::unique_ptr<Storage> OpenPostgres(const std::string& address, const StorageOptions& options) {
  return std::make_unique<PostgresStorage>(address, options);
}

}  // namespace score
