// ExampleStore: the stored examples: reading all of them in one pass, and the
// one writer of new examples (Remember, and the import of many at once),
// which numbers them under the store's write lock.
//
// An example is the key "Example" + its number under the examples key,
// holding the non-zero attribute codes under their attribute names and the
// target values under "Target" + the target's identifier; "Count" is the
// highest number handed out. Numbers are taken inside the write group that
// stores the example, so two running programs never write into one example.
//
// Reading is static and thread-safe on its own Registry. An ExampleStore
// object writes through one Registry and belongs to that Registry's thread;
// it remembers the number of the example it remembered last.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/attributes/AttributeSlots.h"
#include "core/config/ConfigTables.h"
#include "core/platform/Status.h"
#include "core/store/Registry.h"

namespace morvel {

// Every stored example as one read found it: the values of the attribute
// names of the configuration it was read for, and the text of every value
// whose name starts with "Target". Never changed after reading, so any number
// of threads may read one object at once.
//
// Slot values take a byte each: a value outside 0..255 (which only a
// hand-edited store holds) has the code 0 and is kept aside in wide.
struct StoredExamples {
    std::int32_t storedCount = 0;       // "Count" of the store (0 when absent or negative)
    std::int32_t attributeCount = 0;    // slots per row
    std::vector<std::int32_t> numbers;  // example number of each row
    std::vector<std::int32_t> order;    // rows in increasing example number
    std::vector<std::uint8_t> codes;    // attributeCount codes per row (slot 1 first)
    struct WideValue {
        std::int32_t row = 0;
        std::int32_t slot = 0;
        std::int32_t value = 0;
    };
    std::vector<WideValue> wide;  // ordered by row, then slot
    // Lowered value name "target..." -> column; per column and row, the
    // index of the row's text in texts, or -1 when it has none. A column may
    // be shorter than the rows: rows past its end have no text.
    std::unordered_map<std::string, std::int32_t> targetColumns;
    std::vector<std::vector<std::int32_t>> columns;
    std::vector<std::string> texts;  // distinct, none empty

    std::int32_t Rows() const { return static_cast<std::int32_t>(numbers.size()); }
    // The codes of row: slot s (1..attributeCount) is RowCodes(row)[s - 1].
    const std::uint8_t* RowCodes(std::int32_t row) const {
        return codes.data() + static_cast<std::size_t>(row) * attributeCount;
    }
    // Whether some slot of row holds a value outside 0..255.
    bool HasWideValues(std::int32_t row) const;
    // Slot s of row as stored; 0 for a slot outside 1..attributeCount.
    std::int32_t Value(std::int32_t row, std::int32_t s) const {
        if (s < 1 || s > attributeCount) return 0;
        const std::uint8_t code = RowCodes(row)[s - 1];
        return code != 0 || wide.empty() ? code : WideValueOf(row, s);
    }
    // The column of the value "Target" + id, or -1 when no example has it.
    std::int32_t ColumnOf(std::string_view id) const;
    // The non-empty text of row in column, or nullptr when it has none.
    const std::string* TextOf(std::int32_t column, std::int32_t row) const {
        if (column < 0) return nullptr;
        const auto& cells = columns[column];
        if (static_cast<std::size_t>(row) >= cells.size() || cells[row] < 0) return nullptr;
        return &texts[cells[row]];
    }

