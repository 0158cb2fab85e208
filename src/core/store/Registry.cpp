#include "core/store/Registry.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "core/platform/CodePage.h"
#include "core/store/Durability.h"
#include "core/store/SqlStatement.h"
#include "core/store/StoreFiles.h"

namespace morvel {
namespace {

// Marks a SQLite file as this program's store ("Morv").
constexpr std::int32_t kApplicationId = 0x4D6F7276;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    "  id INTEGER PRIMARY KEY, parent INTEGER NOT NULL, name BLOB NOT NULL, lname BLOB NOT NULL,"
    "  UNIQUE(parent, lname));"
    "CREATE TABLE IF NOT EXISTS vals("
    "  key INTEGER NOT NULL, lname BLOB NOT NULL, name BLOB NOT NULL, type INTEGER NOT NULL,"
    "  data BLOB NOT NULL, PRIMARY KEY(key, lname)) WITHOUT ROWID;";

constexpr const char* kNewStorePageSize = "PRAGMA page_size=16384";
// A write group holds 16 MiB of pages where SQLite's usual 2 MiB would spill
// the indexes' pages to the log and read them back again and again in a large
// group (an import of 100,000 examples writes a tenth less); the cache shrinks
// back when the group ends.
constexpr const char* kGroupCacheSize = "PRAGMA cache_size=-16384";
constexpr const char* kUsualCacheSize = "PRAGMA cache_size=-2000";

enum StatementSlot {
    kFindChild,
    kInsertKey,
    kReadValue,
    kWriteValue,
    kListChildren,
    kListValues,
    kListSubkeyIds,
    kStreamValueRange,
    kDeleteTreeValues,
    kDeleteTreeKeys,
    kKeyById,
    kValuesOfKey,
    kCountSubkeys,
    kDataVersion,
    kStatementCount
};

// Every statement the store runs, by slot. All are prepared when the store
// opens, so that a file whose tables are not what they should be is refused
// then, instead of reading as empty later.
constexpr const char* kStatementSql[kStatementCount] = {
    "SELECT id FROM keys WHERE parent=?1 AND lname=?2",
    "INSERT INTO keys(parent, name, lname) VALUES(?1, ?2, ?3)",
    "SELECT type, data FROM vals WHERE key=?1 AND lname=?2",
    "INSERT INTO vals(key, lname, name, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"
    " ON CONFLICT(key, lname) DO UPDATE SET type=excluded.type, data=excluded.data",
    "SELECT name FROM keys WHERE parent=?1 ORDER BY lname",
    "SELECT name, type, data FROM vals WHERE key=?1 ORDER BY lname",
    // The bulk reads see what the single reads find: a name stored as text
    // (a hand edit) never equals the name a read looks for, stored as bytes.
    "SELECT id, lname FROM keys WHERE parent=?1 AND typeof(lname)='blob' ORDER BY id",
    "SELECT key, lname, type, data FROM vals WHERE key BETWEEN ?1 AND ?2 AND typeof(lname)='blob'",
    // A key and every key below it (found by walking down the parent links):
    // first their values, then the keys themselves.
    "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT keys.id FROM keys JOIN tree"
    " ON keys.parent = tree.id) DELETE FROM vals WHERE key IN tree",
    "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT keys.id FROM keys JOIN tree"
    " ON keys.parent = tree.id) DELETE FROM keys WHERE id IN tree",
    "SELECT parent, lname FROM keys WHERE id=?1 AND typeof(lname)='blob'",
    "SELECT lname, type, data FROM vals WHERE key=?1 AND typeof(lname)='blob' ORDER BY lname",
    "SELECT count(*) FROM keys WHERE parent=?1",
    "PRAGMA data_version",
};

// The change marks of a derived table, "@" standing for its prefix. A trigger
// runs only when its key is not marked yet: that test costs little per value
// written, and the mark itself then cannot meet a conflict (which would be
// handled by the policy of the statement that fired the trigger, which may be
// to fail). The BEFORE triggers catch the key that an INSERT OR REPLACE or
// UPDATE OR REPLACE deletes without firing a delete trigger.
constexpr std::string_view kChangeMarkSchema =
    "CREATE TABLE IF NOT EXISTS @_dirty(key INTEGER PRIMARY KEY);"
    "CREATE TRIGGER IF NOT EXISTS @_vals_insert AFTER INSERT ON vals"
    "  WHEN NEW.key NOT IN (SELECT key FROM @_dirty)"
    "  BEGIN INSERT INTO @_dirty VALUES(NEW.key); END;"
    "CREATE TRIGGER IF NOT EXISTS @_vals_update_old AFTER UPDATE ON vals"
    "  WHEN OLD.key NOT IN (SELECT key FROM @_dirty)"
    "  BEGIN INSERT INTO @_dirty VALUES(OLD.key); END;"
    "CREATE TRIGGER IF NOT EXISTS @_vals_update_new AFTER UPDATE ON vals"
    "  WHEN NEW.key NOT IN (SELECT key FROM @_dirty)"
    "  BEGIN INSERT INTO @_dirty VALUES(NEW.key); END;"
    "CREATE TRIGGER IF NOT EXISTS @_vals_delete AFTER DELETE ON vals"
    "  WHEN OLD.key NOT IN (SELECT key FROM @_dirty)"
    "  BEGIN INSERT INTO @_dirty VALUES(OLD.key); END;"
    "CREATE TRIGGER IF NOT EXISTS @_keys_replace BEFORE INSERT ON keys"
    "  WHEN EXISTS (SELECT 1 FROM keys WHERE parent=NEW.parent AND lname=NEW.lname"
    "    AND id NOT IN (SELECT key FROM @_dirty))"
    "  BEGIN INSERT INTO @_dirty SELECT id FROM keys WHERE parent=NEW.parent AND lname=NEW.lname; END;"
    "CREATE TRIGGER IF NOT EXISTS @_keys_insert AFTER INSERT ON keys"
    "  WHEN NEW.id NOT IN (SELECT key FROM @_dirty)"
    "  BEGIN INSERT INTO @_dirty VALUES(NEW.id); END;"
    "CREATE TRIGGER IF NOT EXISTS @_keys_rename BEFORE UPDATE ON keys"
    "  WHEN EXISTS (SELECT 1 FROM keys WHERE parent=NEW.parent AND lname=NEW.lname"
    "    AND id NOT IN (SELECT key FROM @_dirty))"
    "  BEGIN INSERT INTO @_dirty SELECT id FROM keys WHERE parent=NEW.parent AND lname=NEW.lname; END;"
    "CREATE TRIGGER IF NOT EXISTS @_keys_update_old AFTER UPDATE ON keys"
    "  WHEN OLD.id NOT IN (SELECT key FROM @_dirty)"
    "  BEGIN INSERT INTO @_dirty VALUES(OLD.id); END;"
    "CREATE TRIGGER IF NOT EXISTS @_keys_update_new AFTER UPDATE ON keys"
    "  WHEN NEW.id NOT IN (SELECT key FROM @_dirty)"
    "  BEGIN INSERT INTO @_dirty VALUES(NEW.id); END;"
    "CREATE TRIGGER IF NOT EXISTS @_keys_delete AFTER DELETE ON keys"
    "  WHEN OLD.id NOT IN (SELECT key FROM @_dirty)"
    "  BEGIN INSERT INTO @_dirty VALUES(OLD.id); END;";

// The derived tables' names begin with their prefix and "_"; only letters,
// digits and "_" are taken, so that a prefix cannot change a statement.
bool IsDerivedPrefix(std::string_view prefix) {
    return !prefix.empty() && std::all_of(prefix.begin(), prefix.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
}

// Splits a backslash path into its non-empty components.
std::vector<std::string_view> Components(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const auto cut = path.find('\\');
        const auto part = path.substr(0, cut);
        if (!part.empty()) parts.push_back(part);
        if (cut == std::string_view::npos) break;
        path.remove_prefix(cut + 1);
    }
    return parts;
}

std::string ErrnoText() { return std::strerror(errno); }

// The ways Open connects to a store file, in the order it tries them.
enum { kWritable, kReadable, kSnapshot };

}  // namespace

std::string Registry::SnapshotUri(const std::string& path) {
    std::string uri = "file:";
    for (const char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            uri += escaped;
        } else {
            uri += c;
        }
    }
    return uri + "?immutable=1";
}

