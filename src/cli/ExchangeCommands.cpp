#include "cli/ExchangeCommands.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>
#include <unordered_set>

#include "core/classify/modClass.h"
#include "cli/Csv.h"
#include "core/platform/CodePage.h"
#include "core/store/RegFileWriter.h"

namespace morvel {
namespace {

// The columns an export writes: every attribute value name and the target
// value names, each name once (a name repeated in another letter case is the
// same stored value).
struct ExportColumns {
    std::vector<std::int32_t> slots;    // 1..AttributeCount
    std::vector<std::int32_t> targets;  // positions in the target table
    std::vector<std::int32_t> columns;  // per target: its column in the examples, or -1
};

ExportColumns ColumnsFor(const modMain& state, const StoredExamples& examples,
                         const std::vector<std::int32_t>& targets) {
    ExportColumns result;
    std::unordered_set<std::string> seen;
    for (std::int32_t s = 1; s <= state.AttributeCount; ++s)
        if (seen.insert(codepage::LoweredAnsi(state.AttributeNames[s])).second) result.slots.push_back(s);
    for (const std::int32_t k : targets) {
        if (!seen.insert(codepage::LoweredAnsi("Target" + state.TargetTable[k].Id)).second) continue;
        result.targets.push_back(k);
        result.columns.push_back(examples.ColumnOf(state.TargetTable[k].Id));
    }
    return result;
}

// The rows to export: every example, or with one target only those holding a
// value for it (the examples its method learns from).
std::vector<std::int32_t> RowsFor(const StoredExamples& examples, const ExportColumns& columns,
                                  bool oneTarget) {
    std::vector<std::int32_t> rows;
    for (const std::int32_t row : examples.order)
        if (!oneTarget || (!columns.columns.empty() && examples.TextOf(columns.columns.front(), row)))
            rows.push_back(row);
    return rows;
}

void WriteCsv(const modMain& state, const StoredExamples& examples, const ExportColumns& columns,
              const std::vector<std::int32_t>& rows, std::ostream& out) {
    std::string line = "example";
    for (const std::int32_t s : columns.slots) line += "," + CsvField(state.AttributeNames[s]);
    for (const std::int32_t k : columns.targets) line += "," + CsvField("Target" + state.TargetTable[k].Id);
    out << line << "\r\n";
    for (const std::int32_t row : rows) {
        line = std::to_string(examples.numbers[row]);
        const std::int32_t* values = examples.RowValues(row);
        for (const std::int32_t s : columns.slots) {
            line += ',';
            if (values[s - 1] != 0) line += std::to_string(values[s - 1]);
        }
        for (const std::int32_t column : columns.columns) {
            line += ',';
            if (const std::string* text = examples.TextOf(column, row)) line += CsvField(*text);
        }
        out << line << "\r\n";
    }
}

// A name or value as ARFF (Weka) reads it: quoted with ' and backslash
// escapes when it holds anything that would end or change it. Weka reads an
// unquoted word only of the characters from "!" to U+00FF, so a text with a
// control character or any character beyond ASCII (Cyrillic) is quoted too.
std::string ArffText(std::string_view text) {
    const bool quote = text.empty() || text == "?" ||
                       text.find_first_of(" \t\r\n,'\"\\%{}") != std::string_view::npos ||
                       std::any_of(text.begin(), text.end(), [](char c) {
                           const auto b = static_cast<unsigned char>(c);
                           return b < 0x21 || b >= 0x7F;
                       });
    if (!quote) return std::string(text);
    std::string quoted = "'";
    for (const char c : text) {
        switch (c) {
            case '\\':
                quoted += "\\\\";
                break;
            case '\'':
                quoted += "\\'";
                break;
            case '"':
                quoted += "\\\"";
                break;
            case '%':
                quoted += "\\%";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\t':
                quoted += "\\t";
                break;
            default:
                quoted += c;
        }
    }
    return quoted + "'";
}

// The codes a general slot takes when they form a closed list; empty for the
// open ones (name length, year).
std::vector<std::int32_t> ClosedCodes(std::int32_t slot) {
    static const std::int32_t kCount[modMain::kGeneralSlots + 1] = {0, 4,  0,  6, 2, 2, 2, 2, 8,
                                                                    7, 31, 12, 0, 7, 2, 4, 2};
    const std::int32_t n = slot > modMain::kGeneralSlots ? 2 : kCount[slot];
    std::vector<std::int32_t> codes;
    for (std::int32_t v = 1; v <= n; ++v) codes.push_back(v);
    return codes;
}

void WriteArff(const modMain& state, const StoredExamples& examples, const ExportColumns& columns,
               const std::vector<std::int32_t>& rows, std::ostream& out) {
    // The example number is no feature of a file: it stays out of the
    // attributes, as a comment above each row.
    out << "% Morvel examples: the attribute codes and the target values of each stored example.\n"
        << "@relation morvel-examples\n\n";
    for (const std::int32_t s : columns.slots) {
        // Nominal: the codes the slot can take and any other value it holds.
        std::set<std::int32_t> codes;
        for (const std::int32_t v : ClosedCodes(s)) codes.insert(v);
        for (const std::int32_t row : rows)
            if (const std::int32_t v = examples.RowValues(row)[s - 1]; v != 0) codes.insert(v);
        if (codes.empty())
            for (std::int32_t v = 1; v <= 255; ++v) codes.insert(v);
        std::string list;
        for (const std::int32_t v : codes) list += (list.empty() ? "" : ",") + std::to_string(v);
        out << "@attribute " << ArffText(state.AttributeNames[s]) << " {" << list << "}\n";
    }
    for (std::size_t t = 0; t < columns.targets.size(); ++t) {
        std::vector<std::string> values;
        std::unordered_set<std::string> seen;
        for (const std::int32_t row : rows)
            if (const std::string* text = examples.TextOf(columns.columns[t], row);
                text && seen.insert(*text).second)
                values.push_back(*text);
        std::sort(values.begin(), values.end());
        out << "@attribute " << ArffText("Target" + state.TargetTable[columns.targets[t]].Id) << " ";
        if (values.empty()) {
            out << "string\n";  // a nominal attribute needs a value; this target has none
            continue;
        }
        std::string list;
        for (const auto& v : values) list += (list.empty() ? "" : ",") + ArffText(v);
        out << "{" << list << "}\n";
    }
    out << "\n@data\n";
    for (const std::int32_t row : rows) {
        std::string line = "% Example" + std::to_string(examples.numbers[row]) + "\n";
        const std::int32_t* values = examples.RowValues(row);
        const char* separator = "";
        for (const std::int32_t s : columns.slots) {
            line += separator + (values[s - 1] != 0 ? std::to_string(values[s - 1]) : std::string("?"));
            separator = ",";
        }
        for (const std::int32_t column : columns.columns) {
            const std::string* text = examples.TextOf(column, row);
            line += separator + (text ? ArffText(*text) : std::string("?"));
            separator = ",";
        }
        out << line << "\n";
    }
}

class ExportCommand : public StoreCommand {
  public:
    explicit ExportCommand(CLI::App& app) {
        command_ = app.add_subcommand(
            "export",
            "Write the stored examples as CSV or ARFF, or the whole store as a registry-editor file");
        command_->add_option("--format", format_, "csv, arff or reg")
            ->required()
            ->check(CLI::IsMember({"csv", "arff", "reg"}));
        command_->add_option("--target", target_,
                             "Only this target's column, and only the examples that have a value for it "
                             "(csv and arff)");
    }

