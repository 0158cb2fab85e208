// The language-file rule on arbitrary bytes, without a store: every text it
// takes is a text value that the file gives under the "\Interface" key, and
// fits the store with its trailing zero.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "core/exchange/LanguageFile.h"
#include "core/exchange/RegFile.h"
#include "core/platform/CodePage.h"
#include "core/store/KeyPaths.h"
#include "core/store/Registry.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using Kind = morvel::RegStatement::Kind;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // One pass of the reader feeds the language rule and, beside it, a plain
    // record of the text lines under the interface key.
    static const std::string interfaceKey =
        morvel::codepage::LoweredAnsi("HKEY_CURRENT_USER\\" + morvel::InterfaceKeyPath());
    // (lowered name, text) of every text line under the interface key; sorted
    // once, then searched, which keeps the check cheap beside the reading.
    std::vector<std::pair<std::string, std::string>> given;
    bool inInterface = false;
    morvel::ParsedLanguage parsed;
    morvel::LanguageParser parser(parsed);
    const bool ok =
        morvel::ReadRegFile(bytes, [&](const morvel::RegStatement& s) {
            parser.Meet(s);
            if (s.kind == Kind::kKey || s.kind == Kind::kDeleteKey || s.kind == Kind::kBadKeyLine)
                inInterface = s.kind == Kind::kKey && morvel::codepage::LowerAnsi(s.keyBytes) == interfaceKey;
            if (s.kind == Kind::kValue && inInterface && s.quoted)
                given.emplace_back(morvel::codepage::LowerAnsi(s.nameBytes), s.text);
        }).ok();
    Check(parsed.problems.size() <= morvel::kMaxReportedProblems);
    Check(parsed.skippedLines >= parsed.problems.size());
    if (!ok) Check(parsed.texts.empty() && parsed.skippedLines == 0);
    std::sort(given.begin(), given.end());
    for (const auto& t : parsed.texts) {
        Check(!t.name.empty());
        const std::pair<std::string, std::string> taken(morvel::codepage::LoweredAnsi(t.name), t.text);
        Check(std::binary_search(given.begin(), given.end(), taken));
        Check(morvel::codepage::ToAnsi(t.text).size() < morvel::Registry::kMaxValueBytes);
    }
    return 0;
}
