// The storage operations written once over a minimal database session; each
// backend supplies sessions (a pooled connection) and nothing else.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "server/storage.h"

namespace score {

using Param = std::variant<int64_t, std::string>;
using Params = std::vector<Param>;
using ResultRow = std::vector<std::string>;

// The parameters of sql::kRank for an entry: its bucket at each level with
// the end of the bucket one level up, the score and the last score of its
// 256-wide bucket, and its id.
Params RankParams(const std::string& game, int32_t score, int64_t id);

class Session;
// What older servers did not keep is made at start from the scores: the
// names' skeletons, the games' latest uploads, the players' bests, and the
// period boards with every board's total (made again when the bucket
// counts were, as both follow the same rows).
void FillMissing(Session& session, bool countsRebuilt = false);
// Merges an older server's entries into one per game, player and score
// (once; see sql::IDENTITY_SCHEMA), before the counts are checked.
void MigrateIdentity(Session& session);
// Gives older tables the boards' shown mark with its indexes, and hides
// again the rows of the hidden table still marked shown (at every open;
// see sql::kShownKept).
void KeepShown(Session& session);

// One connection, used by one thread at a time.
class Session {
 public:
  virtual ~Session() = default;
  // Runs one of the statements of sql.h with bound parameters.
  virtual std::vector<ResultRow> Run(const char* statement, const Params& params) = 0;
  virtual void BeginWrite() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  // Throws when the connection no longer reaches the database it opened.
  virtual void Verify() {}
};

// Idle connections kept for reuse; a lease gives one back when it ends.
// With a limit, no more than that many are open at once: a request waits up
// to `wait` for one to come back, then fails as an outage does.
class SessionPool {
 public:
  explicit SessionPool(std::function<std::unique_ptr<Session>()> open, int limit = 0,
                       std::chrono::milliseconds wait = std::chrono::seconds(5))
      : open_(std::move(open)), limit_(limit), wait_(wait) {}

  class Lease {
   public:
    Lease(SessionPool& pool, std::unique_ptr<Session> session) : pool_(pool), session_(std::move(session)) {}
    Lease(const Lease&) = delete;
    ~Lease() {
      if (session_) pool_.Return(std::move(session_));
    }
    Session* operator->() const { return session_.get(); }
    // A connection that failed mid-way is closed rather than reused, and
    // so are the idle ones: a failure is most often the database going
    // away, which breaks them all.
    void Discard() {
      session_.reset();
      pool_.Closed(1);
      pool_.DropIdle();
    }

   private:
    SessionPool& pool_;
    std::unique_ptr<Session> session_;
  };

  Lease Get();

 private:
  void Return(std::unique_ptr<Session> session);
  void DropIdle();
  void Closed(int count);
  std::function<std::unique_ptr<Session>()> open_;
  int limit_;
  std::chrono::milliseconds wait_;
  std::mutex mutex_;
  std::condition_variable returned_;
  int open_count_ = 0;
  std::vector<std::unique_ptr<Session>> idle_;
};

class SqlStorage : public Storage {
 public:
  // A connection that cannot be opened fails as a statement does.
  explicit SqlStorage(std::function<std::unique_ptr<Session>()> open, int poolLimit = 0,
                      std::chrono::milliseconds poolWait = std::chrono::seconds(5))
      : pool_([open = std::move(open)]() -> std::unique_ptr<Session> {
          try {
            return open();
          } catch (const StorageError&) {
            throw;
          } catch (const std::exception& e) {
            throw StorageError(e.what());
          }
        }, poolLimit, poolWait) {}
  Placed Add(const Entry& entry) override;
  Placed AddVerified(const Entry& entry, const Proof& proof) override;
  std::optional<std::string> ReplayText(int64_t id) override;
  void AddDeal(const Deal& deal) override;
  std::string Secret(const std::string& name) override;
  std::vector<Row> Top(const std::string& game, int limit, bool verifiedOnly = false) override;
  std::vector<Row> Around(const std::string& game, int64_t id, int32_t score, int64_t rank, int before,
                          int after) override;
  std::vector<std::string> Games() override;
  std::vector<std::string> RecentGames(int64_t offset, int limit) override;
  int64_t GameCount() override;
  int64_t Count(const std::string& game) override;
  std::vector<Entry> Dump(const std::string& game) override;
  void Ping() override;
  BoardPage Board(const std::string& game, const BoardQuery& query) override;
  Standing PlayerStanding(const std::string& game, const std::string& name, int64_t since) override;
  Moderated SetHidden(int64_t id, bool hidden) override;
  bool Ban(const std::string& name) override;
  bool Unban(const std::string& name) override;
  std::vector<Listed> Recent(int limit) override;
  int64_t Generation(const std::string& game) override;

 private:
  // Runs fn with a leased session; a database error discards the connection
  // and is rethrown as a StorageError.
  template <class Fn>
  auto With(Fn fn) -> decltype(fn(std::declval<SessionPool::Lease&>()));
  SessionPool pool_;
};

}  // namespace score
