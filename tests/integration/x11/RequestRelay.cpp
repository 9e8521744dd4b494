#include "RequestRelay.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <vector>

namespace tolm::testing {
namespace {

// The socket of display `number`: abstract (a name after a zero byte, as long as it is) or in /tmp/.X11-unix.
struct DisplaySocket {
    DisplaySocket(const std::string& number, bool abstract) {
        const std::string path = "/tmp/.X11-unix/X" + number;
        std::memcpy(address.sun_path + (abstract ? 1 : 0), path.data(), path.size());
        length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    }
    const sockaddr* Address() const { return reinterpret_cast<const sockaddr*>(&address); }
    sockaddr_un address{AF_UNIX, {}};
    socklen_t length = 0;
};

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::size_t Padded(std::size_t n) {
    return (n + 3) / 4 * 4;
}

// The length of the first message in `bytes` (the connection setup, else a request, little-endian as XCB sends
// them here), or 0 while its header is incomplete.
std::size_t MessageLength(const std::vector<std::uint8_t>& bytes, bool setup) {
    const auto word = [&](std::size_t at) { return std::size_t{bytes[at]} | std::size_t{bytes[at + 1]} << 8; };
    if (setup) return bytes.size() < 12 ? 0 : 12 + Padded(word(6)) + Padded(word(8));
    if (bytes.size() < 4) return 0;
    if (word(2) != 0) return word(2) * 4;
    return bytes.size() < 8 ? 0 : (word(4) | word(6) << 16) * 4;  // BIG-REQUESTS
}

}  // namespace

RequestRelay::RequestRelay(const std::string& serverDisplay, After after) : after_(std::move(after)) {
    listener_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    // An abstract name of our own: clients look for one before the file, and a taken one refuses the bind.
    for (int number = 90; number < 200 && displayName_.empty(); ++number) {
        const std::string digits = std::to_string(number);
        const DisplaySocket name(digits, true);
        if (::bind(listener_, name.Address(), name.length) == 0 && ::listen(listener_, 1) == 0)
            displayName_.append(":").append(digits);
    }
    thread_ = std::thread([this, serverDisplay] { Run(serverDisplay); });
}

RequestRelay::~RequestRelay() {
    ::shutdown(listener_, SHUT_RDWR);  // ends a wait for a client that never came
    thread_.join();
    ::close(listener_);
}

void RequestRelay::Run(const std::string& serverDisplay) {
    const int client = ::accept(listener_, nullptr, nullptr);
    if (client < 0) return;
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const DisplaySocket path(serverDisplay.substr(1), false);
    if (::connect(server, path.Address(), path.length) == 0) {
        std::vector<std::uint8_t> pending;
        bool setup = true;
        std::uint8_t buffer[65536];
        pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        while (::poll(ends, 2, -1) > 0) {
            if (ends[1].revents != 0) {
                const ssize_t n = ::read(server, buffer, sizeof buffer);
                if (n <= 0 || !WriteAll(client, buffer, static_cast<std::size_t>(n))) break;
            }
            if (ends[0].revents == 0) continue;
            const ssize_t n = ::read(client, buffer, sizeof buffer);
            if (n <= 0) break;
            pending.insert(pending.end(), buffer, buffer + n);
            for (std::size_t length; (length = MessageLength(pending, setup)) != 0 && pending.size() >= length;) {
                if (!WriteAll(server, pending.data(), length)) break;
                if (!setup) after_(pending[0], pending[1]);
                setup = false;
                pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(length));
            }
        }
    }
    ::close(server);
    ::close(client);
}

}  // namespace tolm::testing
