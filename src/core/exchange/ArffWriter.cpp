#include "core/exchange/ArffWriter.h"

#include <algorithm>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/config/AttributeFamilies.h"

namespace morvel {
namespace {

// A name or value as ARFF reads it: quoted with ' and backslash escapes when
// it holds anything that would end or change it. Weka reads an unquoted word only of the characters from "!"
// to U+00FF, so a text with a control character or any character beyond ASCII (Cyrillic) is quoted too.
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

}  // namespace

void WriteExamplesArff(const ExportSelection& selection, std::ostream& out) {
    const StoredExamples& examples = *selection.examples;
    out << "% Morvel examples: the attribute codes and the target values of each stored example.\n"
        << "@relation morvel-examples\n\n";
    for (const std::int32_t s : selection.slots) {
        // Nominal: the codes the slot can take and any other value it holds.
        std::set<std::int32_t> codes;
        for (std::int32_t v = 1; v <= ClosedCodeCount(selection.SlotName(s)); ++v) codes.insert(v);
        for (const std::int32_t row : selection.rows)
            if (const std::int32_t v = examples.Value(row, s); v != 0) codes.insert(v);
        if (codes.empty())
            for (std::int32_t v = 1; v <= 255; ++v) codes.insert(v);
        std::string list;
        for (const std::int32_t v : codes) list += (list.empty() ? "" : ",") + std::to_string(v);
        out << "@attribute " << ArffText(selection.SlotName(s)) << " {" << list << "}\n";
    }
    for (std::size_t t = 0; t < selection.targets.size(); ++t) {
        std::vector<std::string> values;
        std::unordered_set<std::string> seen;
        for (const std::int32_t row : selection.rows)
            if (const std::string* text = examples.TextOf(selection.columns[t], row);
                text && seen.insert(*text).second)
                values.push_back(*text);
        std::sort(values.begin(), values.end());
        out << "@attribute " << ArffText(selection.TargetName(t)) << " ";
        if (values.empty()) {
            out << "string\n";  // a nominal attribute needs a value; this target has none
            continue;
        }
        std::string list;
        for (const auto& v : values) list += (list.empty() ? "" : ",") + ArffText(v);
        out << "{" << list << "}\n";
    }
    out << "\n@data\n";
    for (const std::int32_t row : selection.rows) {
        std::string line = "% Example" + std::to_string(examples.numbers[row]) + "\n";
        // Appended piece by piece: a literal + a temporary string trips a
        // false overlap warning of GCC 12 at -O3.
        const char* separator = "";
        for (const std::int32_t s : selection.slots) {
            line += separator;
            const std::int32_t v = examples.Value(row, s);
            line += v != 0 ? std::to_string(v) : std::string("?");
            separator = ",";
        }
        for (const std::int32_t column : selection.columns) {
            const std::string* text = examples.TextOf(column, row);
            line += separator;
            line += text ? ArffText(*text) : std::string("?");
            separator = ",";
        }
        out << line << "\n";
    }
}

}  // namespace morvel
