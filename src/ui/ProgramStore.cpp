#include "ui/ProgramStore.h"

#include "ui/Messages.h"
#include "ui/toolkit.h"

namespace morvel {

bool OpenProgramStore(Registry& registry, const std::string& path) {
    const Status opened = registry.Open(path);
    if (opened) return true;
    const QString detail = Text(registry, msg::kDetail, {QString::fromStdString(opened.message())});
    if (registry.IsOpen()) {
        toolkit::ShowMessage(
            nullptr, Text(registry, msg::kStoreReadOnly, {QString::fromStdString(path)}) + "\n" + detail);
        return true;
    }
    toolkit::ShowMessage(
        nullptr, Text(registry, msg::kStoreUnavailable, {QString::fromStdString(path)}) + "\n\n" + detail);
    return false;
}

}  // namespace morvel
