// modClass: the classification state shared by the example store and the
// classifiers: the examples loaded for one target, the class table, and the
// example numbering of Remember.
//
// One instance per running program (tests build their own); it belongs to one
// thread. A classification run calls ReadExamples once, which reads every
// stored example in one pass, and then LoadExamples once per target, which
// serves that target from what was read. What was read is kept read-only
// (StoredExamples) and may be shared with the modClass objects of other
// threads (UseExamples), so that batch workers read the store once between
// them. Tables keep 1-based positions (position 0 unused); they grow as
// needed, so no class and no record is ever dropped and nothing is written
// past a table.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/attributes/FileExaminer.h"
#include "core/platform/Status.h"
#include "core/store/Registry.h"
#include "core/store/modMain.h"

namespace morvel {

// One example loaded for the current target.
struct ExampleRecord {
    // Slots 1..116 as stored (0 when absent); only slots up to the attribute
    // count are filled. A hand-edited store may hold any 32-bit number here.
    std::array<std::int32_t, modMain::kMaxAttributes + 1> AttributeValues{};
    std::string TargetValue;  // never empty
    bool Active = false;      // the ID3 walk clears it to narrow its subset
};

struct ClassEntry {
    std::string ClassValue;
    std::int32_t Frequency = 0;
};

// A value typed for one target, to be stored by Remember under "Target" + Id.
struct RememberedValue {
    std::string Id;
    std::string Text;
};

// Two class values are the same class when they are equal after leading and
// trailing blanks are removed and both are lowered through the code page.
bool SameClassValue(std::string_view a, std::string_view b);

// The text that stands for a class value's class: equal for two values exactly
// when SameClassValue holds for them.
std::string ClassKey(std::string_view value);

// base key + "\Examples"
std::string ExamplesKeyPath();

// Example key names are "example" and a number without leading zeros (lname
// is lowered, as stored). Returns the number, or 0 for any other name.
std::int64_t ExampleNumberOf(std::string_view lname);

// Every stored example as one read found it: the values of the attribute
// names of the configuration it was read for, and the text of every value
// whose name starts with "Target". Never changed after reading, so any number
// of threads may read one object at once.
struct StoredExamples {
    std::int32_t storedCount = 0;       // "Count" of the store (0 when absent or negative)
    std::int32_t attributeCount = 0;    // slots per row
    std::vector<std::int32_t> numbers;  // example number of each row
    std::vector<std::int32_t> order;    // rows in increasing example number
    std::vector<std::int32_t> values;   // attributeCount values per row (slot 1 first)
    // Lowered value name "target..." -> column; per column and row, the
    // index of the row's text in texts, or -1 when it has none. A column may
    // be shorter than the rows: rows past its end have no text.
    std::unordered_map<std::string, std::int32_t> targetColumns;
    std::vector<std::vector<std::int32_t>> columns;
    std::vector<std::string> texts;

    std::int32_t Rows() const { return static_cast<std::int32_t>(numbers.size()); }
    // Slot s (1..attributeCount) of row is RowValues(row)[s - 1].
    const std::int32_t* RowValues(std::int32_t row) const {
        return values.data() + static_cast<std::size_t>(row) * attributeCount;
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
};

class modClass {
  public:
    modClass() = default;
    modClass(const modClass&) = delete;
    modClass& operator=(const modClass&) = delete;

    // Records 1..LoadedCount are the examples of the current target in
    // increasing example-number order; positions above are leftovers.
    std::vector<ExampleRecord> ExampleTable{1};
    std::int32_t LoadedCount = 0;
    // The stored "Count" as read at the start of the run; Remember updates it.
    std::int32_t StoredExampleCount = 0;
    // Entries 1..ClassCount are meaningful; entries above keep old content.
    std::vector<ClassEntry> ClassTable{1};
    std::int32_t ClassCount = 0;

    // Reads "Count" and every example 1..Count of the store in one read
    // snapshot, for the attribute names of state. A missing key or count
    // reads as no examples; an example number that has no key is skipped.
    void ReadExamples(const Registry& registry, const modMain& state);

