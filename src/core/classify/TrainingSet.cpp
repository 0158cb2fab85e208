#include "core/classify/TrainingSet.h"

#include <algorithm>
#include <cmath>

#include "core/classify/SwapSort.h"
#include "core/platform/CodePage.h"

namespace morvel {
namespace {

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Lowers one character (a UTF-8 sequence) through the code page when the code
// page has it, and keeps it as it is otherwise.
void AppendLoweredCharacter(std::string_view character, std::string& out) {
    const std::string ansi = codepage::ToAnsi(character);
    if (ansi.size() == 1 && (ansi != "?" || character == "?")) {
        out += codepage::FromAnsi(std::string(1, static_cast<char>(codepage::LowerByte(ansi[0]))));
    } else {
        out += character;
    }
}

}  // namespace

bool SameClassValue(std::string_view a, std::string_view b) { return ClassKey(a) == ClassKey(b); }

std::string ClassKey(std::string_view value) {
    const std::string_view text = TrimBlanks(value);
    const std::string ansi = codepage::ToAnsi(text);
    if (codepage::FromAnsi(ansi) == text) return codepage::FromAnsi(codepage::LowerAnsi(ansi));
    std::string key;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = 1;
        while (i + length < text.size() && (static_cast<std::uint8_t>(text[i + length]) & 0xC0) == 0x80)
            ++length;
        AppendLoweredCharacter(text.substr(i, length), key);
        i += length;
    }
    return key;
}

void TrainingSet::UseExamples(std::shared_ptr<const StoredExamples> examples) {
    examples_ = std::move(examples);
}

void TrainingSet::StartTable() {
    loadedCount_ = 0;
    rowOf_.resize(1);
    spellingOf_.resize(1);
    classOf_.resize(1);
    active_.resize(1);
    spellingIds_.clear();
    spellings_.clear();
    spellingClass_.clear();
    classIds_.clear();
    classKeys_.clear();
}

std::int32_t TrainingSet::SpellingFor(std::string_view text) {
    auto spelling = spellingIds_.find(text);
    if (spelling != spellingIds_.end()) return spelling->second;
    std::string key = ClassKey(text);
    auto cls = classIds_.find(key);
    if (cls == classIds_.end()) {
        cls = classIds_.emplace(key, static_cast<std::int32_t>(classKeys_.size())).first;
        classKeys_.push_back(std::move(key));
    }
    const auto id = static_cast<std::int32_t>(spellings_.size());
    spellings_.emplace_back(text);
    spellingClass_.push_back(cls->second);
    spellingIds_.emplace(spellings_.back(), id);
    return id;
}

void TrainingSet::AppendRecord(std::int32_t row, std::int32_t spelling) {
    ++loadedCount_;
    rowOf_.push_back(row);
    spellingOf_.push_back(spelling);
    classOf_.push_back(spellingClass_[spelling]);
    active_.push_back(1);
}

void TrainingSet::LoadExamples(const ConfigTables& tables, std::int32_t k) {
    StartTable();
    source_ = examples_;
    if (k < 1 || k > tables.TargetCount) return;
    const StoredExamples& s = *examples_;
    const std::int32_t column = s.ColumnOf(tables.TargetTable[k].Id);
    if (column < 0) return;
    const auto& cells = s.columns[column];
    std::size_t count = 0;
    for (const std::int32_t cell : cells) count += cell >= 0;
    for (auto* table : {&rowOf_, &spellingOf_, &classOf_}) table->reserve(count + 1);
    active_.reserve(count + 1);
    spellingOfText_.assign(s.texts.size(), -1);
    for (const std::int32_t row : s.order) {
        if (static_cast<std::size_t>(row) >= cells.size() || cells[row] < 0) continue;
        std::int32_t& spelling = spellingOfText_[cells[row]];
        if (spelling < 0) spelling = SpellingFor(s.texts[cells[row]]);
        AppendRecord(row, spelling);
    }
}

void TrainingSet::LoadRecords(const TrainingSet& from, const std::vector<std::int32_t>& records) {
    StartTable();
    source_ = from.source_;
    for (auto* table : {&rowOf_, &spellingOf_, &classOf_}) table->reserve(records.size() + 1);
    active_.reserve(records.size() + 1);
    std::vector<std::int32_t> spellingOfFrom(from.spellings_.size(), -1);
    for (const std::int32_t r : records) {
        std::int32_t& spelling = spellingOfFrom[from.spellingOf_[r]];
        if (spelling < 0) spelling = SpellingFor(from.TargetValue(r));
        AppendRecord(from.rowOf_[r], spelling);
    }
}

