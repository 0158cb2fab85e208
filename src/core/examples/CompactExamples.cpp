#include "core/examples/CompactExamples.h"

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

// The tables of the compact rows: a row per example key, the value names and
// the target texts the rows use, and the examples key the rows were built
// for. Beside them the store keeps compact_dirty, the marks of the keys whose
// rows may be stale (Registry::KeepChangeMarks).
constexpr const char* kPrefix = "compact";
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS compact_examples("
    "  key INTEGER PRIMARY KEY, number INTEGER NOT NULL, body BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS compact_names(id INTEGER PRIMARY KEY, lname BLOB NOT NULL UNIQUE);"
    "CREATE TABLE IF NOT EXISTS compact_texts(id INTEGER PRIMARY KEY, text BLOB NOT NULL UNIQUE);"
    "CREATE TABLE IF NOT EXISTS compact_state(examples INTEGER NOT NULL);";

// The number of tables and triggers named compact_...: kSchema's and the marks'.
std::int64_t SchemaObjects() {
    std::int64_t n = Registry::ChangeMarkObjects();
    for (std::string_view rest = kSchema; rest.find("CREATE ") != std::string_view::npos; ++n)
        rest.remove_prefix(rest.find("CREATE ") + 1);
    return n;
}

// Makes the tables of the compact rows and the marks, where missing.
Status MakeTables(Registry& registry) {
    Status made = registry.KeepChangeMarks(kPrefix);
    return made ? registry.ExecDerived(kSchema, "the tables of the compact examples") : made;
}

// built: the examples key the compact rows were built for (0: the store had
// none), or -1 when the store has no usable compact rows. Rows kept while a
// table or trigger was missing (dropped by hand) cannot be trusted.
Status BuiltFor(const Registry& registry, std::int64_t& built) {
    built = -1;
    std::int64_t objects = 0;
    Status read = registry.DerivedObjectCount(kPrefix, objects);
    if (!read || objects != SchemaObjects()) return read;
    auto state = registry.DerivedStatement("SELECT examples FROM compact_state");
    read = state->Lookup("the state of the compact examples");
    if (read) built = state->Int(0);
    return read.IsNotFound() ? Status::Ok() : read;
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

    Status Load(const Registry& registry) {
        auto statement = registry.DerivedStatement(load_);
        SqlStatement& all = *statement;
        Status read = all.EachRow("the names and texts of the compact examples", [&] {
            const auto id = static_cast<std::size_t>(all.Int(0));
            if (id == 0 || id > (1u << 30)) return;  // a damaged table: not ours to number
            if (id >= texts_.size()) texts_.resize(id + 1);
            texts_[id] = all.Blob(1);
            ids_.emplace(texts_[id], static_cast<std::uint32_t>(id));
        });
        stored_ = texts_.size();
        return read;
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
    Status SaveNew(Registry& registry) {
        auto statement = registry.DerivedStatement(insert_);
        SqlStatement& insert = *statement;
        for (std::size_t id = stored_; id < texts_.size(); ++id)
            if (Status s = insert.Bind(1, static_cast<std::int64_t>(id))
                               .Bind(2, texts_[id])
                               .Run("the names and texts of the compact examples");
                !s)
                return s;
        stored_ = texts_.size();
        return Status::Ok();
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
    static bool IsTarget(std::string_view lname) {
        static const std::string target = codepage::LoweredAnsi(kTargetPrefix);
        return lname.starts_with(target);
    }

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
// On a failure visit has met part of the rows only, and the result says why.
template <typename Visit>
Status BuildAllRows(const Registry& registry, NameTable& names, TextTable& texts, Visit&& visit) {
    BodyBuilder builder(names, texts);
    std::int64_t key = -1, number = 0;
    Status read = registry.ForEachSubkeyValue(ExamplesKeyPath(), [&](const Registry::StreamedValue& value) {
        if (value.subkeyId != key) {
            if (key >= 0) visit(key, ExpectedRow{true, number, builder.Take()});
            key = value.subkeyId;
            number = ExampleNumberOf(value.subkeyLname);
        }
        builder.Add(value.lname, value.type, value.data);
    });
    if (!read) return read;
    if (key >= 0) visit(key, ExpectedRow{true, number, builder.Take()});
    return read;
}

// Builds the row of one key from its values: none when the key is missing,
// is not a direct subkey of the examples key, or has no values.
class RowBuilder {
  public:
    RowBuilder(const Registry& registry, std::int64_t examples, NameTable& names, TextTable& texts)
        : registry_(registry), examples_(examples), builder_(names, texts) {}

    // row: the key's row, made only from a complete read of its values.
    Status Build(std::int64_t key, ExpectedRow& row) {
        row = ExpectedRow();
        if (examples_ <= 0) return Status::Ok();
        bool found = false;
        Status read = registry_.ReadSubkey(examples_, key, found, [&](const Registry::StreamedValue& value) {
            if (!row.present) row.number = ExampleNumberOf(value.subkeyLname);
            row.present = true;
            builder_.Add(value.lname, value.type, value.data);
        });
        row.body = builder_.Take();
        if (!read) row = ExpectedRow();
        return read;
    }

  private:
    const Registry& registry_;
    std::int64_t examples_;
    BodyBuilder builder_;
};

// The keys marked dirty, in key order.
Status DirtyKeys(const Registry& registry, std::vector<std::int64_t>& dirty) {
    dirty.clear();
    auto marked = registry.DerivedStatement("SELECT key FROM compact_dirty ORDER BY key");
    return marked->EachRow("the marks of the compact examples", [&] { dirty.push_back(marked->Int(0)); });
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

// A failed read or write of the compact rows, naming the store.
Status Failure(const Registry& registry, const std::string& what, const Status& why) {
    return why.Prefixed("The store " + registry.Path() + " could not " + what + ": ");
}

}  // namespace

Status RefreshCompactExamples(Registry& registry) {
    Registry::WriteGroup group(registry);
    if (!registry.IsOpen()) return Status::IOError("the store is not open");
    std::int64_t examples = -1, builtFor = -1;
    if (Status s = registry.KeyId(ExamplesKeyPath(), examples); !s)
        return Failure(registry, "read its examples", s);
    examples = std::max<std::int64_t>(examples, 0);
    if (Status s = BuiltFor(registry, builtFor); !s) return Failure(registry, "read its compact examples", s);
    const bool built = builtFor == examples;
    if (!built)
        if (Status s = MakeTables(registry); !s)
            return Failure(registry, "make the tables of its compact examples", s);
    NameTable names;
    TextTable texts;
    if (Status s = names.Load(registry); !s) return Failure(registry, "read its compact examples", s);
    if (Status s = texts.Load(registry); !s) return Failure(registry, "read its compact examples", s);

    if (!built) {
        // Built for another key, or never: build every row. The rows count
        // only once the state row names the key again, at the very end.
        for (const char* sql :
             {"DELETE FROM compact_state", "DELETE FROM compact_examples", "DELETE FROM compact_dirty"})
            if (Status s = registry.DerivedStatement(sql)->Run("the compact examples"); !s)
                return Failure(registry, "clear its compact examples", s);
        auto insert =
            registry.DerivedStatement("INSERT INTO compact_examples(key, number, body) VALUES(?1, ?2, ?3)");
        Status written = insert->valid() ? Status::Ok() : insert->Failure("the compact examples");
        if (examples > 0) {
            Status read = BuildAllRows(registry, names, texts, [&](std::int64_t key, const ExpectedRow& row) {
                if (written)
                    written =
                        insert->Bind(1, key).Bind(2, row.number).Bind(3, row.body).Run("a compact example");
            });
            if (!read) return Failure(registry, "read its examples", read);
        }
        if (written) written = names.SaveNew(registry);
        if (written) written = texts.SaveNew(registry);
        if (written)
            written = registry.DerivedStatement("INSERT INTO compact_state(examples) VALUES(?1)")
                          ->Bind(1, examples)
                          .Run("the state of the compact examples");
        if (!written) return Failure(registry, "store its compact examples", written);
        return group.Commit();
    }

    std::vector<std::int64_t> dirty;
    if (Status s = DirtyKeys(registry, dirty); !s) return Failure(registry, "read its compact examples", s);
    if (dirty.empty()) return group.Commit();
    RowBuilder builder(registry, examples, names, texts);
    auto upsert = registry.DerivedStatement(
        "INSERT OR REPLACE INTO compact_examples(key, number, body) VALUES(?1, ?2, ?3)");
    auto remove = registry.DerivedStatement("DELETE FROM compact_examples WHERE key=?1");
    auto unmark = registry.DerivedStatement("DELETE FROM compact_dirty WHERE key=?1");
    for (const auto* statement : {upsert.get(), remove.get(), unmark.get()})
        if (!statement->valid())
            return Failure(registry, "keep its compact examples", statement->Failure("the compact examples"));
    // Every row is built from a complete read of its values before any is
    // written: a read that fails leaves every key dirty.
    std::vector<std::pair<std::int64_t, ExpectedRow>> rows(dirty.size());
    for (std::size_t i = 0; i < dirty.size(); ++i) {
        rows[i].first = dirty[i];
        if (Status s = builder.Build(dirty[i], rows[i].second); !s)
            return Failure(registry, "read its examples", s);
    }
    if (Status s = names.SaveNew(registry); !s) return Failure(registry, "store its compact examples", s);
    if (Status s = texts.SaveNew(registry); !s) return Failure(registry, "store its compact examples", s);
    // A row is written before its mark goes, so a failure in between leaves
    // the key dirty rather than wrong.
    for (const auto& [key, row] : rows) {
        Status written =
            row.present ? upsert->Bind(1, key).Bind(2, row.number).Bind(3, row.body).Run("a compact example")
                        : remove->Bind(1, key).Run("a compact example");
        if (written) written = unmark->Bind(1, key).Run("the mark of a compact example");
        if (!written) return Failure(registry, "store its compact examples", written);
    }
    return group.Commit();
}

Status CompactExamplesNeedRefresh(const Registry& registry, bool& need) {
    need = false;
    const Registry::ReadSnapshot read(registry);
    std::int64_t examples = -1, builtFor = -1;
    Status s = registry.KeyId(ExamplesKeyPath(), examples);
    if (s) s = BuiltFor(registry, builtFor);
    if (!s) return Failure(registry, "read its compact examples", s);
    if (builtFor != std::max<std::int64_t>(examples, 0)) {
        need = true;
        return Status::Ok();
    }
    auto marked = registry.DerivedStatement("SELECT 1 FROM compact_dirty LIMIT 1");
    s = marked->Lookup("the marks of the compact examples");
    need = s.ok();
    return s || s.IsNotFound() ? Status::Ok() : Failure(registry, "read its compact examples", s);
}

Status ReadExamplesFromValues(const Registry& registry, const ConfigTables& tables,
                              std::shared_ptr<const StoredExamples>& examples) {
    examples.reset();
    // A store that could not be opened reads as empty (Registry::Open).
    if (!registry.IsOpen()) {
        examples = std::make_shared<const StoredExamples>();
        return Status::Ok();
    }
    auto fresh = std::make_shared<StoredExamples>();
    const Registry::ReadSnapshot read(registry);
    std::int32_t count = 0;
    if (Status s = registry.GetKeyNumber(ExamplesKeyPath(), kCountValue, count); !s) return s;
    fresh->storedCount = std::max(count, 0);
    std::int64_t key = -1;
    std::size_t expected = 0;
    Status s = registry.KeyId(ExamplesKeyPath(), key);
    if (s) s = registry.SubkeyCount(key, expected);
    if (!s) return Failure(registry, "read its examples", s);
    ExampleAssembler assembler(*fresh, tables, expected);
    NameTable names;
    TextTable texts;
    if (Status built = BuildAllRows(
            registry, names, texts,
            [&](std::int64_t, const ExpectedRow& row) { assembler.Add(names, texts, row.number, row.body); });
        !built)
        return built;
    assembler.Finish();
    examples = std::move(fresh);
    return Status::Ok();
}

Status ReadCompactExamples(const Registry& registry, const ConfigTables& tables,
                           std::shared_ptr<const StoredExamples>& examples) {
    examples.reset();
    // A store that could not be opened reads as empty (Registry::Open).
    if (!registry.IsOpen()) {
        examples = std::make_shared<const StoredExamples>();
        return Status::Ok();
    }
    const Registry::ReadSnapshot read(registry);
    std::int64_t key = -1, builtFor = -1;
    Status s = registry.KeyId(ExamplesKeyPath(), key);
    if (s) s = BuiltFor(registry, builtFor);
    if (!s) return Failure(registry, "read its examples", s);
    if (key < 0 || builtFor != key) return ReadExamplesFromValues(registry, tables, examples);
    NameTable names;
    TextTable texts;
    auto fresh = std::make_shared<StoredExamples>();
    std::int32_t count = 0;
    std::size_t expected = 0;
    std::vector<std::int64_t> dirty;
    if (s) s = names.Load(registry);
    if (s) s = texts.Load(registry);
    if (s) s = registry.GetKeyNumber(ExamplesKeyPath(), kCountValue, count);
    if (s) s = registry.SubkeyCount(key, expected);
    if (s) s = DirtyKeys(registry, dirty);
    if (!s) return Failure(registry, "read its examples", s);
    fresh->storedCount = std::max(count, 0);
    ExampleAssembler assembler(*fresh, tables, expected);
    RowBuilder builder(registry, key, names, texts);
    std::size_t next = 0;
    // Dirty keys before key (all when key is -1) are read from their values.
    auto fromValues = [&](std::int64_t before) {
        ExpectedRow row;
        for (; s && next < dirty.size() && (before < 0 || dirty[next] < before); ++next)
            if (s = builder.Build(dirty[next], row); s && row.present)
                assembler.Add(names, texts, row.number, row.body);
    };
    auto rows = registry.DerivedStatement("SELECT key, number, body FROM compact_examples ORDER BY key");
    Status each = rows->EachRow("the compact examples", [&] {
        const std::int64_t at = rows->Int(0);
        fromValues(at);
        if (next < dirty.size() && dirty[next] == at) return;  // read from the values next
        assembler.Add(names, texts, rows->Int(1), rows->Blob(2));
    });
    if (each) fromValues(-1);
    if (!each) s = each;
    if (!s) return Failure(registry, "read its examples", s);
    assembler.Finish();
    examples = std::move(fresh);
    return Status::Ok();
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
    if (!status_) return;
    tables_ = std::make_unique<Tables>();
    if (status_ = tables_->names.Load(registry_); status_) status_ = tables_->texts.Load(registry_);
    if (!status_) {
        status_ = Failure(registry_, "read its compact examples", status_);
        return;
    }
    if (Status paused = registry_.PauseChangeMarks(true); !paused) {
        status_ = Failure(registry_, "write its examples without its triggers", paused);
        return;
    }
    triggersOff_ = true;
}

NewExampleRows::~NewExampleRows() {
    if (triggersOff_) static_cast<void>(registry_.PauseChangeMarks(false));
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
        static_cast<void>(registry_.PauseChangeMarks(false));
        triggersOff_ = false;
    }
    if (!status_) return status_;
    auto insert = registry_.DerivedStatement(
        "INSERT OR REPLACE INTO compact_examples(key, number, body) VALUES(?1, ?2, ?3)");
    Status written =
        insert->valid() ? tables_->names.SaveNew(registry_) : insert->Failure("the compact examples");
    if (written) written = tables_->texts.SaveNew(registry_);
    for (const auto& row : tables_->rows)
        if (written)
            written = insert->Bind(1, row.key).Bind(2, row.number).Bind(3, row.body).Run("a compact example");
    // Rows built for a store without an examples key: that key is new, and
    // these are all of its examples.
    std::int64_t builtFor = -1, examples = -1;
    if (written) written = BuiltFor(registry_, builtFor);
    if (written && builtFor == 0) written = registry_.KeyId(ExamplesKeyPath(), examples);
    if (written && builtFor == 0)
        written = registry_.DerivedStatement("UPDATE compact_state SET examples=?1")
                      ->Bind(1, std::max<std::int64_t>(examples, 0))
                      .Run("the state of the compact examples");
    tables_.reset();
    status_ = written ? Status::Ok() : Failure(registry_, "store its compact examples", written);
    return status_;
}

CompactExamplesCheck CheckCompactExamples(const Registry& registry) {
    CompactExamplesCheck check;
    const Registry::ReadSnapshot read(registry);
    std::int64_t examples = -1, builtFor = -1;
    NameTable names;
    TextTable texts;
    std::unordered_map<std::int64_t, ExpectedRow> expected;
    std::vector<std::int64_t> dirty;
    Status& s = check.status;
    s = registry.KeyId(ExamplesKeyPath(), examples);
    if (s) s = BuiltFor(registry, builtFor);
    if (!s || builtFor != std::max<std::int64_t>(examples, 0)) return check;
    if (s) s = names.Load(registry);
    if (s) s = texts.Load(registry);
    if (s && examples > 0)
        s = BuildAllRows(registry, names, texts,
                         [&](std::int64_t key, ExpectedRow row) { expected[key] = std::move(row); });
    if (s) s = DirtyKeys(registry, dirty);
    if (!s) return check;
    auto isDirty = [&](std::int64_t key) { return std::binary_search(dirty.begin(), dirty.end(), key); };
    std::int64_t stale = 0;
    auto rows = registry.DerivedStatement("SELECT key, number, body FROM compact_examples");
    s = rows->EachRow("the compact examples", [&] {
        const std::int64_t key = rows->Int(0);
        auto it = expected.find(key);
        const bool equal =
            it != expected.end() && it->second.number == rows->Int(1) && it->second.body == rows->Blob(2);
        if (it != expected.end()) expected.erase(it);
        if (!equal && !isDirty(key)) ++stale;
    });
    if (!s) return check;
    for (const auto& [key, row] : expected)
        if (!isDirty(key)) ++stale;  // values without a row
    check.stale = stale;
    check.dirty = static_cast<std::int64_t>(dirty.size());
    return check;
}

}  // namespace morvel
