#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace morvel {

// One prepared SQLite statement, finalized when it goes out of scope. The
// store's units share it so that binding, stepping and reading columns are
// spelled once.
class SqlStatement {
  public:
    // `flags` are those of sqlite3_prepare_v3: SQLITE_PREPARE_PERSISTENT for a
    // statement kept for the life of the connection.
    SqlStatement(sqlite3* db, const char* sql, unsigned flags = 0) {
        if (!db) {
            error_ = "the store is not open";
            return;
        }
        if (sqlite3_prepare_v3(db, sql, -1, flags, &stmt_, nullptr) != SQLITE_OK) {
            error_ = sqlite3_errmsg(db);
            sqlite3_finalize(stmt_);
            stmt_ = nullptr;
        }
    }
    ~SqlStatement() { sqlite3_finalize(stmt_); }
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    bool valid() const { return stmt_ != nullptr; }
    // Why the statement could not be prepared (empty when valid).
    const std::string& error() const { return error_; }
    sqlite3_stmt* get() { return stmt_; }

    // Makes the statement ready for a fresh use, with nothing bound.
    SqlStatement& Reset() {
        if (stmt_) {
            sqlite3_reset(stmt_);
            sqlite3_clear_bindings(stmt_);
        }
        return *this;
    }
    SqlStatement& Bind(int i, std::int64_t v) {
        sqlite3_bind_int64(stmt_, i, v);
        return *this;
    }
    // Binds a copy of the bytes; an empty view binds an empty blob, never NULL.
    SqlStatement& Bind(int i, std::string_view blob) {
        sqlite3_bind_blob(stmt_, i, blob.empty() ? "" : blob.data(), static_cast<int>(blob.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    // Binds bytes that stay valid until the statement is next reset.
    SqlStatement& BindView(int i, std::string_view blob) {
        sqlite3_bind_blob(stmt_, i, blob.empty() ? "" : blob.data(), static_cast<int>(blob.size()),
                          SQLITE_STATIC);
        return *this;
    }

    int Step() { return sqlite3_step(stmt_); }
    // Steps to the next row; false at the end or on an error.
    bool Row() { return stmt_ && sqlite3_step(stmt_) == SQLITE_ROW; }
    // Runs a statement that returns no rows and makes it ready for the next use.
    bool Done() {
        const bool done = stmt_ && sqlite3_step(stmt_) == SQLITE_DONE;
        sqlite3_reset(stmt_);
        return done;
    }

    std::int64_t Int(int col) { return sqlite3_column_int64(stmt_, col); }
    std::string_view Blob(int col) {
        const void* p = sqlite3_column_blob(stmt_, col);
        return {static_cast<const char*>(p), static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col))};
    }

  private:
    sqlite3_stmt* stmt_ = nullptr;
    std::string error_;
};

}  // namespace morvel
