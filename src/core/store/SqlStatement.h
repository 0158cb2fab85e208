#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "core/platform/Status.h"

namespace morvel {

// The failure of the last call on db, of the kind its result code says, with
// what in front of its message.
inline Status SqliteStatus(sqlite3* db, const std::string& what) {
    const std::string message = what + ": " + sqlite3_errmsg(db);
    switch (sqlite3_errcode(db) & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return Status::Busy(message);
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return Status::Corrupt(message);
        default:
            return Status::IOError(message);
    }
}

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

    // What one step of a statement gave: a row, the end, or an error (the
    // connection's message and code say which). A loop that stops at anything
    // but a row must still tell the end from an error.
    enum class [[nodiscard]] Stepped{kRow, kDone, kError};
    Stepped Step() {
        if (!stmt_) return Stepped::kError;
        switch (sqlite3_step(stmt_)) {
            case SQLITE_ROW:
                return Stepped::kRow;
            case SQLITE_DONE:
                return Stepped::kDone;
            default:
                return Stepped::kError;
        }
    }
    // Calls row() for every row, then makes the statement ready for the next
    // use. Ok at the end; on an error, the failure (`what` in front of the
    // connection's message), after the rows met before it.
    template <typename Row>
    Status EachRow(const std::string& what, Row&& row) {
        Stepped stepped;
        while ((stepped = Step()) == Stepped::kRow) row();
        Status result = stepped == Stepped::kDone ? Status::Ok() : Failure(what);
        if (stmt_) sqlite3_reset(stmt_);
        return result;
    }
    // Steps to the one row a lookup may give: Ok with the row at hand,
    // NotFound at the end, or the failure. The caller resets the statement.
    Status Lookup(const std::string& what) {
        switch (Step()) {
            case Stepped::kRow:
                return Status::Ok();
            case Stepped::kDone:
                return Status::NotFound(what);
            default:
                return Failure(what);
        }
    }
    // Runs a statement that returns no rows and makes it ready for the next use.
    Status Run(const std::string& what) {
        const Stepped stepped = Step();
        Status result = stepped == Stepped::kDone ? Status::Ok() : Failure(what);
        if (stmt_) sqlite3_reset(stmt_);
        return result;
    }

    // The failure of the last step (or of preparing), of the kind SQLite's
    // result code says, with what in front of its message.
    Status Failure(const std::string& what) const {
        if (!stmt_) return Status::IOError(what + ": " + (error_.empty() ? "no statement" : error_));
        return SqliteStatus(sqlite3_db_handle(stmt_), what);
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
