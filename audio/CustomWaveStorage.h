#pragma once

#include <functional>
#include <map>
#include <mutex>

#include "audio/ByteStream.h"

namespace tolm {

// Hands out the streams of numbered wave items; a recorder writes into the stream of the item it is told to
// record to, without owning it. Whoever keeps a pointer to a storage registers for its destruction.
class TCustomWaveStorage {
  public:
    using TFreeNotification = std::function<void(TCustomWaveStorage& sender)>;

    TCustomWaveStorage() = default;
    // Tells every registered party, then goes.
    virtual ~TCustomWaveStorage();
    TCustomWaveStorage(const TCustomWaveStorage&) = delete;
    TCustomWaveStorage& operator=(const TCustomWaveStorage&) = delete;

    // The stream that holds wave item `index`, owned by the storage; none when there is no such item.
    virtual ByteStream* GetWaveStream(int index) = 0;

    // Registers `notify` to run when the storage is destroyed; the result removes it again.
    int FreeNotification(TFreeNotification notify);
    void RemoveFreeNotification(int id);

  private:
    std::mutex mutex_;
    int nextId_ = 1;
    std::map<int, TFreeNotification> notifications_;
};

}  // namespace tolm
