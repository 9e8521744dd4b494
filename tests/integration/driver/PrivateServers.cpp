#include "integration/driver/PrivateServers.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

extern char** environ;

namespace tolm::testing {
namespace {

// `closeInChild`: a descriptor of ours the child must not hold (-1: none).
pid_t SpawnQuiet(std::vector<std::string> args, int closeInChild = -1) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (closeInChild >= 0) posix_spawn_file_actions_addclose(&actions, closeInChild);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

void KillAndReap(pid_t& pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid = -1;
}

}  // namespace

PrivateXvfb::PrivateXvfb() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    // Xvfb writes its display number to this descriptor once it takes clients.
    pid_ = SpawnQuiet({"Xvfb", "-displayfd", std::to_string(fds[1]), "-nolisten", "tcp", "-screen", "0", "640x480x24"},
                      fds[0]);
    ::close(fds[1]);
    std::string number;
    pollfd readable{fds[0], POLLIN, 0};
    while (pid_ > 0 && number.find('\n') == std::string::npos && ::poll(&readable, 1, 20000) > 0) {
        char buffer[16];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        number.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        KillAndReap(pid_);
        return;
    }
    number.erase(number.find('\n'));
    displayName_ = ":" + number;
}

PrivateXvfb::~PrivateXvfb() {
    Kill();
}

void PrivateXvfb::Kill() {
    KillAndReap(pid_);
}

void PrivateXvfb::Freeze() {
    if (pid_ > 0) ::kill(pid_, SIGSTOP);
}

PrivatePulse::PrivatePulse() {
    char pattern[] = "/tmp/tolm-pulse-faults.XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return;
    dir_ = pattern;
    const std::string address = "unix:" + dir_ + "/native";
    {
        // The server's own runtime folder, not the one of the shared server.
        const ScopedEnv runtime("XDG_RUNTIME_DIR", dir_);
        const ScopedEnv pulseRuntime("PULSE_RUNTIME_PATH", dir_ + "/pulse");
        pid_ = SpawnQuiet({"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit", "-n",
                           "--use-pid-file=no",
                           "--load=module-native-protocol-unix auth-anonymous=1 socket=" + dir_ + "/native",
                           "--load=module-sine-source frequency=440 source_name=private_sine"});
    }
    // A starting server has no event to wait on; the bound keeps a broken start from hanging the test.
    for (int i = 0; i < 100 && pid_ > 0; ++i) {
        if (std::system(("pactl -s " + address + " info >/dev/null 2>&1").c_str()) == 0) {
            address_ = address;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    KillAndReap(pid_);
}

PrivatePulse::~PrivatePulse() {
    Kill();
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
}

void PrivatePulse::Kill() {
    KillAndReap(pid_);
}

ScopedTmpfs::ScopedTmpfs(const std::string& where, const std::string& options, bool readOnly) : where_(where) {
    std::error_code ec;
    std::filesystem::create_directories(where, ec);
    if (::mount("tmpfs", where.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, options.c_str()) == 0) {
        mounted_ = true;
        return;
    }
    problem_ = "cannot mount a tmpfs here (" + std::string(std::strerror(errno)) + ")";
}

ScopedTmpfs::~ScopedTmpfs() {
    // Detached, so a process still in it cannot keep the mount alive past the test.
    if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
}

}  // namespace tolm::testing
