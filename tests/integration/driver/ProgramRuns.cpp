#include "integration/driver/ProgramRuns.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace tolm::testing {

pid_t Spawn(std::vector<std::string> args, const std::string& log, const std::function<void()>& inChild) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (inChild) inChild();
        std::freopen(log.c_str(), "w", stdout);
        // One open file for both, so that neither writes over what the other wrote before.
        ::dup2(STDOUT_FILENO, STDERR_FILENO);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

int WaitForExit(pid_t pid, std::chrono::milliseconds timeout) {
    int status = 0;
    if (!PollUntil([&] { return ::waitpid(pid, &status, WNOHANG) != 0; }, timeout)) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

int CountText(const std::string& log, const std::string& text) {
    return Count(Slurp(log), text);
}

bool WaitForText(const std::string& log, const std::string& text, std::chrono::milliseconds timeout) {
    return WaitForCount(log, text, 1, timeout);
}

bool WaitForCount(const std::string& log, const std::string& text, int count, std::chrono::milliseconds timeout) {
    return PollUntil([&] { return CountText(log, text) >= count; }, timeout);
}

}  // namespace tolm::testing
