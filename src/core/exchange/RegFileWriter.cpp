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

// Appends text between quotes, its \ and " escaped.
void AppendQuoted(std::string& line, std::string_view text) {
    line += '"';
    for (const char c : text) {
        if (c == '\\' || c == '"') line += '\\';
        line += c;
    }
    line += '"';
}

// Appends a 4-byte little-endian number as dword:.
void AppendDword(std::string& line, std::string_view bytes) {
    std::uint32_t n = 0;
    for (int i = 0; i < 4; ++i)
        n |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i])) << (8 * i);
    char buf[16];
    std::snprintf(buf, sizeof buf, "dword:%08x", n);
    line += buf;
}

// Appends bytes as hex(type): with the bytes; as the editor writes them
// (type 3 as hex:, lines cut at kHexLineCut) when wrapped.
void AppendHex(std::string& line, std::int32_t type, std::string_view bytes, bool wrapped) {
    char buf[24];
    if (wrapped && type == 3) {
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
        if (wrapped && line.size() - lineStart >= kHexLineCut) {
            line += "\\\r\n  ";
            lineStart = line.size() - 2;
        }
    }
}

enum class Mode { kFile, kDump };

// The one writer of registry text: each key depth first, in the mode's
// encoding, order and value forms.
class RegTextWriter {
  public:
    RegTextWriter(const Registry& registry, Mode mode, std::ostream& out)
        : registry_(registry), file_(mode == Mode::kFile), out_(out), lineEnd_(file_ ? "\r\n" : "\n") {}

    void Header() { out_ << "REGEDIT4" << lineEnd_; }

    // Writes the key at path (as the store spells it; empty: the root, which
    // has no key line) and every key below it.
    Status Tree(const std::string& path) {
        // Depth first without recursion: the keys still to write, the next on top.
        std::vector<std::string> pending = {path};
        while (!pending.empty()) {
            const std::string key = std::move(pending.back());
            pending.pop_back();
            if (!key.empty()) {
                out_ << lineEnd_ << "[HKEY_CURRENT_USER\\" << (file_ ? codepage::ToAnsi(key) : key) << "]"
                     << lineEnd_;
                ++keysWritten_;
                if (Status s = Values(key); !s) return s;
            }
            if (Status s = registry_.SubkeyNames(key, children_); !s) return s;
            if (Status s = Below(key, pending); !s) return s;
        }
        return Status::Ok();
    }

    void End() {
        if (file_) out_ << lineEnd_;
    }

    // The key lines and value lines written so far.
    std::size_t KeysWritten() const { return keysWritten_; }
    std::size_t ValuesWritten() const { return valuesWritten_; }

  private:
    Status Values(const std::string& key) {
        if (Status s = registry_.Values(key, values_); !s) return s;
        if (!file_) {
            for (const auto& v : values_) {
                line_.clear();
                AppendQuoted(line_, v.name);
                line_ += '=';
                AppendData(v.type, v.bytes);
                out_ << line_ << lineEnd_;
            }
            return Status::Ok();
        }
        names_.clear();
        for (const auto& v : values_) names_.push_back(v.name);
        for (const Named& name : InEditorOrder(names_)) {
            if (!IsLoadableValueName(name.ansi))
                return Status::Corrupt("the value \"" + names_[name.index] + "\" of " + key +
                                       " has a name that cannot be loaded back");
            const auto& v = values_[name.index];
            line_.clear();
            if (name.ansi.empty()) {
                line_ += '@';
            } else {
                AppendQuoted(line_, name.ansi);
            }
            line_ += '=';
            AppendData(v.type, v.bytes);
            out_ << line_ << lineEnd_;
            ++valuesWritten_;
        }
        return Status::Ok();
    }