    // What ReadExamples read (an empty set before the first read), to share.
    std::shared_ptr<const StoredExamples> Examples() const { return examples_; }
    // Serves LoadExamples from examples (read by another modClass for the same
    // configuration) and takes StoredExampleCount from it.
    void UseExamples(std::shared_ptr<const StoredExamples> examples);

    // Fills ExampleTable with the examples read by ReadExamples that hold a
    // non-empty value "Target" + the Id of target k (1..TargetCount), all
    // active. A k outside the table loads nothing.
    void LoadExamples(const modMain& state, std::int32_t k);

    // Starts an empty table, then appends one active record (for building
    // tables without a store). values holds slots 1..n; text must not be empty.
    void ClearExamples();
    void AddExample(const std::vector<std::int32_t>& values, std::string text);
    // Appends a copy of record's values and text as an active record.
    void AddExample(const ExampleRecord& record);

    // Counts the classes of the active records into ClassTable, only of those
    // whose slot holds value when both are 1 or more, sorts it by frequency
    // largest first (equal frequencies as the exchange sort leaves them), and
    // returns the normalized entropy: each class's frequency is divided by
    // LoadedCount, logarithms are to the base ClassCount, 0 for under 2
    // classes. A class is spelled as in its highest-numbered counted record.
    double CountClasses(std::int32_t slot, std::int32_t value);

    // Per loaded record r (1..LoadedCount): the number of its class (records
    // of one class by SameClassValue share it; 0..ClassesLoaded()-1) and of
    // its exact spelling (0..SpellingsLoaded()-1).
    std::int32_t ClassOf(std::int32_t r) const { return classOf_[r]; }
    std::int32_t SpellingOf(std::int32_t r) const { return spellingOf_[r]; }
    // The spelling number of a text that some loaded record holds exactly, or -1.
    std::int32_t SpellingIdOf(std::string_view text) const {
        const auto it = spellingIds_.find(std::string(text));
        return it == spellingIds_.end() ? -1 : it->second;
    }
    std::int32_t ClassesLoaded() const { return static_cast<std::int32_t>(classKeys_.size()); }
    std::int32_t SpellingsLoaded() const { return static_cast<std::int32_t>(spellingClass_.size()); }

    // Stores vector (slots 1..AttributeCount of state, the non-zero ones) and
    // the non-empty values as an example, all in one write group. When
    // attributesFresh is set, or nothing was remembered yet, the example gets
    // the next number after the stored "Count", taken under the store's write
    // lock so that two running programs never share a number; otherwise it
    // rewrites the example this object remembered last (the same file again).
    // "Count" is never lowered. On success attributesFresh is cleared,
    // StoredExampleCount is the stored count and *number (when given) the
    // example's number. On failure nothing is stored, nothing here changes and
    // the message says why.
    Status RememberExample(Registry& registry, const modMain& state, const AttributeSlots& vector,
                           bool& attributesFresh, const std::vector<RememberedValue>& values,
                           std::int32_t* number = nullptr);

  private:
    void StartTable();
    void AppendRecord(std::string_view text);
    void SortAndCount();

    // Everything ReadExamples read: rows in the order they arrived.
    std::shared_ptr<const StoredExamples> examples_ = std::make_shared<const StoredExamples>();

    // Per loaded record (1-based) and per spelling and class of this load.
    std::vector<std::int32_t> classOf_{0};
    std::vector<std::int32_t> spellingOf_{0};
    std::unordered_map<std::string, std::int32_t> spellingIds_;
    std::vector<std::int32_t> spellingClass_;
    std::unordered_map<std::string, std::int32_t> classIds_;
    std::vector<std::string> classKeys_;

    // CountClasses scratch: per class, the pass that last met it and its entry.
    std::vector<std::uint32_t> seenIn_;
    std::vector<std::int32_t> entryOf_;
    std::uint32_t pass_ = 0;

    std::int32_t lastRemembered_ = 0;
};

}  // namespace morvel
