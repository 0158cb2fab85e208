#include "core/exchange/LanguageFile.h"

#include <filesystem>
#include <unordered_map>

#include "core/platform/CodePage.h"
#include "core/platform/WholeFile.h"
#include "core/store/KeyPaths.h"
#include "core/store/StoreFiles.h"

namespace morvel {

using Problem = LanguageProblem::Kind;

namespace {
// Said after the limit when a file is refused as too large.
constexpr const char* kLanguageFileSize = "; a language file is a few kilobytes";
}  // namespace

LanguageParser::LanguageParser(ParsedLanguage& out)
    : out_(out), interfaceKey_(codepage::LoweredAnsi("HKEY_CURRENT_USER\\" + InterfaceKeyPath())) {}

void LanguageParser::Meet(const RegStatement& s) {
    using Kind = RegStatement::Kind;
    switch (s.kind) {
        case Kind::kKey:
            state_ = codepage::LowerAnsi(s.keyBytes) == interfaceKey_ ? Key::Interface : Key::Other;
            if (state_ == Key::Other)
                Skip(s.line, Problem::kOtherKey,
                     Listing()
                         ? "the key [" + Excerpt(s.key) + "] is not the interface key; its values are skipped"
                         : std::string(),
                     Listing() ? Excerpt(s.key) : std::string());
            return;
        case Kind::kDeleteKey:
            state_ = Key::Other;
            return Skip(s.line, Problem::kDeletion, "the deletion of a key is not taken");
        case Kind::kBadKeyLine:
            state_ = Key::Other;
            return Skip(s.line, Problem::kMalformed, s.message);
        case Kind::kBadLine:
            if (state_ != Key::Other) Skip(s.line, Problem::kMalformed, s.message);
            return;
        case Kind::kDeleteValue:
            if (state_ == Key::Interface)
                Skip(s.line, Problem::kDeletion, "the deletion of a value is not taken");
            return;
        case Kind::kValue:
            if (state_ == Key::Interface) Value(s);
            return;
        case Kind::kComment:
            return;
    }
}

void LanguageParser::Skip(int line, Problem kind, std::string_view message, std::string_view detail) {
    if (Listing()) out_.problems.push_back({line, kind, std::string(message), std::string(detail)});
    ++out_.skippedLines;
}

void LanguageParser::Value(const RegStatement& s) {
    if (s.name.empty())
        return Skip(s.line, Problem::kDefaultValue, "the default value of the key is not used");
    if (!s.quoted) return Skip(s.line, Problem::kNotText, "only text values are taken (not dword: or hex)");
    // Stored with a trailing zero byte, so one byte less than a value holds.
    if (s.bytes.size() >= Registry::kMaxValueBytes)
        return Skip(s.line, Problem::kTooLong,
                    Listing() ? "the text of \"" + Excerpt(s.name) + "\" is longer than 1023 characters"
                              : std::string(),
                    Listing() ? Excerpt(s.name) : std::string());
    if (s.nameBytes.size() > Registry::kMaxValueBytes)
        return Skip(s.line, Problem::kTooLong, "a value name longer than 1024 characters", Excerpt(s.name));
    const std::string lowered = codepage::LowerAnsi(s.nameBytes);
    if (auto it = index_.find(lowered); it != index_.end()) {
        out_.texts[it->second].text = s.text;
        return;
    }
    index_.emplace(lowered, out_.texts.size());
    out_.texts.push_back({std::string(s.name), std::string(s.text)});
}

Status ParseLanguage(std::string_view bytes, ParsedLanguage& out) {
    out = ParsedLanguage();
    if (bytes.size() > kMaxLanguageFileBytes)
        return Status::InvalidInput("the file is larger than " + std::to_string(kMaxLanguageFileBytes >> 20) +
                                    " MB" + kLanguageFileSize);
    ParsedLanguage parsed;
    LanguageParser parser(parsed);
    if (Status s = ReadRegFile(bytes, [&](const RegStatement& statement) { parser.Meet(statement); }); !s)
        return s;
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
        // A failed write fails the group's Commit below.
        if (Status s = registry.SetKeyValue(key, t.name, Registry::kTypeText, stored); !s) break;
    }
    return group.Commit();
}

Status ImportLanguageFile(Registry& registry, const std::string& path, ParsedLanguage& out) {
    out = ParsedLanguage();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return Status::NotFound(path + " is not a file");
    if (Status s = RefuseOpenStoreFile(path); !s) return s;
    std::string bytes;
    if (Status s = ReadWholeFile(path, kMaxLanguageFileBytes, bytes); !s)
        return s.IsInvalidInput() ? Status::InvalidInput(s.message() + kLanguageFileSize) : s;
    return ImportLanguage(registry, bytes, out);
}

}  // namespace morvel