void TrainingSet::ClearExamples() {
    StartTable();
    local_.reset();
    source_ = examples_;
}

void TrainingSet::SetActive(std::int32_t r, bool active) {
    if (r >= 1 && r <= loadedCount_) active_[r] = active ? 1 : 0;
}

void TrainingSet::ActivateAll() { std::fill(active_.begin() + 1, active_.end(), 1); }

void TrainingSet::AddExample(const std::vector<std::int32_t>& values, std::string_view text) {
    if (!local_ || source_ != local_) {
        // Records added one by one get a table of their own, which takes the
        // records loaded before along.
        auto local = std::make_shared<StoredExamples>();
        local->attributeCount = ConfigTables::kMaxAttributes;
        for (std::int32_t r = 1; r <= loadedCount_; ++r) {
            local->numbers.push_back(r);
            for (std::int32_t slot = 1; slot <= local->attributeCount; ++slot) {
                const std::int32_t v = Value(r, slot);
                local->codes.push_back(v >= 0 && v <= 255 ? static_cast<std::uint8_t>(v) : 0);
                if (v < 0 || v > 255) local->wide.push_back({r - 1, slot, v});
            }
            rowOf_[r] = r - 1;
        }
        local_ = std::move(local);
        source_ = local_;
    }
    StoredExamples& local = *local_;
    const auto row = static_cast<std::int32_t>(local.numbers.size());
    local.numbers.push_back(row + 1);
    local.codes.resize(local.codes.size() + local.attributeCount, 0);
    std::uint8_t* codes = local.codes.data() + static_cast<std::size_t>(row) * local.attributeCount;
    const auto n = std::min<std::size_t>(values.size(), local.attributeCount);
    for (std::size_t s = 0; s < n; ++s) {
        const std::int32_t v = values[s];
        if (v >= 0 && v <= 255) {
            codes[s] = static_cast<std::uint8_t>(v);
        } else {
            local.wide.push_back({row, static_cast<std::int32_t>(s) + 1, v});
        }
    }
    AppendRecord(row, SpellingFor(text));
}

ExampleRecord TrainingSet::Record(std::int32_t r) const {
    ExampleRecord record;
    for (std::int32_t s = 1; s <= std::min(SlotCount(), ConfigTables::kMaxAttributes); ++s)
        record.AttributeValues[s] = Value(r, s);
    record.TargetValue = TargetValue(r);
    record.Active = Active(r);
    return record;
}

double TrainingSet::CountClasses(std::int32_t slot, std::int32_t value) {
    classCount_ = 0;
    const bool all = slot < 1 || value < 1;
    if (!all && slot > ConfigTables::kMaxAttributes) return 0.0;
    if (++pass_ == 0) {
        std::fill(seenIn_.begin(), seenIn_.end(), 0);
        pass_ = 1;
    }
    seenIn_.resize(classKeys_.size(), 0);
    entryOf_.resize(classKeys_.size(), 0);
    for (std::int32_t r = loadedCount_; r >= 1; --r) {
        if (!active_[r] || (!all && Value(r, slot) != value)) continue;
        const std::int32_t c = classOf_[r];
        if (seenIn_[c] == pass_) {
            ++classTable_[entryOf_[c]].Frequency;
            continue;
        }
        seenIn_[c] = pass_;
        entryOf_[c] = ++classCount_;
        if (classTable_.size() <= static_cast<std::size_t>(classCount_)) classTable_.emplace_back();
        classTable_[classCount_].ClassValue = TargetValue(r);
        classTable_[classCount_].Frequency = 1;
    }
    SortAndCount();

    double h = 0;
    if (classCount_ > 1) {
        for (std::int32_t i = 1; i <= classCount_; ++i) {
            const double p = static_cast<double>(classTable_[i].Frequency) / loadedCount_;
            h = h - p * std::log(p) / std::log(classCount_);
        }
    }
    return h;
}

void TrainingSet::SortAndCount() {
    if (classCount_ < 2) return;
    std::vector<std::int32_t> frequencies(classCount_);
    for (std::int32_t i = 0; i < classCount_; ++i) frequencies[i] = classTable_[i + 1].Frequency;
    ReorderClasses(SwapSortOrder(frequencies));
}

void TrainingSet::ReorderClasses(const std::vector<std::int32_t>& order) {
    std::vector<ClassEntry> sorted(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) sorted[i] = std::move(classTable_[order[i] + 1]);
    std::move(sorted.begin(), sorted.end(), classTable_.begin() + 1);
}

}  // namespace morvel
