// Writes keys of the store as registry-editor text, in one of two modes of
// one writer (one quoting, one rendering of numbers and bytes):
//
// - the file: the program's key as the registry editor exports a key, the
//   file a registry editor imports and that `load` (RegLoad.h) reads back
//   into the same keys, values, types and bytes (`export --format reg`);
// - the dump: any key with the keys below it as text to read on a terminal
//   (`dump`), in UTF-8 with LF line ends.
//
// Both write "REGEDIT4", then each key depth first: a blank line, the key
// line "[HKEY_CURRENT_USER\path]" with the path as the store spells it, and
// its values, one per line, "name"=data. Text is quoted with \ and "
// escaped; a 4-byte number (type 4) is dword:%08x; other values are hex
// bytes. Everything is read in one read snapshot. A failed read of the store
// fails the writing, after the lines before it; whether out took every line
// is the caller's to check.
#pragma once

#include <ostream>
#include <string_view>

#include "core/platform/Status.h"
#include "core/store/Registry.h"

namespace morvel {

// The file: HKEY_CURRENT_USER\SOFTWARE\Norwick\Morvel (as the store spells
// it) with every key below it, in the registry editor's REGEDIT4 form:
// Windows-1251, CRLF line ends, a blank line before each key line and at the
// end, subkeys (and values) in the order the registry keeps them, by their
// upper-cased names ("Example10" before "Example2", "_" after the letters).
// The line after the header announces a closing line, which ends the file and
// counts the keys and values written (both comments, which a registry editor
// skips), so that a copy cut short is told from a whole one (RegLoad.h).
//
// Values: text (type 1) as "name"="text"; a 4-byte number as dword:; every
// other value as hex: (type 3) or hex(N): with its bytes, wrapped as the
// editor wraps them (a line is cut with "\" once it reaches 77 characters;
// the next goes on after two blanks). The default value (the empty name) is
// written as @.
//
// A "name"="text" line loads back as the text's bytes without a terminating
// zero, the form in which the program stores its texts. A text whose bytes
// that line would not give back (one with a zero byte, such as a language
// file's texts, which end in one, or with a CR or LF) is written as hex(1):
// with its exact bytes instead.
//
// Fails, after writing the lines before it, at a key or value name that a
// load would refuse (see IsLoadableKeyName, IsLoadableValueName); the message
// names it.
Status ExportRegFile(const Registry& registry, std::ostream& out);

// The dump: the key at path (relative to the root; empty for the whole
// store, whose root has no key line of its own) with every key below it, in
// UTF-8 with LF line ends, subkeys and values in the store's order (letter
// case ignored). Texts are read as the program reads them: one trailing zero
// byte dropped, then written as "name"="text" (line breaks as they are)
// unless a zero byte remains; numbers as dword:; anything else as hex(N):
// with all its bytes on one line. NotFound, with nothing written, when path
// names no key.
Status DumpRegText(const Registry& registry, std::string_view path, std::ostream& out);

}  // namespace morvel
