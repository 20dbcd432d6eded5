// Threads that take tasks from one queue, first come first served; the thread that gives them
// may take some too. With no thread, a task runs at once on the thread that gives it.
#ifndef TAVRIN_DRIVER_WORK_POOL_H
#define TAVRIN_DRIVER_WORK_POOL_H

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tavrin {

class WorkPool {
public:
    using Task = std::function<void()>;

    explicit WorkPool(std::size_t threads);
    // Drops the tasks not started and waits for those running.
    ~WorkPool();
    WorkPool(const WorkPool&) = delete;
    WorkPool& operator=(const WorkPool&) = delete;

    // Runs `task` on a thread of the pool, or here and now when the pool has none. A task must
    // not throw: the file loop's steps keep what they throw in their futures.
    void submit(Task task);

    // Runs here the task that has waited longest, when one waits and the pool has threads;
    // true when one ran.
    bool run_waiting();

private:
    void work();

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Task> tasks_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace tavrin

#endif  // TAVRIN_DRIVER_WORK_POOL_H
