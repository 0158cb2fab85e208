#include "core/classify/modClass.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

namespace {

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};

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

std::string ExamplesKeyPath() { return std::string(Registry::kBaseKey) + "\\Examples"; }

std::int32_t StoredExamples::ColumnOf(std::string_view id) const {
    const auto column = targetColumns.find(codepage::LoweredAnsi("Target" + std::string(id)));
    return column == targetColumns.end() ? -1 : column->second;
}

void modClass::UseExamples(std::shared_ptr<const StoredExamples> examples) {
    examples_ = std::move(examples);
    StoredExampleCount = examples_->storedCount;
}

void modClass::ReadExamples(const Registry& registry, const modMain& state) {
    auto fresh = std::make_shared<StoredExamples>();
    StoredExamples& s = *fresh;
    s.attributeCount = std::clamp(state.AttributeCount, 0, modMain::kMaxAttributes);
    std::unordered_map<std::string, std::vector<std::int32_t>, TextHash, std::equal_to<>> slotsByName;
    for (std::int32_t slot = 1; slot <= s.attributeCount; ++slot)
        slotsByName[codepage::LoweredAnsi(state.AttributeNames[slot])].push_back(slot);

    const Registry::ReadSnapshot read(registry);
    const std::string path = ExamplesKeyPath();
    s.storedCount = std::max(registry.GetKeyNumber(path, "Count"), 0);
    StoredExampleCount = s.storedCount;

    // What a value name means: the slots it fills, and whether it holds the
    // class of a target (its column). Names come in the same order in most
    // keys, so the name met at the same place in the previous key is tried
    // before the table.
    struct NameUse {
        const std::vector<std::int32_t>* slots = nullptr;
        std::int32_t column = -1;
    };
    std::unordered_map<std::string, NameUse, TextHash, std::equal_to<>> names;
    std::vector<std::pair<std::string_view, const NameUse*>> namesByPlace;
    auto useOf = [&](std::string_view lname, std::size_t place) -> const NameUse& {
        if (place < namesByPlace.size() && namesByPlace[place].first == lname)
            return *namesByPlace[place].second;
        auto it = names.find(lname);
        if (it == names.end()) {
            NameUse use;
            if (auto slots = slotsByName.find(lname); slots != slotsByName.end()) use.slots = &slots->second;
            if (lname.starts_with("target")) {
                use.column = static_cast<std::int32_t>(s.columns.size());
                s.columns.emplace_back();
                s.targetColumns.emplace(lname, use.column);
            }
            it = names.emplace(lname, use).first;
        }
        if (place >= namesByPlace.size()) namesByPlace.resize(place + 1);
        namesByPlace[place] = {it->first, &it->second};
        return it->second;
    };

    std::unordered_map<std::string, std::int32_t, TextHash, std::equal_to<>> textIds;
    std::int64_t lastKey = -1;
    std::int32_t row = -1;
    std::size_t place = 0;
    std::string rawText;
    std::string decoded;
    // The stream gives each key's values together, so each key is met once.
    registry.ForEachSubkeyValue(path, [&](const Registry::StreamedValue& value) {
        if (value.subkeyId != lastKey) {
            lastKey = value.subkeyId;
            place = 0;
            const std::int64_t number = ExampleNumberOf(value.subkeyLname);
            row = number >= 1 && number <= StoredExampleCount ? static_cast<std::int32_t>(s.numbers.size())
                                                              : -1;
            if (row >= 0) {
                s.numbers.push_back(static_cast<std::int32_t>(number));
                s.values.resize(s.values.size() + s.attributeCount, 0);
            }
        }
        if (row < 0) return;
        const NameUse& use = useOf(value.lname, place++);
        if (use.slots) {
            const std::int32_t number = Registry::NumberOf(value.type, value.data);
            for (const std::int32_t slot : *use.slots)
                s.values[static_cast<std::size_t>(row) * s.attributeCount + slot - 1] = number;
        }
        // Only text and number values can read as a non-empty text.
        if (use.column < 0 || (value.type != Registry::kTypeText && value.type != Registry::kTypeNumber))
            return;
        rawText.assign(1, static_cast<char>(value.type));
        rawText.append(value.data);
        auto text = textIds.find(rawText);
        if (text == textIds.end()) {
            decoded.clear();
            Registry::TextOf(value.type, value.data, decoded);
            const auto id = decoded.empty() ? -1 : static_cast<std::int32_t>(s.texts.size());
            if (id >= 0) s.texts.push_back(decoded);
            text = textIds.emplace(rawText, id).first;
        }
        if (text->second < 0) return;
        auto& texts = s.columns[use.column];
        if (texts.size() <= static_cast<std::size_t>(row)) texts.resize(s.numbers.size(), -1);
        texts[row] = text->second;
    });

    s.order.resize(s.numbers.size());
    for (std::size_t i = 0; i < s.order.size(); ++i) s.order[i] = static_cast<std::int32_t>(i);
    std::sort(s.order.begin(), s.order.end(),
              [&](std::int32_t a, std::int32_t b) { return s.numbers[a] < s.numbers[b]; });
    examples_ = std::move(fresh);
}

void modClass::StartTable() {
    LoadedCount = 0;
    classOf_.resize(1);
    spellingOf_.resize(1);
    spellingIds_.clear();
    spellingClass_.clear();
    classIds_.clear();
    classKeys_.clear();
}

