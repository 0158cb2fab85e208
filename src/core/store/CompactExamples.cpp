#include "core/store/CompactExamples.h"

#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/platform/CodePage.h"
#include "core/store/KeyPaths.h"

namespace morvel {
namespace {

// One prepared statement, finalized when it goes out of scope.
class Query {
  public:
    Query(sqlite3* db, const char* sql) {
        if (db) sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
    }
    ~Query() { sqlite3_finalize(stmt_); }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    Query& Bind(int i, std::int64_t v) {
        sqlite3_bind_int64(stmt_, i, v);
        return *this;
    }
    Query& Bind(int i, std::string_view blob) {
        sqlite3_bind_blob(stmt_, i, blob.empty() ? "" : blob.data(), static_cast<int>(blob.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    bool Row() { return stmt_ && sqlite3_step(stmt_) == SQLITE_ROW; }
    // Runs a statement that returns no rows; resets it for the next use.
    bool Done() {
        const bool done = stmt_ && sqlite3_step(stmt_) == SQLITE_DONE;
        Reset();
        return done;
    }
    void Reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    std::int64_t Int(int col) { return sqlite3_column_int64(stmt_, col); }
    std::string_view Blob(int col) {
        const void* p = sqlite3_column_blob(stmt_, col);
        return {static_cast<const char*>(p), static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col))};
    }

  private:
    sqlite3_stmt* stmt_ = nullptr;
};

// The id of the key at path (lowered components below the root), or -1.
std::int64_t FindKeyId(sqlite3* db, std::string_view path) {
    Query find(db, "SELECT id FROM keys WHERE parent=?1 AND lname=?2");
    if (!find.ok()) return -1;
    const std::string lowered = codepage::LoweredAnsi(path);
    std::string_view rest = lowered;
    std::int64_t id = 0;
    while (!rest.empty()) {
        const auto cut = rest.find('\\');
        const std::string_view part = rest.substr(0, cut);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
        if (part.empty()) continue;
        find.Bind(1, id).Bind(2, part);
        const bool found = find.Row();
        if (found) id = find.Int(0);
        find.Reset();
        if (!found) return -1;
    }
    return id == 0 ? -1 : id;
}

// The tables of the compact rows: a row per example key, the value names the
// rows use, the keys whose rows may be stale, and the examples key the rows
// were built for. The triggers mark a key stale on every change of it or of
// its values, whoever makes it (a hand edit included); the BEFORE triggers
// catch the key that an INSERT OR REPLACE or UPDATE OR REPLACE deletes
// without firing a delete trigger. A trigger runs only when its key is not
// marked yet: that test costs little per value written, and the mark itself
// then cannot meet a conflict (which would be handled by the policy of the
// statement that fired the trigger, which may be to fail).
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS compact_examples("
    "  key INTEGER PRIMARY KEY, number INTEGER NOT NULL, body BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS compact_names(id INTEGER PRIMARY KEY, lname BLOB NOT NULL UNIQUE);"
    "CREATE TABLE IF NOT EXISTS compact_dirty(key INTEGER PRIMARY KEY);"
    "CREATE TABLE IF NOT EXISTS compact_state(examples INTEGER NOT NULL);"
    "CREATE TRIGGER IF NOT EXISTS compact_vals_insert AFTER INSERT ON vals"
    "  WHEN NEW.key NOT IN (SELECT key FROM compact_dirty)"
    "  BEGIN INSERT INTO compact_dirty VALUES(NEW.key); END;"
    "CREATE TRIGGER IF NOT EXISTS compact_vals_update_old AFTER UPDATE ON vals"
    "  WHEN OLD.key NOT IN (SELECT key FROM compact_dirty)"
    "  BEGIN INSERT INTO compact_dirty VALUES(OLD.key); END;"
    "CREATE TRIGGER IF NOT EXISTS compact_vals_update_new AFTER UPDATE ON vals"
    "  WHEN NEW.key NOT IN (SELECT key FROM compact_dirty)"
    "  BEGIN INSERT INTO compact_dirty VALUES(NEW.key); END;"
    "CREATE TRIGGER IF NOT EXISTS compact_vals_delete AFTER DELETE ON vals"
    "  WHEN OLD.key NOT IN (SELECT key FROM compact_dirty)"
    "  BEGIN INSERT INTO compact_dirty VALUES(OLD.key); END;"
    "CREATE TRIGGER IF NOT EXISTS compact_keys_replace BEFORE INSERT ON keys"
    "  WHEN EXISTS (SELECT 1 FROM keys WHERE parent=NEW.parent AND lname=NEW.lname"
    "    AND id NOT IN (SELECT key FROM compact_dirty))"
    "  BEGIN INSERT INTO compact_dirty SELECT id FROM keys WHERE parent=NEW.parent AND lname=NEW.lname; END;"
    "CREATE TRIGGER IF NOT EXISTS compact_keys_insert AFTER INSERT ON keys"
    "  WHEN NEW.id NOT IN (SELECT key FROM compact_dirty)"
    "  BEGIN INSERT INTO compact_dirty VALUES(NEW.id); END;"
    "CREATE TRIGGER IF NOT EXISTS compact_keys_rename BEFORE UPDATE ON keys"
    "  WHEN EXISTS (SELECT 1 FROM keys WHERE parent=NEW.parent AND lname=NEW.lname"
    "    AND id NOT IN (SELECT key FROM compact_dirty))"
    "  BEGIN INSERT INTO compact_dirty SELECT id FROM keys WHERE parent=NEW.parent AND lname=NEW.lname; END;"
    "CREATE TRIGGER IF NOT EXISTS compact_keys_update_old AFTER UPDATE ON keys"
    "  WHEN OLD.id NOT IN (SELECT key FROM compact_dirty)"
    "  BEGIN INSERT INTO compact_dirty VALUES(OLD.id); END;"
    "CREATE TRIGGER IF NOT EXISTS compact_keys_update_new AFTER UPDATE ON keys"
    "  WHEN NEW.id NOT IN (SELECT key FROM compact_dirty)"
    "  BEGIN INSERT INTO compact_dirty VALUES(NEW.id); END;"
    "CREATE TRIGGER IF NOT EXISTS compact_keys_delete AFTER DELETE ON keys"
    "  WHEN OLD.id NOT IN (SELECT key FROM compact_dirty)"
    "  BEGIN INSERT INTO compact_dirty VALUES(OLD.id); END;";
// The number of tables and triggers kSchema makes.
constexpr int kSchemaObjects = [] {
    int n = 0;
    for (std::string_view rest = kSchema; rest.find("CREATE ") != std::string_view::npos; ++n)
        rest.remove_prefix(rest.find("CREATE ") + 1);
    return n;
}();

// Whether every table and trigger of kSchema is in the store: rows kept
// while a trigger was missing (dropped by hand) cannot be trusted.
bool HasSchema(sqlite3* db) {
    Query count(db, "SELECT count(*) FROM sqlite_master WHERE name LIKE 'compact\\_%' ESCAPE '\\'");
    return count.ok() && count.Row() && count.Int(0) == kSchemaObjects;
}

// The examples key the compact rows were built for, or -1 when the store
// has no usable compact rows (none built yet, or a table or trigger missing).
std::int64_t BuiltFor(sqlite3* db) {
    if (!HasSchema(db)) return -1;
    Query state(db, "SELECT examples FROM compact_state");
    return state.ok() && state.Row() ? state.Int(0) : -1;
}

void PutVarint(std::string& out, std::uint64_t v) {
    while (v >= 0x80) {
        out += static_cast<char>((v & 0x7F) | 0x80);
        v >>= 7;
    }
    out += static_cast<char>(v);
}

std::uint64_t GetVarint(const char*& p, const char* end) {
    std::uint64_t v = 0;
    for (int shift = 0; p < end && shift < 64; shift += 7) {
        const auto byte = static_cast<std::uint8_t>(*p++);
        v |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if (byte < 0x80) break;
    }
    return v;
}

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};

// Value names and their numbers in the compact rows. Numbers are given in
// the order names are first met and never change, so a row stays readable
// whatever names are added later.
class NameTable {
  public:
    // Loads the stored names; false when the table cannot be read.
    bool Load(sqlite3* db) {
        Query all(db, "SELECT id, lname FROM compact_names WHERE id > 0 ORDER BY id");
        if (!all.ok()) return false;
        while (all.Row()) {
            const auto id = static_cast<std::size_t>(all.Int(0));
            if (id >= names_.size()) names_.resize(id + 1);
            names_[id] = all.Blob(1);
            ids_.emplace(names_[id], static_cast<std::uint32_t>(id));
        }
        stored_ = names_.size();
        return true;
    }
    // The number of name; a name not met before gets the next free number.
    std::uint32_t IdOf(std::string_view lname) {
        auto it = ids_.find(lname);
        if (it != ids_.end()) return it->second;
        names_.emplace_back(lname);
        return ids_.emplace(names_.back(), static_cast<std::uint32_t>(names_.size() - 1)).first->second;
    }
    const std::string& NameOf(std::uint32_t id) const { return names_[id]; }
    std::size_t Size() const { return names_.size(); }
    // Stores the names given numbers since Load.
    bool SaveNew(sqlite3* db) {
        Query insert(db, "INSERT INTO compact_names(id, lname) VALUES(?1, ?2)");
        for (std::size_t id = stored_; id < names_.size(); ++id)
            if (!insert.Bind(1, static_cast<std::int64_t>(id)).Bind(2, names_[id]).Done()) return false;
        stored_ = names_.size();
        return true;
    }

