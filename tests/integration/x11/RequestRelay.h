#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace tolm::testing {

// Stands between one client and an X server and hands the server that client's requests one at a time, so that a
// test can act in the middle of a batch the client sends at once: `after(major, minor)` runs on the relay's thread
// once each request is on its way. The client connects to DisplayName(); the relay ends with its client.
class RequestRelay {
  public:
    using After = std::function<void(std::uint8_t major, std::uint8_t minor)>;
    RequestRelay(const std::string& serverDisplay, After after);
    ~RequestRelay();
    RequestRelay(const RequestRelay&) = delete;
    RequestRelay& operator=(const RequestRelay&) = delete;

    // Empty when no display number was free.
    const std::string& DisplayName() const { return displayName_; }

  private:
    void Run(const std::string& serverDisplay);

    After after_;
    int listener_ = -1;
    std::string displayName_;
    std::thread thread_;
};

}  // namespace tolm::testing
