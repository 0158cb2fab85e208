#include "core/examples/ExampleStore.h"

#include <algorithm>
#include <limits>

#include "core/examples/CompactExamples.h"
#include "core/platform/CodePage.h"
#include "core/store/KeyPaths.h"

namespace morvel {
namespace {

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};

}  // namespace

std::int64_t ExampleNumberOf(std::string_view lname) {
    constexpr std::string_view kWord = "example";
    if (lname.size() <= kWord.size() || lname.size() > kWord.size() + 10 || !lname.starts_with(kWord))
        return 0;
    const std::string_view digits = lname.substr(kWord.size());
    if (digits.front() == '0') return 0;
    std::int64_t n = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + (c - '0');
    }
    return n;
}

bool StoredExamples::HasWideValues(std::int32_t row) const {
    const auto it = std::lower_bound(wide.begin(), wide.end(), row,
                                     [](const WideValue& w, std::int32_t r) { return w.row < r; });
    return it != wide.end() && it->row == row;
}

std::int32_t StoredExamples::WideValueOf(std::int32_t row, std::int32_t s) const {
    const auto it =
        std::lower_bound(wide.begin(), wide.end(), std::pair(row, s),
                         [](const WideValue& w, auto key) { return std::pair(w.row, w.slot) < key; });
    return it != wide.end() && it->row == row && it->slot == s ? it->value : 0;
}

std::int32_t StoredExamples::ColumnOf(std::string_view id) const {
    const auto column =
        targetColumns.find(codepage::LoweredAnsi(std::string(kTargetPrefix) + std::string(id)));
    return column == targetColumns.end() ? -1 : column->second;
}

Status ExampleStore::Read(Registry& registry, const ConfigTables& tables,
                          std::shared_ptr<const StoredExamples>& examples) {
    // A refresh that cannot be made now (another program holds the store)
    // costs only speed: it writes nothing, and the read takes stale examples
    // from their values. A store that cannot be read fails the read itself.
    bool refresh = false;
    if (registry.IsOpen() && !registry.IsReadOnly() && CompactExamplesNeedRefresh(registry, refresh).ok() &&
        refresh) {
        const Status refreshed = RefreshCompactExamples(registry);
        static_cast<void>(refreshed);
    }
    return ReadCompactExamples(registry, tables, examples);
}

namespace {

// Writes row r of examples into the example key at path, value by value, so
// that an example written before keeps the values not written again. Stops
// at the first failure.
Status WriteExample(Registry& registry, const std::string& path, const ExampleBatch& examples,
                    std::size_t r) {
    if (Status s = registry.OpenKey(path); !s) return s;
    const std::size_t numbers = examples.numberNames.size(), texts = examples.textNames.size();
    for (std::size_t i = 0; i < numbers; ++i)
        if (const std::int32_t value = examples.numbers[r * numbers + i]; value != 0)
            if (Status s = registry.SetKeyNumber(path, examples.numberNames[i], value); !s) return s;
    for (std::size_t i = 0; i < texts; ++i)
        if (const std::string& text = examples.texts[r * texts + i]; !text.empty())
            if (Status s = registry.SetKeyText(path, examples.textNames[i], text); !s) return s;
    return Status::Ok();
}

// The value names of a batch, encoded once, in the order the store keeps
// them (by lowered name): then each example's values are written in order.
struct BatchColumn {
    Registry::EncodedName name;
    bool text = false;
    std::size_t index = 0;  // in numberNames or textNames
};

Status BatchColumns(const ExampleBatch& examples, std::vector<BatchColumn>& columns) {
    for (std::size_t i = 0; i < examples.numberNames.size() + examples.textNames.size(); ++i) {
        BatchColumn column;
        column.text = i >= examples.numberNames.size();
        column.index = column.text ? i - examples.numberNames.size() : i;
        const std::string& name =
            column.text ? examples.textNames[column.index] : examples.numberNames[column.index];
        if (Status s = Registry::EncodeName(name, column.name); !s) return s;
        columns.push_back(std::move(column));
    }
    std::sort(columns.begin(), columns.end(),
              [](const BatchColumn& a, const BatchColumn& b) { return a.name.lname < b.name.lname; });
    for (std::size_t i = 1; i < columns.size(); ++i)
        if (columns[i].name.lname == columns[i - 1].name.lname)
            return Status::InvalidInput("the value name " + codepage::FromAnsi(columns[i].name.name) +
                                        " is given twice");
    return Status::Ok();
}

std::string NumberBytes(std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    return {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
            static_cast<char>((u >> 16) & 0xFF), static_cast<char>(u >> 24)};
}

}  // namespace