namespace {

// Connects db to the file at path the way `how` says and reads its
// application id and table count, without writing anything. Returns
// SQLITE_ROW on success; otherwise the failing result code, why says why
// (and opened whether the file opened but could not be read) and db is closed.
int Connect(const std::string& path, int how, int busyTimeout, sqlite3*& db, std::int64_t& appId,
            std::int64_t& tables, std::string& why, bool& opened) {
    if (db) sqlite3_close_v2(db);
    db = nullptr;
    const int flags = (how == kWritable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) |
                      SQLITE_OPEN_NOMUTEX | (how == kSnapshot ? SQLITE_OPEN_URI : 0);
    const std::string name = how == kSnapshot ? Registry::SnapshotUri(path) : path;
    int rc = sqlite3_open_v2(name.c_str(), &db, flags, nullptr);
    opened = rc == SQLITE_OK;
    if (rc != SQLITE_OK) {
        why = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close_v2(db);
        db = nullptr;
        return rc;
    }
    sqlite3_busy_timeout(db, busyTimeout);
    sqlite3_extended_result_codes(db, 1);
    {
        SqlStatement probe(db,
                           "SELECT (SELECT application_id FROM pragma_application_id),"
                           " (SELECT count(*) FROM sqlite_master)");
        if (probe.Step() == SqlStatement::Stepped::kRow) {
            rc = SQLITE_ROW;
            appId = probe.Int(0);
            tables = probe.Int(1);
        } else {
            rc = sqlite3_extended_errcode(db);
            why = sqlite3_errmsg(db);
            if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW) rc = SQLITE_ERROR;
        }
    }
    if (rc != SQLITE_ROW) {
        sqlite3_close_v2(db);
        db = nullptr;
    }
    return rc;
}

// Creates every missing folder of dir with mode 0700.
// SQLite makes the -shm and -wal files with the main file's permissions, so a
// read of a store that was read-only leaves them read-only. Once the store can
// be written again, such a -shm keeps every write out ("attempt to write a
// readonly database") until someone deletes it by hand: the files of ours
// that cannot be written take the store's permissions again.
void GiveSideFilesTheStoresMode(const std::string& path, const struct stat& store) {
    if (access(path.c_str(), W_OK) != 0) return;
    for (const char* suffix : {"-shm", "-wal"}) {
        const std::string side = path + suffix;
        struct stat st;
        if (lstat(side.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
            access(side.c_str(), W_OK) != 0)
            chmod(side.c_str(), store.st_mode & 0777);
    }
}

bool MakeFolders(const std::string& dir) {
    if (dir.empty()) return true;
    struct stat st;
    if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const auto slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(dir.substr(0, slash))) return false;
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

Registry::Registry() = default;

Registry::~Registry() {
    UnregisterOpenStore(this);
    statements_.clear();
    valuesInserts_.clear();
    if (db_) sqlite3_close_v2(db_);
}

std::string Registry::DefaultPath() {
    if (const char* env = std::getenv("MORVEL_STORE"); env && *env) return env;
    std::string base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home ? home : "") + "/.local/share";
    }
    return base + "/morvel/store.sqlite";
}

