// The store's read rules on arbitrary stored bytes: a value of any type and
// bytes is found exactly when it holds 1 to 1024 bytes, one trailing zero is
// dropped, and reading never fails in another way. The name is fuzzed too.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "TestSupport.h"
#include "core/platform/CodePage.h"
#include "core/store/KeyPaths.h"
#include "core/store/Registry.h"

namespace {
void Check(bool ok) {
    if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static morvel::test::TempDir dir;
    static morvel::Registry registry;
    static const bool opened = registry.Open(dir.Store()).ok();
    Check(opened);
    if (size < 2) return 0;
    const std::int32_t type = data[0] % 8;
    const std::size_t nameLength = data[1] % 16;
    if (size < 2 + nameLength) return 0;
    const std::string name =
        morvel::codepage::FromAnsi(std::string(reinterpret_cast<const char*>(data + 2), nameLength));
    std::string bytes(reinterpret_cast<const char*>(data + 2 + nameLength), size - 2 - nameLength);
    if (data[0] & 0x80) bytes.resize(1024 + (data[0] & 0x3), '\x01');

    const std::string key = std::string(morvel::kBaseKey) + "\\Fuzz";
    Check(registry.OpenKey(key).ok());
    Check(registry.SetKeyValue(key, name, type, bytes).ok());

    std::string text = "sentinel";
    const bool found = registry.GetKeyText(key, name, text).ok();
    std::int32_t number = -1;
    Check(found == (!bytes.empty() && bytes.size() <= 1024));
    std::string kept = bytes;
    if (!kept.empty() && kept.back() == '\0') kept.pop_back();
    if (!found) {
        Check(text.empty());
        Check(registry.GetKeyNumber(key, name, number).ok() && number == 0);
    } else if (type == morvel::Registry::kTypeText) {
        Check(morvel::codepage::ToAnsi(text) == kept);
    } else if (type != morvel::Registry::kTypeNumber) {
        Check(text == "sentinel");
    }
    if (found && type == morvel::Registry::kTypeNumber) {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4 && i < kept.size(); ++i)
            v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(kept[i])) << (8 * i);
        Check(registry.GetKeyNumber(key, name, number).ok() && number == static_cast<std::int32_t>(v));
    }
    return 0;
}
