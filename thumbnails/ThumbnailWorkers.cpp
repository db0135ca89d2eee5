#include "thumbnails/ThumbnailWorkers.h"

#include <algorithm>
#include <system_error>

namespace marrowix {

ThumbnailWorkers::ThumbnailWorkers(Done done, unsigned threads)
    : m_done(std::move(done)),
      m_threadCount(threads != 0 ? threads : std::max(1u, std::thread::hardware_concurrency())) {}

ThumbnailWorkers::~ThumbnailWorkers() {
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.clear();
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_threads) {
        t.join();
    }
}

void ThumbnailWorkers::Want(std::vector<ThumbnailJob> jobs) {
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.assign(jobs.begin(), jobs.end());
        while (m_threads.size() < m_threadCount && !m_jobs.empty()) {
            try {
                m_threads.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                if (m_threads.empty()) {
                    throw;  // not one thread: nobody would make them
                }
                m_threadCount = static_cast<unsigned>(m_threads.size());
            }
        }
    }
    m_wake.notify_all();
}

void ThumbnailWorkers::CancelAll() {
    std::unique_lock lock(m_mutex);
    m_jobs.clear();
    m_idle.wait(lock, [&] { return m_running == 0; });
}

void ThumbnailWorkers::Finish() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [&] { return m_jobs.empty() && m_running == 0; });
}

std::size_t ThumbnailWorkers::Pending() const {
    const std::lock_guard lock(m_mutex);
    return m_jobs.size();
}

namespace {

Result<Thumbnail> MakeOrVerify(const ThumbnailJob& job) {
    if (job.verify) {
        const Result<std::uint64_t> digest =
            ThumbnailDigest(*job.set, job.index, job.side, job.precision);
        if (digest.ok() && digest.value == job.digest) {
            Result<Thumbnail> same;
            same.value.digest = digest.value;
            return same;
        }
    }
    return MakeThumbnail(*job.set, job.index, job.side, job.precision);
}

}  // namespace

void ThumbnailWorkers::Work() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stopping || !m_jobs.empty(); });
        if (m_stopping) {
            return;
        }
        const ThumbnailJob job = m_jobs.front();
        m_jobs.pop_front();
        ++m_running;
        lock.unlock();
        m_done(job, MakeOrVerify(job));
        lock.lock();
        --m_running;
        m_idle.notify_all();
    }
}

}  // namespace marrowix