Status Registry::Open(const std::string& path, Access access) {
    UnregisterOpenStore(this);
    released_ = false;
    changeMarksPaused_ = false;
    access_ = access;
    statements_.clear();
    valuesInserts_.clear();
    keyCache_.clear();
    lastKeyPath_.clear();
    dataVersion_ = -1;
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
    readOnly_ = true;
    path_ = path;
    auto fail = [&](const std::string& why, Status::Kind kind = Status::Kind::kIOError) {
        statements_.clear();
        if (db_) sqlite3_close_v2(db_);
        db_ = nullptr;
        const std::string message = "Cannot open the store " + path + ": " + why;
        return kind == Status::Kind::kCorrupt ? Status::Corrupt(message) : Status::IOError(message);
    };

    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return fail("it is not a regular file");
        if (access == Access::kReadWrite) GiveSideFilesTheStoresMode(path, st);
    } else if (access == Access::kReadOnly) {
        return fail(ErrnoText());
    } else {
        const auto slash = path.find_last_of('/');
        if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash)))
            return fail("cannot create its folder (" + ErrnoText() + ")");
        const int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) return fail(ErrnoText());
        if (fd >= 0) close(fd);
    }

    // Read-write where the file allows it, else read-only; where SQLite cannot
    // share the store even for reading (no -shm can be made beside it), as an
    // immutable snapshot of the main file.
    std::int64_t appId = 0, tables = 0;
    std::string why;
    bool opened = false;
    int rc = SQLITE_CANTOPEN;
    int how = access == Access::kReadOnly ? kReadable : kWritable;
    for (;; ++how) {
        // Look before writing anything: a file of another kind must stay as it is.
        rc = Connect(path, how, busyTimeout_, db_, appId, tables, why, opened);
        if (rc == SQLITE_ROW || how == kSnapshot) break;
        if ((rc & 0xFF) != SQLITE_READONLY && (rc & 0xFF) != SQLITE_CANTOPEN) break;
        // A snapshot reads the main file alone: writes still in the log would be missed.
        if (struct stat log;
            how + 1 == kSnapshot && stat((path + "-wal").c_str(), &log) == 0 && log.st_size > 0)
            return fail(why + "; its folder cannot be written and its log holds writes not yet in the file");
    }
    if (rc != SQLITE_ROW) {
        // A file that is no database is not ours; one the system could not
        // read may well be, and says so.
        const int code = rc & 0xFF;
        if (opened && (code == SQLITE_NOTADB || code == SQLITE_CORRUPT))
            return fail("the file is not a Morvel store (" + why + ")", Status::Kind::kCorrupt);
        return fail(opened ? "it could not be read (" + why + ")" : why);
    }
    if (appId != kApplicationId && (appId != 0 || tables != 0))
        return fail("the file is a database of another program", Status::Kind::kCorrupt);

    readOnly_ = access == Access::kReadOnly || sqlite3_db_readonly(db_, "main") == 1;
    readOnlyReason_ = access == Access::kReadOnly ? "it was opened for reading only"
                      : how == kSnapshot ? "its folder cannot be written, so it is read as a snapshot"
                                         : "";
    if (!readOnly_) {
        // A new store takes pages of 16 KiB (before the journal mode fixes
        // them): the examples are many small rows, and an import of a hundred
        // thousand writes and checkpoints a quarter of the pages it would in
        // SQLite's usual 4 KiB, at a third less time.
        if (appId != kApplicationId && tables == 0) Exec(kNewStorePageSize);
        if (const Status durable = MakeDurable(db_); !durable) {
            // Writes that a power cut could lose are refused with this reason; reads work.
            if (appId != kApplicationId) return fail(durable.message());
            readOnly_ = true;
            readOnlyReason_ = durable.message();
        }
    }
    if (!readOnly_) {
        if (appId != kApplicationId) {
            if (!Exec("BEGIN IMMEDIATE")) return fail(sqlite3_errmsg(db_));
            const std::string setup =
                std::string(kSchema) + "PRAGMA application_id=" + std::to_string(kApplicationId);
            if (sqlite3_exec(db_, setup.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK || !Exec("COMMIT")) {
                const std::string why = sqlite3_errmsg(db_);
                Exec("ROLLBACK");
                return fail(why);
            }
        }
    } else if (appId != kApplicationId) {
        return fail("the file is read-only and holds no store yet");
    }
    statements_.resize(kStatementCount);
    for (int slot = 0; slot < kStatementCount; ++slot)
        if (const auto& statement = Prepare(slot); !statement.valid()) {
            const int code = sqlite3_errcode(db_) & 0xFF;
            if (code == SQLITE_IOERR || code == SQLITE_BUSY || code == SQLITE_NOMEM || code == SQLITE_FULL)
                return fail("it could not be read (" + statement.error() + ")");
            return fail("its tables are damaged (" + statement.error() + ")", Status::Kind::kCorrupt);
        }
    // From here on the rest of the program keeps its hands off the store's files.
    if (const char* file = sqlite3_db_filename(db_, "main")) RegisterOpenStore(this, file);
    return Status::Ok();
}

