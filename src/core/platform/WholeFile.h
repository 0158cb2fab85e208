// Reading a whole file, or all of a stream, into memory, up to a limit that
// the caller chooses for what it reads (a language file, a CSV import).
//
// Room is made for what the file says it holds, never for the limit: a
// regular file takes its size (and reads on if it grows meanwhile); a pipe, a
// device or a stream grows the buffer as bytes arrive. Either way at most
// limit + 1 bytes are held before a too large input is refused.
//
// These functions open the path they are given; the program's own store
// files must be refused before them (StoreFiles.h). Thread-safe.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

#include "core/platform/Status.h"

namespace morvel {

// Reads every byte of the file at path (a regular file, a named pipe or a
// device, read to its end) into bytes. NotFound when nothing is at path;
// InvalidInput for a folder or a file of more than limit bytes (the message
// gives the limit); IOError when the file cannot be opened or read. On a
// failure bytes is empty.
Status ReadWholeFile(const std::string& path, std::size_t limit, std::string& bytes);

// The same for a stream read to its end (standard input): InvalidInput for
// more than limit bytes, IOError when the stream fails. On a failure bytes
// is empty.
Status ReadWholeStream(std::istream& in, std::size_t limit, std::string& bytes);

}  // namespace morvel
