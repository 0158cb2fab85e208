// The language-file import on arbitrary bytes: whatever the file says, the
// store ends up with string values under the "\Interface" key and nothing
// anywhere else.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "TestSupport.h"
#include "core/store/KeyPaths.h"
#include "core/store/LanguageFile.h"
#include "core/store/Registry.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// Every key of the store must lie on the path to the Interface key, and only
// that key may hold values: texts stored with their trailing zero byte.
void CheckOnlyInterfaceWritten(const morvel::Registry& registry, const std::string& path) {
    const std::string interface = morvel::InterfaceKeyPath();
    Check(path.empty() || interface == path || interface.rfind(path + "\\", 0) == 0);
    const auto values = registry.Values(path);
    Check(values.empty() || path == interface);
    for (const auto& v : values)
        Check(v.type == morvel::Registry::kTypeText && !v.bytes.empty() && v.bytes.back() == '\0');
    for (const auto& child : registry.SubkeyNames(path))
        CheckOnlyInterfaceWritten(registry, path.empty() ? child : path + "\\" + child);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static morvel::test::TempDir dir;
    static morvel::Registry registry;
    static const bool opened = registry.Open(dir.Store()).ok();
    Check(opened);
    morvel::ParsedLanguage parsed;
    morvel::ImportLanguage(registry, std::string_view(reinterpret_cast<const char*>(data), size), parsed);
    Check(parsed.problems.size() <= morvel::kMaxReportedProblems);
    CheckOnlyInterfaceWritten(registry, "");
    return 0;
}
