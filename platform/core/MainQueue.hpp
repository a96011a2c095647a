#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <type_traits>

namespace core {

// The main thread is the process's initial thread until another thread claims the role
// (an LV2 UI whose host drives it from its own GUI thread, or a test).
bool isMainThread();
void claimMainThread();

// A first-in first-out queue of work for the main thread. Work submitted with async() never runs
// inside the call, not even on the main thread; it runs when the owner of the main thread drains
// the queue, typically its event loop woken through wakeFd().
class MainQueue {
public:
    using Task = std::function<void()>;

    MainQueue();
    ~MainQueue();
    MainQueue(const MainQueue&) = delete;
    MainQueue& operator=(const MainQueue&) = delete;

    // The process's queue.
    static MainQueue& shared();

    // Thread-safe; tasks from all threads run in the order they were submitted.
    void async(Task task);

    // Runs tasks until the queue is empty, including tasks queued by the tasks it runs.
    // Must be called on the main thread. Returns how many tasks ran.
    std::size_t drain();

    // Runs only the tasks that were queued when the call began, so that a task that keeps
    // requeueing itself cannot starve an event loop. Must be called on the main thread.
    std::size_t runPending();

    // An eventfd that is readable while tasks are waiting. Never read it yourself: the queue
    // resets it as it takes tasks.
    int wakeFd() const { return wakeFd_; }

    std::size_t pendingCount() const;

private:
    bool runOne();

    mutable std::mutex mutex_;
    std::deque<Task> tasks_;
    int wakeFd_ = -1;
};

// Shorthand for MainQueue::shared().async(task).
void mainAsync(MainQueue::Task task);

// Runs work on the main thread and waits for its result: inline when already there, otherwise
// through the shared main queue. The main thread must be servicing its queue, or this waits forever.
template <class F> auto runOnMainAndWait(F&& work) -> std::invoke_result_t<F&> {
    using Result = std::invoke_result_t<F&>;
    if (isMainThread()) {
        return work();
    }
    auto task = std::make_shared<std::packaged_task<Result()>>(std::forward<F>(work));
    auto result = task->get_future();
    MainQueue::shared().async([task] { (*task)(); });
    return result.get();
}

} // namespace core
