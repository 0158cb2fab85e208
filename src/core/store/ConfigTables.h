// Saving the configuration tables: the one implementation behind both the
// editors' OK and the command line, so the two cannot drift apart.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/Status.h"
#include "core/store/Registry.h"
#include "core/store/modMain.h"

namespace morvel {

// The distinct non-empty rows in list order; of rows that differ only in
// letter case the first spelling wins. No capacity is applied.
std::vector<std::string> DistinctSequences(const std::vector<std::string>& rows);

// Cleans rows as DistinctSequences does and stores them as the sequence table:
// "Count" and Value1..ValueN in one write group (values above N stay in place).
// More than 100 distinct rows are refused and nothing is written. On success
// state's SequenceTable and SequenceCount hold the new table, and its
// AttributeNames and AttributeCount follow it, as the next start builds them:
// a vector computed with the new table is then stored and classified under
// the names of its own sequences, never under those of the old ones. On
// failure state is unchanged and the message says why.
Status SaveSequenceTable(Registry& registry, modMain& state, const std::vector<std::string>& rows);

// The classification methods a target can have, in the order the target
// properties dialog offers them. Compared exactly; they are never translated.
inline constexpr std::string_view kMethodId3 = "ID3-based";
inline constexpr std::string_view kMethodNaiveBayes = "Naive Bayes";
inline constexpr std::string_view kMethodFreeBayes = "Free Bayes";
inline constexpr std::array<std::string_view, 3> kTargetMethods = {kMethodId3, kMethodNaiveBayes,
                                                                   kMethodFreeBayes};

// Stores rows as the target table, as the target editor's Close does: "Count"
// and Id1, Name1, Method1, ... in order, in one write group (values of
// positions above the count stay in place). Nothing is validated but the
// capacity: more than 32 rows are refused and nothing is written. On success
// state's TargetTable and TargetCount hold the rows; on failure state is
// unchanged and the message says why.
Status SaveTargetTable(Registry& registry, modMain& state, const std::vector<TargetEntry>& rows);

}  // namespace morvel
