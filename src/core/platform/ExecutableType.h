// The executable type of a file, read from the file's own headers: a decision
// list over the MZ header and the signature it points to, with the extension
// deciding for a file without one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace morvel {

// Reads up to n bytes at offset into buf; returns how many were read.
using ReadAtFn = std::function<std::size_t(std::uint64_t offset, void* buf, std::size_t n)>;

// Binary types: 0 32-bit Windows, 1 DOS, 2 16-bit Windows, 3 PIF, 4 POSIX,
// 5 16-bit OS/2, 6 64-bit Windows; -1 when the query fails (an empty file, a
// DLL, an unknown PE magic, a short non-MZ file other than .com or .pif).
// lowerExtension is the path's extension, lower-cased.
int QueryBinaryType(const ReadAtFn& read, std::uint64_t size, std::string_view lowerExtension);

}  // namespace morvel
