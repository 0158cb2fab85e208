#include "cli/StoreCommand.h"

namespace morvel {

void LoadTables(const Registry& registry, modMain& state) {
    state.PlatformVersion = modMain::kNtPlatformVersion;
    LoadConfigurationTables(registry, state);
}

bool ChooseTargets(const modMain& state, const std::string& id, std::vector<std::int32_t>& targets,
                   std::ostream& err) {
    targets.clear();
    for (std::int32_t k = 1; k <= state.TargetCount; ++k)
        if (id.empty() || state.TargetTable[k].Id == id) targets.push_back(k);
    if (!id.empty() && targets.empty()) {
        err << "morvel-cli: no target has the identifier \"" << id << "\"\n";
        return false;
    }
    return true;
}

}  // namespace morvel
