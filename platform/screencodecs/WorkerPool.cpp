#include "platform/screencodecs/WorkerPool.h"

#include <algorithm>
#include <utility>

#include "platform/ThreadPriority.h"

namespace tolm::screencodecs {

WorkerPool::WorkerPool(unsigned threads, std::string name) : name_(std::move(name)) {
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    helpers_.reserve(threads - 1);
    for (unsigned i = 1; i < threads; ++i) helpers_.emplace_back([this, i] { Help(i); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : helpers_) t.join();
}

void WorkerPool::Run(int count, const std::function<void(int)>& task) {
    if (helpers_.empty() || count <= 1) {
        for (int i = 0; i < count; ++i) task(i);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        task_ = &task;
        count_ = count;
        next_.store(0);
        busy_ = static_cast<unsigned>(helpers_.size());
        ++round_;
    }
    wake_.notify_all();
    Claim(task, count);
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return busy_ == 0; });
    task_ = nullptr;
}

void WorkerPool::Help(unsigned index) {
    SetCurrentThreadName((name_ + "-" + std::to_string(index)).c_str());
    unsigned seen = 0;
    for (;;) {
        const std::function<void(int)>* task;
        int count;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stop_ || round_ != seen; });
            if (stop_) return;
            seen = round_;
            task = task_;
            count = count_;
        }
        Claim(*task, count);
        std::lock_guard lock(mutex_);
        if (--busy_ == 0) done_.notify_one();
    }
}

void WorkerPool::Claim(const std::function<void(int)>& task, int count) {
    for (int i = next_.fetch_add(1); i < count; i = next_.fetch_add(1)) task(i);
}

}  // namespace tolm::screencodecs
