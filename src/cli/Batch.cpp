#include "cli/Batch.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

#include "core/platform/CodePage.h"

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

unsigned DefaultJobs() { return std::max(1u, std::thread::hardware_concurrency()); }

void RunOrdered(std::size_t count, unsigned jobs,
                const std::function<std::string(std::size_t, unsigned)>& job,
                const std::function<void(std::size_t, const std::string&)>& sink,
                const std::function<void(std::size_t)>& progress) {
    jobs = std::max(1u, std::min<unsigned>(jobs, static_cast<unsigned>(std::max<std::size_t>(count, 1))));
    std::vector<std::string> results(count);
    std::vector<char> ready(count, 0);
    std::mutex mutex;
    std::condition_variable done;
    std::atomic<std::size_t> next{0};
    // Workers stay at most this far ahead of the output, so memory stays bounded.
    const std::size_t window = 64 * jobs;
    std::size_t printed = 0;
    std::condition_variable room;

    auto work = [&](unsigned worker) {
        for (std::size_t i; (i = next.fetch_add(1)) < count;) {
            {
                std::unique_lock lock(mutex);
                room.wait(lock, [&] { return i < printed + window; });
            }
            std::string result = job(i, worker);
            std::lock_guard lock(mutex);
            results[i] = std::move(result);
            ready[i] = 1;
            done.notify_all();
        }
    };
    std::vector<std::thread> threads;
    if (jobs > 1)
        for (unsigned w = 0; w < jobs; ++w) threads.emplace_back(work, w);
    if (jobs == 1) {
        for (std::size_t i = 0; i < count; ++i) {
            sink(i, job(i, 0));
            if (progress) progress(i + 1);
        }
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            std::string result;
            {
                std::unique_lock lock(mutex);
                done.wait(lock, [&] { return ready[i] != 0; });
                result = std::move(results[i]);
                printed = i + 1;
                room.notify_all();
            }
            sink(i, result);
            if (progress) progress(i + 1);
        }
    }
    for (auto& t : threads) t.join();
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path.front() == '/') return path;
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.string();
}

}  // namespace morvel
