#include "core/store/LanguageFile.h"

#include <filesystem>
#include <fstream>
#include <unordered_map>

#include "core/platform/CodePage.h"
#include "core/store/KeyPaths.h"

namespace morvel {
namespace {

constexpr std::string_view kAnsiHeader = "REGEDIT4";
constexpr std::string_view kUnicodeHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kRoot = "HKEY_CURRENT_USER\\";

// UTF-16LE -> UTF-8; an unpaired surrogate becomes U+FFFD (stored later as "?"),
// and an odd last byte is dropped.
std::string FromUtf16(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&](std::size_t i) {
        return static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                     (static_cast<std::uint8_t>(bytes[i + 1]) << 8));
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            const char16_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                codepage::AppendUtf8(out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        codepage::AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? U'\uFFFD' : char32_t{u});
    }
    return out;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// At most 80 characters of a text from the file, for a message.
std::string Excerpt(std::string_view s) {
    if (s.size() <= 80) return std::string(s);
    std::size_t cut = 77;
    while (cut > 0 && (static_cast<std::uint8_t>(s[cut]) & 0xC0) == 0x80) --cut;  // whole characters
    return std::string(s.substr(0, cut)) + "...";
}

bool SameText(std::string_view a, std::string_view b) {
    return codepage::LoweredAnsi(a) == codepage::LoweredAnsi(b);
}

// Reads a quoted text at the start of s (s[0] is the opening quote) with the
// escapes \\ and \". On success *text holds the unescaped text and s is moved
// past the closing quote.
bool ReadQuoted(std::string_view& s, std::string& text) {
    text.clear();
    for (std::size_t i = 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) return false;
            text.push_back(s[++i]);
        } else {
            text.push_back(c);
        }
    }
    return false;
}

class Parser {
  public:
    explicit Parser(ParsedLanguage& out) : out_(out) {}

    void Line(int number, std::string_view raw) {
        const bool continued = continuation_;
        continuation_ = false;
        std::string_view line = TrimBlanks(raw);
        if (continued) {
            // The rest of a binary value that was already reported.
            continuation_ = !line.empty() && line.back() == '\\';
            return;
        }
        if (line.empty() || line.front() == ';') return;
        if (line.front() == '[') return KeyLine(number, line);
        if (state_ == Key::None) return Problem(number, "a value outside any key");
        if (state_ == Key::Other) return;  // reported once, at its key line
        ValueLine(number, line);
    }

  private:
    enum class Key { None, Interface, Other };

    void Problem(int number, std::string message) {
        ++out_.skippedLines;
        if (out_.problems.size() < kMaxReportedProblems)
            out_.problems.push_back({number, std::move(message)});
    }

    void KeyLine(int number, std::string_view line) {
        state_ = Key::Other;
        if (line.back() != ']') return Problem(number, "a key line without its closing \"]\"");
        const std::string_view path = line.substr(1, line.size() - 2);
        if (StartsWith(path, "-")) return Problem(number, "the deletion of a key is not taken");
        if (!SameText(path, std::string(kRoot) + InterfaceKeyPath()))
            return Problem(
                number, "the key [" + Excerpt(path) + "] is not the interface key; its values are skipped");
        state_ = Key::Interface;
    }

    void ValueLine(int number, std::string_view line) {
        if (line.front() == '@') return Skip(number, line, "the default value of the key is not used");
        std::string name;
        std::string_view rest = line;
        if (line.front() != '"' || !ReadQuoted(rest, name))
            return Problem(number, "not a key, a value or a comment");
        rest = TrimBlanks(rest);
        if (rest.empty() || rest.front() != '=') return Problem(number, "a value name without \"=\"");
        rest = TrimBlanks(rest.substr(1));
        if (name.empty()) return Skip(number, rest, "the default value of the key is not used");
        if (rest == "-") return Problem(number, "the deletion of a value is not taken");
        if (rest.empty() || rest.front() != '"')
            return Skip(number, rest, "only text values are taken (not dword: or hex)");
        std::string text;
        if (!ReadQuoted(rest, text) || !TrimBlanks(rest).empty())
            return Problem(number, "broken quoting in the text of \"" + Excerpt(name) + "\"");
        if (text.find('\0') != std::string::npos || name.find('\0') != std::string::npos)
            return Problem(number, "a zero byte inside the value \"" + Excerpt(name) + "\"");
        if (codepage::ToAnsi(text).size() >= Registry::kMaxValueBytes)
            return Problem(number, "the text of \"" + Excerpt(name) + "\" is longer than 1023 characters");
        if (codepage::ToAnsi(name).size() > Registry::kMaxValueBytes)
            return Problem(number, "a value name longer than 1024 characters");
        Take(std::move(name), std::move(text));
    }

