#include "integration/gui/GuiDriver.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "integration/Requirements.h"

namespace tolm::testing {
namespace {

const std::string kBin = TOLM_BIN_DIR;

// Polls `done` until it holds or the timeout passes.
template <class Done>
bool PollUntil(Done done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

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

bool GuiTest::StartWindowManager() {
    // Without the iconify animation a restored window takes clicks as soon as it is shown again.
    const std::string config = folder_.Path("openbox.xml");
    std::ofstream(config) << "<openbox_config xmlns=\"http://openbox.org/3.4/rc\">"
                             "<theme><animateIconify>no</animateIconify></theme></openbox_config>\n";
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
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("HOME", home_.c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
        ::setenv("XDG_CACHE_HOME", runtime_.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home_ + "/.config").c_str(), 1);
        for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
        std::freopen(log.c_str(), "w", stdout);
        std::freopen(log.c_str(), "a", stderr);
        const std::string program = kBin + "/tolm-capture";
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
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
    int status = 0;
    if (!PollUntil([&] { return ::waitpid(pid, &status, WNOHANG) != 0; }, timeout)) return -1;
    std::erase(started_, pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
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

std::string GuiTest::Run(const std::string& command) {
    int status = 0;
    return RunCommand(command, status);
}

std::string GuiTest::FindWindow(const std::string& title, std::chrono::seconds timeout) {
    std::string id;
    PollUntil(
        [&] {
            std::istringstream ids(
                Run("xdotool search --onlyvisible --name " + Quote("^" + title + "$") + " 2>/dev/null"));
            return static_cast<bool>(ids >> id);
        },
        timeout);
    return id;
}

bool GuiTest::WaitForNoWindow(const std::string& title, std::chrono::seconds timeout) {
    return PollUntil([&] { return FindWindow(title, 0s).empty(); }, timeout);
}

void GuiTest::Click(const std::string& window, Spot spot) {
    Run("xdotool mousemove --window " + window + " " + std::to_string(spot.x) + " " + std::to_string(spot.y) +
        " click 1");
}

void GuiTest::AskToClose(const std::string& window) {
    struct Disconnect {
        void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
    };
    const std::unique_ptr<xcb_connection_t, Disconnect> c(xcb_connect(nullptr, nullptr));
    ASSERT_EQ(xcb_connection_has_error(c.get()), 0);
    const auto atom = [&](const char* name) {
        const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(c.get(), xcb_intern_atom(c.get(), 0, std::strlen(name), name), nullptr), &std::free);
        return reply ? reply->atom : xcb_atom_t{XCB_NONE};
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(std::stoul(window));
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    // Checked, so the server has taken the message before the connection goes.
    std::free(xcb_request_check(c.get(), xcb_send_event_checked(c.get(), 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                                                                reinterpret_cast<const char*>(&event))));
}

void GuiTest::Keys(const std::string& keys) {
    Run("xdotool key --delay 50 " + keys);
}

std::string GuiTest::Slurp(const std::string& path) {
    return Run("cat " + Quote(path));
}

bool GuiTest::WaitForText(const std::string& log, const std::string& text, std::chrono::seconds timeout) {
    return PollUntil([&] { return Slurp(log).find(text) != std::string::npos; }, timeout);
}

int GuiTest::CountText(const std::string& log, const std::string& text) {
    const std::string all = Slurp(log);
    int count = 0;
    for (std::size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + text.size())) ++count;
    return count;
}

bool GuiTest::WaitForCount(const std::string& log, const std::string& text, int count, std::chrono::seconds timeout) {
    return PollUntil([&] { return CountText(log, text) >= count; }, timeout);
}

void GuiTest::DismissAll(const std::string& title) {
    if (FindWindow(title, 3s).empty()) return;
    for (int tries = 0; tries < 20; ++tries) {
        std::istringstream ids(Run("xdotool search --onlyvisible --name " + Quote("^" + title + "$") + " 2>/dev/null"));
        std::string id;
        bool any = false;
        while (ids >> id) {
            AskToClose(id);
            any = true;
        }
        if (!any) return;
        std::this_thread::sleep_for(300ms);
    }
    ADD_FAILURE() << "the boxes titled " << title << " do not close";
}

void GuiTest::ChooseRegion(const std::string& window, int index) {
    Click(window, kRegionList);
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