  private:
    std::vector<std::string> names_ = std::vector<std::string>(1);  // number 0 is never given
    std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>> ids_;
    std::size_t stored_ = 1;
};

// Builds the body of one key's compact row from its values, met in stored
// order: the count of numbers, each non-zero number as (name, code) with a
// code of one byte for 1..255 and a zero byte and four bytes for any other,
// then each "Target..." value as (name, type, length, bytes); its bytes only
// matter for text and number values and are left out for any other type.
class BodyBuilder {
  public:
    void Add(NameTable& names, std::string_view lname, std::int32_t type, std::string_view data) {
        if (const std::int32_t number = Registry::NumberOf(type, data); number != 0) {
            PutVarint(numbers_, names.IdOf(lname));
            const auto u = static_cast<std::uint32_t>(number);
            if (u <= 0xFF) {
                numbers_ += static_cast<char>(u);
            } else {
                numbers_ += '\0';
                for (int i = 0; i < 4; ++i) numbers_ += static_cast<char>((u >> (8 * i)) & 0xFF);
            }
            ++numberCount_;
        }
        if (!lname.starts_with("target")) return;
        PutVarint(targets_, names.IdOf(lname));
        PutVarint(targets_, static_cast<std::uint32_t>(type));
        const bool kept = type == Registry::kTypeText || type == Registry::kTypeNumber;
        PutVarint(targets_, kept ? data.size() : 0);
        if (kept) targets_.append(data);
    }
    // The body of the values added since the last Take.
    std::string Take() {
        std::string body;
        PutVarint(body, numberCount_);
        body += numbers_;
        body += targets_;
        numbers_.clear();
        targets_.clear();
        numberCount_ = 0;
        return body;
    }

