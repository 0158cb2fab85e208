#include "core/exchange/RegFileWriter.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "core/exchange/RegLoad.h"
#include "core/platform/CodePage.h"
#include "core/store/KeyPaths.h"

namespace morvel {
namespace {

// A line of hex bytes is cut once it is this long; with its "\" it stays
// within the 80 columns of the editor's files.
constexpr std::size_t kHexLineCut = 77;

// For each Windows-1251 byte, the Unicode character of its upper-case form:
// the registry orders names by these, one after another.
const std::array<char32_t, 256>& UpperCharacters() {
    static const std::array<char32_t, 256> table = [] {
        std::array<std::uint8_t, 256> upper;
        for (int b = 0; b < 256; ++b) upper[b] = static_cast<std::uint8_t>(b);
        for (int b = 0; b < 256; ++b)
            if (const std::uint8_t lower = codepage::LowerByte(static_cast<std::uint8_t>(b)); lower != b)
                upper[lower] = static_cast<std::uint8_t>(b);
        std::array<char32_t, 256> characters;
        for (int b = 0; b < 256; ++b) {
            const std::string utf8 = codepage::FromAnsi(std::string(1, static_cast<char>(upper[b])));
            const auto u = [&](std::size_t i) {
                return static_cast<char32_t>(static_cast<std::uint8_t>(utf8[i]));
            };
            characters[b] = utf8.size() == 1   ? u(0)
                            : utf8.size() == 2 ? ((u(0) & 0x1F) << 6) | (u(1) & 0x3F)
                                               : ((u(0) & 0x0F) << 12) | ((u(1) & 0x3F) << 6) | (u(2) & 0x3F);
        }
        return characters;
    }();
    return table;
}

// The registry's order of two names (Windows-1251 bytes).
bool EditorOrder(std::string_view a, std::string_view b) {
    const auto& upper = UpperCharacters();
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) {
        return upper[static_cast<std::uint8_t>(x)] < upper[static_cast<std::uint8_t>(y)];
    });
}

std::string Quoted(std::string_view ansi) {
    std::string out = "\"";
    for (const char c : ansi) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

// Appends the value's data to line (which holds "name"=) and ends the line.
void AppendData(std::string& line, std::int32_t type, std::string_view bytes) {
    char buf[24];
    if (type == Registry::kTypeText && bytes.find_first_of(std::string_view("\0\r\n", 3)) == bytes.npos) {
        line += Quoted(bytes);
    } else if (type == Registry::kTypeNumber && bytes.size() == 4) {
        std::uint32_t n = 0;
        for (int i = 0; i < 4; ++i)
            n |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i])) << (8 * i);
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        line += buf;
    } else {
        if (type == 3) {
            line += "hex:";
        } else {
            std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<std::uint32_t>(type));
            line += buf;
        }
        std::size_t lineStart = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            std::snprintf(buf, sizeof buf, "%02x", static_cast<std::uint8_t>(bytes[i]));
            line += buf;
            if (i + 1 == bytes.size()) break;
            line += ',';
            if (line.size() - lineStart >= kHexLineCut) {
                line += "\\\r\n  ";
                lineStart = line.size() - 2;
            }
        }
    }
    line += "\r\n";
}

struct Named {
    std::string ansi;  // the name as stored
    std::size_t index = 0;
};

// Names in the registry's order.
std::vector<Named> InEditorOrder(const std::vector<std::string>& names) {
    std::vector<Named> sorted;
    for (std::size_t i = 0; i < names.size(); ++i) sorted.push_back({codepage::ToAnsi(names[i]), i});
    std::sort(sorted.begin(), sorted.end(),
              [](const Named& a, const Named& b) { return EditorOrder(a.ansi, b.ansi); });
    return sorted;
}

// stored: the base key's path as the store spells it (the program's
// spelling when missing).
Status StoredBasePath(const Registry& registry, std::string& stored) {
    stored.clear();
    std::vector<std::string> children;
    std::string_view rest = kBaseKey;
    while (!rest.empty()) {
        const auto cut = rest.find('\\');
        const std::string_view part = rest.substr(0, cut);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
        std::string name(part);
        if (Status s = registry.SubkeyNames(stored, children); !s) return s;
        for (const auto& child : children)
            if (codepage::LoweredAnsi(child) == codepage::LoweredAnsi(part)) name = child;
        stored = stored.empty() ? name : stored + "\\" + name;
    }
    return Status::Ok();
}

}  // namespace

Status ExportRegFile(const Registry& registry, std::ostream& out) {
    const Registry::ReadSnapshot snapshot(registry);
    out << "REGEDIT4\r\n" << kClosingLineFollows << "\r\n";
    std::size_t keys = 0, valueCount = 0;
    // Depth first without recursion: the keys still to write, the next on top.
    std::vector<std::string> pending(1);
    if (Status s = StoredBasePath(registry, pending.back()); !s) return s;
    std::string line;
    std::vector<Registry::RawValue> values;
    std::vector<std::string> children;
    while (!pending.empty()) {
        const std::string path = std::move(pending.back());
        pending.pop_back();
        out << "\r\n[HKEY_CURRENT_USER\\" << codepage::ToAnsi(path) << "]\r\n";
        ++keys;
        if (Status s = registry.Values(path, values); !s) return s;
        std::vector<std::string> names;
        for (const auto& v : values) names.push_back(v.name);
        for (const Named& name : InEditorOrder(names)) {
            if (!IsLoadableValueName(name.ansi))
                return Status::Corrupt("the value \"" + names[name.index] + "\" of " + path +
                                       " has a name that cannot be loaded back");
            const auto& v = values[name.index];
            line = name.ansi.empty() ? "@=" : Quoted(name.ansi) + "=";
            AppendData(line, v.type, v.bytes);
            out << line;
            ++valueCount;
        }
        if (Status s = registry.SubkeyNames(path, children); !s) return s;
        const auto sorted = InEditorOrder(children);
        for (auto child = sorted.rbegin(); child != sorted.rend(); ++child) {
            if (!IsLoadableKeyName(child->ansi))
                return Status::Corrupt("the key " + path + "\\" + children[child->index] +
                                       " has a name that cannot be loaded back");
            pending.push_back(path + "\\" + children[child->index]);
        }
    }
    out << "\r\n" << ClosingLine(keys, valueCount) << "\r\n";
    return Status::Ok();
}

}  // namespace morvel
