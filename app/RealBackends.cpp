#include "app/RealBackends.h"

#include <cstdio>

#include "app/AppWindows.h"

namespace tolm {

RealBackends::RealBackends() = default;

namespace {

std::string CannotOpen(ScreenBackend backend, const std::string& why) {
    MachineOptions options;
    options.backend = backend;
    if (MachineServices::ChosenBackend(options) == ScreenBackend::portal) return why;
    return "Cannot open the X display: " + why;
}

}  // namespace

bool RealBackends::CanOpenDisplay(ScreenBackend backend, std::string& error) {
    MachineOptions options;
    options.backend = backend;
    std::string screenError;
    if (MachineServices::CanOpenDisplay(options, screenError)) return true;
    error = CannotOpen(backend, screenError);
    return false;
}

std::unique_ptr<RealBackends> RealBackends::Open(ScreenBackend backend, std::string& error) {
    auto b = std::make_unique<RealBackends>();
    b->mainThread_ = std::make_unique<QtMainThread>();
    MachineOptions options;
    options.backend = backend;
    std::string machineError;
    b->machine_ = MachineServices::Open(options, *b->mainThread_, machineError);
    if (!b->machine_) {
        error = CannotOpen(backend, machineError);
        return nullptr;
    }
    for (const std::string& warning : b->machine_->Warnings())
        std::fprintf(stderr, "tolm-capture: %s\n", warning.c_str());
    b->host_ = std::make_unique<QtHost>(*b->mainThread_);
    return b;
}

RealBackends::~RealBackends() = default;

EngineServices RealBackends::Services() {
    return machine_->Services(*host_, clock_, *mainThread_);
}

}  // namespace tolm
