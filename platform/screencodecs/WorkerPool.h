#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tolm::screencodecs {

// A few threads that share the rows of a picture with the thread that asks: Run hands out the indices of
// the parts one at a time and returns when every part is done. The threads end in the destructor.
class WorkerPool {
  public:
    // `threads` in all, the caller's included; 0 means one per core.
    WorkerPool(unsigned threads, std::string name);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    unsigned Threads() const { return static_cast<unsigned>(helpers_.size()) + 1; }

    // Calls task(i) for each i in [0, count), on any of the threads; `task` must not throw.
    void Run(int count, const std::function<void(int)>& task);

  private:
    void Help(unsigned index);
    void Claim(const std::function<void(int)>& task, int count);

    const std::string name_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    const std::function<void(int)>* task_ = nullptr;
    int count_ = 0;
    unsigned round_ = 0;  // counts the Run calls, so each helper joins each round once
    unsigned busy_ = 0;   // helpers still in the current round
    bool stop_ = false;
    std::atomic<int> next_{0};  // the next part to hand out
    std::vector<std::thread> helpers_;
};

}  // namespace tolm::screencodecs
