#include "core/store/ExampleStore.h"

#include <algorithm>
#include <limits>

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

std::int32_t StoredExamples::ColumnOf(std::string_view id) const {
    const auto column =
        targetColumns.find(codepage::LoweredAnsi(std::string(kTargetPrefix) + std::string(id)));
    return column == targetColumns.end() ? -1 : column->second;
}

std::shared_ptr<const StoredExamples> ExampleStore::Read(const Registry& registry,
                                                         const ConfigTables& tables) {
    auto fresh = std::make_shared<StoredExamples>();
    StoredExamples& s = *fresh;
    s.attributeCount = std::clamp(tables.AttributeCount, 0, ConfigTables::kMaxAttributes);
    std::unordered_map<std::string, std::vector<std::int32_t>, TextHash, std::equal_to<>> slotsByName;
    for (std::int32_t slot = 1; slot <= s.attributeCount; ++slot)
        slotsByName[codepage::LoweredAnsi(tables.AttributeNames[slot])].push_back(slot);

    const std::string targetPrefix = codepage::LoweredAnsi(kTargetPrefix);
    const Registry::ReadSnapshot read(registry);
    const std::string path = ExamplesKeyPath();
    s.storedCount = std::max(registry.GetKeyNumber(path, kCountValue), 0);

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
            if (lname.starts_with(targetPrefix)) {
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
            row = number >= 1 && number <= s.storedCount ? static_cast<std::int32_t>(s.numbers.size()) : -1;
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
    return fresh;
}

void ExampleStore::WriteExample(std::int32_t number, const ExampleBatch& examples, std::size_t row) {
    const std::string key = ExampleKeyPath(number);
    registry_.OpenKey(key);
    const std::size_t numbers = examples.numberNames.size(), texts = examples.textNames.size();
    for (std::size_t i = 0; i < numbers; ++i)
        if (const std::int32_t value = examples.numbers[row * numbers + i]; value != 0)
            registry_.SetKeyNumber(key, examples.numberNames[i], value);
    for (std::size_t i = 0; i < texts; ++i)
        if (const std::string& text = examples.texts[row * texts + i]; !text.empty())
            registry_.SetKeyText(key, examples.textNames[i], text);
}

Status ExampleStore::Append(const ExampleBatch& examples, std::int32_t* first) {
    if (examples.rows == 0) return Status::Ok();
    if (examples.numbers.size() != examples.rows * examples.numberNames.size() ||
        examples.texts.size() != examples.rows * examples.textNames.size())
        return Status::InvalidInput("the examples do not fill their table");
    // A text the store cannot hold fails its write, and with it the group:
    // nothing is stored.

    Registry::WriteGroup group(registry_);
    const std::string path = ExamplesKeyPath();
    // Read under the write lock: no other program takes these numbers meanwhile.
    const std::int32_t stored = std::max(registry_.GetKeyNumber(path, kCountValue), 0);
    if (examples.rows > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() - stored))
        return Status::InvalidInput("the store cannot number that many more examples");
    const auto added = static_cast<std::int32_t>(examples.rows);
    // A key above "Count" left by an earlier program would mix its old values
    // into a new example; such a store is refused rather than changed.
    for (const std::string& name : registry_.SubkeyNames(path)) {
        const std::int64_t n = ExampleNumberOf(codepage::LoweredAnsi(name));
        if (n > stored && n <= static_cast<std::int64_t>(stored) + added)
            return Status::Corrupt("the store already holds a key " + name + " above its example count " +
                                   std::to_string(stored));
    }
    for (std::int32_t i = 0; i < added; ++i)
        WriteExample(stored + 1 + i, examples, static_cast<std::size_t>(i));
    registry_.SetKeyNumber(path, kCountValue, stored + added);
    if (Status s = group.Commit(); !s) return s;
    if (first) *first = stored + 1;
    return Status::Ok();
}

Status ExampleStore::Remember(const ConfigTables& tables, const AttributeSlots& vector, bool fresh,
                              const std::vector<RememberedValue>& values, std::int32_t* number) {
    ExampleBatch example;
    example.rows = 1;
    const std::int32_t attributeCount = std::clamp(tables.AttributeCount, 0, ConfigTables::kMaxAttributes);
    for (std::int32_t s = 1; s <= attributeCount; ++s) {
        example.numberNames.push_back(tables.AttributeNames[s]);
        example.numbers.push_back(vector[s]);
    }
    for (const auto& v : values) {
        if (Status s = Registry::CheckText("the value for target \"" + v.Id + "\"", v.Text); !s)
            return s.Prefixed("nothing was stored: ");
        example.textNames.push_back(std::string(kTargetPrefix) + v.Id);
        example.texts.push_back(v.Text);
    }

    Registry::WriteGroup group(registry_);
    const std::string path = ExamplesKeyPath();
    // Read under the write lock: no other program can take the same number.
    const std::int32_t stored = std::max(registry_.GetKeyNumber(path, kCountValue), 0);
    std::int32_t target = lastRemembered_;
    if (fresh || target == 0) {
        if (stored == std::numeric_limits<std::int32_t>::max())
            return Status::InvalidInput(
                "the store holds the largest possible example number; nothing was stored");
        target = stored + 1;
    }
    registry_.SetKeyNumber(path, kCountValue, std::max(stored, target));
    WriteExample(target, example, 0);
    if (Status s = group.Commit(); !s) return s;

    lastRemembered_ = target;
    if (number) *number = target;
    return Status::Ok();
}

}  // namespace morvel
