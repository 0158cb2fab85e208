// Writes stored examples as ARFF, the attribute-relation file that Weka and
// other learners read, for trying other methods on the same examples.
#pragma once

#include <ostream>

#include "core/exchange/ExportSelection.h"

namespace morvel {

// Writes the relation "morvel-examples": each slot as a nominal attribute of
// the codes it can take and any other it holds, each target as a nominal
// attribute of the texts it holds (a string attribute when it holds none),
// then one data row per selected example, "?" for a missing value, with the
// example's number as a comment above it (a number is no feature of a file).
// Whether out took every line is the caller's to check.
void WriteExamplesArff(const ExportSelection& selection, std::ostream& out);

}  // namespace morvel
