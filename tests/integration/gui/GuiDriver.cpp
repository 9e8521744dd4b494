#include "integration/gui/GuiDriver.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "integration/Requirements.h"

namespace tolm::testing {
namespace {

const std::string kBin = TOLM_BIN_DIR;

}  // namespace

void GuiTest::SetUp() {
    TOLM_SKIP_WITHOUT_DISPLAY();
    home_ = folder_.Path("home");
    runtime_ = folder_.Path("run");
    std::filesystem::create_directories(home_);
    std::filesystem::create_directories(runtime_);
    ::chmod(runtime_.c_str(), 0700);
}

void GuiTest::TearDown() {
    for (pid_t pid : started_) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    if (windowManager_ > 0) {
        ::kill(windowManager_, SIGTERM);
        ::waitpid(windowManager_, nullptr, 0);
    }
}

bool GuiTest::StartWindowManager(bool animateIconify) {
    // Without the iconify animation a restored window takes clicks as soon as it is shown again.
    const std::string config = folder_.Path("openbox.xml");
    std::ofstream(config) << "<openbox_config xmlns=\"http://openbox.org/3.4/rc\"><theme><animateIconify>"
                          << (animateIconify ? "yes" : "no") << "</animateIconify></theme></openbox_config>\n";
    windowManager_ = ::fork();
    if (windowManager_ == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        ::execlp("openbox", "openbox", "--sm-disable", "--config-file", config.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Ready once it has announced itself on the root window.
    return windowManager_ > 0 &&
           PollUntil([] { return Run("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") != std::string::npos; },
                     10s);
}

pid_t GuiTest::Start(const std::string& log, const std::vector<std::pair<std::string, std::string>>& env) {
    const pid_t pid = Spawn({kBin + "/tolm-capture"}, log, [&] {
        ::setenv("HOME", home_.c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
        ::setenv("XDG_CACHE_HOME", runtime_.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home_ + "/.config").c_str(), 1);
        for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    });
    started_.push_back(pid);
    return pid;
}

std::string GuiTest::StartAndShow(const std::string& log) {
    Start(log);
    const std::string window = FindWindow(kMainTitle);
    EXPECT_FALSE(window.empty()) << Slurp(log);
    return window;
}

int GuiTest::Wait(pid_t pid, std::chrono::seconds timeout) {
    const int status = WaitForExit(pid, timeout);
    if (status != -1) std::erase(started_, pid);
    return status;
}

int GuiTest::CloseAndWait(const std::string& window, pid_t pid, std::chrono::seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        AskToClose(window);
        const int status = Wait(pid, 1s);
        if (status != -1 || std::chrono::steady_clock::now() > deadline) return status;
    }
}

void GuiTest::Kill(pid_t pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    std::erase(started_, pid);
}

void GuiTest::ChooseRegion(const std::string& window, int index) {
    ChooseItem(window, kRegionList, index);
}

void GuiTest::ChooseMonitor(const std::string& window, int number) {
    ChooseItem(window, kMonitorList, number - 1);
}

void GuiTest::ChooseItem(const std::string& window, Spot spot, int index) {
    Click(window, spot);
    std::this_thread::sleep_for(300ms);
    std::string keys = "Home";
    for (int i = 0; i < index; ++i) keys += " Down";
    Keys(keys + " Return");
}

void GuiTest::TypeInto(const std::string& window, Spot spot, const std::string& text) {
    Click(window, spot);
    Keys("ctrl+a BackSpace");
    Run("xdotool type --delay 20 " + Quote(text));
}

void GuiTest::AcceptDefaultCompressor() {
    if (!FindWindow("Notice", 10s).empty()) Keys("Return");
}

}  // namespace tolm::testing