  private:
    std::string numbers_, targets_;
    std::uint64_t numberCount_ = 0;
};

// A key's row as it should be: its example number and body; empty when the
// key has no values.
struct ExpectedRow {
    bool present = false;
    std::int64_t number = 0;
    std::string body;
};

// Builds the rows of every direct subkey of the examples key from the values,
// in key order; visit(key, row) for each subkey that has values.
template <typename Visit>
void BuildAllRows(const Registry& registry, NameTable& names, Visit&& visit) {
    BodyBuilder builder;
    std::int64_t key = -1, number = 0;
    registry.ForEachSubkeyValue(ExamplesKeyPath(), [&](const Registry::StreamedValue& value) {
        if (value.subkeyId != key) {
            if (key >= 0) visit(key, ExpectedRow{true, number, builder.Take()});
            key = value.subkeyId;
            number = ExampleNumberOf(value.subkeyLname);
        }
        builder.Add(names, value.lname, value.type, value.data);
    });
    if (key >= 0) visit(key, ExpectedRow{true, number, builder.Take()});
}

// Builds the row of one key from its values: none when the key is missing,
// is not a direct subkey of the examples key, or has no values.
class RowBuilder {
  public:
    RowBuilder(sqlite3* db, std::int64_t examples)
        : examples_(examples),
          key_(db, "SELECT parent, lname FROM keys WHERE id=?1"),
          values_(db, "SELECT lname, type, data FROM vals WHERE key=?1 ORDER BY lname") {}
    bool ok() const { return key_.ok() && values_.ok(); }

