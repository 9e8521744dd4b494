#pragma once

#include <functional>
#include <set>
#include <utility>

#include "platform/HotKeys.h"

namespace tolm {

// Global keys that are always granted; the test sees which are held and presses them through the handler.
class FakeHotKeys final : public GlobalHotKeys {
  public:
    void SetHandler(std::function<void(HotKey)> h) override { handler = std::move(h); }
    bool Register(HotKey key) override {
        held.insert(key);
        return true;
    }
    void Unregister(HotKey key) override { held.erase(key); }

    std::set<HotKey> held;
    std::function<void(HotKey)> handler;
};

}  // namespace tolm
