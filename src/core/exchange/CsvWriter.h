// Writes stored examples as CSV (RFC 4180, CRLF line ends), the form that
// `import --format csv` (ExampleCsv.h) reads back into the same examples.
#pragma once

#include <ostream>

#include "core/exchange/ExportSelection.h"

namespace morvel {

// Writes a header row ("example", then the selection's column names) and one
// row per selected example: its number, each slot's code (empty for 0) and
// each target's text (empty when it has none), quoted where CSV needs it.
// Whether out took every line is the caller's to check.
void WriteExamplesCsv(const ExportSelection& selection, std::ostream& out);

}  // namespace morvel
