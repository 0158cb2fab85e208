// HeaderFacts: the header attributes of one file, read from its own headers
// (DOS, NE, LE, LX, PE32 and PE32+): the codes of the header slots that
// AttributeFamilies.h names and whose meanings AttributeFamilies.cpp gives.
//
// Reads are bounded and safe against hostile files: every offset and size is
// checked against the file's size before it is used, and nothing is read but
// the headers and the tables the slots need (section table, import
// directory, resource directory, certificate table entry). A PE image whose
// optional header is cut off before its directory count gets only its format,
// stub and entropy; an MZ file whose PE signature is followed by an unknown
// magic gets only its format and entropy. The entropy of a window over 64 KiB
// is taken over a fixed sample of it (ByteEntropy.h). Thread-safe.
#pragma once

#include <array>
#include <cstdint>

#include "core/config/AttributeFamilies.h"
#include "core/platform/ExecutableType.h"

namespace morvel {

// Codes of the header slots; element h - 1 is header slot h. 0: does not apply.
using HeaderCodes = std::array<std::uint8_t, kHeaderSlotCount>;

// Reads the header codes of a file of size bytes through read (which serves
// the examined window from memory and the rest from the file). window and
// windowLength are the examined window, over which the entropy is taken.
HeaderCodes ReadHeaderFacts(const ReadAtFn& read, std::uint64_t size, const std::uint8_t* window,
                            std::int32_t windowLength);

}  // namespace morvel