    ExpectedRow Build(NameTable& names, std::int64_t key) {
        ExpectedRow row;
        key_.Bind(1, key);
        const bool child = examples_ > 0 && key_.Row() && key_.Int(0) == examples_;
        if (child) row.number = ExampleNumberOf(key_.Blob(1));
        key_.Reset();
        if (!child) return row;
        values_.Bind(1, key);
        while (values_.Row()) {
            row.present = true;
            builder_.Add(names, values_.Blob(0), static_cast<std::int32_t>(values_.Int(1)), values_.Blob(2));
        }
        values_.Reset();
        row.body = builder_.Take();
        return row;
    }

  private:
    std::int64_t examples_;
    Query key_, values_;
    BodyBuilder builder_;
};

// Turns compact rows, met in key order, into what ExampleStore::Read
// builds from the values met in the same order: the same rows, columns and
// texts, numbered the same way.
class ExampleAssembler {
  public:
    ExampleAssembler(StoredExamples& s, const ConfigTables& state) : s_(s) {
        s_.attributeCount = std::clamp(state.AttributeCount, 0, ConfigTables::kMaxAttributes);
        for (std::int32_t slot = 1; slot <= s_.attributeCount; ++slot)
            slotsByName_[codepage::LoweredAnsi(state.AttributeNames[slot])].push_back(slot);
    }

    void Add(const NameTable& names, std::int64_t number, std::string_view body) {
        if (number < 1 || number > s_.storedCount) return;
        const auto row = static_cast<std::int32_t>(s_.numbers.size());
        s_.numbers.push_back(static_cast<std::int32_t>(number));
        s_.values.resize(s_.values.size() + s_.attributeCount, 0);
        std::int32_t* values = s_.values.data() + static_cast<std::size_t>(row) * s_.attributeCount;

        const char* p = body.data();
        const char* end = p + body.size();
        for (std::uint64_t n = GetVarint(p, end); n > 0 && p < end; --n) {
            const Use& use = UseOf(names, GetVarint(p, end));
            std::uint32_t u = static_cast<std::uint8_t>(p < end ? *p++ : 0);
            if (u == 0) {
                for (int i = 0; i < 4 && p < end; ++i)
                    u |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(*p++)) << (8 * i);
            }
            if (use.slots)
                for (const std::int32_t slot : *use.slots) values[slot - 1] = static_cast<std::int32_t>(u);
        }
        while (p < end) {
            Use& use = UseOf(names, GetVarint(p, end));
            const auto type = static_cast<std::int32_t>(static_cast<std::uint32_t>(GetVarint(p, end)));
            const std::size_t length = std::min<std::uint64_t>(GetVarint(p, end), end - p);
            const std::string_view data(p, length);
            p += length;
            if (use.column < 0) {
                use.column = static_cast<std::int32_t>(s_.columns.size());
                s_.columns.emplace_back();
                s_.targetColumns.emplace(names.NameOf(use.id), use.column);
            }
            if (type != Registry::kTypeText && type != Registry::kTypeNumber) continue;
            rawText_.assign(1, static_cast<char>(type));
            rawText_.append(data);
            auto text = textIds_.find(rawText_);
            if (text == textIds_.end()) {
                decoded_.clear();
                Registry::TextOf(type, data, decoded_);
                const auto id = decoded_.empty() ? -1 : static_cast<std::int32_t>(s_.texts.size());
                if (id >= 0) s_.texts.push_back(decoded_);
                text = textIds_.emplace(rawText_, id).first;
            }
            if (text->second < 0) continue;
            auto& cells = s_.columns[use.column];
            if (cells.size() <= static_cast<std::size_t>(row)) cells.resize(s_.numbers.size(), -1);
            cells[row] = text->second;
        }
    }

    void Finish() {
        s_.order.resize(s_.numbers.size());
        for (std::size_t i = 0; i < s_.order.size(); ++i) s_.order[i] = static_cast<std::int32_t>(i);
        std::sort(s_.order.begin(), s_.order.end(),
                  [&](std::int32_t a, std::int32_t b) { return s_.numbers[a] < s_.numbers[b]; });
    }

  private:
    // What a value name means for this configuration: the slots it fills,
    // and its target column once one was made.
    struct Use {
        std::uint32_t id = 0;
        bool known = false;
        const std::vector<std::int32_t>* slots = nullptr;
        std::int32_t column = -1;
    };
    Use& UseOf(const NameTable& names, std::uint64_t id) {
        if (id >= names.Size()) id = 0;  // a damaged row: a name that means nothing
        if (id >= uses_.size()) uses_.resize(names.Size());
        Use& use = uses_[id];
        if (!use.known) {
            use.known = true;
            use.id = static_cast<std::uint32_t>(id);
            if (auto it = slotsByName_.find(names.NameOf(use.id)); id != 0 && it != slotsByName_.end())
                use.slots = &it->second;
        }
        return use;
    }