void Registry::SetBusyTimeout(int milliseconds) {
    busyTimeout_ = milliseconds;
    if (db_) sqlite3_busy_timeout(db_, milliseconds);
}

void Registry::Release() {
    if (!db_ || groupDepth_ > 0 || readSnapshot_) return;
    statements_.clear();
    valuesInserts_.clear();
    keyCache_.clear();
    lastKeyPath_.clear();
    dataVersion_ = -1;
    sqlite3_close_v2(db_);
    db_ = nullptr;
    released_ = true;
}

bool Registry::Connected() const {
    // Never inside a group that could not begin: its writes would be stored one by one.
    if (db_ || !released_ || groupDepth_ > 0) return db_ != nullptr;
    // Reads are const to their callers: connecting again changes nothing they
    // can see. A store that cannot be opened now is tried again by the next
    // operation; meanwhile reads fail with the reason and writes are refused.
    auto& self = const_cast<Registry&>(*this);
    const std::string path = path_;
    self.reopenFailure_ = self.Open(path, access_);
    self.released_ = db_ == nullptr;
    return db_ != nullptr;
}

bool Registry::Exec(const char* sql) const {
    return db_ && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

SqlStatement& Registry::Prepare(int slot) const {
    auto& s = statements_[slot];
    if (!s) s = std::make_unique<SqlStatement>(db_, kStatementSql[slot], SQLITE_PREPARE_PERSISTENT);
    return s->Reset();
}

void Registry::CheckDataVersion() const {
    auto& s = Prepare(kDataVersion);
    const std::int64_t version = s.Step() == SqlStatement::Stepped::kRow ? s.Int(0) : -1;
    s.Reset();
    if (version < 0 || version != dataVersion_) {
        keyCache_.clear();
        lastKeyPath_.clear();
    }
    dataVersion_ = version;
    versionChecked_ = readSnapshot_;
}

Status Registry::FindKey(std::string_view path, std::int64_t& id) const {
    id = -1;
    // A store that could not be opened reads as empty (see Open).
    if (!Connected())
        return released_ ? ReadFailure(reopenFailure_) : Status::NotFound("the store is not open");
    ForgetKeysChangedElsewhere();
    const std::string lowered = codepage::LoweredAnsi(path);
    if (auto it = keyCache_.find(lowered); it != keyCache_.end()) {
        id = it->second;
        return Status::Ok();
    }
    std::int64_t found = 0;
    for (auto part : Components(lowered)) {
        auto& s = Prepare(kFindChild);
        s.Bind(1, found);
        s.Bind(2, part);
        Status step = s.Lookup("the key " + std::string(path));
        if (step) found = s.Int(0);
        s.Reset();
        if (!step) return step.IsNotFound() ? step : ReadFailure(step);
    }
    if (found == 0) return Status::NotFound("the store's root holds no values");
    keyCache_.emplace(lowered, found);
    id = found;
    return Status::Ok();
}

Status Registry::ReadFailure(const Status& failure) const {
    return failure.Prefixed("The store " + path_ + " could not be read: ");
}

Status Registry::CheckText(std::string_view what, std::string_view text) {
    const auto missing = codepage::MissingCharacters(text);
    if (!missing.empty()) {
        std::string list;
        for (const auto& c : missing) list += (list.empty() ? "" : " ") + c;
        return Status::InvalidInput(std::string(what) + " \"" + std::string(text) +
                                    "\" has characters the store cannot hold: " + list);
    }
    if (text.find('\0') != std::string_view::npos)
        return Status::InvalidInput(std::string(what) + " has a zero character, which the store cannot hold");
    if (codepage::ToAnsi(text).size() > kMaxValueBytes)
        return Status::InvalidInput(std::string(what) + " is longer than " + std::to_string(kMaxValueBytes) +
                                    " characters");
    return Status::Ok();
}

Status Registry::Failed(Status status) {
    if (groupDepth_ > 0 && groupError_.ok()) groupError_ = status;
    return status;
}

Status Registry::SqliteFailure(const std::string& what) const {
    if (!db_) return Status::IOError(what + ": the store is not open");
    return SqliteStatus(db_, what);
}

Status Registry::CreateKey(std::string_view path, std::int64_t& id) {
    // A group whose lock could not be taken writes nothing: its writes would
    // otherwise be stored one by one, outside any group.
    if (groupDepth_ > 0 && db_ && sqlite3_get_autocommit(db_))
        return groupError_ ? Status::Busy("the store could not be locked for writing") : groupError_;
    // Writes come in runs to one key: its id is kept for the next write.
    if (db_) ForgetKeysChangedElsewhere();
    if (!lastKeyPath_.empty() && path == lastKeyPath_) {
        id = lastKeyId_;
        return Status::Ok();
    }
    if (Status found = FindKey(path, id); found) {
        lastKeyPath_ = path;
        lastKeyId_ = id;
        return Status::Ok();
    } else if (!found.IsNotFound()) {
        return found;
    }
    if (!db_) return Status::IOError("the store is not open");
    if (readOnly_) return ReadOnlyFailure();
    for (auto part : Components(path))
        if (Status s = CheckText("the key name", part); !s) return s;
    const bool own = groupDepth_ == 0;
    if (own && !Exec("SAVEPOINT openkey")) return SqliteFailure("the key could not be created");
    Status result;
    id = 0;
    for (auto part : Components(path)) {
        const std::string name = codepage::ToAnsi(part);
        const std::string lname = codepage::LowerAnsi(name);
        auto& find = Prepare(kFindChild);
        find.Bind(1, id);
        find.Bind(2, lname);
        Status found = find.Lookup("the key " + std::string(path));
        if (found) id = find.Int(0);
        find.Reset();
        if (found) continue;
        if (!found.IsNotFound()) {
            result = ReadFailure(found);
            break;
        }
        auto& insert = Prepare(kInsertKey);
        if (!insert.valid()) {
            result = Status::IOError("the store cannot be written: " + insert.error());
            break;
        }
        insert.Bind(1, id);
        insert.Bind(2, name);
        insert.Bind(3, lname);
        const bool inserted = insert.Step() == SqlStatement::Stepped::kDone;
        if (!inserted) result = SqliteFailure("the key could not be created");
        insert.Reset();
        if (!inserted) break;
        id = sqlite3_last_insert_rowid(db_);
    }
    if (result && id <= 0) result = Status::InvalidInput("the store's root holds no values");
    if (own) {
        if (result && !Exec("RELEASE openkey")) result = SqliteFailure("the key could not be created");
        if (!result) Exec("ROLLBACK TO openkey"), Exec("RELEASE openkey");
    }
    if (!result) {
        id = -1;
        keyCache_.clear();
        lastKeyPath_.clear();
        return result;
    }
    // The writes that follow go to this key.
    keyCache_.emplace(codepage::LoweredAnsi(path), id);
    lastKeyPath_ = path;
    lastKeyId_ = id;
    return result;
}

Status Registry::ReadOnlyFailure() const {
    return Status::IOError("the store " + path_ + " is read-only" +
                           (readOnlyReason_.empty() ? std::string() : ": " + readOnlyReason_));
}

Status Registry::OpenKey(std::string_view path) {
    std::int64_t id = -1;
    return Failed(CreateKey(path, id));
}

Status Registry::Write(std::string_view path, std::string_view name, std::int32_t type,
                       std::string_view bytes) {
    // Said before SQLite would refuse it in its own words.
    if (Connected() && readOnly_) return Failed(ReadOnlyFailure());
    std::string ansiName;
    if (!codepage::ToAnsiExact(name, ansiName) || ansiName.size() > kMaxValueBytes)
        return Failed(CheckText("the value name", name));
    std::int64_t key = -1;
    if (Status created = CreateKey(path, key); !created) return Failed(std::move(created));
    auto& s = Prepare(kWriteValue);
    if (!s.valid()) return Failed(Status::IOError("the store cannot be written: " + s.error()));
    s.Bind(1, key);
    s.Bind(2, codepage::LowerAnsi(ansiName));
    s.Bind(3, ansiName);
    s.Bind(4, type);
    s.Bind(5, bytes);
    if (s.Step() == SqlStatement::Stepped::kDone) {
        s.Reset();
        return Status::Ok();
    }
    Status failure = SqliteFailure("the value " + std::string(name) + " could not be written");
    s.Reset();
    return Failed(std::move(failure));
}

Status Registry::EncodeName(std::string_view name, EncodedName& encoded) {
    std::string ansi;
    if (!codepage::ToAnsiExact(name, ansi) || ansi.size() > kMaxValueBytes)
        return CheckText("the value name", name);
    encoded.lname = codepage::LowerAnsi(ansi);
    encoded.name = std::move(ansi);
    return Status::Ok();
}

namespace {
// Values per insert statement: enough to write an example in one, few
// enough to stay far below SQLite's limit on parameters.
constexpr std::size_t kValuesPerStatement = 128;
}  // namespace

SqlStatement& Registry::PrepareValuesInsert(std::size_t rows) {
    if (valuesInserts_.size() <= rows) valuesInserts_.resize(rows + 1);
    auto& s = valuesInserts_[rows];
    if (!s) {
        // OR FAIL: a failing row ends the statement without undoing the rows
        // before it, which spares SQLite a statement journal; the failure
        // fails the write group, which undoes them all.
        std::string sql = "INSERT OR FAIL INTO vals(key, lname, name, type, data) VALUES";
        for (std::size_t i = 0; i < rows; ++i) sql += i ? ",(?1,?,?,?,?)" : "(?1,?,?,?,?)";
        s = std::make_unique<SqlStatement>(db_, sql.c_str(), SQLITE_PREPARE_PERSISTENT);
    }
    if (s->valid()) sqlite3_reset(s->get());
    return *s;
}

Status Registry::CreateKeyWithValues(std::string_view parent, const EncodedName& name,
                                     const std::vector<NewValue>& values, std::int64_t* id) {
    if (!Connected()) return Failed(Status::IOError("the store is not open"));
    if (readOnly_) return Failed(ReadOnlyFailure());
    // Alone, the key and its values are written together or not at all.
    WriteGroup group(*this);
    std::int64_t parentId = -1;
    if (Status s = CreateKey(parent, parentId); !s) return Failed(s);
    auto& insert = Prepare(kInsertKey);
    insert.Bind(1, parentId);
    insert.Bind(2, name.name);
    insert.Bind(3, name.lname);
    const bool inserted = insert.Step() == SqlStatement::Stepped::kDone;
    insert.Reset();
    if (!inserted)
        return Failed(SqliteFailure("the key " + codepage::FromAnsi(name.name) + " could not be created"));
    const std::int64_t key = sqlite3_last_insert_rowid(db_);
    for (std::size_t first = 0; first < values.size(); first += kValuesPerStatement) {
        const std::size_t rows = std::min(kValuesPerStatement, values.size() - first);
        SqlStatement& s = PrepareValuesInsert(rows);
        if (!s.valid()) return Failed(Status::IOError("the store cannot be written: " + s.error()));
        s.Bind(1, key);
        int parameter = 2;
        for (std::size_t i = first; i < first + rows; ++i) {
            s.BindView(parameter++, values[i].name->lname);
            s.BindView(parameter++, values[i].name->name);
            s.Bind(parameter++, values[i].type);
            s.BindView(parameter++, values[i].bytes);
        }
        const bool done = s.Step() == SqlStatement::Stepped::kDone;
        sqlite3_reset(s.get());
        if (!done)
            return Failed(
                SqliteFailure("the values of " + codepage::FromAnsi(name.name) + " could not be written"));
    }
    if (id) *id = key;
    return group.Commit();
}

Status Registry::SetKeyText(std::string_view path, std::string_view name, std::string_view text) {
    std::string ansi;
    if (!codepage::ToAnsiExact(text, ansi) || ansi.size() > kMaxValueBytes ||
        ansi.find('\0') != std::string::npos)
        return Failed(CheckText("the text of " + std::string(name), text));
    return Write(path, name, kTypeText, ansi);
}

Status Registry::SetKeyNumber(std::string_view path, std::string_view name, std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    const char bytes[4] = {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
                           static_cast<char>((u >> 16) & 0xFF), static_cast<char>(u >> 24)};
    return Write(path, name, kTypeNumber, std::string_view(bytes, 4));
}

Status Registry::SetKeyValue(std::string_view path, std::string_view name, std::int32_t type,
                             std::string_view bytes) {
    return Write(path, name, type, bytes);
}

Status Registry::DeleteKeyTree(std::string_view path) {
    if (!Connected()) return Failed(Status::IOError("the store is not open"));
    // A group whose transaction is gone (its lock was never taken, or SQLite
    // rolled it back on an I/O error) must not remove anything on its own.
    if (groupDepth_ > 0 && sqlite3_get_autocommit(db_))
        return Failed(groupError_ ? Status::IOError("the write group's transaction was lost") : groupError_);
    std::int64_t key = -1;
    if (Status found = FindKey(path, key); found.IsNotFound()) {
        return Status::Ok();
    } else if (!found) {
        return Failed(found);
    }
    if (readOnly_) return Failed(ReadOnlyFailure());
    const bool own = groupDepth_ == 0;
    if (own && !Exec("SAVEPOINT deletetree")) return SqliteFailure("the key could not be removed");
    Status result;
    for (const int slot : {kDeleteTreeValues, kDeleteTreeKeys}) {
        auto& s = Prepare(slot);
        s.Bind(1, key);
        if (s.Step() != SqlStatement::Stepped::kDone) result = SqliteFailure("the key could not be removed");
        s.Reset();
        if (!result) break;
    }
    keyCache_.clear();
    lastKeyPath_.clear();
    if (own) {
        if (result && !Exec("RELEASE deletetree")) result = SqliteFailure("the key could not be removed");
        if (!result) Exec("ROLLBACK TO deletetree"), Exec("RELEASE deletetree");
        return result;
    }
    return Failed(result);
}

// The shared read steps: a value counts as found when present with 1 to 1024
// bytes; then exactly one trailing zero byte is dropped.
bool Registry::TextOf(std::int32_t type, std::string_view data, std::string& text) {
    if (data.empty() || data.size() > kMaxValueBytes) {
        text.clear();
        return false;
    }
    if (data.back() == '\0') data.remove_suffix(1);
    if (type == kTypeText) {
        text = codepage::FromAnsi(data);
    } else if (type == kTypeNumber) {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4 && i < data.size(); ++i)
            v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(data[i])) << (8 * i);
        char hex[16];
        std::snprintf(hex, sizeof hex, "&h%X", v);
        text = hex;
    }
    return true;
}

