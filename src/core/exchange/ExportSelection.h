// ExportSelection: what an export of examples writes (the columns and the
// rows), chosen once and shared by the CSV and ARFF writers.
//
// A selection refers to the tables and the examples it was made from, which
// must outlive it; it is never changed after it is made, so any number of
// threads may write from one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/config/ConfigTables.h"
#include "core/examples/ExampleStore.h"

namespace morvel {

struct ExportSelection {
    const ConfigTables* tables = nullptr;
    const StoredExamples* examples = nullptr;
    // Every attribute value name and the chosen targets' value names, each
    // name once (a name repeated in another letter case is the same stored
    // value): the slots 1..AttributeCount, the targets' positions in the
    // target table, and per target its column in the examples (or -1).
    std::vector<std::int32_t> slots;
    std::vector<std::int32_t> targets;
    std::vector<std::int32_t> columns;
    // The rows written, in increasing example number.
    std::vector<std::int32_t> rows;

    // The column name of a slot and of a target (by its position in targets),
    // as stored in the examples.
    const std::string& SlotName(std::int32_t slot) const { return tables->AttributeNames[slot]; }
    std::string TargetName(std::size_t t) const;
};

// The selection for targets (positions in the target table): every example,
// or with oneTarget only those holding a value for the first of targets (the
// examples its method learns from).
ExportSelection SelectForExport(const ConfigTables& tables, const StoredExamples& examples,
                                const std::vector<std::int32_t>& targets, bool oneTarget);

}  // namespace morvel
