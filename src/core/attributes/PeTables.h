// PeTables: the codes that come from walking a PE image's tables: the
// runtime its import directory names and the manifest its resources hold.
// Every walk is bounded (descriptor and entry counts, name and data lengths
// are capped) and follows a fixed depth, so a table that points into itself
// ends the walk instead of looping. A broken pointer reads as an absent
// entry. Pure functions of the file; thread-safe.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/attributes/BoundedReader.h"
#include "core/attributes/PeImage.h"

namespace morvel {

// The import slot's code: 1 no imports, 2 .NET runtime, 3 kernel, 4 msvcrt,
// 5 a Visual C++ runtime, 6 other libraries only. A directory that maps to
// no bytes of the file counts as none.
std::uint8_t ImportsCode(const BoundedReader& file, const PeImage& image);

// The runtime class of one imported library, named in lower case (the codes
// of ImportsCode, 6 for any other library).
std::uint8_t ImportedLibraryClass(std::string_view lowerName);

// The manifest slot's code: 1 no resources, 2 no manifest (or one that cannot
// be reached), 3 a manifest, 4 a manifest asking for elevation.
std::uint8_t ManifestCode(const BoundedReader& file, const PeImage& image);

}  // namespace morvel
