#include "platform/x11/ShmSegment.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/x11/SigPipeGuard.h"
#include "platform/x11/XcbHandles.h"

namespace tolm::x11 {

ShmSegment ShmSegment::Create(xcb_connection_t* connection, std::size_t bytes, std::string& error) {
    ShmSegment result;
    if (connection == nullptr || bytes == 0) {
        error = "No shared memory segment of zero size.";
        return result;
    }
    const int shmId = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (shmId < 0) {
        error = std::string("Cannot create a shared memory segment: ") + std::strerror(errno);
        return result;
    }
    void* address = shmat(shmId, nullptr, SHM_RDONLY);
    if (address == reinterpret_cast<void*>(-1)) {
        error = std::string("Cannot map the shared memory segment: ") + std::strerror(errno);
        shmctl(shmId, IPC_RMID, nullptr);
        return result;
    }

    SigPipeGuard pipeGuard;
    const xcb_shm_seg_t segment = xcb_generate_id(connection);
    const XcbError attachError(xcb_request_check(
        connection, xcb_shm_attach_checked(connection, segment, static_cast<std::uint32_t>(shmId), 0)));
    // From here on only the attachments keep the segment alive.
    shmctl(shmId, IPC_RMID, nullptr);
    if (attachError || xcb_connection_has_error(connection)) {
        error = attachError ? "The X server cannot attach our shared memory (error " +
                                  std::to_string(attachError->error_code) + ")."
                            : "Lost the connection to the X display.";
        shmdt(address);
        return result;
    }
    result.connection_ = connection;
    result.segment_ = segment;
    result.address_ = static_cast<const std::uint8_t*>(address);
    result.size_ = bytes;
    return result;
}

ShmSegment::~ShmSegment() {
    Release();
}

ShmSegment::ShmSegment(ShmSegment&& other) noexcept {
    Swap(other);
}

ShmSegment& ShmSegment::operator=(ShmSegment&& other) noexcept {
    if (this != &other) {
        Release();
        Swap(other);
    }
    return *this;
}

void ShmSegment::Swap(ShmSegment& other) noexcept {
    std::swap(connection_, other.connection_);
    std::swap(segment_, other.segment_);
    std::swap(address_, other.address_);
    std::swap(size_, other.size_);
}

void ShmSegment::Release() noexcept {
    if (address_ == nullptr) return;
    if (!xcb_connection_has_error(connection_)) {
        SigPipeGuard pipeGuard;
        // Checked, so a failure is consumed here instead of piling up in the event queue nobody reads.
        const XcbError ignored(xcb_request_check(connection_, xcb_shm_detach_checked(connection_, segment_)));
    }
    shmdt(address_);
    connection_ = nullptr;
    segment_ = 0;
    address_ = nullptr;
    size_ = 0;
}

}  // namespace tolm::x11
