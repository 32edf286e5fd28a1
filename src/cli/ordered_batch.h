#pragma once

// Runs `work(i)` for i = 0 .. count-1 on worker threads and hands each result to `deliver` on
// the calling thread, strictly in index order, as soon as it and every earlier one are done: a
// long batch streams, and the output never depends on the number of threads.

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace vellinor::cli {

// `deliver` returns false to stop: no new work starts, and the call returns once the running
// work is done. An exception thrown by `work` is rethrown here when its turn comes.
template <typename Result>
void runInOrder(std::size_t count, unsigned threads, const std::function<Result(std::size_t)>& work,
                const std::function<bool(std::size_t, Result&)>& deliver)
{
    if (threads <= 1 || count <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            Result result = work(i);
            if (!deliver(i, result))
                return;
        }
        return;
    }

    struct Slot {
        std::optional<Result> result;
        std::exception_ptr failure;
        bool done = false;
    };
    std::vector<Slot> slots(count);
    std::mutex mutex;
    std::condition_variable finished;
    std::size_t next = 0;
    bool stopping = false;

    auto worker = [&] {
        for (;;) {
            std::size_t index = 0;
            {
                std::lock_guard lock(mutex);
                if (stopping || next == count)
                    return;
                index = next++;
            }
            std::optional<Result> result;
            std::exception_ptr failure;
            try {
                result.emplace(work(index));
            } catch (...) {
                failure = std::current_exception();
            }
            std::lock_guard lock(mutex);
            slots[index].result = std::move(result);
            slots[index].failure = failure;
            slots[index].done = true;
            finished.notify_all();
        }
    };

    std::vector<std::jthread> pool;
    const std::size_t poolSize = std::min<std::size_t>(threads, count);
    pool.reserve(poolSize);
    for (std::size_t t = 0; t < poolSize; ++t)
        pool.emplace_back(worker);

    auto stop = [&] {
        std::lock_guard lock(mutex);
        stopping = true;
    };
    for (std::size_t i = 0; i < count; ++i) {
        Slot slot;
        {
            std::unique_lock lock(mutex);
            finished.wait(lock, [&] { return slots[i].done; });
            slot = std::move(slots[i]);
        }
        if (slot.failure) {
            stop();
            pool.clear();  // joins
            std::rethrow_exception(slot.failure);
        }
        if (!deliver(i, *slot.result)) {
            stop();
            return;  // the pool joins as it goes out of scope
        }
    }
}

}  // namespace vellinor::cli
