#include "core/store/modMain.h"

#include <algorithm>

namespace morvel {

std::string ContainKeyPath() { return std::string(Registry::kBaseKey) + "\\Attributes\\Contain"; }
std::string TargetKeyPath() { return std::string(Registry::kBaseKey) + "\\Attributes\\Target"; }

namespace {
std::int32_t ClampCount(std::int32_t count, std::int32_t capacity) { return std::clamp(count, 0, capacity); }
}  // namespace

void BuildAttributeNames(modMain& state) {
    state.AttributeCount = state.SequenceCount + modMain::kGeneralSlots;
    for (int i = 1; i <= modMain::kGeneralSlots; ++i)
        state.AttributeNames[i] = "Standard" + std::to_string(i);
    for (int i = 1; i <= state.SequenceCount; ++i)
        state.AttributeNames[modMain::kGeneralSlots + i] = "Contain" + state.SequenceTable[i];
}

void LoadConfigurationTables(const Registry& registry, modMain& state) {
    Registry::ReadSnapshot snapshot(registry);

    const std::string contain = ContainKeyPath();
    state.SequenceCount = ClampCount(registry.GetKeyNumber(contain, "Count"), modMain::kMaxSequences);
    for (int i = 1; i <= state.SequenceCount; ++i)
        registry.GetKeyText(contain, "Value" + std::to_string(i), state.SequenceTable[i]);

    BuildAttributeNames(state);

    const std::string target = TargetKeyPath();
    state.TargetCount = ClampCount(registry.GetKeyNumber(target, "Count"), modMain::kMaxTargets);
    for (int i = 1; i <= state.TargetCount; ++i) {
        const std::string n = std::to_string(i);
        auto& t = state.TargetTable[i];
        registry.GetKeyText(target, "Id" + n, t.Id);
        registry.GetKeyText(target, "Name" + n, t.Name);
        registry.GetKeyText(target, "Method" + n, t.Method);
    }
}

std::vector<std::string> SequenceList(const modMain& state) {
    return {state.SequenceTable.begin() + 1, state.SequenceTable.begin() + 1 + state.SequenceCount};
}

std::vector<TargetEntry> TargetList(const modMain& state) {
    return {state.TargetTable.begin() + 1, state.TargetTable.begin() + 1 + state.TargetCount};
}

std::string JoinArguments(const std::vector<std::string>& args) {
    std::string joined;
    for (const auto& a : args) {
        if (&a != &args.front()) joined += ' ';
        joined += a;
    }
    return joined;
}

}  // namespace morvel
