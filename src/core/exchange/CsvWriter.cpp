#include "core/exchange/CsvWriter.h"

#include <charconv>

#include "core/platform/Csv.h"

namespace morvel {
namespace {

// Appends n in decimal, without the temporary string of std::to_string: a
// row has a hundred numbers or more.
void AppendNumber(std::string& line, std::int32_t n) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    line.append(digits, static_cast<std::size_t>(end - digits));
}

}  // namespace

void WriteExamplesCsv(const ExportSelection& selection, std::ostream& out) {
    const StoredExamples& examples = *selection.examples;
    std::string line = "example";
    for (const std::int32_t s : selection.slots) line += "," + CsvField(selection.SlotName(s));
    for (std::size_t t = 0; t < selection.targets.size(); ++t)
        line += "," + CsvField(selection.TargetName(t));
    out << line << "\r\n";
    for (const std::int32_t row : selection.rows) {
        line.clear();
        AppendNumber(line, examples.numbers[row]);
        for (const std::int32_t s : selection.slots) {
            line += ',';
            if (const std::int32_t v = examples.Value(row, s); v != 0) AppendNumber(line, v);
        }
        for (const std::int32_t column : selection.columns) {
            line += ',';
            if (const std::string* text = examples.TextOf(column, row)) line += CsvField(*text);
        }
        out << line << "\r\n";
    }
}

}  // namespace morvel
