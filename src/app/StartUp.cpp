#include "app/StartUp.h"

namespace morvel {

Status StartUp(const Registry& registry, ConfigTables& state, FileExaminer& examiner,
               const std::vector<std::string>& args) {
    state.PlatformVersion = ConfigTables::kNtPlatformVersion;
    if (Status s = LoadConfigurationTables(registry, state); !s) return s;
    state.CurrentFile = JoinArguments(args);
    state.AttributesValid = examiner.ComputeFileAttributes(state.CurrentFile, state).ok();
    return Status::Ok();
}

}  // namespace morvel
