// morvel-cli's classification commands: predictions for files, storing a file
// as an example, and the target table. Each takes an open store, writes its
// output to out and its messages to err, and returns the exit status (0 done,
// 1 some input could not be handled).
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Batch.h"
#include "core/store/Registry.h"

namespace morvel {

struct ClassifyOptions {
    InputOptions inputs;  // the files, as CollectInputs takes them
    unsigned jobs = 0;    // parallel workers; 0: one per core
    bool quiet = false;   // no progress line
    bool json = false;
};

// For each file: its vector, then every target in table order as the
// classification window runs them. Text: the path, then per target a line
// "ID<tab>text<tab>entries joined by ' | '". json: one JSON object per line.
// The examples are read once; each worker has its own examiner and
// classifiers over that one read. Output keeps the input order; a file that
// cannot be examined gets an error line (and a message on err, status 1).
// in is what "--from -" reads.
int ClassifyFiles(Registry& registry, const ClassifyOptions& options, std::istream& in, std::ostream& out,
                  std::ostream& err);

// Stores file as a new example with the values "ID=VALUE" (ID up to the first
// "=", the value after it exactly) and prints its number. An unknown or
// repeated ID, or a file that cannot be examined, stores nothing.
int RememberFile(Registry& registry, const std::string& file, const std::vector<std::string>& assignments,
                 std::ostream& out, std::ostream& err);

// Prints the targets: "ID<tab>name<tab>method" per line.
int ListTargets(Registry& registry, std::ostream& out);
// Appends a target (method: one of the three method names) or deletes the
// first target with id, saves the table as the target editor does, and prints it.
int AddTarget(Registry& registry, const std::string& id, const std::string& name, const std::string& method,
              std::ostream& out, std::ostream& err);
int DeleteTarget(Registry& registry, const std::string& id, std::ostream& out, std::ostream& err);

}  // namespace morvel
