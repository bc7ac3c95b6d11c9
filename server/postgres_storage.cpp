// PostgreSQL through libpqxx, for several servers sharing one database: a
// connection per concurrent request, statements prepared per connection.
#include <pqxx/pqxx>

#include <memory>
#include <map>
#include <optional>
#include <string>

#include "server/sql.h"
#include "server/sql_storage.h"

namespace score {
namespace {

class PostgresSession : public Session {
 public:
  explicit PostgresSession(const std::string& address) : connection_(address) {}

  std::vector<ResultRow> Run(const char* statement, const Params& params) override {
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

  void BeginWrite() override { work_.emplace(connection_); }
  void Commit() override {
    work_->commit();
    work_.reset();
  }
  void Rollback() override { work_.reset(); }

 private:
  // Statement names are their index in the order first used on this connection.
  std::string Prepare(const char* statement) {
    auto found = prepared_.find(statement);
    if (found != prepared_.end()) return found->second;
    std::string name = "s" + std::to_string(prepared_.size());
    connection_.prepare(name, statement);
    prepared_.emplace(statement, name);
    return name;
  }

  pqxx::connection connection_;
  std::optional<pqxx::work> work_;
  std::map<const char*, std::string> prepared_;
};

class PostgresStorage : public SqlStorage {
 public:
  explicit PostgresStorage(const std::string& address)
      : SqlStorage([this] { return std::make_unique<PostgresSession>(address_); }), address_(address) {
    try {
      pqxx::connection connection(address_);
      pqxx::nontransaction schema(connection);
      // Several servers may start at once: one creates the tables at a time.
      schema.exec("SELECT pg_advisory_lock(7077)");
      schema.exec(sql::kPostgresSchema);
      if (schema.exec(sql::kCountsMissing).at(0).at(0).as<bool>()) {
        schema.exec(std::string("BEGIN;") + sql::kRebuildCounts + "COMMIT;");
      }
      {
        PostgresSession session(address_);
        FillMissing(session);
      }
      schema.exec("SELECT pg_advisory_unlock(7077)");
    } catch (const std::exception& e) {
      throw StorageError(e.what());
    }
  }

 private:
  std::string address_;
};

}  // namespace

std::unique_ptr<Storage> OpenPostgres(const std::string& address) {
  return std::make_unique<PostgresStorage>(address);
}

}  // namespace score
