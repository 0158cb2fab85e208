// The batch commands' shared work (attributes, classify, remember over many
// files): which files they examine, and running one job per file on several
// threads while the output keeps the input order, with one progress line on
// a terminal and each failure reported on a clean line.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/attributes/FileExaminer.h"
#include "core/platform/Status.h"

namespace morvel {

struct InputOptions {
    std::vector<std::string> paths;  // files and folders, as given
    bool recursive = false;          // descend into subfolders
    std::string from;                // a file with one path per line, "-" for standard input
    bool nulSeparated = false;       // the paths of from end in NUL bytes, not line breaks
    std::string ext;                 // "exe,com,scr" style; "*" for all; empty: the default
    std::optional<std::uint64_t> maxSize;
};

struct BatchOptions {
    InputOptions inputs;
    unsigned jobs = 0;   // parallel workers; 0: one per core
    bool quiet = false;  // no progress line
};

// Adds PATH..., -r, --from, --ext, --max-size, --jobs and --quiet to command.
void AddBatchOptions(CLI::App* command, BatchOptions& options);

// The files to examine, in order: each given path, each line of --from, and
// the files of each given folder (sorted by path; subfolders with -r;
// symbolic links to folders are not followed). A path given by name or in
// the list is always taken; what folders contribute is filtered by extension
// (exe, com and scr unless --ext says otherwise) and --max-size. A folder that
// gives no file, and a folder or file met in one that cannot be read, stand
// for themselves, so that ExamineInput reports them as every other path that
// cannot be examined. Returns false, with a message on err, when the --from
// list cannot be read.
bool CollectInputs(const InputOptions& options, std::istream& in, std::vector<std::string>& files,
                   std::ostream& err);

// Examines path as collected: a folder there is one that gave no file or
// could not be read, and fails saying which; anything else is examined as a
// file (a relative path from the current folder).
Status ExamineInput(FileExaminer& examiner, const std::string& path, const ConfigTables& tables);

// CollectInputs for a batch command. Returns 0, or the exit status with a
// message on err: 2 (a usage error) when no path and no list are given, 1
// when the list cannot be read, as for every input file that cannot be read.
int CollectBatchFiles(const BatchOptions& options, const std::string& command, std::istream& in,
                      std::vector<std::string>& files, std::ostream& err);

// The number of workers a batch runs on: --jobs, else the cores here.
unsigned BatchWorkers(const BatchOptions& options);

// What one file gave: its output, and the message for err when it failed
// (empty when it did not).
struct FileResult {
    std::string output;
    std::string error;
};

// Runs job(index, worker) for every file on BatchWorkers(options) threads
// (worker 0..workers-1, for per-thread state), writes each output to out in
// file order and each error on a line of its own to err as it comes, with a
// progress line on a terminal unless quiet. Returns 1 when some file failed,
// else 0.
int RunBatch(const BatchOptions& options, const std::vector<std::string>& files, std::ostream& out,
             std::ostream& err, const std::function<FileResult(std::size_t, unsigned)>& job);

// A relative path taken from the current folder, since the examination needs
// the file's folder; output keeps the path as given.
std::string AbsolutePath(const std::string& path);

}  // namespace morvel