std::int32_t Registry::NumberOf(std::int32_t type, std::string_view data) {
    std::uint32_t v = 0;
    if (type == kTypeNumber && !data.empty() && data.size() <= kMaxValueBytes)
        for (std::size_t i = 0; i < 4 && i < data.size(); ++i)
            v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(data[i])) << (8 * i);
    return static_cast<std::int32_t>(v);
}

Status Registry::ReadValue(std::string_view path, std::string_view name, std::int32_t& type,
                           std::string& data) const {
    std::int64_t key = -1;
    if (Status found = FindKey(path, key); !found) return found;
    auto& s = Prepare(kReadValue);
    s.Bind(1, key);
    s.Bind(2, codepage::LoweredAnsi(name));
    Status step = s.Lookup("the value " + std::string(name));
    if (step) {
        type = static_cast<std::int32_t>(s.Int(0));
        data = s.Blob(1);
    }
    s.Reset();
    return step || step.IsNotFound() ? step : ReadFailure(step);
}

Status Registry::GetKeyText(std::string_view path, std::string_view name, std::string& text) const {
    std::int32_t type = 0;
    std::string data;
    Status read = ReadValue(path, name, type, data);
    if (read && TextOf(type, data, text)) return read;
    text.clear();
    return read ? Status::NotFound("the value " + std::string(name) + " is empty or too long") : read;
}

