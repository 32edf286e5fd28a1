#pragma once

// Runs `work` over items on worker threads and hands each result to `deliver` on the calling
// thread, strictly in input order, as soon as it and every earlier one are done: a long batch
// streams, and the output never depends on the number of threads. Items are pulled from their
// source only as the work needs them, and no more than `window` of them are taken ahead of the
// last one delivered, so memory stays flat however long the input is and however slowly the
// output drains.

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

// Room for results ahead of the output: enough to keep every thread busy while an early item
// is slow, small enough that a million-file batch holds a handful of records at a time.
inline std::size_t defaultWindow(unsigned threads)
{
    return std::max<std::size_t>(1, std::size_t{threads} * 4);
}

// `next` gives the items one by one (nullopt at the end); it is called under a lock, never by
// two threads at once. `deliver` returns false to stop: no new work starts, and the call
// returns once the running work is done. An exception thrown by `next` or `work` is rethrown
// here when its turn comes.
template <typename Item, typename Result>
void runInOrder(const std::function<std::optional<Item>()>& next, unsigned threads,
                std::size_t window, const std::function<Result(const Item&)>& work,
                const std::function<bool(Item&, Result&)>& deliver)
{
    if (threads <= 1) {
        while (std::optional<Item> item = next()) {
            Result result = work(*item);
            if (!deliver(*item, result))
                return;
        }
        return;
    }

    window = std::max<std::size_t>(window, 1);
    struct Slot {
        std::optional<Item> item;
        std::optional<Result> result;
        std::exception_ptr failure;
        bool done = false;
    };
    std::vector<Slot> slots(window);  // item i lives in slots[i % window]
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t taken = 0;      // items pulled from the source
    std::size_t delivered = 0;  // items handed to deliver
    bool sourceEnded = false;
    bool stopping = false;

    auto worker = [&] {
        for (;;) {
            std::optional<Item> item;
            std::exception_ptr failure;
            std::size_t index = 0;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock,
                             [&] { return stopping || sourceEnded || taken < delivered + window; });
                if (stopping || sourceEnded)
                    return;
                try {
                    item = next();
                } catch (...) {
                    failure = std::current_exception();
                }
                if (!item && !failure) {
                    sourceEnded = true;
                    changed.notify_all();
                    return;
                }
                index = taken++;
            }
            std::optional<Result> result;
            if (!failure) {
                try {
                    result.emplace(work(*item));
                } catch (...) {
                    failure = std::current_exception();
                }
            }
            std::lock_guard lock(mutex);
            Slot& slot = slots[index % window];
            slot.item = std::move(item);
            slot.result = std::move(result);
            slot.failure = failure;
            slot.done = true;
            changed.notify_all();
        }
    };

    std::vector<std::jthread> pool;
    pool.reserve(threads);
    for (unsigned t = 0; t < threads; ++t)
        pool.emplace_back(worker);

    auto stop = [&] {
        std::lock_guard lock(mutex);
        stopping = true;
        changed.notify_all();
    };
    for (std::size_t i = 0;; ++i) {
        Slot slot;
        {
            std::unique_lock lock(mutex);
            Slot& waited = slots[i % window];
            changed.wait(lock, [&] { return waited.done || (sourceEnded && i >= taken); });
            if (!waited.done)
                return;  // every item was delivered; the workers have ended or are ending
            slot = std::move(waited);
            waited = Slot{};
            delivered = i + 1;
            changed.notify_all();
        }
        if (slot.failure) {
            stop();
            pool.clear();  // joins
            std::rethrow_exception(slot.failure);
        }
        if (!deliver(*slot.item, *slot.result)) {
            stop();
            return;  // the pool joins as it goes out of scope
        }
    }
}

// The same over the indexes 0 .. count-1.
template <typename Result>
void runInOrder(std::size_t count, unsigned threads, const std::function<Result(std::size_t)>& work,
                const std::function<bool(std::size_t, Result&)>& deliver)
{
    std::size_t next = 0;
    runInOrder<std::size_t, Result>(
        [&]() -> std::optional<std::size_t> {
            if (next == count)
                return std::nullopt;
            return next++;
        },
        count <= 1 ? 1u : threads, defaultWindow(threads),
        [&](const std::size_t& i) { return work(i); },
        [&](std::size_t& i, Result& result) { return deliver(i, result); });
}

}  // namespace vellinor::cli
