#include "app/RealBackends.h"

#include <QEventLoop>

#include <cstdio>
#include <exception>
#include <functional>
#include <thread>

#include "app/AppWindows.h"

namespace tolm {

RealBackends::RealBackends() = default;

namespace {

// The desktop's chooser may keep the screen's opening waiting for minutes; the toolkit's events go on meanwhile.
void RunWhileServingEvents(const std::function<void()>& work) {
    QEventLoop loop;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace

bool RealBackends::CanOpenDisplay(std::string& error) {
    std::string screenError;
    if (MachineServices::CanOpenDisplay("", screenError)) return true;
    error = "Cannot open the X display: " + screenError;
    return false;
}

std::unique_ptr<RealBackends> RealBackends::Open(ScreenBackend backend, std::string& error) {
    auto b = std::make_unique<RealBackends>();
    b->mainThread_ = std::make_unique<QtMainThread>();
    MachineOptions options;
    options.backend = backend;
    options.runWhileServing = RunWhileServingEvents;
    std::string machineError;
    b->machine_ = MachineServices::Open(options, *b->mainThread_, machineError);
    if (!b->machine_) {
        // The portal's errors say what they are about; the X server's need naming.
        const bool x11 = MachineServices::ChosenBackend(options) == ScreenBackend::x11;
        error = x11 ? "Cannot open the X display: " + machineError : machineError;
        return nullptr;
    }
    for (const std::string& warning : b->machine_->Warnings())
        std::fprintf(stderr, "tolm-capture: %s\n", warning.c_str());
    b->host_ = std::make_unique<QtHost>(*b->mainThread_);
    b->host_->SetWindowLocator(b->Services().windowLocator);
    return b;
}

RealBackends::~RealBackends() = default;

EngineServices RealBackends::Services() {
    return machine_->Services(*host_, clock_, *mainThread_);
}

}  // namespace tolm
