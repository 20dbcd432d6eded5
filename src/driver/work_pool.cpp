#include "driver/work_pool.h"

#include <utility>

namespace tavrin {

WorkPool::WorkPool(std::size_t threads) {
    threads_.reserve(threads);
    for (std::size_t i = 0; i < threads; ++i)
        threads_.emplace_back([this] { work(); });
}

WorkPool::~WorkPool() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        tasks_.clear();
    }
    ready_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void WorkPool::submit(Task task) {
    if (threads_.empty()) {
        task();
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    ready_.notify_one();
}

bool WorkPool::run_waiting() {
    Task task;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (tasks_.empty()) return false;
        task = std::move(tasks_.front());
        tasks_.pop_front();
    }
    task();
    return true;
}

void WorkPool::work() {
    while (true) {
        Task task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            ready_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (stopping_) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

}  // namespace tavrin
