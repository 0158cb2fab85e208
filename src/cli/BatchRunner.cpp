#include "cli/BatchRunner.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "cli/ProgressLine.h"
#include "cli/StoreCommand.h"
#include "core/platform/CodePage.h"
#include "core/platform/RunOrdered.h"
#include "core/store/StoreFiles.h"

namespace morvel {
namespace fs = std::filesystem;
namespace {

// Lower-cased extensions to accept; empty means all.
std::set<std::string> Extensions(const std::string& list) {
    std::set<std::string> result;
    if (list == "*") return result;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        std::string e = list.substr(start, comma - start);
        // "exe, dll" means exe and dll.
        while (!e.empty() && (e.front() == '.' || e.front() == ' ')) e.erase(e.begin());
        while (!e.empty() && e.back() == ' ') e.pop_back();
        if (!e.empty()) result.insert(codepage::LowerAnsi(codepage::ToAnsi(e)));
        start = comma + 1;
    }
    return result;
}

bool HasExtension(const std::string& path, const std::set<std::string>& accepted) {
    if (accepted.empty()) return true;
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    return accepted.count(codepage::LowerAnsi(codepage::ToAnsi(path.substr(dot + 1)))) > 0;
}

// Adds to found the files of folder that pass accepted and maxSize, and with
// recursive those of its subfolders (symbolic links to folders are not
// followed). A folder that cannot be read is added itself, so that its
// examination reports it as it does an unreadable file.
void AddFolder(const fs::path& folder, const InputOptions& options, const std::set<std::string>& accepted,
               std::vector<std::string>& found) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const fs::directory_entry& entry = *it;
        std::error_code e;
        if (options.recursive && entry.is_directory(e) && !entry.is_symlink(e)) {
            AddFolder(entry.path(), options, accepted, found);
        } else if (e == std::errc::permission_denied) {
            found.push_back(entry.path().string());  // its examination says it cannot be read
        } else if (entry.is_regular_file(e) && HasExtension(entry.path().string(), accepted)) {
            const auto size = entry.file_size(e);
            if (!options.maxSize || e || size <= *options.maxSize) found.push_back(entry.path().string());
        }
    }
    if (ec) found.push_back(folder.string());
}

}  // namespace

bool CollectInputs(const InputOptions& options, std::istream& in, std::vector<std::string>& files,
                   std::ostream& err) {
    std::vector<std::string> given = options.paths;
    if (!options.from.empty()) {
        std::ifstream file;
        std::istream* list = &in;
        if (options.from != "-") {
            if (Status s = RefuseOpenStoreFile(options.from); !s) {
                err << "morvel-cli: cannot read the list " << options.from << ": " << s.message() << "\n";
                return false;
            }
            file.open(options.from);
            if (const std::string why = UnreadableInput(options.from); !why.empty() || !file) {
                err << "morvel-cli: cannot read the list " << options.from << ": "
                    << (why.empty() ? "it does not open" : why) << "\n";
                return false;
            }
            list = &file;
        }
        // Separated by NUL bytes, a path may hold any other byte, a line break too.
        for (std::string line; std::getline(*list, line, options.nulSeparated ? '\0' : '\n');) {
            if (!options.nulSeparated && !line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) given.push_back(line);
        }
    }
    // What a folder contributes is filtered; a path given by name is always taken.
    const auto accepted = Extensions(options.ext.empty() ? "exe,com,scr" : options.ext);
    for (const auto& path : given) {
        std::error_code ec;
        if (!fs::is_directory(path, ec)) {
            files.push_back(path);
            continue;
        }
        std::vector<std::string> found;
        AddFolder(path, options, accepted, found);
        std::sort(found.begin(), found.end());
        // A folder with nothing to examine still answers: its examination says why.
        if (found.empty()) found.push_back(path);
        files.insert(files.end(), found.begin(), found.end());
    }
    return true;
}

Status ExamineInput(FileExaminer& examiner, const std::string& path, const ConfigTables& tables) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        fs::directory_iterator it(path, ec);
        return ec ? Status::IOError("cannot read the folder: " + ec.message())
                  : Status::NotFound("the folder holds no file to take (see --ext, --max-size and -r)");
    }
    return examiner.ComputeFileAttributes(AbsolutePath(path), tables);
}

void AddBatchOptions(CLI::App* command, BatchOptions& options) {
    command->add_option("PATH", options.inputs.paths, "Files and folders to examine");
    command->add_flag("-r,--recursive", options.inputs.recursive, "Descend into subfolders");
    command->add_option("--from", options.inputs.from,
                        "Read paths from FILE, one per line (- for standard input)");
    command->add_flag("-0,--null", options.inputs.nulSeparated,
                      "The --from list separates paths by NUL bytes, not lines");
    command->add_option("--ext", options.inputs.ext,
                        "Extensions to take, e.g. exe,com,scr (the default for folders); * for all");
    // The parser would take "-1" as the largest number.
    command->add_option("--max-size", options.inputs.maxSize, "Skip files in folders larger than BYTES")
        ->check(
            [](const std::string& bytes) { return bytes.starts_with("-") ? "must not be negative" : ""; });
    command->add_option("-j,--jobs", options.jobs, "Parallel workers (default: the number of cores)");
    command->add_flag("-q,--quiet", options.quiet, "No progress line");
}

int CollectBatchFiles(const BatchOptions& options, const std::string& command, std::istream& in,
                      std::vector<std::string>& files, std::ostream& err) {
    if (options.inputs.paths.empty() && options.inputs.from.empty()) {
        err << "morvel-cli: " << command << " needs files, folders or --from\n";
        return 2;
    }
    return CollectInputs(options.inputs, in, files, err) ? 0 : 1;
}

unsigned BatchWorkers(const BatchOptions& options) { return options.jobs > 0 ? options.jobs : DefaultJobs(); }

int RunBatch(const BatchOptions& options, const std::vector<std::string>& files, std::ostream& out,
             std::ostream& err, const std::function<FileResult(std::size_t, unsigned)>& job) {
    std::vector<std::string> errors(files.size());
    int status = 0;
    ProgressLine progress(err, IsTerminal(err) && !options.quiet, files.size());
    // With both streams on one screen, each output goes out at once on a wiped line.
    const bool oneScreen = IsTerminal(err) && !options.quiet && IsOutputTerminal(out);
    RunOrdered(
        files.size(), BatchWorkers(options),
        [&](std::size_t i, unsigned worker) {
            FileResult result = job(i, worker);
            errors[i] = std::move(result.error);
            return std::move(result.output);
        },
        [&](std::size_t i, const std::string& output) {
            if (oneScreen && !output.empty()) {
                progress.Clear();
                out << output << std::flush;
            } else {
                out << output;
            }
            if (!errors[i].empty()) {
                status = 1;
                err << progress.Wipe() << errors[i] << "\n";
                errors[i].clear();
            }
        },
        [&](std::size_t done) { progress.Update(done, done < files.size() ? files[done] : std::string()); });
    return status;
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path.front() == '/') return path;
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.string();
}

}  // namespace morvel
