#include "core/exchange/RegExport.h"

#include <cstdio>
#include <string>

#include "core/platform/CodePage.h"

namespace morvel {
namespace {

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

std::string Rendered(const Registry::RawValue& v) {
    std::string_view data = v.bytes;
    if (v.type == Registry::kTypeText) {
        if (!data.empty() && data.back() == '\0') data.remove_suffix(1);
        if (data.find('\0') == std::string_view::npos) return Quoted(codepage::FromAnsi(data));
    }
    char buf[16];
    if (v.type == Registry::kTypeNumber && data.size() == 4) {
        std::uint32_t n = 0;
        for (int i = 0; i < 4; ++i)
            n |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(data[i])) << (8 * i);
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        return buf;
    }
    std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
    std::string out = buf;
    for (std::size_t i = 0; i < v.bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", static_cast<std::uint8_t>(v.bytes[i]));
        out += buf;
    }
    return out;
}

Status ExportKey(const Registry& registry, const std::string& path, std::ostream& out) {
    if (!path.empty()) {
        out << "\n[HKEY_CURRENT_USER\\" << path << "]\n";
        std::vector<Registry::RawValue> values;
        if (Status s = registry.Values(path, values); !s) return s;
        for (const auto& v : values) out << Quoted(v.name) << "=" << Rendered(v) << "\n";
    }
    std::vector<std::string> children;
    if (Status s = registry.SubkeyNames(path, children); !s) return s;
    for (const auto& child : children)
        if (Status s = ExportKey(registry, path.empty() ? child : path + "\\" + child, out); !s) return s;
    return Status::Ok();
}

}  // namespace

Status ExportRegedit4(const Registry& registry, std::string_view path, std::ostream& out) {
    out << "REGEDIT4\n";
    Registry::ReadSnapshot snapshot(registry);
    bool exists = false;
    if (Status s = registry.KeyExists(path, exists); !s) return s;
    if (!exists) return Status::NotFound("no key " + std::string(path));
    // Export with the stored spelling of each level, not the caller's.
    std::string stored;
    std::string_view rest = path;
    while (!rest.empty()) {
        const auto cut = rest.find('\\');
        const std::string_view part = rest.substr(0, cut);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
        if (part.empty()) continue;
        std::vector<std::string> names;
        if (Status s = registry.SubkeyNames(stored, names); !s) return s;
        for (const auto& name : names) {
            if (codepage::LoweredAnsi(name) == codepage::LoweredAnsi(part)) {
                stored = stored.empty() ? name : stored + "\\" + name;
                break;
            }
        }
    }
    return ExportKey(registry, stored, out);
}

}  // namespace morvel
