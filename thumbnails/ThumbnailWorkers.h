// Thumbnails made on worker threads, one a core, in the order the caller
// wants them; what is no longer wanted is dropped before it is started.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "thumbnails/Thumbnail.h"

namespace marrowix {

struct ThumbnailJob {
    const CTextureSet* set = nullptr;
    // What the caller knows the result by: for the grid which set it is of,
    // for the contact sheet which cell it goes in.
    std::uint64_t tag = 0;
    std::size_t index = 0;
    std::uint32_t side = 0;
    Precision precision = Precision::kNibbles;
    // A thumbnail made before, of an entry that may have changed since: when
    // its data still gives `digest`, the result is an empty thumbnail with
    // that digest (the one made before still shows it), and nothing is
    // decoded.
    bool verify = false;
    std::uint64_t digest = 0;
};

class ThumbnailWorkers {
public:
    // `done` is called on a worker thread with each job and its thumbnail
    // (or the reason there is none).
    using Done = std::function<void(const ThumbnailJob&, Result<Thumbnail>)>;

    explicit ThumbnailWorkers(Done done, unsigned threads = 0);  // 0: one a core
    ~ThumbnailWorkers();
    ThumbnailWorkers(const ThumbnailWorkers&) = delete;
    ThumbnailWorkers& operator=(const ThumbnailWorkers&) = delete;

    // Replaces the jobs not yet started by `jobs`, to be started in that
    // order. Threads start with the first jobs.
    void Want(std::vector<ThumbnailJob> jobs);
    // Drops the jobs not yet started and waits for the running ones to end:
    // afterwards no worker reads any set until the next Want.
    void CancelAll();
    // Waits until every job wanted is done.
    void Finish();
    std::size_t Pending() const;
    unsigned Threads() const { return m_threadCount; }

private:
    void Work();

    Done m_done;
    unsigned m_threadCount;
    std::vector<std::thread> m_threads;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;  // a job or the end
    std::condition_variable m_idle;  // a job ended
    std::deque<ThumbnailJob> m_jobs;
    unsigned m_running = 0;
    bool m_stopping = false;
};

}  // namespace marrowix