    // Reports a value that is not taken; a binary value continued with "\" at
    // the end of the line takes its following lines with it.
    void Skip(int number, std::string_view value, std::string message) {
        continuation_ = !value.empty() && value.back() == '\\';
        Problem(number, std::move(message));
    }

    void Take(std::string name, std::string text) {
        const std::string lowered = codepage::LoweredAnsi(name);
        if (auto it = index_.find(lowered); it != index_.end()) {
            out_.texts[it->second].text = std::move(text);
            return;
        }
        index_.emplace(lowered, out_.texts.size());
        out_.texts.push_back({std::move(name), std::move(text)});
    }

    ParsedLanguage& out_;
    Key state_ = Key::None;
    bool continuation_ = false;
    std::unordered_map<std::string, std::size_t> index_;
};

}  // namespace

Status ParseLanguage(std::string_view bytes, ParsedLanguage& out) {
    out = ParsedLanguage();
    if (bytes.size() > kMaxLanguageFileBytes)
        return Status::InvalidInput("the file is larger than " + std::to_string(kMaxLanguageFileBytes >> 20) +
                                    " MB; a language file is a few kilobytes");
    const bool unicode = StartsWith(bytes, "\xFF\xFE");
    const std::string text = unicode ? FromUtf16(bytes.substr(2)) : codepage::FromAnsi(bytes);

    ParsedLanguage parsed;
    Parser parser(parsed);
    int number = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        const std::string_view line(text.data() + pos, end - pos);
        ++number;
        if (number == 1) {
            const std::string_view header = TrimBlanks(line);
            if (unicode && header != kUnicodeHeader)
                return Status::InvalidInput("a UTF-16 language file must begin with the line \"" +
                                            std::string(kUnicodeHeader) + "\"");
            if (!unicode && header != kAnsiHeader)
                return Status::InvalidInput(
                    "a language file must begin with the line \"REGEDIT4\" (or be a "
                    "UTF-16 file that begins with \"" +
                    std::string(kUnicodeHeader) + "\")");
        } else {
            parser.Line(number, line);
        }
        pos = end;
        if (pos < text.size() && text[pos] == '\r') {
            ++pos;
            if (pos < text.size() && text[pos] == '\n') ++pos;
        } else if (pos < text.size()) {
            ++pos;
        }
    }
    if (number == 0) return Status::InvalidInput("the file is empty");
    out = std::move(parsed);
    return Status::Ok();
}

Status ImportLanguage(Registry& registry, std::string_view bytes, ParsedLanguage& out) {
    if (Status s = ParseLanguage(bytes, out); !s) return s;
    Registry::WriteGroup group(registry);
    const std::string key = InterfaceKeyPath();
    if (Status s = registry.OpenKey(key); !s) return s;
    for (const auto& t : out.texts) {
        std::string stored = codepage::ToAnsi(t.text);
        stored.push_back('\0');
        registry.SetKeyValue(key, t.name, Registry::kTypeText, stored);
    }
    return group.Commit();
}

Status ImportLanguageFile(Registry& registry, const std::string& path, ParsedLanguage& out) {
    out = ParsedLanguage();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return Status::NotFound(path + " is not a file");
    std::ifstream in(path, std::ios::binary);
    if (!in) return Status::IOError("cannot open " + path);
    std::string bytes(kMaxLanguageFileBytes + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) return Status::IOError("cannot read " + path);
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return ImportLanguage(registry, bytes, out);
}

}  // namespace morvel
