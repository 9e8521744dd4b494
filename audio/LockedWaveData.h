#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace tolm {

class TWaveStreamAdapter;

// The audio bytes TWaveStreamAdapter::LockData hands out: either a view straight into the adapter's memory
// stream or a private copy, which is freed by UnlockData or with this object. A view is valid until the
// stream changes size.
class LockedWaveData {
  public:
    LockedWaveData() = default;
    LockedWaveData(const LockedWaveData&) = delete;
    LockedWaveData& operator=(const LockedWaveData&) = delete;

    std::uint8_t* Data() { return data_; }
    const std::uint8_t* Data() const { return data_; }
    std::size_t Size() const { return size_; }
    bool Locked() const { return owner_ != nullptr; }
    bool Direct() const { return Locked() && direct_; }

  private:
    friend class TWaveStreamAdapter;

    void SetView(const TWaveStreamAdapter* owner, std::uint8_t* data, std::size_t size) {
        Release();
        owner_ = owner;
        data_ = data;
        size_ = size;
        direct_ = true;
    }
    void SetCopy(const TWaveStreamAdapter* owner, std::vector<std::uint8_t> copy) {
        Release();
        copy_ = std::move(copy);
        owner_ = owner;
        data_ = copy_.data();
        size_ = copy_.size();
    }
    void Release() {
        owner_ = nullptr;
        data_ = nullptr;
        size_ = 0;
        direct_ = false;
        std::vector<std::uint8_t>().swap(copy_);
    }

    const TWaveStreamAdapter* owner_ = nullptr;
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool direct_ = false;
    std::vector<std::uint8_t> copy_;
};

}  // namespace tolm
