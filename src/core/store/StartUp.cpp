#include "core/store/StartUp.h"

namespace morvel {

void StartUp(const Registry& registry, ConfigTables& state, FileExaminer& examiner,
             const std::vector<std::string>& args) {
    state.PlatformVersion = ConfigTables::kNtPlatformVersion;
    LoadConfigurationTables(registry, state);
    state.CurrentFile = JoinArguments(args);
    state.AttributesValid = examiner.ComputeFileAttributes(state.CurrentFile, state).ok();
}

}  // namespace morvel
