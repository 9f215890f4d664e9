// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Sqlite.h"

#include <sqlite3.h>

namespace vemo {

bool StoreError::Damaged() const {
  return code_ == SQLITE_CORRUPT || code_ == SQLITE_NOTADB;
}

SqliteDb::SqliteDb(const std::string& path, Mode mode) {
  const int flags =
      (mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) |
      SQLITE_OPEN_NOMUTEX;
  const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    sqlite3_close(db_);
    db_ = nullptr;
    throw StoreError(rc & 0xff, message);
  }
  sqlite3_extended_result_codes(db_, 0);
  // Another connection (the writer, a command-line export) may hold the lock for one batch.
  sqlite3_busy_timeout(db_, 5000);
}

SqliteDb::~SqliteDb() {
  sqlite3_close_v2(db_);
}

void SqliteDb::Check(int rc, const char* doing) const {
  if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE) return;
  throw StoreError(rc & 0xff, std::string(doing) + ": " + sqlite3_errmsg(db_));
}

void SqliteDb::Exec(const std::string& sql) {
  Check(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), "database command failed");
}

SqliteStatement SqliteDb::Prepare(const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  Check(sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr),
        "database query failed");
  return SqliteStatement(*this, stmt);
}

SqliteStatement::~SqliteStatement() {
  sqlite3_finalize(stmt_);
}

void SqliteStatement::Bind(int i, qint64 v) {
  db_->Check(sqlite3_bind_int64(stmt_, i, v), "database write failed");
}

void SqliteStatement::Bind(int i, double v) {
  db_->Check(sqlite3_bind_double(stmt_, i, v), "database write failed");
}

void SqliteStatement::Bind(int i, const std::string& v) {
  db_->Check(sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT),
             "database write failed");
}

void SqliteStatement::BindNull(int i) {
  db_->Check(sqlite3_bind_null(stmt_, i), "database write failed");
}

bool SqliteStatement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  // The statement's own code; sqlite3_reset returns it too, and clears it for a retry.
  sqlite3_reset(stmt_);
  db_->Check(rc, "database access failed");
  return false;
}

void SqliteStatement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

bool SqliteStatement::IsNull(int column) const {
  return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

qint64 SqliteStatement::Int(int column) const {
  return sqlite3_column_int64(stmt_, column);
}

double SqliteStatement::Double(int column) const {
  return sqlite3_column_double(stmt_, column);
}

std::string SqliteStatement::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
              : std::string();
}

int SqliteStatement::Columns() const {
  return sqlite3_column_count(stmt_);
}

}  // namespace vemo
