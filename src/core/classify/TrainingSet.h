// TrainingSet: the examples of one target as the classifiers learn from them
// (the example table, each record with its class and Active flag) and the
// class counting they share (the class table, CountClasses).
//
// A classification run reads every stored example once (ExampleStore::Read)
// and hands the result to UseExamples; LoadExamples then serves one target
// after another from it. What was read stays read-only and may be shared
// with the training sets of other threads, so that batch workers read the
// store once between them: a record is the number of its row there, its
// spelling and class numbers and its Active flag, so a loaded target costs a
// few bytes per example. One object belongs to one thread. Tables keep
// 1-based positions (position 0 unused); they grow as needed, so no class and
// no record is ever dropped and nothing is written past a table.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/attributes/AttributeSlots.h"
#include "core/config/ConfigTables.h"
#include "core/examples/ExampleStore.h"

namespace morvel {

// One example loaded for the current target, as a whole (see Record).
struct ExampleRecord {
    // Slots 1..116 as stored (0 when absent); only slots up to the attribute
    // count are filled. A hand-edited store may hold any 32-bit number here.
    std::array<std::int32_t, ConfigTables::kMaxAttributes + 1> AttributeValues{};
    std::string TargetValue;  // never empty
    bool Active = false;      // the ID3 walk clears it to narrow its subset
};

struct ClassEntry {
    std::string ClassValue;
    std::int32_t Frequency = 0;
};

// Two class values are the same class when they are equal after leading and
// trailing blanks are removed and both are lowered through the code page.
bool SameClassValue(std::string_view a, std::string_view b);

// The text that stands for a class value's class: equal for two values exactly
// when SameClassValue holds for them.
std::string ClassKey(std::string_view value);

class TrainingSet {
  public:
    TrainingSet() = default;
    TrainingSet(const TrainingSet&) = delete;
    TrainingSet& operator=(const TrainingSet&) = delete;

    // Records 1..LoadedCount() are the examples of the current target in
    // increasing example-number order.
    std::int32_t LoadedCount() const { return loadedCount_; }
    // Record r (1..LoadedCount()): its slot codes (SlotCount() of them, slot 1
    // first), which hold each value of 0..255 as it is and 0 for any other;
    // whether it holds such other values (a hand-edited store); the value of
    // slot s as stored (0 outside 1..SlotCount()); its class value; whether
    // it is active.
    std::int32_t SlotCount() const { return source_->attributeCount; }
    const std::uint8_t* Codes(std::int32_t r) const { return source_->RowCodes(rowOf_[r]); }
    bool HasWideValues(std::int32_t r) const {
        return !source_->wide.empty() && source_->HasWideValues(rowOf_[r]);
    }
    // Whether any record may hold a value outside 0..255.
    bool MayHoldWideValues() const { return !source_->wide.empty(); }
    std::int32_t Value(std::int32_t r, std::int32_t s) const { return source_->Value(rowOf_[r], s); }
    const std::string& TargetValue(std::int32_t r) const { return spellings_[spellingOf_[r]]; }
    bool Active(std::int32_t r) const { return active_[r] != 0; }
    // Record r as a whole: slots past SlotCount() read 0.
    ExampleRecord Record(std::int32_t r) const;
    // Entries 1..ClassCount() are meaningful; entries above keep old content.
    const std::vector<ClassEntry>& ClassTable() const { return classTable_; }
    std::int32_t ClassCount() const { return classCount_; }

    // The examples LoadExamples serves targets from: every stored example as
    // one read of the example store found it (for the same configuration),
    // possibly shared with the training sets of other threads. An empty set
    // until the first call.
    void UseExamples(std::shared_ptr<const StoredExamples> examples);
    const std::shared_ptr<const StoredExamples>& Examples() const { return examples_; }

    // Fills the example table with the examples that hold a non-empty value
    // "Target" + the Id of target k (1..TargetCount), all active. A k outside
    // the table loads nothing.
    void LoadExamples(const ConfigTables& tables, std::int32_t k);

    // Starts an empty table, then appends one active record (for building
    // tables without a store). values holds slots 1..n (up to 116);
    // text must not be empty.
    void ClearExamples();
    void AddExample(const std::vector<std::int32_t>& values, std::string_view text);

    // Loads records (positions in from, in the order given) of what from has
    // loaded, all active, sharing its examples: a cross-validation's
    // training folds cost a few bytes per record. from must stay unchanged
    // while this set uses them.
    void LoadRecords(const TrainingSet& from, const std::vector<std::int32_t>& records);

    // The ID3 walk narrows its subset by clearing records' Active flags, and
    // sets them all again when it is done. A record outside 1..LoadedCount()
    // is left alone.
    void SetActive(std::int32_t r, bool active);
    void ActivateAll();

    // Puts the class entries in a new order: entry order[i] + 1 becomes entry
    // i + 1. order must be a permutation of 0..ClassCount()-1.
    void ReorderClasses(const std::vector<std::int32_t>& order);

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
        const auto it = spellingIds_.find(text);
        return it == spellingIds_.end() ? -1 : it->second;
    }
    std::int32_t ClassesLoaded() const { return static_cast<std::int32_t>(classKeys_.size()); }
    std::int32_t SpellingsLoaded() const { return static_cast<std::int32_t>(spellingClass_.size()); }

  private:
    void StartTable();
    // The spelling number of text, made when text is new.
    std::int32_t SpellingFor(std::string_view text);
    void AppendRecord(std::int32_t row, std::int32_t spelling);
    void SortAndCount();

    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };

    // Everything ExampleStore::Read read: rows in the order they arrived.
    std::shared_ptr<const StoredExamples> examples_ = std::make_shared<const StoredExamples>();
    // The examples the records are rows of: examples_, another set's, or
    // those added one by one (local_).
    std::shared_ptr<const StoredExamples> source_ = examples_;
    std::shared_ptr<StoredExamples> local_;

    // Per loaded record (1-based): its row in source_, spelling, class and flag.
    std::vector<std::int32_t> rowOf_{0};
    std::vector<std::int32_t> spellingOf_{0};
    std::vector<std::int32_t> classOf_{0};
    std::vector<std::uint8_t> active_{0};
    // Per spelling and class of this load.
    std::unordered_map<std::string, std::int32_t, TextHash, std::equal_to<>> spellingIds_;
    std::vector<std::string> spellings_;
    std::vector<std::int32_t> spellingClass_;
    std::unordered_map<std::string, std::int32_t> classIds_;
    std::vector<std::string> classKeys_;
    std::vector<std::int32_t> spellingOfText_;  // LoadExamples scratch: per text of the examples

    std::int32_t loadedCount_ = 0;
    std::vector<ClassEntry> classTable_{1};
    std::int32_t classCount_ = 0;

    // CountClasses scratch: per class, the pass that last met it and its entry.
    std::vector<std::uint32_t> seenIn_;
    std::vector<std::int32_t> entryOf_;
    std::uint32_t pass_ = 0;
};

}  // namespace morvel
