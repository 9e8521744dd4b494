#include "PrivateXServer.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

extern char** environ;

namespace tolm::testing {
namespace {

// How long a starting Xvfb may take before we give up on it; it is ready in well under a second.
constexpr int kStartTimeoutMs = 20000;

}  // namespace

PrivateXServer::PrivateXServer(const std::string& screen) {
    int fds[2];
    if (pipe(fds) != 0) {
        problem_ = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    const std::string writeFd = std::to_string(fds[1]);
    std::vector<std::string> args = {"Xvfb", "-displayfd", writeFd, "-nolisten", "tcp", "-screen", "0", screen};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        problem_ = std::string("cannot start Xvfb: ") + std::strerror(spawned);
        return;
    }
    pid_ = pid;

    // Xvfb writes its display number and a newline once it accepts clients.
    std::string number;
    pollfd readable{fds[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos && poll(&readable, 1, kStartTimeoutMs) > 0) {
        char buffer[16];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        number.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        problem_ = "Xvfb did not report a display number";
        Stop();
        return;
    }
    number.erase(number.find('\n'));
    displayName_ = ":" + number;
}

PrivateXServer::~PrivateXServer() {
    Stop();
}

void PrivateXServer::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

}  // namespace tolm::testing
