// Batch work for morvel-cli: which files a command examines, and running one
// job per file on several threads while the output keeps the input order.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace morvel {

struct InputOptions {
    std::vector<std::string> paths;  // files and folders, as given
    bool recursive = false;          // descend into subfolders
    std::string from;                // a file with one path per line, "-" for standard input
    std::string ext;                 // "exe,com,scr" style; "*" for all; empty: the default
    std::optional<std::uint64_t> maxSize;
};

// The files to examine, in order: each given path, each line of --from, and
// the files of each given folder (sorted by name; subfolders with -r; symbolic
// links to folders are not followed). Folder contents are filtered by
// extension (exe, com and scr unless --ext says otherwise); files given by name
// only when --ext is given. Files above --max-size are skipped. A folder that
// gives no file stands for itself, so that every given path is answered. Problems
// (an unreadable folder or list) are reported on err; returns false when
// the --from list cannot be read.
bool CollectInputs(const InputOptions& options, std::istream& in, std::vector<std::string>& files,
                   std::ostream& err);

// Runs job(index, worker) for index 0..count-1 on `jobs` threads (worker is the
// thread's number, 0..jobs-1, for per-thread state) and hands each result to
// sink in index order, on the calling thread, as soon as it and all before it
// are done. progress (may be empty) is called on the calling thread after each
// sink with the number done.
void RunOrdered(std::size_t count, unsigned jobs,
                const std::function<std::string(std::size_t, unsigned)>& job,
                const std::function<void(std::size_t, const std::string&)>& sink,
                const std::function<void(std::size_t)>& progress = {});

// A relative path taken from the current folder, since the examination needs
// the file's folder; output keeps the path as given.
std::string AbsolutePath(const std::string& path);

// The number of workers to use when the user gives none: the cores here.
unsigned DefaultJobs();

}  // namespace morvel
