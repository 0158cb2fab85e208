#include "cli/StoreCommand.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/store/StoreFiles.h"

namespace morvel {

Status LoadTables(const Registry& registry, ConfigTables& tables) {
    tables.PlatformVersion = ConfigTables::kNtPlatformVersion;
    return LoadConfigurationTables(registry, tables);
}

bool ChooseTargets(const ConfigTables& tables, const std::string& id, std::vector<std::int32_t>& targets,
                   std::ostream& err) {
    targets.clear();
    for (std::int32_t k = 1; k <= tables.TargetCount; ++k)
        if (id.empty() || tables.TargetTable[k].Id == id) targets.push_back(k);
    if (!id.empty() && targets.empty()) {
        err << "morvel-cli: no target has the identifier \"" << id << "\"\n";
        return false;
    }
    return true;
}

void HintWhenNoTargets(const ConfigTables& tables, std::ostream& err) {
    if (tables.TargetCount > 0) return;
    err << "morvel-cli: no target attributes yet: add one with \"morvel-cli targets add ID NAME METHOD\","
           " or load the starter configuration with \"morvel-cli load /usr/share/morvel/starter.reg\"\n";
}

std::string UnreadableInput(const std::string& path) {
    // Looked at before the open below, which would drop the store's locks.
    if (Status s = RefuseOpenStoreFile(path); !s) return s.message();
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return "it is a folder";
    // A named pipe is never opened here: the open would meet a waiting writer,
    // which could then write everything and close before the command's own
    // open, and that open would wait for another writer for ever.
    if (S_ISFIFO(st.st_mode)) return access(path.c_str(), R_OK) == 0 ? std::string() : std::strerror(errno);
    // Without blocking, in case the file became a pipe after the stat above.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    close(fd);
    return {};
}

int Report(std::ostream& err, const Status& status, const std::string& context) {
    err << "morvel-cli: " << (context.empty() ? "" : context + ": ") << status.message() << "\n";
    return 1;
}

}  // namespace morvel
