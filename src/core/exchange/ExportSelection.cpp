#include "core/exchange/ExportSelection.h"

#include <unordered_set>

#include "core/platform/CodePage.h"
#include "core/store/KeyPaths.h"

namespace morvel {

std::string ExportSelection::TargetName(std::size_t t) const {
    return std::string(kTargetPrefix) + tables->TargetTable[targets[t]].Id;
}

ExportSelection SelectForExport(const ConfigTables& tables, const StoredExamples& examples,
                                const std::vector<std::int32_t>& targets, bool oneTarget) {
    ExportSelection result;
    result.tables = &tables;
    result.examples = &examples;
    std::unordered_set<std::string> seen;
    for (std::int32_t s = 1; s <= tables.AttributeCount; ++s)
        if (seen.insert(codepage::LoweredAnsi(tables.AttributeNames[s])).second) result.slots.push_back(s);
    for (const std::int32_t k : targets) {
        if (!seen.insert(codepage::LoweredAnsi(std::string(kTargetPrefix) + tables.TargetTable[k].Id)).second)
            continue;
        result.targets.push_back(k);
        result.columns.push_back(examples.ColumnOf(tables.TargetTable[k].Id));
    }
    for (const std::int32_t row : examples.order)
        if (!oneTarget || (!result.columns.empty() && examples.TextOf(result.columns.front(), row)))
            result.rows.push_back(row);
    return result;
}

}  // namespace morvel
