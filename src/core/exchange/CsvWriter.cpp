#include "core/exchange/CsvWriter.h"

#include "core/platform/Csv.h"

namespace morvel {

void WriteExamplesCsv(const ExportSelection& selection, std::ostream& out) {
    const StoredExamples& examples = *selection.examples;
    std::string line = "example";
    for (const std::int32_t s : selection.slots) line += "," + CsvField(selection.SlotName(s));
    for (std::size_t t = 0; t < selection.targets.size(); ++t)
        line += "," + CsvField(selection.TargetName(t));
    out << line << "\r\n";
    for (const std::int32_t row : selection.rows) {
        line = std::to_string(examples.numbers[row]);
        for (const std::int32_t s : selection.slots) {
            line += ',';
            if (const std::int32_t v = examples.Value(row, s); v != 0) line += std::to_string(v);
        }
        for (const std::int32_t column : selection.columns) {
            line += ',';
            if (const std::string* text = examples.TextOf(column, row)) line += CsvField(*text);
        }
        out << line << "\r\n";
    }
}

}  // namespace morvel
