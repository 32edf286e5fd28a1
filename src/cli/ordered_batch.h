#pragma once

// Runs `work` over items on worker threads and hands each result to `deliver` on the calling
// thread, strictly in input order, as soon as it and every earlier one are done: a long batch
// streams, and the output never depends on the number of threads. Items are pulled from their
// source only as the work needs them, and no more than `window` of them are taken ahead of the
// last one delivered, so memory stays flat however long the input is and however slowly the
// output drains.

#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace vellinor::cli {

// Room for results ahead of the output: enough to keep every thread busy while an early item
// is slow, small enough that a million-file batch holds a handful of records at a time.
inline std::size_t defaultWindow(unsigned threads)
{
    return std::max<std::size_t>(1, std::size_t{threads} * 4);
}

namespace ordered_batch_detail {

// One batch as the scheduler sees it: item i lives in slot i % window from its taking to its
// delivery.
struct Steps {
    // Takes the next item into `slot`; false once the source has ended. Under the batch's lock.
    std::function<bool(std::size_t slot)> take;
    // Works on the item in `slot`, on a worker thread.
    std::function<void(std::size_t slot)> work;
    // Moves the item and result out of `slot` (under the lock), so the slot is free again...
    std::function<void(std::size_t slot)> claim;
    // ...and delivers them on the calling thread; false stops.
    std::function<bool()> deliverClaimed;
};

// Runs the steps on `threads` workers (at least 2), at most `window` items ahead of the last
// delivered. A failure of `take` or `work` is rethrown when its item's turn comes.
void runSlotsInOrder(unsigned threads, std::size_t window, const Steps& steps);

}  // namespace ordered_batch_detail

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
    };
    std::vector<Slot> slots(window);
    Slot claimed;
    ordered_batch_detail::runSlotsInOrder(
        threads, window,
        {.take =
             [&](std::size_t slot) {
                 slots[slot].item = next();
                 return slots[slot].item.has_value();
             },
         .work = [&](std::size_t slot) { slots[slot].result.emplace(work(*slots[slot].item)); },
         .claim =
             [&](std::size_t slot) {
                 claimed = std::move(slots[slot]);
                 slots[slot] = Slot{};
             },
         .deliverClaimed = [&] { return deliver(*claimed.item, *claimed.result); }});
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
