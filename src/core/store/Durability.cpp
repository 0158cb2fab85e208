#include "core/store/Durability.h"

#include <string>

#include "core/store/SqlStatement.h"

namespace morvel {
namespace {

// The text a one-row PRAGMA answers, or empty when it fails.
std::string PragmaAnswer(sqlite3* db, const char* sql) {
    SqlStatement pragma(db, sql);
    return pragma.Step() == SqlStatement::Stepped::kRow ? std::string(pragma.Blob(0)) : std::string();
}

}  // namespace

// Asks for the write-ahead log (two programs share the store) and full
// syncing (a stored example survives a power cut), and checks what the file
// took: a rollback journal on disk keeps every write too, only slower to
// share; a journal in memory, none, or weaker syncing does not.
Status MakeDurable(sqlite3* db) {
    const std::string journal = PragmaAnswer(db, "PRAGMA journal_mode=WAL");
    if (journal != "wal" && journal != "delete" && journal != "truncate" && journal != "persist")
        return Status::IOError("its journal cannot be kept on disk (journal mode \"" +
                               (journal.empty() ? std::string(sqlite3_errmsg(db)) : journal) + "\")");
    PragmaAnswer(db, "PRAGMA synchronous=FULL");
    const std::string sync = PragmaAnswer(db, "PRAGMA synchronous");
    if (sync != "2" && sync != "3")
        return Status::IOError("its writes cannot be synced to disk (synchronous = " +
                               (sync.empty() ? std::string(sqlite3_errmsg(db)) : sync) + ")");
    return Status::Ok();
}

}  // namespace morvel
