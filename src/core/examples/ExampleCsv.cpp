#include "core/examples/ExampleCsv.h"

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/config/AttributeFamilies.h"
#include "core/config/ConfigTables.h"
#include "core/platform/CodePage.h"
#include "core/platform/Csv.h"
#include "core/store/KeyPaths.h"

namespace morvel {
namespace {

struct ImportColumn {
    enum Kind { kIgnored, kSlot, kTarget } kind = kIgnored;
    std::string name;  // the value name to write
};

std::string AtLine(std::size_t line) { return "line " + std::to_string(line) + ": "; }

// The attribute columns an import takes, as a person would list them:
// "Standard1 to Standard16, Contain...".
std::string FamilyColumns() {
    std::string list;
    for (const AttributeFamily& family : AttributeFamilies()) {
        if (!list.empty()) list += ", ";
        const std::string prefix(family.prefix);
        switch (family.naming) {
            case AttributeFamily::Naming::kNumbered:
                list += prefix + "1 to " + prefix + std::to_string(family.slotCodes.size());
                break;
            case AttributeFamily::Naming::kSequenceText:
                list += prefix + "...";
                break;
            case AttributeFamily::Naming::kWords:
                list += prefix + std::string(family.slotCodes.front().word) + " to " + prefix +
                        std::string(family.slotCodes.back().word);
                break;
        }
    }
    return list;
}

Status ReadHeader(const std::vector<std::string>& header, std::vector<ImportColumn>& columns) {
    std::unordered_set<std::string> seen;
    for (const std::string& name : header) {
        const std::string lowered = codepage::LoweredAnsi(name);
        if (name.empty()) return Status::InvalidInput(AtLine(1) + "a column has no name");
        if (Status s = Registry::CheckText("the column name", name); !s) return s.Prefixed(AtLine(1));
        if (!seen.insert(lowered).second)
            return Status::InvalidInput(AtLine(1) + "the column \"" + name + "\" is given twice");
        ImportColumn column;
        const NamedAttribute attribute = AttributeNamed(name);
        if (lowered == "example") {
            column.kind = ImportColumn::kIgnored;
        } else if (attribute.family != nullptr && !attribute.suffix.empty()) {
            column = {ImportColumn::kSlot, attribute.name};
        } else if (lowered.starts_with("target")) {
            column = {ImportColumn::kTarget, std::string(kTargetPrefix) + name.substr(6)};
        } else {
            return Status::InvalidInput(AtLine(1) + "unknown column \"" + name + "\" (expected example, " +
                                        FamilyColumns() + " or Target...)");
        }
        columns.push_back(std::move(column));
    }
    return Status::Ok();
}

// A slot cell: empty (no value, 0) or a decimal number from 1 to 255.
bool SlotValue(const std::string& cell, std::int32_t& value) {
    value = 0;
    if (cell.empty()) return true;
    if (cell.size() > 3 ||
        !std::all_of(cell.begin(), cell.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    for (const char c : cell) value = value * 10 + (c - '0');
    return value >= 1 && value <= 255;
}

}  // namespace

Status ImportExamplesCsv(ExampleStore& store, std::string_view csv, std::int32_t* first,
                         std::int32_t* count) {
    // Everything is read and checked before the first write.
    CsvReader reader(csv);
    std::vector<std::string> fields;
    if (!reader.Next(fields)) {
        if (Status s = reader.status(); !s) return s;
        return Status::InvalidInput("the file is empty: a header row is needed");
    }
    std::vector<ImportColumn> columns;
    if (Status s = ReadHeader(fields, columns); !s) return s;

    // The cells kept, row after row: the slot columns' numbers and the
    // target columns' texts.
    std::vector<std::size_t> slotColumns, targetColumns;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].kind == ImportColumn::kSlot) slotColumns.push_back(c);
        if (columns[c].kind == ImportColumn::kTarget) targetColumns.push_back(c);
    }
    ExampleBatch examples;
    std::unordered_set<std::string> storable;  // target cells checked already: classes repeat
    for (const std::size_t c : slotColumns) examples.numberNames.push_back(columns[c].name);
    for (const std::size_t c : targetColumns) examples.textNames.push_back(columns[c].name);
    while (reader.Next(fields)) {
        const std::size_t line = reader.Line();
        if (fields.size() != columns.size())
            return Status::InvalidInput(AtLine(line) + "the row has " + std::to_string(fields.size()) +
                                        " fields and the header " + std::to_string(columns.size()));
        for (const std::size_t c : slotColumns) {
            std::int32_t value = 0;
            if (!SlotValue(fields[c], value))
                return Status::InvalidInput(AtLine(line) + "the value \"" + fields[c] + "\" of " +
                                            columns[c].name + " is not a number from 1 to 255");
            examples.numbers.push_back(value);
        }
        for (const std::size_t c : targetColumns) {
            if (!storable.contains(fields[c])) {
                if (Status s = Registry::CheckText("the value of " + columns[c].name, fields[c]); !s)
                    return s.Prefixed(AtLine(line));
                storable.insert(fields[c]);
            }
            examples.texts.push_back(std::move(fields[c]));
        }
        ++examples.rows;
    }
    if (Status s = reader.status(); !s) return s;

    *first = 0;
    *count = 0;
    if (examples.rows == 0) return Status::Ok();
    if (Status s = store.Append(examples, first); !s) return s;
    *count = static_cast<std::int32_t>(examples.rows);
    return Status::Ok();
}

}  // namespace morvel
