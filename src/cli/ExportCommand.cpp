// morvel-cli export: the stored examples as CSV (RFC 4180) or as ARFF for
// Weka, on standard output.
#include <algorithm>
#include <set>
#include <unordered_set>

#include "cli/Commands.h"
#include "core/attributes/AttributeMeaning.h"
#include "core/platform/CodePage.h"
#include "core/platform/Csv.h"
#include "core/store/ExampleStore.h"

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
// escapes when it holds anything that would end or change it.
std::string ArffText(std::string_view text) {
    const bool quote =
        text.empty() || text == "?" || text.find_first_of(" \t\r\n,'\"\\%{}") != std::string_view::npos;
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
    out << "% Morvel examples: the attribute codes and the target values of each stored example.\n"
        << "@relation morvel-examples\n\n@attribute example numeric\n";
    for (const std::int32_t s : columns.slots) {
        // Nominal: the codes the slot can take and any other value it holds.
        std::set<std::int32_t> codes;
        for (std::int32_t v = 1; v <= ClosedCodeCount(s); ++v) codes.insert(v);
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
        std::string line = std::to_string(examples.numbers[row]);
        for (const std::int32_t s : columns.slots) {
            const std::int32_t v = examples.Value(row, s);
            line += "," + (v != 0 ? std::to_string(v) : std::string("?"));
        }
        for (const std::int32_t column : columns.columns) {
            const std::string* text = examples.TextOf(column, row);
            line += "," + (text ? ArffText(*text) : std::string("?"));
        }
        out << line << "\n";
    }
}

class ExportCommand : public StoreCommand {
  public:
    explicit ExportCommand(CLI::App& app) {
        command_ = app.add_subcommand("export", "Write the stored examples as CSV or ARFF");
        command_->add_option("--format", format_, "csv or arff")
            ->required()
            ->check(CLI::IsMember({"csv", "arff"}));
        command_->add_option("--target", target_,
                             "Only this target's column, and only the examples that have a value for it");
    }

    int Run(Registry& registry, std::istream&, std::ostream& out, std::ostream& err) override {
        ConfigTables state;
        LoadTables(registry, state);
        std::vector<std::int32_t> targets;
        if (!ChooseTargets(state, target_, targets, err)) return 1;
        if (!target_.empty()) targets.resize(1);
        const auto read = ExampleStore::Read(registry, state);
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
    std::string format_;
    std::string target_;
};

}  // namespace

std::unique_ptr<StoreCommand> MakeExportCommand(CLI::App& app) {
    return std::make_unique<ExportCommand>(app);
}

}  // namespace morvel
