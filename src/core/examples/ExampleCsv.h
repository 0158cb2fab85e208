// Importing examples from CSV, the form `morvel-cli export --format csv`
// writes: a header row, then one row per example.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/examples/ExampleStore.h"
#include "core/platform/Status.h"

namespace morvel {

// The largest CSV file an import reads (it reads the file whole): room for
// an export of a million examples, well under the memory of a desktop.
inline constexpr std::size_t kMaxCsvImportBytes = std::size_t{1} << 30;

// Appends the rows of csv to the store as new examples, numbered on from
// "Count" in row order, in one write group (ExampleStore::Append). Columns
// are matched by name, case-insensitively: "example" (ignored), Standard1 to
// Standard16, "Contain" + a text and "Target" + an identifier; they need not
// be configured. Attribute cells are empty or a number from 1 to 255; target
// cells are empty or the text to store. An unknown or repeated column, any
// other cell, a text the store cannot hold or a malformed row stops the
// import before anything is written (InvalidInput; the message names the
// line). On success *first and *count say which examples were made.
Status ImportExamplesCsv(ExampleStore& store, std::string_view csv, std::int32_t* first, std::int32_t* count);

}  // namespace morvel
