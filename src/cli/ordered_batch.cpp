#include "cli/ordered_batch.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

namespace vellinor::cli::ordered_batch_detail {
namespace {

// What the workers and the delivering thread share, under `mutex`.
class Schedule {
public:
    Schedule(std::size_t window, const Steps& steps)
        : m_window(window), m_steps(steps), m_failures(window), m_done(window, false)
    {
    }

    // A worker: takes items and works on them until the source ends or the batch stops.
    void work()
    {
        while (std::optional<Taken> taken = takeNext()) {
            const std::size_t slot = taken->index % m_window;
            std::exception_ptr failure = taken->failure;
            if (!failure) {
                try {
                    m_steps.work(slot);
                } catch (...) {
                    failure = std::current_exception();
                }
            }
            std::lock_guard lock(m_mutex);
            m_failures[slot] = failure;
            m_done[slot] = true;
            m_changed.notify_all();
        }
    }

    // Waits for item `i` and claims it: false once every item was delivered; rethrows its
    // failure.
    bool claim(std::size_t i)
    {
        std::exception_ptr failure;
        {
            std::unique_lock lock(m_mutex);
            const std::size_t slot = i % m_window;
            m_changed.wait(lock, [&] { return m_done[slot] || (m_sourceEnded && i >= m_taken); });
            if (!m_done[slot])
                return false;  // the workers have ended or are ending
            failure = std::exchange(m_failures[slot], nullptr);
            m_done[slot] = false;
            m_steps.claim(slot);
            m_delivered = i + 1;
            m_changed.notify_all();
        }
        if (failure)
            std::rethrow_exception(failure);
        return true;
    }

    void stop()
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_changed.notify_all();
    }

private:
    struct Taken {
        std::size_t index;
        std::exception_ptr failure;  // of the source, rethrown in this item's turn
    };

    // The item taken next, once the window has room for it; nothing at the end.
    std::optional<Taken> takeNext()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(
            lock, [&] { return m_stopping || m_sourceEnded || m_taken < m_delivered + m_window; });
        if (m_stopping || m_sourceEnded)
            return std::nullopt;
        bool took = false;
        std::exception_ptr failure;
        try {
            took = m_steps.take(m_taken % m_window);
        } catch (...) {
            failure = std::current_exception();
        }
        if (!took && !failure) {
            m_sourceEnded = true;
            m_changed.notify_all();
            return std::nullopt;
        }
        return Taken{m_taken++, failure};
    }

    const std::size_t m_window;
    const Steps& m_steps;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::exception_ptr> m_failures;
    std::vector<bool> m_done;
    std::size_t m_taken = 0;      // items pulled from the source
    std::size_t m_delivered = 0;  // items handed to deliver
    bool m_sourceEnded = false;
    bool m_stopping = false;
};

}  // namespace

void runSlotsInOrder(unsigned threads, std::size_t window, const Steps& steps)
{
    Schedule schedule(window, steps);
    std::vector<std::jthread> pool;
    pool.reserve(threads);
    for (unsigned t = 0; t < threads; ++t)
        pool.emplace_back([&schedule] { schedule.work(); });
    // However this ends (the end, a refusal, a failure rethrown, a throwing `deliverClaimed`),
    // no new work starts, and the workers are joined before the schedule goes.
    struct StopOnExit {
        Schedule& schedule;
        std::vector<std::jthread>& pool;
        ~StopOnExit()
        {
            schedule.stop();
            pool.clear();
        }
    } stopOnExit{schedule, pool};
    for (std::size_t i = 0; schedule.claim(i); ++i) {
        if (!steps.deliverClaimed())
            return;
    }
}

}  // namespace vellinor::cli::ordered_batch_detail
