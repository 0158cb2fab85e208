#include "core/store/Registry.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "core/platform/CodePage.h"

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
    kStatementCount
};

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

// Creates every missing folder of dir with mode 0700.
bool MakeFolders(const std::string& dir) {
    if (dir.empty()) return true;
    struct stat st;
    if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const auto slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(dir.substr(0, slash))) return false;
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

class Registry::Statement {
  public:
    Statement(sqlite3* db, const char* sql) {
        sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool valid() const { return stmt_ != nullptr; }
    sqlite3_stmt* get() { return stmt_; }
    // Binds a fresh use of the statement.
    Statement& Reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        return *this;
    }
    void Bind(int i, std::int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
    void Bind(int i, std::string_view blob) {
        if (blob.data() == nullptr) blob = std::string_view("", 0);
        sqlite3_bind_blob(stmt_, i, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
    }
    int Step() { return sqlite3_step(stmt_); }
    std::int64_t Int(int col) { return sqlite3_column_int64(stmt_, col); }
    std::string_view Blob(int col) {
        const void* p = sqlite3_column_blob(stmt_, col);
        return {static_cast<const char*>(p), static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col))};
    }

  private:
    sqlite3_stmt* stmt_ = nullptr;
};

Registry::Registry() = default;

Registry::~Registry() {
    statements_.clear();
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

Status Registry::Open(const std::string& path) {
    statements_.clear();
    keyCache_.clear();
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
    currentKey_ = -1;
    path_ = path;
    auto fail = [&](const std::string& why) {
        statements_.clear();
        if (db_) sqlite3_close_v2(db_);
        db_ = nullptr;
        return Status::Error("Cannot open the store " + path + ": " + why);
    };

    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return fail("it is not a regular file");
    } else {
        const auto slash = path.find_last_of('/');
        if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash)))
            return fail("cannot create its folder (" + ErrnoText() + ")");
        const int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) return fail(ErrnoText());
        if (fd >= 0) close(fd);
    }

    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        if (db_) sqlite3_close_v2(db_);
        db_ = nullptr;
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) !=
            SQLITE_OK)
            return fail(db_ ? sqlite3_errmsg(db_) : "out of memory");
    }
    sqlite3_busy_timeout(db_, 10000);
    sqlite3_extended_result_codes(db_, 1);

    // Look before writing anything: a file of another kind must stay as it is.
    std::int64_t appId = 0, tables = 0;
    {
        sqlite3_stmt* s = nullptr;
        int rc = sqlite3_prepare_v2(db_,
                                    "SELECT (SELECT application_id FROM pragma_application_id),"
                                    " (SELECT count(*) FROM sqlite_master)",
                                    -1, &s, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_step(s);
        if (rc == SQLITE_ROW) {
            appId = sqlite3_column_int64(s, 0);
            tables = sqlite3_column_int64(s, 1);
        }
        const std::string why = rc == SQLITE_ROW ? "" : sqlite3_errmsg(db_);
        sqlite3_finalize(s);
        if (rc != SQLITE_ROW) return fail("the file is not a Morvel store (" + why + ")");
    }
    if (appId != kApplicationId && (appId != 0 || tables != 0))
        return fail("the file is a database of another program");

    const bool readOnly = sqlite3_db_readonly(db_, "main") == 1;
    if (!readOnly) {
        Exec("PRAGMA journal_mode=WAL");
        Exec("PRAGMA synchronous=FULL");
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
    return Status::Ok();
}

bool Registry::Exec(const char* sql) const {
    return db_ && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

Registry::Statement& Registry::Prepare(int slot, const char* sql) const {
    auto& s = statements_[slot];
    if (!s) s = std::make_unique<Statement>(db_, sql);
    return s->Reset();
}

std::int64_t Registry::FindKey(std::string_view path) const {
    if (!db_) return -1;
    const std::string lowered = codepage::LoweredAnsi(path);
    if (auto it = keyCache_.find(lowered); it != keyCache_.end()) return it->second;
    std::int64_t id = 0;
    for (auto part : Components(lowered)) {
        auto& s = Prepare(kFindChild, "SELECT id FROM keys WHERE parent=?1 AND lname=?2");
        if (!s.valid()) return -1;
        s.Bind(1, id);
        s.Bind(2, part);
        const bool found = s.Step() == SQLITE_ROW;
        if (found) id = s.Int(0);
        s.Reset();
        if (!found) return -1;
    }
    if (id == 0) return -1;  // the root itself holds no values
    keyCache_.emplace(lowered, id);
    return id;
}

bool Registry::OpenKey() {
    currentKey_ = FindKey(CurrentKeyPath);
    if (currentKey_ >= 0) return true;
    if (!db_) return false;
    const bool own = groupDepth_ == 0;
    if (own && !Exec("SAVEPOINT openkey")) return false;
    std::int64_t id = 0;
    bool ok = true;
    for (auto part : Components(CurrentKeyPath)) {
        const std::string name = codepage::ToAnsi(part);
        const std::string lname = codepage::LowerAnsi(name);
        auto& find = Prepare(kFindChild, "SELECT id FROM keys WHERE parent=?1 AND lname=?2");
        find.Bind(1, id);
        find.Bind(2, lname);
        const bool found = find.Step() == SQLITE_ROW;
        if (found) id = find.Int(0);
        find.Reset();
        if (found) continue;
        auto& insert = Prepare(kInsertKey, "INSERT INTO keys(parent, name, lname) VALUES(?1, ?2, ?3)");
        insert.Bind(1, id);
        insert.Bind(2, name);
        insert.Bind(3, lname);
        ok = insert.Step() == SQLITE_DONE;
        insert.Reset();
        if (!ok) break;
        id = sqlite3_last_insert_rowid(db_);
    }
    ok = ok && id > 0;
    if (own) {
        ok = ok && Exec("RELEASE openkey");
        if (!ok) Exec("ROLLBACK TO openkey"), Exec("RELEASE openkey");
    } else if (!ok) {
        groupFailed_ = true;
        groupError_ = sqlite3_errmsg(db_);
    }
    currentKey_ = ok ? id : -1;
    if (!ok) keyCache_.clear();
    return ok;
}

bool Registry::Write(std::string_view name, std::int32_t type, std::string_view bytes) {
    auto failed = [&](const std::string& why) {
        if (groupDepth_ > 0 && !groupFailed_) {
            groupFailed_ = true;
            groupError_ = why;
        }
        return false;
    };
    if (!db_) return failed("the store is not open");
    if (currentKey_ < 0) return failed("the key could not be opened");
    const std::string ansiName = codepage::ToAnsi(name);
    auto& s = Prepare(kWriteValue,
                      "INSERT INTO vals(key, lname, name, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"
                      " ON CONFLICT(key, lname) DO UPDATE SET type=excluded.type, data=excluded.data");
    s.Bind(1, currentKey_);
    s.Bind(2, codepage::LowerAnsi(ansiName));
    s.Bind(3, ansiName);
    s.Bind(4, type);
    s.Bind(5, bytes);
    const int rc = s.Step();
    s.Reset();
    if (rc != SQLITE_DONE) return failed(sqlite3_errmsg(db_));
    return true;
}

bool Registry::SetKeyText(std::string_view name, std::string_view text) {
    const std::string bytes = codepage::ToAnsi(text);
    if (bytes.size() > kMaxValueBytes) {
        if (groupDepth_ > 0 && !groupFailed_) {
            groupFailed_ = true;
            groupError_ = "a text of more than 1024 characters cannot be stored";
        }
        return false;
    }
    return Write(name, kTypeText, bytes);
}

bool Registry::SetKeyNumber(std::string_view name, std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    const char bytes[4] = {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
                           static_cast<char>((u >> 16) & 0xFF), static_cast<char>(u >> 24)};
    return Write(name, kTypeNumber, std::string_view(bytes, 4));
}

bool Registry::SetKeyValue(std::string_view name, std::int32_t type, std::string_view bytes) {
    return Write(name, type, bytes);
}

bool Registry::DeleteKeyTree(std::string_view path) {
    const std::int64_t key = FindKey(path);
    currentKey_ = -1;
    if (key < 0) return db_ != nullptr;
    // The key and every key below it (found by walking down the parent
    // links): first their values, then the keys themselves.
    static constexpr std::pair<int, const char*> kSteps[] = {
        {kDeleteTreeValues,
         "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT keys.id FROM keys JOIN tree"
         " ON keys.parent = tree.id) DELETE FROM vals WHERE key IN tree"},
        {kDeleteTreeKeys,
         "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT keys.id FROM keys JOIN tree"
         " ON keys.parent = tree.id) DELETE FROM keys WHERE id IN tree"}};
    const bool own = groupDepth_ == 0;
    if (own && !Exec("SAVEPOINT deletetree")) return false;
    bool ok = true;
    for (const auto& [slot, sql] : kSteps) {
        auto& s = Prepare(slot, sql);
        ok = s.valid();
        if (ok) {
            s.Bind(1, key);
            ok = s.Step() == SQLITE_DONE;
            s.Reset();
        }
        if (!ok) break;
    }
    keyCache_.clear();
    if (own) {
        ok = ok && Exec("RELEASE deletetree");
        if (!ok) Exec("ROLLBACK TO deletetree"), Exec("RELEASE deletetree");
    } else if (!ok && !groupFailed_) {
        groupFailed_ = true;
        groupError_ = sqlite3_errmsg(db_);
    }
    return ok;
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

bool Registry::GetKeyText(std::string_view path, std::string_view name, std::string& text) const {
    if (const std::int64_t key = FindKey(path); key >= 0) {
        auto& s = Prepare(kReadValue, "SELECT type, data FROM vals WHERE key=?1 AND lname=?2");
        s.Bind(1, key);
        s.Bind(2, codepage::LoweredAnsi(name));
        bool found = false;
        if (s.Step() == SQLITE_ROW) found = TextOf(static_cast<std::int32_t>(s.Int(0)), s.Blob(1), text);
        s.Reset();
        if (found) return true;
    }
    text.clear();
    return false;
}

std::int32_t Registry::GetKeyNumber(std::string_view path, std::string_view name) const {
    std::int32_t v = 0;
    if (const std::int64_t key = FindKey(path); key >= 0) {
        auto& s = Prepare(kReadValue, "SELECT type, data FROM vals WHERE key=?1 AND lname=?2");
        s.Bind(1, key);
        s.Bind(2, codepage::LoweredAnsi(name));
        if (s.Step() == SQLITE_ROW) v = NumberOf(static_cast<std::int32_t>(s.Int(0)), s.Blob(1));
        s.Reset();
    }
    return v;
}

void Registry::StreamSubkeyValues(std::string_view path, void* context,
                                  void (*visit)(void*, const StreamedValue&)) const {
    const std::int64_t key = FindKey(path);
    if (key < 0) return;
    struct Subkey {
        std::int64_t id;
        std::string lname;
    };
    std::vector<Subkey> subkeys;
    {
        auto& s = Prepare(kListSubkeyIds, "SELECT id, lname FROM keys WHERE parent=?1 ORDER BY id");
        if (!s.valid()) return;
        s.Bind(1, key);
        while (s.Step() == SQLITE_ROW) subkeys.push_back({s.Int(0), std::string(s.Blob(1))});
        s.Reset();
    }
    if (subkeys.empty()) return;

    StreamedValue value;
    auto emit = [&](Statement& s, const Subkey& subkey) {
        value.subkeyId = subkey.id;
        value.subkeyLname = subkey.lname;
        value.lname = s.Blob(1);
        value.type = static_cast<std::int32_t>(s.Int(2));
        value.data = s.Blob(3);
        visit(context, value);
    };
    // Keys made one after another have neighbouring ids: then one scan of the
    // values table over the id range, skipping values of other keys, is much
    // faster than a query per key.
    const std::int64_t first = subkeys.front().id, last = subkeys.back().id;
    const std::int64_t span = last - first + 1;
    if (span <= 4 * static_cast<std::int64_t>(subkeys.size()) + 1024) {
        std::vector<std::int32_t> index(static_cast<std::size_t>(span), -1);
        for (std::size_t i = 0; i < subkeys.size(); ++i)
            index[subkeys[i].id - first] = static_cast<std::int32_t>(i);
        auto& s =
            Prepare(kStreamValueRange, "SELECT key, lname, type, data FROM vals WHERE key BETWEEN ?1 AND ?2");
        if (!s.valid()) return;
        s.Bind(1, first);
        s.Bind(2, last);
        while (s.Step() == SQLITE_ROW)
            if (const std::int32_t i = index[s.Int(0) - first]; i >= 0) emit(s, subkeys[i]);
        s.Reset();
        return;
    }
    for (const Subkey& subkey : subkeys) {
        auto& s =
            Prepare(kStreamValueRange, "SELECT key, lname, type, data FROM vals WHERE key BETWEEN ?1 AND ?2");
        if (!s.valid()) return;
        s.Bind(1, subkey.id);
        s.Bind(2, subkey.id);
        while (s.Step() == SQLITE_ROW) emit(s, subkey);
        s.Reset();
    }
}

bool Registry::BeginGroup() {
    if (groupDepth_++ > 0) return true;
    groupFailed_ = false;
    groupError_.clear();
    if (readSnapshot_) {
        // A group cannot upgrade an open read snapshot in WAL mode; end it first.
        Exec("COMMIT");
        readSnapshot_ = false;
    }
    if (!db_ || !Exec("BEGIN IMMEDIATE")) {
        groupFailed_ = true;
        groupError_ = db_ ? sqlite3_errmsg(db_) : "the store is not open";
        return false;
    }
    return true;
}

Status Registry::EndGroup(bool commit) {
    if (groupDepth_ == 0 || --groupDepth_ > 0) return Status::Ok();
    const bool began = db_ && !sqlite3_get_autocommit(db_);
    if (commit && !groupFailed_ && began && Exec("COMMIT")) return Status::Ok();
    std::string why = groupFailed_ ? groupError_ : (db_ ? sqlite3_errmsg(db_) : "the store is not open");
    if (began) Exec("ROLLBACK");
    keyCache_.clear();
    currentKey_ = -1;
    if (!commit) return Status::Ok();
    return Status::Error("The store " + path_ + " could not be written: " + why);
}

Registry::WriteGroup::WriteGroup(Registry& registry) : registry_(registry) { registry_.BeginGroup(); }

Registry::WriteGroup::~WriteGroup() {
    if (!done_) registry_.EndGroup(false);
}

Status Registry::WriteGroup::Commit() {
    if (done_) return Status::Ok();
    done_ = true;
    return registry_.EndGroup(true);
}

Registry::ReadSnapshot::ReadSnapshot(const Registry& registry) : registry_(registry) {
    if (registry_.db_ && registry_.groupDepth_ == 0 && !registry_.readSnapshot_ && registry_.Exec("BEGIN")) {
        registry_.readSnapshot_ = true;
        began_ = true;
    }
}

Registry::ReadSnapshot::~ReadSnapshot() {
    if (began_ && registry_.readSnapshot_) {
        registry_.Exec("COMMIT");
        registry_.readSnapshot_ = false;
    }
}

bool Registry::KeyExists(std::string_view path) const {
    return FindKey(path) >= 0 || Components(path).empty();
}

std::vector<std::string> Registry::SubkeyNames(std::string_view path) const {
    std::vector<std::string> names;
    const std::int64_t key = Components(path).empty() ? 0 : FindKey(path);
    if (key < 0 || !db_) return names;
    auto& s = Prepare(kListChildren, "SELECT name FROM keys WHERE parent=?1 ORDER BY lname");
    s.Bind(1, key);
    while (s.Step() == SQLITE_ROW) names.push_back(codepage::FromAnsi(s.Blob(0)));
    s.Reset();
    return names;
}

std::vector<Registry::RawValue> Registry::Values(std::string_view path) const {
    std::vector<RawValue> values;
    const std::int64_t key = FindKey(path);
    if (key < 0) return values;
    auto& s = Prepare(kListValues, "SELECT name, type, data FROM vals WHERE key=?1 ORDER BY lname");
    s.Bind(1, key);
    while (s.Step() == SQLITE_ROW)
        values.push_back(
            {codepage::FromAnsi(s.Blob(0)), static_cast<std::int32_t>(s.Int(1)), std::string(s.Blob(2))});
    s.Reset();
    return values;
}

}  // namespace morvel