Status Registry::GetKeyNumber(std::string_view path, std::string_view name, std::int32_t& value) const {
    std::int32_t type = 0;
    std::string data;
    Status read = ReadValue(path, name, type, data);
    value = read ? NumberOf(type, data) : 0;
    return read.IsNotFound() ? Status::Ok() : read;
}

Status Registry::StreamSubkeyValues(std::string_view path, void* context,
                                    void (*visit)(void*, const StreamedValue&)) const {
    std::int64_t key = -1;
    if (Status found = FindKey(path, key); !found) return found.IsNotFound() ? Status::Ok() : found;
    struct Subkey {
        std::int64_t id;
        std::string lname;
    };
    std::vector<Subkey> subkeys;
    {
        auto& s = Prepare(kListSubkeyIds);
        s.Bind(1, key);
        Status listed = s.EachRow("the keys below " + std::string(path), [&] {
            subkeys.push_back({s.Int(0), std::string(s.Blob(1))});
        });
        if (!listed) return ReadFailure(listed);
    }
    if (subkeys.empty()) return Status::Ok();

    StreamedValue value;
    auto emit = [&](SqlStatement& s, const Subkey& subkey) {
        value.subkeyId = subkey.id;
        value.subkeyLname = subkey.lname;
        value.lname = s.Blob(1);
        value.type = static_cast<std::int32_t>(s.Int(2));
        value.data = s.Blob(3);
        visit(context, value);
    };
    const std::string what = "the values below " + std::string(path);
    // Keys made one after another have neighbouring ids: then one scan of the
    // values table over the id range, skipping values of other keys, is much
    // faster than a query per key.
    const std::int64_t first = subkeys.front().id, last = subkeys.back().id;
    const std::int64_t span = last - first + 1;
    if (span <= 4 * static_cast<std::int64_t>(subkeys.size()) + 1024) {
        std::vector<std::int32_t> index(static_cast<std::size_t>(span), -1);
        for (std::size_t i = 0; i < subkeys.size(); ++i)
            index[subkeys[i].id - first] = static_cast<std::int32_t>(i);
        auto& s = Prepare(kStreamValueRange);
        s.Bind(1, first);
        s.Bind(2, last);
        Status read = s.EachRow(what, [&] {
            if (const std::int32_t i = index[s.Int(0) - first]; i >= 0) emit(s, subkeys[i]);
        });
        return read ? read : ReadFailure(read);
    }
    for (const Subkey& subkey : subkeys) {
        auto& s = Prepare(kStreamValueRange);
        s.Bind(1, subkey.id);
        s.Bind(2, subkey.id);
        if (Status read = s.EachRow(what, [&] { emit(s, subkey); }); !read) return ReadFailure(read);
    }
    return Status::Ok();
}

