#include "app/RealBackends.h"

#include <cstdio>

#include "app/AppWindows.h"

namespace tolm {

RealBackends::RealBackends() = default;

bool RealBackends::CanOpenDisplay(std::string& error) {
    std::string screenError;
    if (MachineServices::CanOpenDisplay("", screenError)) return true;
    error = "Cannot open the X display: " + screenError;
    return false;
}

std::unique_ptr<RealBackends> RealBackends::Open(std::string& error) {
    auto b = std::make_unique<RealBackends>();
    b->mainThread_ = std::make_unique<QtMainThread>();
    std::string machineError;
    b->machine_ = MachineServices::Open("", *b->mainThread_, machineError);
    if (!b->machine_) {
        error = "Cannot open the X display: " + machineError;
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
