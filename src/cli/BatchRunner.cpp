#include "cli/BatchRunner.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "cli/ProgressLine.h"
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
        while (!e.empty() && e.front() == '.') e.erase(e.begin());
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

void AddFolder(const std::string& folder, bool recursive, const std::set<std::string>& accepted,
               std::vector<std::string>& files, std::ostream& err) {
    std::error_code ec;
    std::vector<std::string> found;
    const auto options = fs::directory_options::skip_permission_denied;
    auto consider = [&](const fs::directory_entry& entry) {
        std::error_code e;
        if (entry.is_regular_file(e) && HasExtension(entry.path().string(), accepted))
            found.push_back(entry.path().string());
    };
    if (recursive) {
        for (fs::recursive_directory_iterator it(folder, options, ec), end; !ec && it != end;
             it.increment(ec))
            consider(*it);
    } else {
        for (fs::directory_iterator it(folder, options, ec), end; !ec && it != end; it.increment(ec))
            consider(*it);
    }
    if (ec) err << "morvel-cli: " << folder << ": " << ec.message() << "\n";
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
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
            if (!file) {
                err << "morvel-cli: cannot read the list " << options.from << "\n";
                return false;
            }
            list = &file;
        }
        for (std::string line; std::getline(*list, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) given.push_back(line);
        }
    }
    const auto folderExtensions = Extensions(options.ext.empty() ? "exe,com,scr" : options.ext);
    const auto fileExtensions = Extensions(options.ext.empty() ? "*" : options.ext);
    std::vector<std::string> collected;
    for (const auto& path : given) {
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            const std::size_t before = collected.size();
            AddFolder(path, options.recursive, folderExtensions, collected, err);
            // A folder with nothing to examine still answers, as a path that is no file.
            if (collected.size() == before) collected.push_back(path);
        } else if (HasExtension(path, fileExtensions)) {
            collected.push_back(path);
        }
    }
    for (auto& path : collected) {
        if (options.maxSize) {
            std::error_code ec;
            const auto size = fs::file_size(path, ec);
            if (!ec && size > *options.maxSize) continue;
        }
        files.push_back(std::move(path));
    }
    return true;
}

void AddBatchOptions(CLI::App* command, BatchOptions& options) {
    command->add_option("PATH", options.inputs.paths, "Files and folders to examine");
    command->add_flag("-r,--recursive", options.inputs.recursive, "Descend into subfolders");
    command->add_option("--from", options.inputs.from,
                        "Read paths from FILE, one per line (- for standard input)");
    command->add_option("--ext", options.inputs.ext,
                        "Extensions to take, e.g. exe,com,scr (the default for folders); * for all");
    command->add_option("--max-size", options.inputs.maxSize, "Skip files larger than BYTES");
    command->add_option("-j,--jobs", options.jobs, "Parallel workers (default: the number of cores)");
    command->add_flag("-q,--quiet", options.quiet, "No progress line");
}

bool CollectBatchFiles(const BatchOptions& options, const std::string& command, std::istream& in,
                       std::vector<std::string>& files, std::ostream& err) {
    if (options.inputs.paths.empty() && options.inputs.from.empty()) {
        err << "morvel-cli: " << command << " needs files, folders or --from\n";
        return false;
    }
    return CollectInputs(options.inputs, in, files, err);
}

unsigned BatchWorkers(const BatchOptions& options) { return options.jobs > 0 ? options.jobs : DefaultJobs(); }

int RunBatch(const BatchOptions& options, const std::vector<std::string>& files, std::ostream& out,
             std::ostream& err, const std::function<FileResult(std::size_t, unsigned)>& job) {
    std::vector<std::string> errors(files.size());
    int status = 0;
    ProgressLine progress(err, IsTerminal(err) && !options.quiet, files.size());
    RunOrdered(
        files.size(), BatchWorkers(options),
        [&](std::size_t i, unsigned worker) {
            FileResult result = job(i, worker);
            errors[i] = std::move(result.error);
            return std::move(result.output);
        },
        [&](std::size_t i, const std::string& output) {
            out << output;
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