    int Run(Registry& registry, std::istream&, std::ostream& out, std::ostream& err) override {
        if (format_ == "reg") return WriteReg(registry, out, err);
        modMain state;
        LoadTables(registry, state);
        std::vector<std::int32_t> targets;
        if (!ChooseTargets(state, target_, targets, err)) return 1;
        if (!target_.empty()) targets.resize(1);
        modClass reader;
        reader.ReadExamples(registry, state);
        const StoredExamples& examples = *reader.Examples();
        const ExportColumns columns = ColumnsFor(state, examples, targets);
        const auto rows = RowsFor(examples, columns, !target_.empty());
        if (format_ == "csv") {
            WriteCsv(state, examples, columns, rows, out);
        } else {
            WriteArff(state, examples, columns, rows, out);
        }
        out.flush();
        if (!out) {
            err << "morvel-cli: the examples could not be written\n";
            return 1;
        }
        return 0;
    }

  private:
    int WriteReg(const Registry& registry, std::ostream& out, std::ostream& err) const {
        if (!target_.empty()) {
            err << "morvel-cli: --target applies to csv and arff; a reg file holds the whole store\n";
            return 2;
        }
        const Status s = ExportRegFile(registry, out);
        out.flush();
        if (!s) {
            err << "morvel-cli: " << s.message() << "; the file is incomplete\n";
            return 1;
        }
        if (!out) {
            err << "morvel-cli: the registry file could not be written\n";
            return 1;
        }
        return 0;
    }

