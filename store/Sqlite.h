// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A thin owner of SQLite connections and statements: every failure becomes a StoreError
// carrying SQLite's own code, so that callers can tell a damaged file from a full disk.

#include <QtGlobal>

#include <stdexcept>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace vemo {

class StoreError : public std::runtime_error {
 public:
  StoreError(int code, const std::string& what) : std::runtime_error(what), code_(code) {}
  // SQLite's primary result code (SQLITE_FULL, SQLITE_CORRUPT, ...).
  int Code() const { return code_; }
  // The file is not a database or its pages are damaged.
  bool Damaged() const;

 private:
  int code_;
};

class SqliteStatement;

class SqliteDb {
 public:
  enum class Mode { ReadOnly, ReadWrite };
  // Opens (ReadWrite: creates) the file; raises StoreError.
  SqliteDb(const std::string& path, Mode mode);
  ~SqliteDb();
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  void Exec(const std::string& sql);
  SqliteStatement Prepare(const std::string& sql);
  sqlite3* Handle() const { return db_; }
  // Raises StoreError with the connection's message when rc is an error.
  void Check(int rc, const char* doing) const;

 private:
  sqlite3* db_ = nullptr;
};

class SqliteStatement {
 public:
  SqliteStatement(const SqliteDb& db, sqlite3_stmt* stmt) : db_(&db), stmt_(stmt) {}
  SqliteStatement(SqliteStatement&& o) noexcept : db_(o.db_), stmt_(o.stmt_) { o.stmt_ = nullptr; }
  SqliteStatement& operator=(SqliteStatement&&) = delete;
  ~SqliteStatement();

  // Parameters count from 1, as SQLite's do.
  void Bind(int i, qint64 v);
  void Bind(int i, double v);
  void Bind(int i, const std::string& v);
  void BindNull(int i);
  // True while a row is there; raises on errors. Reset before binding anew.
  bool Step();
  void Reset();

  bool IsNull(int column) const;
  qint64 Int(int column) const;
  double Double(int column) const;
  std::string Text(int column) const;
  int Columns() const;

 private:
  const SqliteDb* db_;
  sqlite3_stmt* stmt_;
};

}  // namespace vemo