    StoredExamples& s_;
    std::unordered_map<std::string, std::vector<std::int32_t>> slotsByName_;
    std::vector<Use> uses_;
    std::unordered_map<std::string, std::int32_t> textIds_;
    std::string rawText_, decoded_;
};

}  // namespace

Status RefreshCompactExamples(Registry& registry) {
    auto failed = [&](const char* what) {
        sqlite3* db = registry.Connection();
        return Status::IOError("The store " + registry.FilePath() + " could not " + what + ": " +
                               (db ? sqlite3_errmsg(db) : "the store is not open"));
    };
    Registry::WriteGroup group(registry);
    sqlite3* db = registry.Connection();
    const std::int64_t examples = std::max<std::int64_t>(FindKeyId(db, ExamplesKeyPath()), 0);
    const bool built = BuiltFor(db) == examples;
    NameTable names;
    if (!db || (!built && sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) ||
        !names.Load(db))
        return failed("keep its compact examples");

    if (!built) {
        // Built for another key, or never: build every row. The rows count
        // only once the state row names the key again, at the very end.
        Query clear(db, "DELETE FROM compact_state");
        Query clearRows(db, "DELETE FROM compact_examples");
        Query clearMarks(db, "DELETE FROM compact_dirty");
        if (!clear.Done() || !clearRows.Done() || !clearMarks.Done())
            return failed("clear its compact examples");
        std::vector<std::pair<std::int64_t, ExpectedRow>> rows;
        if (examples > 0)
            BuildAllRows(registry, names,
                         [&](std::int64_t key, ExpectedRow row) { rows.emplace_back(key, std::move(row)); });
        Query insert(db, "INSERT INTO compact_examples(key, number, body) VALUES(?1, ?2, ?3)");
        if (!names.SaveNew(db)) return failed("store the names of its compact examples");
        for (const auto& [key, row] : rows)
            if (!insert.Bind(1, key).Bind(2, row.number).Bind(3, row.body).Done())
                return failed("store its compact examples");
        Query built(db, "INSERT INTO compact_state(examples) VALUES(?1)");
        if (!built.Bind(1, examples).Done()) return failed("store its compact examples");
        return group.Commit();
    }

    std::vector<std::int64_t> dirty;
    {
        Query marked(db, "SELECT key FROM compact_dirty ORDER BY key");
        while (marked.Row()) dirty.push_back(marked.Int(0));
    }
    RowBuilder builder(db, examples);
    Query upsert(db, "INSERT OR REPLACE INTO compact_examples(key, number, body) VALUES(?1, ?2, ?3)");
    Query remove(db, "DELETE FROM compact_examples WHERE key=?1");
    Query unmark(db, "DELETE FROM compact_dirty WHERE key=?1");
    if (!builder.ok() || !upsert.ok() || !remove.ok() || !unmark.ok())
        return failed("keep its compact examples");
    std::vector<std::pair<std::int64_t, ExpectedRow>> rows;
    rows.reserve(dirty.size());
    for (const std::int64_t key : dirty) rows.emplace_back(key, builder.Build(names, key));
    if (!names.SaveNew(db)) return failed("store the names of its compact examples");
    // A row is written before its mark goes, so a failure in between leaves
    // the key dirty rather than wrong.
    for (const auto& [key, row] : rows) {
        const bool written = row.present ? upsert.Bind(1, key).Bind(2, row.number).Bind(3, row.body).Done()
                                         : remove.Bind(1, key).Done();
        if (!written || !unmark.Bind(1, key).Done()) return failed("store its compact examples");
    }
    return group.Commit();
}

NewExamplesWrite::NewExamplesWrite(Registry& registry) : registry_(registry) {
    sqlite3* db = registry_.Connection();
    Query last(db, "SELECT coalesce(max(id), 0) FROM keys");
    if (!last.Row() || sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr) != SQLITE_OK) return;
    lastOldKey_ = last.Int(0);
}

NewExamplesWrite::~NewExamplesWrite() { Finish(); }