    std::string format_;
    std::string target_;
};

// ---- import ----

struct ImportColumn {
    enum Kind { kIgnored, kSlot, kTarget } kind = kIgnored;
    std::string name;  // the value name to write
};

std::string AtLine(std::size_t line) { return "line " + std::to_string(line) + ": "; }

// Whether the store keeps text exactly (its code page has every character,
// and a read gives it back whole).
bool StoreKeeps(const std::string& text) {
    const std::string ansi = codepage::ToAnsi(text);
    std::string back;
    return codepage::FromAnsi(ansi) == text &&
           (ansi.empty() || (Registry::TextOf(Registry::kTypeText, ansi, back) && back == text));
}

Status ReadHeader(const std::vector<std::string>& header, std::vector<ImportColumn>& columns) {
    std::unordered_set<std::string> seen;
    for (const std::string& name : header) {
        const std::string lowered = codepage::LoweredAnsi(name);
        if (!StoreKeeps(name) || name.empty())
            return Status::Error(AtLine(1) + "the column name \"" + name +
                                 "\" cannot be a value name of the store");
        if (!seen.insert(lowered).second)
            return Status::Error(AtLine(1) + "the column \"" + name + "\" is given twice");
        ImportColumn column;
        if (lowered == "example") {
            column.kind = ImportColumn::kIgnored;
        } else if (lowered.starts_with("standard") && lowered.size() > 8 && lowered.size() <= 10 &&
                   lowered[8] != '0' &&
                   std::all_of(lowered.begin() + 8, lowered.end(),
                               [](char c) { return c >= '0' && c <= '9'; }) &&
                   std::stoi(lowered.substr(8)) <= modMain::kGeneralSlots) {
            column = {ImportColumn::kSlot, "Standard" + lowered.substr(8)};
        } else if (lowered.starts_with("contain") && lowered.size() > 7) {
            column = {ImportColumn::kSlot, "Contain" + name.substr(7)};
        } else if (lowered.starts_with("target")) {
            column = {ImportColumn::kTarget, "Target" + name.substr(6)};
        } else {
            return Status::Error(AtLine(1) + "unknown column \"" + name +
                                 "\" (expected example, Standard1 to Standard16, Contain... or Target...)");
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
    value = std::stoi(cell);
    return value >= 1 && value <= 255;
}

class ImportCommand : public StoreCommand {
  public:
    explicit ImportCommand(CLI::App& app) {
        command_ =
            app.add_subcommand("import", "Append the rows of a CSV file (as export writes it) as examples");
        command_->add_option("--format", format_, "csv")->required()->check(CLI::IsMember({"csv"}));
        command_->add_option("FILE", file_, "The CSV file (- for standard input)")->required();
    }

    int Run(Registry& registry, std::istream& in, std::ostream& out, std::ostream& err) override {
        std::string text;
        if (file_ == "-") {
            text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        } else {
            std::ifstream file(file_, std::ios::binary);
            if (!file) {
                err << "morvel-cli: cannot read " << file_ << "\n";
                return 1;
            }
            text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
            if (file.bad()) {
                err << "morvel-cli: cannot read " << file_ << "\n";
                return 1;
            }
        }
        std::int32_t first = 0, count = 0;
        if (Status s = ImportCsv(registry, text, &first, &count); !s) {
            err << "morvel-cli: " << (file_ == "-" ? std::string("standard input") : file_) << ": "
                << s.message() << "; nothing was imported\n";
            return 1;
        }
        out << "imported " << count << (count == 1 ? " example" : " examples");
        if (count > 0) out << ": Example" << first;
        if (count > 1) out << " to Example" << first + count - 1;
        out << "\n";
        return 0;
    }

  private:
    std::string format_;
    std::string file_;
};

}  // namespace

Status ImportCsv(Registry& registry, std::string_view csv, std::int32_t* first, std::int32_t* count) {
    // Everything is read and checked before the first write.
    CsvReader reader(csv);
    std::vector<std::string> fields;
    if (!reader.Next(fields)) {
        if (!reader.Error().empty()) return Status::Error(AtLine(reader.Line()) + reader.Error());
        return Status::Error("the file is empty: a header row is needed");
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
    std::vector<std::uint8_t> values;
    std::vector<std::string> texts;
    std::size_t rowCount = 0;
    while (reader.Next(fields)) {
        const std::size_t line = reader.Line();
        if (fields.size() != columns.size())
            return Status::Error(AtLine(line) + "the row has " + std::to_string(fields.size()) +
                                 " fields and the header " + std::to_string(columns.size()));
        for (const std::size_t c : slotColumns) {
            std::int32_t value = 0;
            if (!SlotValue(fields[c], value))
                return Status::Error(AtLine(line) + "the value \"" + fields[c] + "\" of " + columns[c].name +
                                     " is not a number from 1 to 255");
            values.push_back(static_cast<std::uint8_t>(value));
        }
        for (const std::size_t c : targetColumns) {
            if (!StoreKeeps(fields[c]))
                return Status::Error(
                    AtLine(line) + "the value of " + columns[c].name +
                    " is longer than 1024 characters or holds characters the store cannot keep");
            texts.push_back(std::move(fields[c]));
        }
        ++rowCount;
    }
    if (!reader.Error().empty()) return Status::Error(AtLine(reader.Line()) + reader.Error());
    *first = 0;
    *count = 0;
    if (rowCount == 0) return Status::Ok();

    Registry::WriteGroup group(registry);
    const std::string examples = ExamplesKeyPath();
    // Read under the write lock: no other program takes these numbers meanwhile.
    const std::int32_t stored = std::max(registry.GetKeyNumber(examples, "Count"), 0);
    if (rowCount > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() - stored))
        return Status::Error("the store cannot number that many more examples");
    const auto added = static_cast<std::int32_t>(rowCount);
    // A key above "Count" left by an earlier program would mix its old values
    // into a new example; such a store is refused rather than changed.
    for (const std::string& name : registry.SubkeyNames(examples)) {
        const std::int64_t n = ExampleNumberOf(codepage::LoweredAnsi(name));
        if (n > stored && n <= static_cast<std::int64_t>(stored) + added)
            return Status::Error("the store already holds a key " + name + " above its example count " +
                                 std::to_string(stored));
    }
    const std::uint8_t* value = values.data();
    const std::string* text = texts.data();
    for (std::int32_t i = 0; i < added; ++i) {
        registry.CurrentKeyPath = examples + "\\Example" + std::to_string(stored + 1 + i);
        registry.OpenKey();
        for (const std::size_t c : slotColumns)
            if (const std::uint8_t v = *value++; v != 0) registry.SetKeyNumber(columns[c].name, v);
        for (const std::size_t c : targetColumns)
            if (const std::string& t = *text++; !t.empty()) registry.SetKeyText(columns[c].name, t);
    }
    registry.CurrentKeyPath = examples;
    registry.OpenKey();
    registry.SetKeyNumber("Count", stored + added);
    if (Status s = group.Commit(); !s) return s;
    *first = stored + 1;
    *count = added;
    return Status::Ok();
}

StoreCommands AddExchangeCommands(CLI::App& app) {
    StoreCommands commands;
    commands.push_back(std::make_unique<ExportCommand>(app));
    commands.push_back(std::make_unique<ImportCommand>(app));
    return commands;
}

}  // namespace morvel
