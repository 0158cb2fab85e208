// Registry-editor files: the text in which the registry editor exports keys
// and values and from which it imports them. This is the one reader of such
// files; `load` and the language importer each apply their own rules to what
// it reads.
//
// Two forms: "REGEDIT4" in Windows-1251, and "Windows Registry Editor Version
// 5.00" in UTF-16LE with its byte-order mark. Lines end at CR, LF or CRLF. A
// file is a header line, then key lines "[ROOT\path]" each followed by its
// value lines, with blank lines and ";" comments anywhere:
//   "name"="text"            text (\\ and \" are the only escapes)
//   @="text"                 the key's default value (the empty name)
//   "name"=dword:0000002a    a 32-bit number, 1 to 8 hexadecimal digits
//   "name"=hex:01,02         binary (type 3)
//   "name"=hex(7):41,00,\    any other type code (hexadecimal), its bytes
//     42,00                  continued on the next line after a "\"
//   "name"=-  [-ROOT\path]   deletions of a value and of a key
//
// A file is read whole from memory or piece by piece from a source; either
// way the reader holds one line at a time (a line longer than
// kMaxRegLineBytes is reported as malformed rather than kept), so a file of
// any length is read in bounded memory.
//
// Reading is pure (no store, no file) and thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/platform/Excerpt.h"
#include "core/platform/Status.h"

namespace morvel {

// One statement of a file, as the reader meets it. The views stay valid
// during the callback only.
struct RegStatement {
    enum class Kind {
        kKey,          // [path]: the values that follow belong to it
        kDeleteKey,    // [-path]: the lines that follow, up to the next key line, are skipped
        kBadKeyLine,   // "[" without its closing "]": the lines that follow are skipped too
        kValue,        // a value line (with its continuation lines)
        kDeleteValue,  // "name"=-
        kBadLine,      // any other line that is not blank or a comment; message says why
        kComment,      // a ";" comment line; text holds the line, ";" included, without blanks around it
    };
    Kind kind = Kind::kBadLine;
    int line = 0;  // 1-based: where the statement begins
    // kKey, kDeleteKey: the path between the brackets (root included, without
    // the "-"); kValue, kDeleteValue: the path of the key they belong to.
    std::string_view key;
    std::string_view keyBytes;   // the same in Windows-1251, as the store keeps it
    std::string_view name;       // kValue, kDeleteValue: the value name; empty for "@"
    std::string_view nameBytes;  // the same in Windows-1251, as the store keeps it
    // kValue: its type code and exact bytes. A text line gives type 1 and the
    // Windows-1251 bytes of its text, without a terminating zero: the form in
    // which the store keeps every text this program writes.
    std::int32_t type = 0;
    std::string_view bytes;
    bool quoted = false;    // kValue: written as "name"="text"
    std::string_view text;  // kValue, quoted: the text (UTF-8); kComment: the line
    // False when the key path, the name or the text holds a character that
    // Windows-1251 lacks (possible in UTF-16 files): it would be stored as "?".
    bool representable = true;
    std::string_view message;  // kBadKeyLine, kBadLine: why
};

// Reads bytes as a registry-editor file and calls visit once per statement,
// in file order. Fails, with a message saying why and without calling visit,
// only when the file as a whole is neither form (a wrong header or encoding,
// no lines at all).
Status ReadRegFile(std::string_view bytes, const std::function<void(const RegStatement&)>& visit);

// The longest line (a value line with its continuation lines) that is read
// as such; a longer one is a bad line. Far above any line a load takes.
inline constexpr std::size_t kMaxRegLineBytes = std::size_t{4} << 20;

// A file read piece by piece: fills buffer with up to size bytes and sets
// got to their number, 0 at the end of the file. A failure ends the reading.
using RegFileSource = std::function<Status(char* buffer, std::size_t size, std::size_t& got)>;

// ReadRegFile on the bytes that source gives, one piece at a time; visit
// meets the same statements. Also fails with the source's failure, after
// visit has met the statements before it.
Status ReadRegStream(const RegFileSource& source, const std::function<void(const RegStatement&)>& visit);

// The key path components of a file's key line: the root (the first
// component) and the path below it. Never fails; judging them is the caller's.
struct RegKeyPath {
    std::string_view root;
    std::string_view path;  // empty when the line names the root itself
};
RegKeyPath SplitRegKey(std::string_view key);

}  // namespace morvel
