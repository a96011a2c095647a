#include "core/MainQueue.hpp"

#include "core/Log.hpp"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>

namespace core {

namespace {

// Thread ids rather than std::thread::id, so that the initial thread is known before any
// code has run on it.
std::atomic<pid_t> gMainThreadId{::getpid()};

pid_t currentThreadId() {
    thread_local const pid_t id = ::gettid();
    return id;
}

void requireMainThread(const char* operation) {
    if (!isMainThread()) {
        fatal(std::string(operation) + " must be called on the main thread");
    }
}

} // namespace

bool isMainThread() {
    return currentThreadId() == gMainThreadId.load(std::memory_order_acquire);
}

void claimMainThread() {
    gMainThreadId.store(currentThreadId(), std::memory_order_release);
}

MainQueue::MainQueue() : wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (wakeFd_ < 0) {
        fatal("unable to create the main queue's eventfd");
    }
}

MainQueue::~MainQueue() {
    ::close(wakeFd_);
}

MainQueue& MainQueue::shared() {
    // Never destroyed: tasks may still be submitted from other threads while the process exits.
    static auto* queue = new MainQueue;
    return *queue;
}

void MainQueue::async(Task task) {
    if (!task) {
        return;
    }
    std::lock_guard lock(mutex_);
    const bool wasEmpty = tasks_.empty();
    tasks_.push_back(std::move(task));
    if (wasEmpty) {
        // The counter is reset when the last task is taken, so one write per non-empty period suffices.
        const std::uint64_t one = 1;
        ssize_t written;
        do {
            written = ::write(wakeFd_, &one, sizeof one);
        } while (written < 0 && errno == EINTR);
    }
}

bool MainQueue::runOne() {
    Task task;
    {
        std::lock_guard lock(mutex_);
        if (tasks_.empty()) {
            return false;
        }
        task = std::move(tasks_.front());
        tasks_.pop_front();
        if (tasks_.empty()) {
            std::uint64_t count;
            [[maybe_unused]] const ssize_t got = ::read(wakeFd_, &count, sizeof count);
        }
    }
    // Run outside the lock: the task may queue more work. If it throws, the rest stays queued.
    task();
    return true;
}

std::size_t MainQueue::drain() {
    requireMainThread("MainQueue::drain");
    std::size_t ran = 0;
    while (runOne()) {
        ++ran;
    }
    return ran;
}

std::size_t MainQueue::runPending() {
    requireMainThread("MainQueue::runPending");
    std::size_t budget = pendingCount();
    std::size_t ran = 0;
    while (ran < budget && runOne()) {
        ++ran;
    }
    return ran;
}

std::size_t MainQueue::pendingCount() const {
    std::lock_guard lock(mutex_);
    return tasks_.size();
}

void mainAsync(MainQueue::Task task) {
    MainQueue::shared().async(std::move(task));
}

} // namespace core
