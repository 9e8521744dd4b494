#include "selection/TickGate.h"

#include <algorithm>

namespace tolm {

TickGate::Entry::Entry(TickGate& gate) : gate_(gate), timer_(nullptr) {
    std::lock_guard lock(gate_.mutex_);
    if (gate_.timer_ == nullptr) return;
    gate_.inside_.push_back(std::this_thread::get_id());
    timer_ = gate_.timer_;
}

void TickGate::Entry::Leave() {
    if (timer_ == nullptr) return;
    timer_ = nullptr;
    std::lock_guard lock(gate_.mutex_);
    auto& inside = gate_.inside_;
    inside.erase(std::find(inside.begin(), inside.end(), std::this_thread::get_id()));
    gate_.left_.notify_all();
}

bool TickGate::Open() const {
    std::lock_guard lock(mutex_);
    return timer_ != nullptr;
}

void TickGate::Close() {
    std::unique_lock lock(mutex_);
    timer_ = nullptr;
    const auto self = std::this_thread::get_id();
    left_.wait(lock, [&] { return std::all_of(inside_.begin(), inside_.end(), [&](auto id) { return id == self; }); });
}

}  // namespace tolm