bool Registry::BeginGroup() {
    if (groupDepth_ > 0) {
        ++groupDepth_;
        return true;
    }
    // A released store connects again before the group begins, never inside it.
    const bool connected = Connected();
    groupDepth_ = 1;
    groupError_ = Status::Ok();
    if (readSnapshot_) {
        // A group cannot upgrade an open read snapshot in WAL mode; end it first.
        Exec("COMMIT");
        readSnapshot_ = false;
        versionChecked_ = false;
    }
    if (!connected || !Exec("BEGIN IMMEDIATE")) {
        groupError_ = SqliteFailure("the store could not be locked for writing");
        return false;
    }
    // Nobody else writes from here to the group's end: one check holds for all of it.
    CheckDataVersion();
    Exec(kGroupCacheSize);
    return true;
}

Status Registry::EndGroup(bool commit) {
    if (groupDepth_ == 0 || --groupDepth_ > 0) return Status::Ok();
    const bool began = db_ && !sqlite3_get_autocommit(db_);
    if (began) Exec(kUsualCacheSize);
    if (changeMarksPaused_) static_cast<void>(PauseChangeMarks(false));
    if (commit && groupError_ && began && Exec("COMMIT")) return Status::Ok();
    Status why = groupError_ ? SqliteFailure("the changes could not be committed") : groupError_;
    if (began) Exec("ROLLBACK");
    keyCache_.clear();
    lastKeyPath_.clear();
    if (!commit) return Status::Ok();
    // Refused input says what was refused; a failed write also names the file.
    return why.IsInvalidInput() ? why : why.Prefixed("The store " + path_ + " could not be written: ");
}

Registry::WriteGroup::WriteGroup(Registry& registry) : registry_(registry) { registry_.BeginGroup(); }

Registry::WriteGroup::~WriteGroup() {
    // Rolling back reports nothing: the group's writes are simply not kept.
    if (!done_) static_cast<void>(registry_.EndGroup(false));
}

Status Registry::WriteGroup::Commit() {
    if (done_) return Status::Ok();
    done_ = true;
    return registry_.EndGroup(true);
}

Registry::ReadSnapshot::ReadSnapshot(const Registry& registry) : registry_(registry) {
    if (registry_.groupDepth_ == 0 && registry_.Connected() && !registry_.readSnapshot_ &&
        registry_.Exec("BEGIN")) {
        registry_.readSnapshot_ = true;
        registry_.versionChecked_ = false;
        began_ = true;
    }
}

Registry::ReadSnapshot::~ReadSnapshot() {
    if (began_ && registry_.readSnapshot_) {
        registry_.Exec("COMMIT");
        registry_.readSnapshot_ = false;
        registry_.versionChecked_ = false;
    }
}

Status Registry::KeyExists(std::string_view path, bool& exists) const {
    exists = Components(path).empty();
    if (exists) return Status::Ok();
    std::int64_t key = -1;
    Status found = FindKey(path, key);
    exists = found.ok();
    return found.IsNotFound() ? Status::Ok() : found;
}