  private:
    std::int32_t WideValueOf(std::int32_t row, std::int32_t s) const;
};

// A value given for one target, to be stored under "Target" + Id.
struct RememberedValue {
    std::string Id;
    std::string Text;
};

// New examples that share their value names: example r's number for
// numberNames[i] is numbers[r * numberNames.size() + i], and its text for
// textNames[i] is texts[r * textNames.size() + i]. A zero number or an empty
// text is not stored.
struct ExampleBatch {
    std::vector<std::string> numberNames;
    std::vector<std::string> textNames;
    std::vector<std::int32_t> numbers;
    std::vector<std::string> texts;
    std::size_t rows = 0;
};

// The number of an example key ("Example12", as stored: lowered, no leading
// zeros), or 0 for any other name.
std::int64_t ExampleNumberOf(std::string_view lname);

// Fails (Corrupt) when the store holds an example key numbered above stored
// and at most stored + added: one left by an earlier program, whose old
// values would mix into a new example of that number.
Status CheckNoExampleKeysAbove(const Registry& registry, std::int32_t stored, std::int64_t added);

class NewExampleRows;

// The writer of new example keys in bulk (an import, a load), inside the
// caller's write group: each key is made with all its values in one
// statement, and its compact row is written with it, a few thousand rows at
// a time, so that memory stays bounded however many examples come. Until
// Finish the caller writes into no example key other than through Add (the
// triggers that mark changed examples are off meanwhile), and keys that are
// no examples only where no example key lies below them. Belongs to its
// Registry's thread.
class NewExampleKeys {
  public:
    explicit NewExampleKeys(Registry& registry);
    ~NewExampleKeys();
    NewExampleKeys(const NewExampleKeys&) = delete;
    NewExampleKeys& operator=(const NewExampleKeys&) = delete;

    // Ok when keys can be written; otherwise the writer must not go on.
    Status status() const;
    // Creates the key name below parent (its missing levels made) as example
    // number, with values: distinct lowered names, fastest in their order.
    // Fails when the key exists or a write fails; the write group must not
    // be committed then.
    Status Add(std::string_view parent, const Registry::EncodedName& name, std::int32_t number,
               const std::vector<Registry::NewValue>& values);
    // Writes the rows not written yet. On failure the group must not be committed.
    Status Finish();

  private:
    Registry& registry_;
    std::unique_ptr<NewExampleRows> rows_;
    std::size_t pending_ = 0;  // rows given to rows_
};

class ExampleStore {
  public:
    explicit ExampleStore(Registry& registry) : registry_(registry) {}
    ExampleStore(const ExampleStore&) = delete;
    ExampleStore& operator=(const ExampleStore&) = delete;

    // Reads "Count" and every example 1..Count of the store in one read
    // snapshot, for the attribute names of tables, exactly as reading their
    // values one by one would. A missing key or count reads as no examples;
    // an example number that has no key is skipped. Served from the compact
    // rows (CompactExamples): a store that can be written has the rows it
    // lacks or that went stale built first; otherwise those examples are read
    // from their values. On a failure examples is null and the result says
    // why: the read is whole or it is an error, never fewer examples.
    static Status Read(Registry& registry, const ConfigTables& tables,
                       std::shared_ptr<const StoredExamples>& examples);

    // Stores examples as new ones numbered after "Count" in their order, all
    // in one write group with their compact rows, and raises "Count".
    // Refused, with nothing stored: a name or text the store cannot hold or a
    // name given twice (InvalidInput), numbers past the largest, or a key left
    // above "Count" by an earlier program that would mix its old values into
    // a new example (Corrupt). *first (when given) is the first new number;
    // it is left alone when examples is empty.
    Status Append(const ExampleBatch& examples, std::int32_t* first = nullptr);

    // Remember: stores vector (slots 1..AttributeCount of tables, the non-zero
    // ones) and the non-empty values as an example in one write group, with
    // the compact rows brought up to date in the same group. A
    // fresh vector, or the first Remember of this object, gets the next
    // number after "Count" (taken under the write lock); otherwise the
    // example this object remembered last is written again (the same file
    // once more). "Count" is never lowered. On success *number (when given)
    // is the example's number; on failure nothing is stored and the result
    // names the target whose value was refused, or the store's failure.
    // fingerprint, when not empty, is stored as the example's file digest.
    Status Remember(const ConfigTables& tables, const AttributeSlots& vector, bool fresh,
                    const std::vector<RememberedValue>& values, std::int32_t* number = nullptr,
                    std::string_view fingerprint = {});

    // The file digests the examples 1..Count hold, each with the lowest
    // number of an example holding it, in one read. Examples stored without
    // one (by an earlier version, an import or a hand) have none.
    static Status ReadFingerprints(const Registry& registry,
                                   std::unordered_map<std::string, std::int32_t>& fingerprints);

  private:
    Registry& registry_;
    // The number of the example this object remembered last (0: none yet).
    std::int32_t lastRemembered_ = 0;
};

}  // namespace morvel