Status CheckNoExampleKeysAbove(const Registry& registry, std::int32_t stored, std::int64_t added) {
    std::vector<std::string> names;
    if (Status s = registry.SubkeyNames(ExamplesKeyPath(), names); !s) return s;
    for (const std::string& name : names) {
        const std::int64_t n = ExampleNumberOf(codepage::LoweredAnsi(name));
        if (n > stored && n <= static_cast<std::int64_t>(stored) + added)
            return Status::Corrupt("the store already holds a key " + name + " above its example count " +
                                   std::to_string(stored));
    }
    return Status::Ok();
}

namespace {
// Rows kept in memory before they are written: a few megabytes.
constexpr std::size_t kRowsPerWrite = 32768;
}  // namespace

NewExampleKeys::NewExampleKeys(Registry& registry)
    : registry_(registry), rows_(std::make_unique<NewExampleRows>(registry)) {}

NewExampleKeys::~NewExampleKeys() = default;

Status NewExampleKeys::status() const { return rows_ ? rows_->status() : Status::Ok(); }

Status NewExampleKeys::Add(std::string_view parent, const Registry::EncodedName& name, std::int32_t number,
                           const std::vector<Registry::NewValue>& values) {
    if (!rows_) rows_ = std::make_unique<NewExampleRows>(registry_);
    if (!rows_->status().ok()) return rows_->status();
    std::int64_t id = 0;
    if (Status s = registry_.CreateKeyWithValues(parent, name, values, &id); !s) return s;
    // An example without values has no row.
    if (!values.empty()) rows_->Add(id, number, values);
    if (++pending_ < kRowsPerWrite) return Status::Ok();
    return Finish();
}

Status NewExampleKeys::Finish() {
    if (!rows_) return Status::Ok();
    const Status s = rows_->Finish();
    rows_.reset();
    pending_ = 0;
    return s;
}

Status ExampleStore::Append(const ExampleBatch& examples, std::int32_t* first) {
    if (examples.rows == 0) return Status::Ok();
    if (examples.numbers.size() != examples.rows * examples.numberNames.size() ||
        examples.texts.size() != examples.rows * examples.textNames.size())
        return Status::InvalidInput("the examples do not fill their table");
    std::vector<BatchColumn> columns;
    if (Status s = BatchColumns(examples, columns); !s) return s;
    // Each distinct text is checked and put into the code page once.
    std::unordered_map<std::string, std::string, TextHash, std::equal_to<>> encoded;
    std::vector<const std::string*> textBytes(examples.texts.size(), nullptr);
    for (std::size_t i = 0; i < examples.texts.size(); ++i) {
        const std::string& text = examples.texts[i];
        if (text.empty()) continue;
        auto it = encoded.find(text);
        if (it == encoded.end()) {
            if (Status s = Registry::CheckText(
                    "the value of " + examples.textNames[i % examples.textNames.size()], text);
                !s)
                return s;
            it = encoded.emplace(text, codepage::ToAnsi(text)).first;
        }
        textBytes[i] = &it->second;
    }

    Registry::WriteGroup group(registry_);
    const std::string path = ExamplesKeyPath();
    // Read under the write lock: no other program takes these numbers meanwhile.
    std::int32_t stored = 0;
    if (Status s = registry_.GetKeyNumber(path, kCountValue, stored); !s) return s;
    stored = std::max(stored, 0);
    if (examples.rows > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() - stored))
        return Status::InvalidInput("the store cannot number that many more examples");
    const auto added = static_cast<std::int32_t>(examples.rows);
    if (Status s = CheckNoExampleKeysAbove(registry_, stored, added); !s) return s;

    NewExampleKeys keys(registry_);
    if (Status s = keys.status(); !s) return s;
    std::vector<std::string> numberBytes(columns.size());
    std::vector<Registry::NewValue> values;
    Registry::EncodedName key;
    const std::size_t numberCount = examples.numberNames.size(), textCount = examples.textNames.size();
    for (std::int32_t i = 0; i < added; ++i) {
        const auto r = static_cast<std::size_t>(i);
        values.clear();
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const BatchColumn& column = columns[c];
            if (column.text) {
                if (const std::string* bytes = textBytes[r * textCount + column.index])
                    values.push_back({&column.name, Registry::kTypeText, *bytes});
            } else if (const std::int32_t v = examples.numbers[r * numberCount + column.index]; v != 0) {
                numberBytes[c] = NumberBytes(v);
                values.push_back({&column.name, Registry::kTypeNumber, numberBytes[c]});
            }
        }
        const std::int32_t number = stored + 1 + i;
        if (Status s = Registry::EncodeName(ExampleKeyName(number), key); !s) return s;
        if (Status s = keys.Add(path, key, number, values); !s) return s;
    }
    if (Status s = registry_.SetKeyNumber(path, kCountValue, stored + added); !s) return s;
    if (Status s = keys.Finish(); !s) return s;
    if (Status s = group.Commit(); !s) return s;
    if (first) *first = stored + 1;
    return Status::Ok();
}

