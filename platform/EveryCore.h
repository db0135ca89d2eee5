// Running one piece of work on every core: the work takes its jobs from a
// counter of its own, so each thread runs it until no job is left.
#pragma once

#include <algorithm>
#include <cstddef>
#include <system_error>
#include <thread>
#include <vector>

namespace marrowix {

// Runs `work` on the calling thread and on up to one more thread a core,
// but no more threads than `jobs`; returns when every run has ended. Where
// no more threads can be had, the ones there are do it.
template <class Work>
void RunOnEveryCore(std::size_t jobs, Work&& work) {
    // Asked once: the C library reads a file of the system's for it.
    static const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> threads;
    for (std::size_t t = 1; t < std::min(cores, jobs); ++t) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (std::thread& t : threads) {
        t.join();
    }
}

}  // namespace marrowix
