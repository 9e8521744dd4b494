#include "audio/CustomWaveStorage.h"

#include <utility>

namespace tolm {

TCustomWaveStorage::~TCustomWaveStorage() {
    std::map<int, TFreeNotification> notifications;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        notifications.swap(notifications_);
    }
    for (auto& [id, notify] : notifications) notify(*this);
}

int TCustomWaveStorage::FreeNotification(TFreeNotification notify) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int id = nextId_++;
    notifications_.emplace(id, std::move(notify));
    return id;
}

void TCustomWaveStorage::RemoveFreeNotification(int id) {
    std::lock_guard<std::mutex> lock(mutex_);
    notifications_.erase(id);
}

}  // namespace tolm
