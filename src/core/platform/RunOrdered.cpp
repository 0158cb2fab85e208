#include "core/platform/RunOrdered.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace morvel {

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

}  // namespace morvel
