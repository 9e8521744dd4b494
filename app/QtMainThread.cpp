#include "app/QtMainThread.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <exception>
#include <mutex>
#include <utility>
#include <vector>

namespace tolm {
namespace {

// While events arrive without a pause the dispatcher never gets ready to block; this timer covers that case.
constexpr int kBusyRecheckMs = 20;

}  // namespace

struct QtMainThread::Shared {
    enum class State { queued, running, done, abandoned };
    struct Call {
        State state = State::queued;
        std::exception_ptr error;
    };

    std::mutex mutex;
    std::condition_variable answered;
    bool stopped = false;
    std::size_t invokers = 0;  // threads inside Invoke
    std::vector<std::shared_ptr<Call>> pending;

    void Stop() {
        std::lock_guard lock(mutex);
        stopped = true;
        for (auto& call : pending) call->state = State::abandoned;
        pending.clear();
        answered.notify_all();
    }
};

QtMainThread::QtMainThread() : shared_(std::make_shared<Shared>()), receiver_(std::make_unique<QObject>()) {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        std::weak_ptr<Shared> weak = shared_;
        QObject::connect(app, &QCoreApplication::aboutToQuit, receiver_.get(), [weak] {
            if (auto shared = weak.lock()) shared->Stop();
        });
    } else {
        shared_->Stop();  // no loop will ever serve this thread
    }
}

QtMainThread::~QtMainThread() {
    shared_->Stop();
    std::unique_lock lock(shared_->mutex);
    shared_->answered.wait(lock, [this] { return shared_->invokers == 0; });
    lock.unlock();
    receiver_.reset();  // Qt drops the events still queued for it
}

bool QtMainThread::Stopped() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->stopped;
}

std::size_t QtMainThread::WaitingInvokers() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->invokers;
}

bool QtMainThread::IsMainThread() const {
    return QThread::currentThread() == receiver_->thread();
}

void QtMainThread::Post(std::function<void()> fn) {
    if (Stopped()) return;
    std::weak_ptr<Shared> weak = shared_;
    QMetaObject::invokeMethod(
        receiver_.get(),
        [weak, fn = std::move(fn)]() noexcept {
            auto shared = weak.lock();
            if (!shared) return;
            {
                std::lock_guard lock(shared->mutex);
                if (shared->stopped) return;
            }
            fn();
        },
        Qt::QueuedConnection);
}

bool QtMainThread::Invoke(std::function<void()> fn) {
    if (IsMainThread()) {
        if (Stopped()) return false;
        fn();
        return true;
    }
    auto call = std::make_shared<Shared::Call>();
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->stopped) return false;
        shared_->pending.push_back(call);
        ++shared_->invokers;
    }
    std::shared_ptr<Shared> shared = shared_;
    // Our own wait rather than a blocking queued connection: Stop can answer it, so a quitting loop
    // never leaves the caller hanging.
    QMetaObject::invokeMethod(
        receiver_.get(),
        [shared, call, fn = std::move(fn)]() {
            {
                std::lock_guard lock(shared->mutex);
                if (call->state != Shared::State::queued) return;
                call->state = Shared::State::running;
                std::erase(shared->pending, call);
            }
            std::exception_ptr error;
            try {
                fn();
            } catch (...) {
                error = std::current_exception();
            }
            std::lock_guard lock(shared->mutex);
            call->error = error;
            call->state = Shared::State::done;
            shared->answered.notify_all();
        },
        Qt::QueuedConnection);

    std::unique_lock lock(shared_->mutex);
    shared_->answered.wait(
        lock, [&] { return call->state == Shared::State::done || call->state == Shared::State::abandoned; });
    --shared_->invokers;
    if (shared_->invokers == 0) shared_->answered.notify_all();  // the destructor may wait for the last one
    if (call->error) {
        lock.unlock();
        std::rethrow_exception(call->error);
    }
    return call->state == Shared::State::done;
}

void QtMainThread::RunModal(const std::function<bool()>& finished) {
    if (!IsMainThread() || Stopped() || finished()) return;
    QEventLoop loop;
    auto check = [&] {
        if (Stopped() || finished()) loop.quit();
    };
    QTimer busy;
    busy.setInterval(kBusyRecheckMs);
    QObject::connect(&busy, &QTimer::timeout, &loop, check);
    busy.start();
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &loop, check);
    if (QCoreApplication* app = QCoreApplication::instance())
        QObject::connect(app, &QCoreApplication::aboutToQuit, &loop, &QEventLoop::quit);
    // QCoreApplication::exit ends this loop too, whatever the predicate says.
    loop.exec();
}

}  // namespace tolm
