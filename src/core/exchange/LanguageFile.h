// Language files: registry-editor scripts that fill the "\Interface" key with
// the texts of the windows, and their import into the store.
//
// A language file is a registry-editor file (RegFile.h): REGEDIT4 text in
// Windows-1251, or "Windows Registry Editor Version 5.00" text in UTF-16LE with
// its byte-order mark. Only string values of
// the key HKEY_CURRENT_USER\SOFTWARE\Norwick\Morvel\Interface are taken; every
// other key, deletion, value type or malformed line is skipped and reported
// with its line number, and nothing outside that key is ever written.
//
// Parsing is pure and thread-safe; the import writes through one Registry and
// belongs to that Registry's thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/exchange/RegFile.h"
#include "core/platform/Status.h"
#include "core/store/KeyPaths.h"
#include "core/store/Registry.h"

namespace morvel {

// One line that the import skipped, and why: the kind, for a window to say it
// in its own language, and the message in words for morvel-cli.
struct LanguageProblem {
    enum class Kind {
        kOtherKey,      // a key other than the interface key (detail: the key)
        kDeletion,      // the deletion of a key or a value
        kMalformed,     // not a key, a value or a comment, or broken quoting
        kDefaultValue,  // the key's default (unnamed) value
        kNotText,       // a dword: or hex value
        kTooLong,       // a text or name longer than the store holds (detail: the name)
    };
    int line = 0;  // 1-based
    Kind kind = Kind::kMalformed;
    std::string message;
    std::string detail;
};

struct LanguageText {
    std::string name;  // UTF-8
    std::string text;  // UTF-8
};

struct ParsedLanguage {
    // The texts to store, in the order of their first appearance; a name that
    // the file gives twice (letter case ignored) holds the last text given.
    std::vector<LanguageText> texts;
    // The first kMaxReportedProblems skipped lines; skippedLines counts all.
    std::vector<LanguageProblem> problems;
    std::size_t skippedLines = 0;
};

// The largest language file read; the shipped ones are a few kilobytes.
inline constexpr std::size_t kMaxLanguageFileBytes = 16u << 20;
inline constexpr std::size_t kMaxReportedProblems = 100;

// The rule of a language file applied to what the reader of registry-editor
// files meets (ReadRegFile), one statement after another, in file order:
// text values of the interface key are taken; every other line is skipped
// and reported once (a foreign key at its key line, the lines below it not
// looked at). ParseLanguage uses it; a caller that reads a file itself can
// feed it the same statements.
class LanguageParser {
  public:
    explicit LanguageParser(ParsedLanguage& out);
    void Meet(const RegStatement& statement);

  private:
    enum class Key { None, Interface, Other };
    bool Listing() const { return out_.problems.size() < kMaxReportedProblems; }
    // Counts a skipped line, and lists it while fewer than kMaxReportedProblems are.
    void Skip(int line, LanguageProblem::Kind kind, std::string_view message, std::string_view detail = {});
    void Value(const RegStatement& s);

    ParsedLanguage& out_;
    const std::string interfaceKey_;  // lowered, with its root
    Key state_ = Key::None;
    std::unordered_map<std::string, std::size_t> index_;  // lowered name -> position in texts
};

// Parses the bytes of a language file. Fails, with a message naming the reason,
// only when the file as a whole is not a language file (wrong header or
// encoding, too large); then *out is left empty.
Status ParseLanguage(std::string_view bytes, ParsedLanguage& out);

// Parses bytes and stores their texts under the "\Interface" key in one write
// group: either every text is stored or, on failure, none. The texts are stored
// as Windows-1251 with one trailing zero byte, as the registry editor stores
// them. Values the file does not name keep their texts. *out receives what was
// parsed, problems included, also when the store refused the write.
Status ImportLanguage(Registry& registry, std::string_view bytes, ParsedLanguage& out);

// Reads the file at path (at most kMaxLanguageFileBytes) and imports it. A
// file of the program's store is refused unread (InvalidInput; see StoreFiles.h).
Status ImportLanguageFile(Registry& registry, const std::string& path, ParsedLanguage& out);

}  // namespace morvel
