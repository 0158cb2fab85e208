// Writes the program's key as the registry editor exports a key: the file a
// registry editor imports, and that `load` (RegLoad.h) reads back into the
// same keys, values, types and bytes.
#pragma once

#include <ostream>

#include "core/platform/Status.h"
#include "core/store/Registry.h"

namespace morvel {

// Writes HKEY_CURRENT_USER\SOFTWARE\Norwick\Morvel (as the store spells it)
// with every key below it, from one read snapshot, in the registry editor's
// REGEDIT4 form: Windows-1251, CRLF line ends, a blank line before each key
// line and at the end, subkeys (and values) in the order the registry keeps
// them, by their upper-cased names ("Example10" before "Example2", "_" after
// the letters), depth first. The line after the header announces a closing
// line, which ends the file and counts the keys and values written (both
// comments, which a registry editor skips), so that a copy cut short is
// told from a whole one (RegLoad.h).
//
// Values: text (type 1) as "name"="text" with \ and " escaped; a 4-byte
// number (type 4) as dword:%08x; every other value as hex: (type 3) or
// hex(N): with its bytes, wrapped as the editor wraps them (a line is cut with
// "\" once it reaches 77 characters; the next goes on after two blanks). The
// default value (the empty name) is written as @.
//
// A "name"="text" line loads back as the text's bytes without a terminating
// zero, the form in which the program stores its texts. A text whose bytes
// that line would not give back (one with a zero byte, such as a language
// file's texts, which end in one, or with a CR or LF) is written as hex(1):
// with its exact bytes instead.
//
// Fails, after writing the lines before it, at a key or value name that a
// load would refuse (see IsLoadableKeyName, IsLoadableValueName); the message
// names it. Whether out took every line is the caller's to check.
Status ExportRegFile(const Registry& registry, std::ostream& out);

}  // namespace morvel
