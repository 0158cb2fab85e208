// Saving the configuration tables: the one implementation behind both the
// editors' OK and the command line, so the two cannot drift apart.
#pragma once

#include <string>
#include <vector>

#include "platform/Status.h"
#include "store/Registry.h"
#include "store/modMain.h"

namespace morvel {

// The distinct non-empty rows in list order; of rows that differ only in
// letter case the first spelling wins. No capacity is applied.
std::vector<std::string> DistinctSequences(const std::vector<std::string>& rows);

// Cleans rows as DistinctSequences does and stores them as the sequence table:
// "Count" and Value1..ValueN in one write group (values above N stay in place).
// More than 100 distinct rows are refused and nothing is written. On success
// state's SequenceTable and SequenceCount hold the new table; on failure state
// is unchanged and the message says why.
Status SaveSequenceTable(Registry& registry, modMain& state, const std::vector<std::string>& rows);

}  // namespace morvel
