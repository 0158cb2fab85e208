#include "core/store/CompactExamples.h"

#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/platform/CodePage.h"
#include "core/store/KeyPaths.h"
#include "core/store/SqlStatement.h"

namespace morvel {
namespace {

// The id of the key at path, or -1 when it is missing.
std::int64_t FindKeyId(sqlite3* db, std::string_view path) {
    SqlStatement find(db, "SELECT id FROM keys WHERE parent=?1 AND lname=?2");
    if (!find.valid()) return -1;
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

// The tables of the compact rows: a row per example key, the value names and
// the target texts the rows use, the keys whose rows may be stale, and the
// examples key the rows were built for. The triggers mark a key stale on
// every change of it or of its values, whoever makes it; the BEFORE triggers
// catch the key that an INSERT OR REPLACE or UPDATE OR REPLACE deletes
// without firing a delete trigger. A trigger runs only when its key is not
// marked yet: that test costs little per value written, and the mark itself
// then cannot meet a conflict (which would be handled by the policy of the
// statement that fired the trigger, which may be to fail).
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS compact_examples("
    "  key INTEGER PRIMARY KEY, number INTEGER NOT NULL, body BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS compact_names(id INTEGER PRIMARY KEY, lname BLOB NOT NULL UNIQUE);"
    "CREATE TABLE IF NOT EXISTS compact_texts(id INTEGER PRIMARY KEY, text BLOB NOT NULL UNIQUE);"
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
    SqlStatement count(db, "SELECT count(*) FROM sqlite_master WHERE name LIKE 'compact\\_%' ESCAPE '\\'");
    return count.valid() && count.Row() && count.Int(0) == kSchemaObjects;
}

// The examples key the compact rows were built for (0: the store had none),
// or -1 when the store has no usable compact rows.
std::int64_t BuiltFor(sqlite3* db) {
    if (!HasSchema(db)) return -1;
    SqlStatement state(db, "SELECT examples FROM compact_state");
    return state.valid() && state.Row() ? state.Int(0) : -1;
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
using TextIds = std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>>;

// Numbers for texts kept in a table of the store: given in the order texts
// are first met and never changed, so a row stays readable whatever texts
// come later. Number 0 is never given. Texts numbered since Load are kept in
// memory until SaveNew.
class NumberedTexts {
  public:
    NumberedTexts(const char* load, const char* insert) : load_(load), insert_(insert) {}

    bool Load(sqlite3* db) {
        SqlStatement all(db, load_);
        if (!all.valid()) return false;
        while (all.Row()) {
            const auto id = static_cast<std::size_t>(all.Int(0));
            if (id == 0 || id > (1u << 30)) continue;  // a damaged table: not ours to number
            if (id >= texts_.size()) texts_.resize(id + 1);
            texts_[id] = all.Blob(1);
            ids_.emplace(texts_[id], static_cast<std::uint32_t>(id));
        }
        stored_ = texts_.size();
        return true;
    }
    std::uint32_t IdOf(std::string_view text) {
        if (auto it = ids_.find(text); it != ids_.end()) return it->second;
        texts_.emplace_back(text);
        const auto id = static_cast<std::uint32_t>(texts_.size() - 1);
        ids_.emplace(texts_.back(), id);
        return id;
    }
    const std::string& TextOf(std::uint64_t id) const { return texts_[id < texts_.size() ? id : 0]; }
    std::size_t Size() const { return texts_.size(); }
    bool SaveNew(sqlite3* db) {
        SqlStatement insert(db, insert_);
        for (std::size_t id = stored_; id < texts_.size(); ++id)
            if (!insert.Bind(1, static_cast<std::int64_t>(id)).Bind(2, texts_[id]).Done()) return false;
        stored_ = texts_.size();
        return true;
    }

  private:
    const char* load_;
    const char* insert_;
    std::vector<std::string> texts_ = std::vector<std::string>(1);
    TextIds ids_;
    std::size_t stored_ = 1;
};

// The lowered value names of the rows. Keys hold the same names in the same
// order mostly, so the name met at the same place before is tried first.
class NameTable : public NumberedTexts {
  public:
    NameTable()
        : NumberedTexts("SELECT id, lname FROM compact_names ORDER BY id",
                        "INSERT INTO compact_names(id, lname) VALUES(?1, ?2)") {}
    std::uint32_t IdAt(std::size_t place, std::string_view lname) {
        if (place < byPlace_.size() && TextOf(byPlace_[place]) == lname) return byPlace_[place];
        const std::uint32_t id = IdOf(lname);
        if (place >= byPlace_.size()) byPlace_.resize(place + 1);
        byPlace_[place] = id;
        return id;
    }
    static bool IsTarget(std::string_view lname) { return lname.starts_with("target"); }

  private:
    std::vector<std::uint32_t> byPlace_;
};

// The non-empty texts that target values read as, numbered; a value (type
// and bytes) is decoded once.
class TextTable : public NumberedTexts {
  public:
    TextTable()
        : NumberedTexts("SELECT id, text FROM compact_texts ORDER BY id",
                        "INSERT INTO compact_texts(id, text) VALUES(?1, ?2)") {}
    // The number of the text the value reads as by GetKeyText, or 0 when it
    // reads as no text (or as empty text).
    std::uint32_t IdOfValue(std::int32_t type, std::string_view data) {
        if (type != Registry::kTypeText && type != Registry::kTypeNumber) return 0;
        raw_.assign(1, static_cast<char>(type));
        raw_.append(data);
        if (auto it = byValue_.find(raw_); it != byValue_.end()) return it->second;
        std::string text;
        Registry::TextOf(type, data, text);
        const std::uint32_t id = text.empty() ? 0 : IdOf(text);
        byValue_.emplace(raw_, id);
        return id;
    }

  private:
    TextIds byValue_;  // type byte and bytes -> text number
    std::string raw_;
};

// Builds the body of one key's compact row from its values, met in stored
// order: per value that matters, its name's number and then, for a
// "Target..." name, the number of its text (0 for none), for any other name
// its non-zero number (as unsigned 32 bits). Other values read as nothing and
// are left out.
class BodyBuilder {
  public:
    BodyBuilder(NameTable& names, TextTable& texts) : names_(names), texts_(texts) {}
    void Add(std::string_view lname, std::int32_t type, std::string_view data) {
        const std::size_t place = place_++;
        if (NameTable::IsTarget(lname)) {
            PutVarint(body_, names_.IdAt(place, lname));
            PutVarint(body_, texts_.IdOfValue(type, data));
        } else if (const std::int32_t number = Registry::NumberOf(type, data); number != 0) {
            PutVarint(body_, names_.IdAt(place, lname));
            PutVarint(body_, static_cast<std::uint32_t>(number));
        }
    }
    // The body of the values added since the last Take.
    std::string Take() {
        place_ = 0;
        return std::exchange(body_, std::string());
    }

  private:
    NameTable& names_;
    TextTable& texts_;
    std::string body_;
    std::size_t place_ = 0;
};

// A key's row as it should be: its example number and body; none when the
// key has no values.
struct ExpectedRow {
    bool present = false;
    std::int64_t number = 0;
    std::string body;
};

// Builds the rows of every direct subkey of the examples key from the values,
// in key order; visit(key, row) for each subkey that has values.
template <typename Visit>
void BuildAllRows(const Registry& registry, NameTable& names, TextTable& texts, Visit&& visit) {
    BodyBuilder builder(names, texts);
    std::int64_t key = -1, number = 0;
    registry.ForEachSubkeyValue(ExamplesKeyPath(), [&](const Registry::StreamedValue& value) {
        if (value.subkeyId != key) {
            if (key >= 0) visit(key, ExpectedRow{true, number, builder.Take()});
            key = value.subkeyId;
            number = ExampleNumberOf(value.subkeyLname);
        }
        builder.Add(value.lname, value.type, value.data);
    });
    if (key >= 0) visit(key, ExpectedRow{true, number, builder.Take()});
}

// Builds the row of one key from its values: none when the key is missing,
// is not a direct subkey of the examples key, or has no values.
class RowBuilder {
  public:
    RowBuilder(sqlite3* db, std::int64_t examples, NameTable& names, TextTable& texts)
        : examples_(examples),
          // As the single reads: names stored as text are never found.
          key_(db, "SELECT parent, lname FROM keys WHERE id=?1 AND typeof(lname)='blob'"),
          values_(db,
                  "SELECT lname, type, data FROM vals WHERE key=?1 AND typeof(lname)='blob' ORDER BY lname"),
          builder_(names, texts) {}
    bool valid() const { return key_.valid() && values_.valid(); }

    ExpectedRow Build(std::int64_t key) {
        ExpectedRow row;
        key_.Bind(1, key);
        const bool child = examples_ > 0 && key_.Row() && key_.Int(0) == examples_;
        if (child) row.number = ExampleNumberOf(key_.Blob(1));
        key_.Reset();
        if (!child) return row;
        values_.Bind(1, key);
        while (values_.Row()) {
            row.present = true;
            builder_.Add(values_.Blob(0), static_cast<std::int32_t>(values_.Int(1)), values_.Blob(2));
        }
        values_.Reset();
        row.body = builder_.Take();
        return row;
    }

  private:
    std::int64_t examples_;
    SqlStatement key_, values_;
    BodyBuilder builder_;
};

// The keys marked dirty, in key order.
std::vector<std::int64_t> DirtyKeys(sqlite3* db) {
    std::vector<std::int64_t> dirty;
    SqlStatement marked(db, "SELECT key FROM compact_dirty ORDER BY key");
    while (marked.Row()) dirty.push_back(marked.Int(0));
    return dirty;
}

// Turns rows met in key order into what a read of the values met in the same
// order gives: the same rows, codes, columns and texts, numbered the same way.
class ExampleAssembler {
  public:
    // expectedRows: about how many rows will come, so that the tables are
    // made once at their size instead of growing by doubling.
    ExampleAssembler(StoredExamples& s, const ConfigTables& tables, std::size_t expectedRows)
        : s_(s), expected_(expectedRows) {
        s_.attributeCount = std::clamp(tables.AttributeCount, 0, ConfigTables::kMaxAttributes);
        for (std::int32_t slot = 1; slot <= s_.attributeCount; ++slot)
            slotsByName_[codepage::LoweredAnsi(tables.AttributeNames[slot])].push_back(slot);
        s_.numbers.reserve(expected_);
        s_.codes.reserve(expected_ * s_.attributeCount);
    }

    void Add(const NameTable& names, const TextTable& texts, std::int64_t number, std::string_view body) {
        if (number < 1 || number > s_.storedCount) return;
        const auto row = static_cast<std::int32_t>(s_.numbers.size());
        s_.numbers.push_back(static_cast<std::int32_t>(number));
        s_.codes.resize(s_.codes.size() + s_.attributeCount, 0);
        std::uint8_t* codes = s_.codes.data() + static_cast<std::size_t>(row) * s_.attributeCount;
        const char* p = body.data();
        const char* end = p + body.size();
        while (p < end) {
            Use& use = UseOf(names, GetVarint(p, end));
            const std::uint64_t payload = GetVarint(p, end);
            if (use.target) {
                AddText(names, texts, use, row, payload);
            } else if (use.slots) {
                const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(payload));
                for (const std::int32_t slot : *use.slots) {
                    if (value >= 0 && value <= 255) {
                        codes[slot - 1] = static_cast<std::uint8_t>(value);
                    } else {
                        s_.wide.push_back({row, slot, value});
                    }
                }
            }
        }
    }

    void Finish() {
        s_.order.resize(s_.numbers.size());
        for (std::size_t i = 0; i < s_.order.size(); ++i) s_.order[i] = static_cast<std::int32_t>(i);
        std::sort(s_.order.begin(), s_.order.end(),
                  [&](std::int32_t a, std::int32_t b) { return s_.numbers[a] < s_.numbers[b]; });
        std::sort(s_.wide.begin(), s_.wide.end(), [](const auto& a, const auto& b) {
            return a.row != b.row ? a.row < b.row : a.slot < b.slot;
        });
    }

  private:
    // What a name means for this configuration: the slots it fills, or
    // whether it is a target's, with its column once one was made.
    struct Use {
        bool known = false;
        bool target = false;
        const std::vector<std::int32_t>* slots = nullptr;
        std::int32_t column = -1;
        std::uint32_t id = 0;
    };
    Use& UseOf(const NameTable& names, std::uint64_t id) {
        if (id >= names.Size()) id = 0;  // a damaged row: a name that means nothing
        if (id >= uses_.size()) uses_.resize(names.Size());
        Use& use = uses_[id];
        if (!use.known) {
            use.known = true;
            use.id = static_cast<std::uint32_t>(id);
            const std::string& lname = names.TextOf(id);
            use.target = id != 0 && NameTable::IsTarget(lname);
            if (auto it = slotsByName_.find(lname); id != 0 && !use.target && it != slotsByName_.end())
                use.slots = &it->second;
        }
        return use;
    }
    // The target value of row: its name's column is made when first met,
    // whatever the value reads as.
    void AddText(const NameTable& names, const TextTable& texts, Use& use, std::int32_t row,
                 std::uint64_t textId) {
        if (use.column < 0) {
            use.column = static_cast<std::int32_t>(s_.columns.size());
            s_.columns.emplace_back().reserve(expected_);
            s_.targetColumns.emplace(names.TextOf(use.id), use.column);
        }
        if (textId == 0 || textId >= texts.Size()) return;
        if (textIndex_.size() < texts.Size()) textIndex_.resize(texts.Size(), -1);
        std::int32_t& index = textIndex_[textId];
        if (index < 0) {
            index = static_cast<std::int32_t>(s_.texts.size());
            s_.texts.push_back(texts.TextOf(textId));
        }
        auto& cells = s_.columns[use.column];
        if (cells.size() <= static_cast<std::size_t>(row)) cells.resize(row + 1, -1);
        cells[row] = index;
    }

    StoredExamples& s_;
    std::size_t expected_;
    std::unordered_map<std::string, std::vector<std::int32_t>> slotsByName_;
    std::vector<Use> uses_;
    std::vector<std::int32_t> textIndex_;  // text number -> index in s_.texts
};

// About how many rows a read meets: the subkeys of the examples key.
std::size_t SubkeyCount(sqlite3* db, std::int64_t key) {
    SqlStatement count(db, "SELECT count(*) FROM keys WHERE parent=?1");
    return key > 0 && count.Bind(1, key).Row() ? static_cast<std::size_t>(count.Int(0)) : 0;
}

Status Failure(const Registry& registry, const std::string& what) {
    sqlite3* db = registry.Connection();
    return Status::IOError("The store " + registry.Path() + " could not " + what + ": " +
                           (db ? sqlite3_errmsg(db) : "the store is not open"));
}

}  // namespace

Status RefreshCompactExamples(Registry& registry) {
    Registry::WriteGroup group(registry);
    sqlite3* db = registry.Connection();
    if (!db) return Status::IOError("the store is not open");
    const std::int64_t examples = std::max<std::int64_t>(FindKeyId(db, ExamplesKeyPath()), 0);
    const bool built = BuiltFor(db) == examples;
    if (!built && sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK)
        return Failure(registry, "make the tables of its compact examples");
    NameTable names;
    TextTable texts;
    if (!names.Load(db) || !texts.Load(db)) return Failure(registry, "read its compact examples");

    if (!built) {
        // Built for another key, or never: build every row. The rows count
        // only once the state row names the key again, at the very end.
        SqlStatement clear(db, "DELETE FROM compact_state");
        SqlStatement clearRows(db, "DELETE FROM compact_examples");
        SqlStatement clearMarks(db, "DELETE FROM compact_dirty");
        if (!clear.Done() || !clearRows.Done() || !clearMarks.Done())
            return Failure(registry, "clear its compact examples");
        SqlStatement insert(db, "INSERT INTO compact_examples(key, number, body) VALUES(?1, ?2, ?3)");
        bool written = insert.valid();
        if (examples > 0)
            BuildAllRows(registry, names, texts, [&](std::int64_t key, const ExpectedRow& row) {
                written = written && insert.Bind(1, key).Bind(2, row.number).Bind(3, row.body).Done();
            });
        SqlStatement state(db, "INSERT INTO compact_state(examples) VALUES(?1)");
        if (!written || !names.SaveNew(db) || !texts.SaveNew(db) || !state.Bind(1, examples).Done())
            return Failure(registry, "store its compact examples");
        return group.Commit();
    }

    const std::vector<std::int64_t> dirty = DirtyKeys(db);
    if (dirty.empty()) return group.Commit();
    RowBuilder builder(db, examples, names, texts);
    SqlStatement upsert(db, "INSERT OR REPLACE INTO compact_examples(key, number, body) VALUES(?1, ?2, ?3)");
    SqlStatement remove(db, "DELETE FROM compact_examples WHERE key=?1");
    SqlStatement unmark(db, "DELETE FROM compact_dirty WHERE key=?1");
    if (!builder.valid() || !upsert.valid() || !remove.valid() || !unmark.valid())
        return Failure(registry, "keep its compact examples");
    std::vector<std::pair<std::int64_t, ExpectedRow>> rows;
    rows.reserve(dirty.size());
    for (const std::int64_t key : dirty) rows.emplace_back(key, builder.Build(key));
    if (!names.SaveNew(db) || !texts.SaveNew(db)) return Failure(registry, "store its compact examples");
    // A row is written before its mark goes, so a failure in between leaves
    // the key dirty rather than wrong.
    for (const auto& [key, row] : rows) {
        const bool written = row.present ? upsert.Bind(1, key).Bind(2, row.number).Bind(3, row.body).Done()
                                         : remove.Bind(1, key).Done();
        if (!written || !unmark.Bind(1, key).Done()) return Failure(registry, "store its compact examples");
    }
    return group.Commit();
}

bool CompactExamplesNeedRefresh(const Registry& registry) {
    const Registry::ReadSnapshot read(registry);
    sqlite3* db = registry.Connection();
    if (BuiltFor(db) != std::max<std::int64_t>(FindKeyId(db, ExamplesKeyPath()), 0)) return true;
    SqlStatement marked(db, "SELECT 1 FROM compact_dirty LIMIT 1");
    return marked.Row();
}

std::shared_ptr<const StoredExamples> ReadExamplesFromValues(const Registry& registry,
                                                             const ConfigTables& tables) {
    auto fresh = std::make_shared<StoredExamples>();
    const Registry::ReadSnapshot read(registry);
    fresh->storedCount = std::max(registry.GetKeyNumber(ExamplesKeyPath(), kCountValue), 0);
    sqlite3* db = registry.Connection();
    ExampleAssembler assembler(*fresh, tables, SubkeyCount(db, FindKeyId(db, ExamplesKeyPath())));
    NameTable names;
    TextTable texts;
    BuildAllRows(registry, names, texts, [&](std::int64_t, const ExpectedRow& row) {
        assembler.Add(names, texts, row.number, row.body);
    });
    assembler.Finish();
    return fresh;
}

std::shared_ptr<const StoredExamples> ReadCompactExamples(const Registry& registry,
                                                          const ConfigTables& tables) {
    const Registry::ReadSnapshot read(registry);
    sqlite3* db = registry.Connection();
    const std::int64_t examples = FindKeyId(db, ExamplesKeyPath());
    NameTable names;
    TextTable texts;
    if (examples < 0 || BuiltFor(db) != examples || !names.Load(db) || !texts.Load(db))
        return ReadExamplesFromValues(registry, tables);

    auto fresh = std::make_shared<StoredExamples>();
    fresh->storedCount = std::max(registry.GetKeyNumber(ExamplesKeyPath(), kCountValue), 0);
    ExampleAssembler assembler(*fresh, tables, SubkeyCount(db, examples));
    const std::vector<std::int64_t> dirty = DirtyKeys(db);
    RowBuilder builder(db, examples, names, texts);
    std::size_t next = 0;
    // Dirty keys before key (all when key is -1) are read from their values.
    auto fromValues = [&](std::int64_t key) {
        for (; next < dirty.size() && (key < 0 || dirty[next] < key); ++next)
            if (const ExpectedRow row = builder.Build(dirty[next]); row.present)
                assembler.Add(names, texts, row.number, row.body);
    };
    SqlStatement rows(db, "SELECT key, number, body FROM compact_examples ORDER BY key");
    while (rows.Row()) {
        const std::int64_t key = rows.Int(0);
        fromValues(key);
        if (next < dirty.size() && dirty[next] == key) continue;  // read from the values next
        assembler.Add(names, texts, rows.Int(1), rows.Blob(2));
    }
    fromValues(-1);
    assembler.Finish();
    return fresh;
}

struct NewExampleRows::Tables {
    NameTable names;
    TextTable texts;
    BodyBuilder builder{names, texts};
    struct Row {
        std::int64_t key;
        std::int64_t number;
        std::string body;
    };
    std::vector<Row> rows;
};

NewExampleRows::NewExampleRows(Registry& registry) : registry_(registry) {
    status_ = RefreshCompactExamples(registry_);
    sqlite3* db = registry_.Connection();
    if (!status_) return;
    tables_ = std::make_unique<Tables>();
    if (!tables_->names.Load(db) || !tables_->texts.Load(db)) {
        status_ = Failure(registry_, "read its compact examples");
        return;
    }
    if (sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr) != SQLITE_OK) {
        status_ = Failure(registry_, "write its examples without its triggers");
        return;
    }
    triggersOff_ = true;
}

NewExampleRows::~NewExampleRows() {
    if (triggersOff_) sqlite3_db_config(registry_.Connection(), SQLITE_DBCONFIG_ENABLE_TRIGGER, 1, nullptr);
}

void NewExampleRows::Add(std::int64_t key, std::int64_t number,
                         const std::vector<Registry::NewValue>& values) {
    if (!status_) return;
    for (const Registry::NewValue& value : values)
        tables_->builder.Add(value.name->lname, value.type, value.bytes);
    tables_->rows.push_back({key, number, tables_->builder.Take()});
}

Status NewExampleRows::Finish() {
    if (triggersOff_) {
        sqlite3_db_config(registry_.Connection(), SQLITE_DBCONFIG_ENABLE_TRIGGER, 1, nullptr);
        triggersOff_ = false;
    }
    if (!status_) return status_;
    sqlite3* db = registry_.Connection();
    SqlStatement insert(db, "INSERT OR REPLACE INTO compact_examples(key, number, body) VALUES(?1, ?2, ?3)");
    bool written = insert.valid() && tables_->names.SaveNew(db) && tables_->texts.SaveNew(db);
    for (const auto& row : tables_->rows)
        written = written && insert.Bind(1, row.key).Bind(2, row.number).Bind(3, row.body).Done();
    // Rows built for a store without an examples key: that key is new, and
    // these are all of its examples.
    if (written && BuiltFor(db) == 0) {
        SqlStatement state(db, "UPDATE compact_state SET examples=?1");
        written = state.Bind(1, std::max<std::int64_t>(FindKeyId(db, ExamplesKeyPath()), 0)).Done();
    }
    tables_.reset();
    status_ = written ? Status::Ok() : Failure(registry_, "store its compact examples");
    return status_;
}

CompactExamplesCheck CheckCompactExamples(const Registry& registry) {
    CompactExamplesCheck check;
    const Registry::ReadSnapshot read(registry);
    sqlite3* db = registry.Connection();
    const std::int64_t examples = FindKeyId(db, ExamplesKeyPath());
    NameTable names;
    TextTable texts;
    if (BuiltFor(db) != std::max<std::int64_t>(examples, 0) || !names.Load(db) || !texts.Load(db))
        return check;
    std::unordered_map<std::int64_t, ExpectedRow> expected;
    if (examples > 0)
        BuildAllRows(registry, names, texts,
                     [&](std::int64_t key, ExpectedRow row) { expected[key] = std::move(row); });
    const std::vector<std::int64_t> dirty = DirtyKeys(db);
    auto isDirty = [&](std::int64_t key) { return std::binary_search(dirty.begin(), dirty.end(), key); };
    check.stale = 0;
    check.dirty = static_cast<std::int64_t>(dirty.size());
    SqlStatement rows(db, "SELECT key, number, body FROM compact_examples");
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
