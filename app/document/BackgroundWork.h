// The viewer's one way to run work off the dialog's thread: one job at a
// time on a thread of its own, its result handed to `done` on the thread of
// the context object, unless a newer job was started or the work was
// cancelled meanwhile. What a job reads it holds itself (a SharedSet, copies
// of paths), so that nothing it reads can go while it runs.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <type_traits>
#include <utility>

namespace marrowix {

class BackgroundWork {
public:
    explicit BackgroundWork(QObject* context) : m_context(context) {}
    // Waits for the job under way; its result is dropped.
    ~BackgroundWork() { Cancel(); }
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

    // Runs `work()` on a thread of its own, then `done(result)` on the
    // context's thread. A job still running is waited for first, and its
    // result dropped.
    template <class Work, class Done>
    void Run(Work work, Done done) {
        Cancel();
        m_running->store(true);
        const std::uint64_t generation = m_generation->load();
        m_thread = std::thread([context = m_context, current = m_generation, running = m_running,
                                generation, work = std::move(work),
                                done = std::make_shared<Done>(std::move(done))]() mutable {
            auto result = std::make_shared<std::invoke_result_t<Work&>>(work());
            QMetaObject::invokeMethod(
                context,
                [current, running, generation, result, done] {
                    if (current->load() == generation) {
                        running->store(false);
                        (*done)(std::move(*result));
                    }
                },
                Qt::QueuedConnection);
        });
    }

    // Results of the jobs started so far are dropped; the one running is
    // waited for.
    void Cancel() {
        ++*m_generation;
        m_running->store(false);
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    // Whether a job was started whose result has not been handed over yet.
    bool Running() const { return m_running->load(); }

private:
    QObject* m_context;
    // Shared with the jobs' hand-overs, which may come after this is gone.
    std::shared_ptr<std::atomic<std::uint64_t>> m_generation =
        std::make_shared<std::atomic<std::uint64_t>>(0);
    std::shared_ptr<std::atomic<bool>> m_running = std::make_shared<std::atomic<bool>>(false);
    std::thread m_thread;
};

}  // namespace marrowix
