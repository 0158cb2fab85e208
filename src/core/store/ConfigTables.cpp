#include "core/store/ConfigTables.h"

#include <unordered_set>

#include "core/platform/CodePage.h"

namespace morvel {

std::vector<std::string> DistinctSequences(const std::vector<std::string>& rows) {
    std::vector<std::string> taken;
    std::unordered_set<std::string> seen;
    for (const auto& row : rows) {
        if (row.empty()) continue;
        if (seen.insert(codepage::LoweredAnsi(row)).second) taken.push_back(row);
    }
    return taken;
}

Status SaveSequenceTable(Registry& registry, modMain& state, const std::vector<std::string>& rows) {
    const auto sequences = DistinctSequences(rows);
    if (sequences.size() > static_cast<std::size_t>(modMain::kMaxSequences))
        return Status::Error("At most " + std::to_string(modMain::kMaxSequences) +
                             " search sequences can be kept; the list has " +
                             std::to_string(sequences.size()) + ".");
    Registry::WriteGroup group(registry);
    registry.CurrentKeyPath = ContainKeyPath();
    registry.OpenKey();
    registry.SetKeyNumber("Count", static_cast<std::int32_t>(sequences.size()));
    for (std::size_t i = 0; i < sequences.size(); ++i)
        registry.SetKeyText("Value" + std::to_string(i + 1), sequences[i]);
    if (Status s = group.Commit(); !s) return s;
    state.SequenceCount = static_cast<std::int32_t>(sequences.size());
    for (std::size_t i = 0; i < sequences.size(); ++i) state.SequenceTable[i + 1] = sequences[i];
    BuildAttributeNames(state);
    return Status::Ok();
}

Status SaveTargetTable(Registry& registry, modMain& state, const std::vector<TargetEntry>& rows) {
    if (rows.size() > static_cast<std::size_t>(modMain::kMaxTargets))
        return Status::Error("At most " + std::to_string(modMain::kMaxTargets) +
                             " target attributes can be kept; the list has " + std::to_string(rows.size()) +
                             ".");
    Registry::WriteGroup group(registry);
    registry.CurrentKeyPath = TargetKeyPath();
    registry.OpenKey();
    registry.SetKeyNumber("Count", static_cast<std::int32_t>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        registry.SetKeyText("Id" + n, rows[i].Id);
        registry.SetKeyText("Name" + n, rows[i].Name);
        registry.SetKeyText("Method" + n, rows[i].Method);
    }
    if (Status s = group.Commit(); !s) return s;
    state.TargetCount = static_cast<std::int32_t>(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) state.TargetTable[i + 1] = rows[i];
    return Status::Ok();
}

}  // namespace morvel