Status Registry::SubkeyNames(std::string_view path, std::vector<std::string>& names) const {
    names.clear();
    std::int64_t key = 0;
    if (!Components(path).empty())
        if (Status found = FindKey(path, key); !found) return found.IsNotFound() ? Status::Ok() : found;
    if (!Connected()) return released_ ? ReadFailure(reopenFailure_) : Status::Ok();
    auto& s = Prepare(kListChildren);
    s.Bind(1, key);
    Status read = s.EachRow("the keys below " + std::string(path),
                            [&] { names.push_back(codepage::FromAnsi(s.Blob(0))); });
    if (!read) names.clear();
    return read ? read : ReadFailure(read);
}

Status Registry::Values(std::string_view path, std::vector<RawValue>& values) const {
    values.clear();
    std::int64_t key = -1;
    if (Status found = FindKey(path, key); !found) return found.IsNotFound() ? Status::Ok() : found;
    auto& s = Prepare(kListValues);
    s.Bind(1, key);
    Status read = s.EachRow("the values of " + std::string(path), [&] {
        values.push_back(
            {codepage::FromAnsi(s.Blob(0)), static_cast<std::int32_t>(s.Int(1)), std::string(s.Blob(2))});
    });
    if (!read) values.clear();
    return read ? read : ReadFailure(read);
}

Status Registry::KeyId(std::string_view path, std::int64_t& id) const {
    const Status found = FindKey(path, id);
    return found.IsNotFound() ? Status::Ok() : found;
}

Status Registry::SubkeyCount(std::int64_t id, std::size_t& count) const {
    count = 0;
    if (id < 1) return Status::Ok();
    if (!Connected()) return released_ ? ReadFailure(reopenFailure_) : Status::Ok();
    auto& s = Prepare(kCountSubkeys);
    s.Bind(1, id);
    Status read = s.Lookup("the keys below a key");
    if (read) count = static_cast<std::size_t>(s.Int(0));
    s.Reset();
    return read ? read : ReadFailure(read);
}

Status Registry::StreamSubkey(std::int64_t parent, std::int64_t id, bool& found, void* context,
                              void (*visit)(void*, const StreamedValue&)) const {
    found = false;
    if (!Connected()) return released_ ? ReadFailure(reopenFailure_) : Status::Ok();
    StreamedValue value;
    value.subkeyId = id;
    std::string lname;
    {
        auto& key = Prepare(kKeyById);
        key.Bind(1, id);
        Status read = key.Lookup("a key");
        found = read && key.Int(0) == parent;
        if (found) lname = key.Blob(1);
        key.Reset();
        if (!read && !read.IsNotFound()) return ReadFailure(read);
    }
    if (!found) return Status::Ok();
    value.subkeyLname = lname;
    auto& s = Prepare(kValuesOfKey);
    s.Bind(1, id);
    Status read = s.EachRow("the values of a key", [&] {
        value.lname = s.Blob(0);
        value.type = static_cast<std::int32_t>(s.Int(1));
        value.data = s.Blob(2);
        visit(context, value);
    });
    return read ? read : ReadFailure(read);
}

namespace {

std::string ChangeMarkSchemaFor(std::string_view prefix) {
    std::string sql;
    for (const char c : kChangeMarkSchema) {
        if (c == '@')
            sql.append(prefix);
        else
            sql.push_back(c);
    }
    return sql;
}

}  // namespace

int Registry::ChangeMarkObjects() {
    int n = 0;
    for (std::string_view rest = kChangeMarkSchema; rest.find("CREATE ") != std::string_view::npos; ++n)
        rest.remove_prefix(rest.find("CREATE ") + 1);
    return n;
}

Status Registry::KeepChangeMarks(std::string_view prefix) {
    if (!IsDerivedPrefix(prefix))
        return Status::InvalidInput("a derived table's prefix " + std::string(prefix));
    return ExecDerived(ChangeMarkSchemaFor(prefix).c_str(), "the marks of changed keys");
}

Status Registry::DerivedObjectCount(std::string_view prefix, std::int64_t& count) const {
    count = 0;
    if (!IsDerivedPrefix(prefix))
        return Status::InvalidInput("a derived table's prefix " + std::string(prefix));
    auto s =
        DerivedStatement("SELECT count(*) FROM sqlite_master WHERE substr(name, 1, ?2) = CAST(?1 AS TEXT)");
    const std::string start = std::string(prefix) + "_";
    s->Bind(1, start).Bind(2, static_cast<std::int64_t>(start.size()));
    Status read = s->Lookup("the tables of " + std::string(prefix));
    if (read) count = s->Int(0);
    return read;
}

Status Registry::ExecDerived(const char* sql, const std::string& what) {
    if (!Connected())
        return released_ ? ReadFailure(reopenFailure_) : Status::IOError("the store is not open");
    if (readOnly_) return Failed(ReadOnlyFailure());
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK) return Status::Ok();
    return Failed(SqliteFailure(what));
}

std::unique_ptr<SqlStatement> Registry::DerivedStatement(const char* sql) const {
    return std::make_unique<SqlStatement>(Connected() ? db_ : nullptr, sql);
}

Status Registry::PauseChangeMarks(bool paused) {
    if (paused && groupDepth_ == 0)
        return Status::InvalidInput("change marks pause only inside a write group");
    if (!db_ || paused == changeMarksPaused_) return Status::Ok();
    if (sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, paused ? 0 : 1, nullptr) != SQLITE_OK)
        return SqliteFailure(paused ? "the store's change marks could not be paused"
                                    : "the store's change marks could not be resumed");
    changeMarksPaused_ = paused;
    return Status::Ok();
}

}  // namespace morvel
