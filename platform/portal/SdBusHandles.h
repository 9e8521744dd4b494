#pragma once

// Owners of the sd-bus handles the portal backend keeps. Private to platform/portal.

#include <systemd/sd-bus.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/CDeleter.h"

namespace tolm::portal {

using SdBus = std::unique_ptr<sd_bus, CDeleter<&sd_bus_flush_close_unref>>;
using SdBusMessage = std::unique_ptr<sd_bus_message, CDeleter<&sd_bus_message_unref>>;
using SdBusSlot = std::unique_ptr<sd_bus_slot, CDeleter<&sd_bus_slot_unref>>;

// An error a call may fill in; freed with its owner.
class BusError {
  public:
    BusError() = default;
    ~BusError() { sd_bus_error_free(&error_); }
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;

    sd_bus_error* Get() { return &error_; }
    // The bus's own words when it gave some, else the system's for `result`.
    std::string Text(int result) const {
        if (error_.message != nullptr) return error_.message;
        return std::strerror(result < 0 ? -result : result);
    }

  private:
    sd_bus_error error_{};
};

}  // namespace tolm::portal