Status NewExamplesWrite::Finish() {
    if (finished_) return Status::Ok();
    finished_ = true;
    sqlite3* db = registry_.Connection();
    if (db) sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 1, nullptr);
    Query mark(db, "INSERT OR IGNORE INTO compact_dirty SELECT id FROM keys WHERE id > ?1");
    if (lastOldKey_ >= 0 && mark.Bind(1, lastOldKey_).Done()) return Status::Ok();
    // A store without compact rows (opened read-only before they existed) has nothing to mark.
    Query tables(db, "SELECT 1 FROM sqlite_master WHERE name='compact_dirty'");
    if (lastOldKey_ >= 0 && tables.ok() && !tables.Row()) return Status::Ok();
    return Status::IOError("The store " + registry_.FilePath() + " could not mark its new examples: " +
                           (db ? sqlite3_errmsg(db) : "the store is not open"));
}

std::shared_ptr<const StoredExamples> ReadCompactExamples(const Registry& registry,
                                                          const ConfigTables& state) {
    auto fresh = std::make_shared<StoredExamples>();
    ExampleAssembler assembler(*fresh, state);
    const Registry::ReadSnapshot read(registry);
    const std::string path = ExamplesKeyPath();
    fresh->storedCount = std::max(registry.GetKeyNumber(path, "Count"), 0);
    sqlite3* db = registry.Connection();
    const std::int64_t examples = FindKeyId(db, path);
    NameTable names;
    if (examples < 0) {
        // No examples key: nothing to read.
    } else if (BuiltFor(db) != examples || !names.Load(db)) {
        BuildAllRows(registry, names, [&](std::int64_t, const ExpectedRow& row) {
            assembler.Add(names, row.number, row.body);
        });
    } else {
        std::vector<std::int64_t> dirty;
        Query marked(db, "SELECT key FROM compact_dirty ORDER BY key");
        while (marked.Row()) dirty.push_back(marked.Int(0));
        RowBuilder builder(db, examples);
        std::size_t next = 0;
        // Dirty keys before key (all when key is -1) are read from their values.
        auto fromValues = [&](std::int64_t key) {
            for (; next < dirty.size() && (key < 0 || dirty[next] < key); ++next)
                if (const ExpectedRow row = builder.Build(names, dirty[next]); row.present)
                    assembler.Add(names, row.number, row.body);
        };
        Query rows(db, "SELECT key, number, body FROM compact_examples ORDER BY key");
        while (rows.Row()) {
            const std::int64_t key = rows.Int(0);
            fromValues(key);
            if (next < dirty.size() && dirty[next] == key) continue;  // read from the values next
            assembler.Add(names, rows.Int(1), rows.Blob(2));
        }
        fromValues(-1);
    }
    assembler.Finish();
    return fresh;
}

CompactExamplesCheck CheckCompactExamples(const Registry& registry) {
    CompactExamplesCheck check;
    const Registry::ReadSnapshot read(registry);
    sqlite3* db = registry.Connection();
    const std::int64_t examples = FindKeyId(db, ExamplesKeyPath());
    NameTable names;
    if (BuiltFor(db) != std::max<std::int64_t>(examples, 0) || !names.Load(db)) return check;
    std::unordered_map<std::int64_t, ExpectedRow> expected;
    if (examples > 0)
        BuildAllRows(registry, names,
                     [&](std::int64_t key, ExpectedRow row) { expected[key] = std::move(row); });
    std::vector<std::int64_t> dirty;
    Query marked(db, "SELECT key FROM compact_dirty ORDER BY key");
    while (marked.Row()) dirty.push_back(marked.Int(0));
    auto isDirty = [&](std::int64_t key) { return std::binary_search(dirty.begin(), dirty.end(), key); };
    check.stale = 0;
    check.dirty = static_cast<std::int64_t>(dirty.size());
    Query rows(db, "SELECT key, number, body FROM compact_examples");
    while (rows.Row()) {
        const std::int64_t key = rows.Int(0);
        auto it = expected.find(key);
        const bool equal =
            it != expected.end() && it->second.number == rows.Int(1) && it->second.body == rows.Blob(2);
        if (it != expected.end()) expected.erase(it);
        if (!equal && !isDirty(key)) ++check.stale;
    }
    for (const auto& [key, row] : expected)
        if (!isDirty(key)) ++check.stale;  // values without a row
    return check;
}

}  // namespace morvel
