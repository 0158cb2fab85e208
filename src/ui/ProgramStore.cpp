#include "ui/ProgramStore.h"

#include "ui/Messages.h"
#include "ui/toolkit.h"

namespace morvel {

bool OpenProgramStore(Registry& registry, const std::string& path) {
    // Opening may wait for another program that is setting the store up: no
    // window is shown yet. From then on the interface never waits longer
    // than a person notices for a store another program holds; the window
    // says the store is busy and keeps what was typed for another try.
    const Status opened = registry.Open(path);
    registry.SetBusyTimeout(kInterfaceBusyTimeout);
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
