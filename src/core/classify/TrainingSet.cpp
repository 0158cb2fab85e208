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
    classOf_.resize(1);
    spellingOf_.resize(1);
    spellingIds_.clear();
    spellingClass_.clear();
    classIds_.clear();
    classKeys_.clear();
}

void TrainingSet::AppendRecord(std::string_view text) {
    auto spelling = spellingIds_.find(std::string(text));
    if (spelling == spellingIds_.end()) {
        std::string key = ClassKey(text);
        auto cls = classIds_.find(key);
        if (cls == classIds_.end()) {
            cls = classIds_.emplace(key, static_cast<std::int32_t>(classKeys_.size())).first;
            classKeys_.push_back(std::move(key));
        }
        spelling = spellingIds_.emplace(text, static_cast<std::int32_t>(spellingClass_.size())).first;
        spellingClass_.push_back(cls->second);
    }
    spellingOf_.push_back(spelling->second);
    classOf_.push_back(spellingClass_[spelling->second]);
}

void TrainingSet::LoadExamples(const ConfigTables& tables, std::int32_t k) {
    StartTable();
    if (k < 1 || k > tables.TargetCount) return;
    const StoredExamples& s = *examples_;
    const std::int32_t column = s.ColumnOf(tables.TargetTable[k].Id);
    if (column < 0) return;
    for (const std::int32_t row : s.order) {
        const std::string* text = s.TextOf(column, row);
        if (!text) continue;
        const std::int32_t r = ++loadedCount_;
        if (exampleTable_.size() <= static_cast<std::size_t>(r)) exampleTable_.emplace_back();
        ExampleRecord& record = exampleTable_[r];
        const std::int32_t* values = s.RowValues(row);
        std::copy(values, values + s.attributeCount, record.AttributeValues.begin() + 1);
        std::fill(record.AttributeValues.begin() + 1 + s.attributeCount, record.AttributeValues.end(), 0);
        record.TargetValue = *text;
        record.Active = true;
        AppendRecord(record.TargetValue);
    }
}

void TrainingSet::ClearExamples() { StartTable(); }

void TrainingSet::SetActive(std::int32_t r, bool active) {
    if (r >= 1 && r <= loadedCount_) exampleTable_[r].Active = active;
}

void TrainingSet::ActivateAll() {
    for (std::int32_t r = 1; r <= loadedCount_; ++r) exampleTable_[r].Active = true;
}

void TrainingSet::AddExample(const std::vector<std::int32_t>& values, std::string text) {
    const std::int32_t r = ++loadedCount_;
    if (exampleTable_.size() <= static_cast<std::size_t>(r)) exampleTable_.emplace_back();
    ExampleRecord& record = exampleTable_[r];
    record.AttributeValues.fill(0);
    const auto n = std::min(values.size(), record.AttributeValues.size() - 1);
    std::copy(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(n),
              record.AttributeValues.begin() + 1);
    record.TargetValue = std::move(text);
    record.Active = true;
    AppendRecord(record.TargetValue);
}

void TrainingSet::AddExample(const ExampleRecord& from) {
    const std::int32_t r = ++loadedCount_;
    if (exampleTable_.size() <= static_cast<std::size_t>(r)) exampleTable_.emplace_back();
    ExampleRecord& record = exampleTable_[r];
    record.AttributeValues = from.AttributeValues;
    record.TargetValue = from.TargetValue;
    record.Active = true;
    AppendRecord(record.TargetValue);
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
        const ExampleRecord& record = exampleTable_[r];
        if (!record.Active || (!all && record.AttributeValues[slot] != value)) continue;
        const std::int32_t c = classOf_[r];
        if (seenIn_[c] == pass_) {
            ++classTable_[entryOf_[c]].Frequency;
            continue;
        }
        seenIn_[c] = pass_;
        entryOf_[c] = ++classCount_;
        if (classTable_.size() <= static_cast<std::size_t>(classCount_)) classTable_.emplace_back();
        classTable_[classCount_].ClassValue = record.TargetValue;
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
