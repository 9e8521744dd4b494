#include "audio/scWaveIO.h"
#include "platform/ThreadPriority.h"

namespace tolm {

TWaveThread::TWaveThread() : thread_([this] { Body(); }) {}

TWaveThread::~TWaveThread() {
    RequestQuit();
    thread_.join();
}

std::shared_ptr<MessageQueue> TWaveThread::Queue() {
    std::lock_guard lock(mutex_);
    return queue_;
}

void TWaveThread::RequestQuit() {
    std::lock_guard lock(mutex_);
    if (queue_) {
        queue_->PostQuit();
    } else {
        quitRequested_ = true;
    }
}

void TWaveThread::Body() {
    SetCurrentThreadName("tolm-wave-in");
    // One step above normal, so a busy desktop does not starve the device of buffers; without the privilege
    // to raise it the thread keeps the normal priority.
    SetThreadPriority(CurrentSystemThreadId(), TThreadPriority::tpHigher);
    std::shared_ptr<MessageQueue> queue = MessageQueue::OfCurrentThread();
    {
        std::lock_guard lock(mutex_);
        queue_ = queue;
        if (quitRequested_) queue->PostQuit();
    }
    ready_.Set();
    while (queue->WaitAndDispatch()) {
    }
    ready_.Reset();
    ended_ = true;
}

}  // namespace tolm