    // Puts the subkeys of key (children_) on pending, the first to write on top.
    Status Below(const std::string& key, std::vector<std::string>& pending) const {
        const auto pathOf = [&](const std::string& child) {
            return key.empty() ? child : key + "\\" + child;
        };
        if (!file_) {
            for (auto child = children_.rbegin(); child != children_.rend(); ++child)
                pending.push_back(pathOf(*child));
            return Status::Ok();
        }
        const auto sorted = InEditorOrder(children_);
        for (auto child = sorted.rbegin(); child != sorted.rend(); ++child) {
            if (!IsLoadableKeyName(child->ansi))
                return Status::Corrupt("the key " + key + "\\" + children_[child->index] +
                                       " has a name that cannot be loaded back");
            pending.push_back(pathOf(children_[child->index]));
        }
        return Status::Ok();
    }

    // Appends a value's data to line_ (which holds "name"=).
    void AppendData(std::int32_t type, std::string_view bytes) {
        if (type == Registry::kTypeText) {
            if (file_) {
                // Only a text that the line gives back exactly.
                if (bytes.find_first_of(std::string_view("\0\r\n", 3)) == bytes.npos)
                    return AppendQuoted(line_, bytes);
            } else {
                // As the program reads a text: one trailing zero byte dropped.
                std::string_view text = bytes;
                if (!text.empty() && text.back() == '\0') text.remove_suffix(1);
                if (text.find('\0') == text.npos) return AppendQuoted(line_, codepage::FromAnsi(text));
            }
        }
        if (type == Registry::kTypeNumber && bytes.size() == 4) return AppendDword(line_, bytes);
        AppendHex(line_, type, bytes, file_);
    }

    const Registry& registry_;
    const bool file_;
    std::ostream& out_;
    const char* const lineEnd_;
    // Reused from key to key.
    std::string line_;
    std::vector<Registry::RawValue> values_;
    std::vector<std::string> names_;
    std::vector<std::string> children_;
    std::size_t keysWritten_ = 0;
    std::size_t valuesWritten_ = 0;
};

// The path as the store spells each level of it; a level the store lacks
// keeps the spelling of path.
Status StoredSpelling(const Registry& registry, std::string_view path, std::string& stored) {
    stored.clear();
    std::vector<std::string> children;
    while (!path.empty()) {
        const auto cut = path.find('\\');
        const std::string_view part = path.substr(0, cut);
        path = cut == std::string_view::npos ? std::string_view() : path.substr(cut + 1);
        if (part.empty()) continue;
        if (Status s = registry.SubkeyNames(stored, children); !s) return s;
        std::string name(part);
        for (const auto& child : children)
            if (codepage::LoweredAnsi(child) == codepage::LoweredAnsi(part)) name = child;
        stored = stored.empty() ? name : stored + "\\" + name;
    }
    return Status::Ok();
}

}  // namespace

Status ExportRegFile(const Registry& registry, std::ostream& out) {
    const Registry::ReadSnapshot snapshot(registry);
    RegTextWriter writer(registry, Mode::kFile, out);
    writer.Header();
    out << kClosingLineFollows << "\r\n";
    std::string base;
    if (Status s = StoredSpelling(registry, kBaseKey, base); !s) return s;
    if (Status s = writer.Tree(base); !s) return s;
    writer.End();
    out << ClosingLine(writer.KeysWritten(), writer.ValuesWritten()) << "\r\n";
    return Status::Ok();
}

Status DumpRegText(const Registry& registry, std::string_view path, std::ostream& out) {
    const Registry::ReadSnapshot snapshot(registry);
    bool exists = false;
    if (Status s = registry.KeyExists(path, exists); !s) return s;
    if (!exists) return Status::NotFound("no key " + std::string(path));
    std::string stored;
    if (Status s = StoredSpelling(registry, path, stored); !s) return s;
    RegTextWriter writer(registry, Mode::kDump, out);
    writer.Header();
    if (Status s = writer.Tree(stored); !s) return s;
    writer.End();
    return Status::Ok();
}

}  // namespace morvel
