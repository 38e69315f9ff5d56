#include "plugins/common/StandInDb.h"

#include <sqlite3.h>

#include <utility>

namespace standin {

StandInStatement::~StandInStatement() {
  if (statement_ != nullptr) sqlite3_finalize(statement_);
}

StandInStatement::StandInStatement(StandInStatement&& other) noexcept
    : statement_(std::exchange(other.statement_, nullptr)) {}

StandInStatement& StandInStatement::operator=(StandInStatement&& other) noexcept {
  if (this != &other) {
    if (statement_ != nullptr) sqlite3_finalize(statement_);
    statement_ = std::exchange(other.statement_, nullptr);
  }
  return *this;
}

void StandInStatement::Reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

void StandInStatement::BindText(int index, const std::string& value) {
  sqlite3_bind_text(statement_, index, value.data(), static_cast<int>(value.size()),
                    SQLITE_TRANSIENT);
}

void StandInStatement::BindInt(int index, int64_t value) {
  sqlite3_bind_int64(statement_, index, value);
}

int StandInStatement::Step() {
  const int rc = sqlite3_step(statement_);
  if (rc == SQLITE_ROW) return 1;
  if (rc == SQLITE_DONE) return 0;
  return -1;
}

int StandInStatement::Columns() const { return sqlite3_column_count(statement_); }

bool StandInStatement::ColumnIsNull(int column) const {
  return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

bool StandInStatement::ColumnIsInteger(int column) const {
  return sqlite3_column_type(statement_, column) == SQLITE_INTEGER;
}

int64_t StandInStatement::ColumnInt(int column) const {
  return sqlite3_column_int64(statement_, column);
}

std::string StandInStatement::ColumnText(int column) const {
  const unsigned char* text = sqlite3_column_text(statement_, column);
  if (text == nullptr) return std::string();
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
}

std::string_view StandInStatement::ColumnView(int column) const {
  const unsigned char* text = sqlite3_column_text(statement_, column);
  if (text == nullptr) return std::string_view();
  return std::string_view(reinterpret_cast<const char*>(text),
                          static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
}

std::string StandInStatement::ColumnName(int column) const {
  const char* name = sqlite3_column_name(statement_, column);
  return name != nullptr ? name : "";
}

StandInDb::~StandInDb() { Close(); }

bool StandInDb::Open(const std::string& path, std::string* error) {
  Close();
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(
      path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    *error = "cannot open " + path + ": " + (db != nullptr ? sqlite3_errmsg(db) : "out of memory");
    sqlite3_close(db);
    return false;
  }
  db_ = db;
  path_ = path;
  sqlite3_busy_timeout(db_, 5000);
  // WAL lets the IM service write its outbox while the store reads; a 32 MB
  // page cache and memory-mapped reads keep lookups off the file system.
  if (!Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA cache_size=-32768;"
            " PRAGMA mmap_size=268435456;",
            error)) {
    Close();
    return false;
  }
  return true;
}

void StandInDb::Close() {
  if (db_ != nullptr) sqlite3_close(db_);
  db_ = nullptr;
  path_.clear();
}

bool StandInDb::Exec(const std::string& sql, std::string* error) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
  *error = message != nullptr ? message : "SQLite error";
  sqlite3_free(message);
  return false;
}

StandInStatement StandInDb::Prepare(const std::string& sql, std::string* error) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr) !=
      SQLITE_OK) {
    *error = sqlite3_errmsg(db_);
    return StandInStatement();
  }
  return StandInStatement(statement);
}

int64_t StandInDb::LastInsertId() const { return sqlite3_last_insert_rowid(db_); }

std::string StandInDb::LastError() const { return db_ != nullptr ? sqlite3_errmsg(db_) : "closed"; }

}  // namespace standin
