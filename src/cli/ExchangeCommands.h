// morvel-cli's data exchange: export writes the stored examples as CSV or
// ARFF for other tools, or the whole store as a registry-editor file; import
// appends the rows of such a CSV as examples.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/StoreCommand.h"
#include "core/platform/Status.h"

namespace morvel {

// Adds the subcommands export and import to app.
StoreCommands AddExchangeCommands(CLI::App& app);

// Appends the rows of csv (a header row, then one row per example) to the
// store as new examples, numbered on from "Count", in one write group.
// Columns are matched by name, case-insensitively: "example" (ignored),
// Standard1 to Standard16, "Contain" + a text and "Target" + an identifier.
// Attribute cells are empty or a number from 1 to 255; target cells are
// empty or the text to store. Any other column, cell or a malformed row
// stops the import before anything is written; the message names its line.
// On success *first and *count say which examples were made.
Status ImportCsv(Registry& registry, std::string_view csv, std::int32_t* first, std::int32_t* count);

}  // namespace morvel