void modClass::AppendRecord(std::string_view text) {
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

void modClass::LoadExamples(const modMain& state, std::int32_t k) {
    StartTable();
    if (k < 1 || k > state.TargetCount) return;
    const StoredExamples& s = *examples_;
    const std::int32_t column = s.ColumnOf(state.TargetTable[k].Id);
    if (column < 0) return;
    for (const std::int32_t row : s.order) {
        const std::string* text = s.TextOf(column, row);
        if (!text) continue;
        const std::int32_t r = ++LoadedCount;
        if (ExampleTable.size() <= static_cast<std::size_t>(r)) ExampleTable.emplace_back();
        ExampleRecord& record = ExampleTable[r];
        const std::int32_t* values = s.RowValues(row);
        std::copy(values, values + s.attributeCount, record.AttributeValues.begin() + 1);
        std::fill(record.AttributeValues.begin() + 1 + s.attributeCount, record.AttributeValues.end(), 0);
        record.TargetValue = *text;
        record.Active = true;
        AppendRecord(record.TargetValue);
    }
}

void modClass::ClearExamples() { StartTable(); }

void modClass::AddExample(const std::vector<std::int32_t>& values, std::string text) {
    const std::int32_t r = ++LoadedCount;
    if (ExampleTable.size() <= static_cast<std::size_t>(r)) ExampleTable.emplace_back();
    ExampleRecord& record = ExampleTable[r];
    record.AttributeValues.fill(0);
    const auto n = std::min(values.size(), record.AttributeValues.size() - 1);
    std::copy(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(n),
              record.AttributeValues.begin() + 1);
    record.TargetValue = std::move(text);
    record.Active = true;
    AppendRecord(record.TargetValue);
}

void modClass::AddExample(const ExampleRecord& from) {
    const std::int32_t r = ++LoadedCount;
    if (ExampleTable.size() <= static_cast<std::size_t>(r)) ExampleTable.emplace_back();
    ExampleRecord& record = ExampleTable[r];
    record.AttributeValues = from.AttributeValues;
    record.TargetValue = from.TargetValue;
    record.Active = true;
    AppendRecord(record.TargetValue);
}

double modClass::CountClasses(std::int32_t slot, std::int32_t value) {
    ClassCount = 0;
    const bool all = slot < 1 || value < 1;
    if (!all && slot > modMain::kMaxAttributes) return 0.0;
    if (++pass_ == 0) {
        std::fill(seenIn_.begin(), seenIn_.end(), 0);
        pass_ = 1;
    }
    seenIn_.resize(classKeys_.size(), 0);
    entryOf_.resize(classKeys_.size(), 0);
    for (std::int32_t r = LoadedCount; r >= 1; --r) {
        const ExampleRecord& record = ExampleTable[r];
        if (!record.Active || (!all && record.AttributeValues[slot] != value)) continue;
        const std::int32_t c = classOf_[r];
        if (seenIn_[c] == pass_) {
            ++ClassTable[entryOf_[c]].Frequency;
            continue;
        }
        seenIn_[c] = pass_;
        entryOf_[c] = ++ClassCount;
        if (ClassTable.size() <= static_cast<std::size_t>(ClassCount)) ClassTable.emplace_back();
        ClassTable[ClassCount].ClassValue = record.TargetValue;
        ClassTable[ClassCount].Frequency = 1;
    }
    SortAndCount();

    double h = 0;
    if (ClassCount > 1) {
        for (std::int32_t i = 1; i <= ClassCount; ++i) {
            const double p = static_cast<double>(ClassTable[i].Frequency) / LoadedCount;
            h = h - p * std::log(p) / std::log(ClassCount);
        }
    }
    return h;
}

void modClass::SortAndCount() {
    if (ClassCount < 2) return;
    std::vector<std::int32_t> frequencies(ClassCount);
    for (std::int32_t i = 0; i < ClassCount; ++i) frequencies[i] = ClassTable[i + 1].Frequency;
    const auto order = SwapSortOrder(frequencies);
    std::vector<ClassEntry> sorted(ClassCount);
    for (std::int32_t i = 0; i < ClassCount; ++i) sorted[i] = std::move(ClassTable[order[i] + 1]);
    std::move(sorted.begin(), sorted.end(), ClassTable.begin() + 1);
}

Status modClass::RememberExample(Registry& registry, const modMain& state, const AttributeSlots& vector,
                                 bool& attributesFresh, const std::vector<RememberedValue>& values,
                                 std::int32_t* number) {
    for (const auto& v : values) {
        if (codepage::ToAnsi(v.Text).size() > Registry::kMaxValueBytes)
            return Status::Error("The value for target \"" + v.Id +
                                 "\" is longer than 1024 characters; nothing was stored.");
    }
    Registry::WriteGroup group(registry);
    const std::string examples = ExamplesKeyPath();
    // Read under the write lock: no other program can take the same number.
    const std::int32_t stored = std::max(registry.GetKeyNumber(examples, "Count"), 0);
    std::int32_t example = lastRemembered_;
    if (attributesFresh || example == 0) {
        if (stored == std::numeric_limits<std::int32_t>::max())
            return Status::Error("The store holds the largest possible example number; nothing was stored.");
        example = stored + 1;
    }
    const std::int32_t count = std::max(stored, example);
    registry.CurrentKeyPath = examples;
    registry.OpenKey();
    registry.SetKeyNumber("Count", count);
    registry.CurrentKeyPath = examples + "\\Example" + std::to_string(example);
    registry.OpenKey();
    const std::int32_t attributeCount = std::clamp(state.AttributeCount, 0, modMain::kMaxAttributes);
    for (std::int32_t slot = 1; slot <= attributeCount; ++slot)
        if (vector[slot] != 0) registry.SetKeyNumber(state.AttributeNames[slot], vector[slot]);
    for (const auto& v : values)
        if (!v.Text.empty()) registry.SetKeyText("Target" + v.Id, v.Text);
    if (Status s = group.Commit(); !s) return s;

    attributesFresh = false;
    lastRemembered_ = example;
    StoredExampleCount = count;
    if (number) *number = example;
    return Status::Ok();
}

}  // namespace morvel