Status ExampleStore::Remember(const ConfigTables& tables, const AttributeSlots& vector, bool fresh,
                              const std::vector<RememberedValue>& values, std::int32_t* number,
                              std::string_view fingerprint) {
    ExampleBatch example;
    example.rows = 1;
    // Header slots too, whatever the setting: turning it on later finds them.
    const std::int32_t slots = std::clamp(ExampleSlotCount(tables), 0, ConfigTables::kMaxAttributes);
    for (std::int32_t s = 1; s <= slots; ++s) {
        example.numberNames.push_back(tables.AttributeNames[s]);
        example.numbers.push_back(vector[s]);
    }
    for (const auto& v : values) {
        if (Status s = Registry::CheckText("the value for target \"" + v.Id + "\"", v.Text); !s)
            return s.Prefixed("nothing was stored: ");
        example.textNames.push_back(std::string(kTargetPrefix) + v.Id);
        example.texts.push_back(v.Text);
    }
    if (!fingerprint.empty()) {
        example.textNames.emplace_back(kFingerprintValue);
        example.texts.emplace_back(fingerprint);
    }

    Registry::WriteGroup group(registry_);
    const std::string path = ExamplesKeyPath();
    // Read under the write lock: no other program can take the same number.
    std::int32_t stored = 0;
    if (Status s = registry_.GetKeyNumber(path, kCountValue, stored); !s) return s;
    stored = std::max(stored, 0);
    std::int32_t target = lastRemembered_;
    if (fresh || target == 0) {
        if (stored == std::numeric_limits<std::int32_t>::max())
            return Status::InvalidInput(
                "the store holds the largest possible example number; nothing was stored");
        target = stored + 1;
    }
    // A write that fails says which store, as a failed Commit would.
    auto writeFailure = [&](const Status& s) {
        return s.IsInvalidInput() ? s
                                  : s.Prefixed("The store " + registry_.Path() + " could not be written: ");
    };
    if (Status s = registry_.SetKeyNumber(path, kCountValue, std::max(stored, target)); !s)
        return writeFailure(s);
    if (Status s = WriteExample(registry_, ExampleKeyPath(target), example, 0); !s) return writeFailure(s);
    // The triggers marked the example: its compact row is made in this group.
    if (Status s = RefreshCompactExamples(registry_); !s) return s;
    if (Status s = group.Commit(); !s) return s;

    lastRemembered_ = target;
    if (number) *number = target;
    return Status::Ok();
}

Status ExampleStore::ReadFingerprints(const Registry& registry,
                                      std::unordered_map<std::string, std::int32_t>& fingerprints) {
    fingerprints.clear();
    const std::string path = ExamplesKeyPath();
    Registry::ReadSnapshot snapshot(registry);
    std::int32_t stored = 0;
    if (Status s = registry.GetKeyNumber(path, kCountValue, stored); !s) return s;
    const std::string name = codepage::LoweredAnsi(kFingerprintValue);
    std::string text;
    return registry.ForEachSubkeyValue(path, [&](const Registry::StreamedValue& value) {
        if (value.lname != name || !Registry::TextOf(value.type, value.data, text)) return;
        const std::int64_t number = ExampleNumberOf(value.subkeyLname);
        if (number < 1 || number > stored) return;
        const auto n = static_cast<std::int32_t>(number);
        const auto [it, added] = fingerprints.emplace(text, n);
        if (!added && n < it->second) it->second = n;
    });
}

}  // namespace morvel
