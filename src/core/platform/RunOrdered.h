// Running one job per item on several threads while the results are used in
// the items' order: the batch commands' workers and the folds of a
// cross-validation.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace morvel {

// Runs job(index, worker) for index 0..count-1 on `jobs` threads (worker is the
// thread's number, 0..jobs-1, for per-thread state) and hands each result to
// sink in index order, on the calling thread, as soon as it and all before it
// are done. progress (may be empty) is called on the calling thread after each
// sink with the number done. Workers stay a bounded distance ahead of the
// sink, so memory stays bounded however many items there are.
void RunOrdered(std::size_t count, unsigned jobs,
                const std::function<std::string(std::size_t, unsigned)>& job,
                const std::function<void(std::size_t, const std::string&)>& sink,
                const std::function<void(std::size_t)>& progress = {});

// The number of workers to use when the user gives none: the cores here.
unsigned DefaultJobs();

}  // namespace morvel
