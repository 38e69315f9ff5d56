// A SQLite connection of a stand-in plugin, with RAII statements.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace standin {

// One prepared statement; finalized when the object goes. Bind indexes start at 1.
class StandInStatement {
 public:
  StandInStatement() = default;
  explicit StandInStatement(sqlite3_stmt* statement) : statement_(statement) {}
  ~StandInStatement();
  StandInStatement(StandInStatement&& other) noexcept;
  StandInStatement& operator=(StandInStatement&& other) noexcept;
  StandInStatement(const StandInStatement&) = delete;
  StandInStatement& operator=(const StandInStatement&) = delete;

  bool Valid() const { return statement_ != nullptr; }
  void Reset();  // back to the start, bindings cleared
  void BindText(int index, const std::string& value);
  void BindInt(int index, int64_t value);
  // SQLITE_ROW → 1, SQLITE_DONE → 0, an error → -1.
  int Step();
  int Columns() const;
  bool ColumnIsNull(int column) const;
  bool ColumnIsInteger(int column) const;
  int64_t ColumnInt(int column) const;
  std::string ColumnText(int column) const;
  // The column's text in SQLite's own buffer, valid until the next Step or
  // Reset: for a caller that copies it once, where it ends up.
  std::string_view ColumnView(int column) const;
  std::string ColumnName(int column) const;

 private:
  sqlite3_stmt* statement_ = nullptr;
};

// A connection in WAL mode that waits up to 5 s for a lock held by another
// connection. Use from one thread at a time.
class StandInDb {
 public:
  StandInDb() = default;
  ~StandInDb();
  StandInDb(const StandInDb&) = delete;
  StandInDb& operator=(const StandInDb&) = delete;

  // Opens (creating) the file at path; false with the reason in *error.
  bool Open(const std::string& path, std::string* error);
  void Close();
  bool IsOpen() const { return db_ != nullptr; }
  const std::string& Path() const { return path_; }

  // Runs one or more statements without results; false with the reason.
  bool Exec(const std::string& sql, std::string* error);
  // An invalid statement (with the reason in *error) when sql does not compile.
  StandInStatement Prepare(const std::string& sql, std::string* error);
  int64_t LastInsertId() const;
  std::string LastError() const;

 private:
  sqlite3* db_ = nullptr;
  std::string path_;
};

}  // namespace standin
