// morvel-cli export: the stored examples as CSV (RFC 4180) or as ARFF for
// Weka, or the whole store as the registry editor writes it, on standard output.
#include <algorithm>
#include <set>
#include <unordered_set>

#include "cli/Commands.h"
#include "core/config/AttributeFamilies.h"
#include "core/examples/ExampleStore.h"
#include "core/exchange/RegFileWriter.h"
#include "core/platform/CodePage.h"
#include "core/platform/Csv.h"

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

ExportColumns ColumnsFor(const ConfigTables& state, const StoredExamples& examples,
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

void WriteCsv(const ConfigTables& state, const StoredExamples& examples, const ExportColumns& columns,
              const std::vector<std::int32_t>& rows, std::ostream& out) {
    std::string line = "example";
    for (const std::int32_t s : columns.slots) line += "," + CsvField(state.AttributeNames[s]);
    for (const std::int32_t k : columns.targets) line += "," + CsvField("Target" + state.TargetTable[k].Id);
    out << line << "\r\n";
    for (const std::int32_t row : rows) {
        line = std::to_string(examples.numbers[row]);
        for (const std::int32_t s : columns.slots) {
            line += ',';
            if (const std::int32_t v = examples.Value(row, s); v != 0) line += std::to_string(v);
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

void WriteArff(const ConfigTables& state, const StoredExamples& examples, const ExportColumns& columns,
               const std::vector<std::int32_t>& rows, std::ostream& out) {
    // The example number is no feature of a file: it stays out of the
    // attributes, as a comment above each row.
    out << "% Morvel examples: the attribute codes and the target values of each stored example.\n"
        << "@relation morvel-examples\n\n";
    for (const std::int32_t s : columns.slots) {
        // Nominal: the codes the slot can take and any other value it holds.
        std::set<std::int32_t> codes;
        for (std::int32_t v = 1; v <= ClosedCodeCount(state.AttributeNames[s]); ++v) codes.insert(v);
        for (const std::int32_t row : rows)
            if (const std::int32_t v = examples.Value(row, s); v != 0) codes.insert(v);
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
        // Appended piece by piece: a literal + a temporary string trips a
        // false overlap warning of GCC 12 at -O3.
        const char* separator = "";
        for (const std::int32_t s : columns.slots) {
            line += separator;
            const std::int32_t v = examples.Value(row, s);
            line += v != 0 ? std::to_string(v) : std::string("?");
            separator = ",";
        }
        for (const std::int32_t column : columns.columns) {
            const std::string* text = examples.TextOf(column, row);
            line += separator;
            line += text ? ArffText(*text) : std::string("?");
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
        ConfigTables state;
        if (Status s = LoadTables(registry, state); !s) return Report(err, s);
        std::vector<std::int32_t> targets;
        if (!ChooseTargets(state, target_, targets, err)) return 1;
        if (!target_.empty()) targets.resize(1);
        std::shared_ptr<const StoredExamples> read;
        if (Status s = ExampleStore::Read(registry, state, read); !s) return Report(err, s);
        const StoredExamples& examples = *read;
        const ExportColumns columns = ColumnsFor(state, examples, targets);
        const auto rows = RowsFor(examples, columns, !target_.empty());
        if (format_ == "csv") {
            WriteCsv(state, examples, columns, rows, out);
        } else {
            WriteArff(state, examples, columns, rows, out);
        }
        return 0;
    }

  private:
    int WriteReg(const Registry& registry, std::ostream& out, std::ostream& err) const {
        if (!target_.empty()) {
            err << "morvel-cli: --target applies to csv and arff; a reg file holds the whole store\n";
            return 2;
        }
        if (const Status s = ExportRegFile(registry, out); !s)
            return Report(err, s, "the file is incomplete");
        return 0;
    }

    std::string format_;
    std::string target_;
};

}  // namespace

std::unique_ptr<StoreCommand> MakeExportCommand(CLI::App& app) {
    return std::make_unique<ExportCommand>(app);
}

}  // namespace morvel
