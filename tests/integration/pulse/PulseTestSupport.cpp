#include "PulseTestSupport.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>

namespace tolm::testing {

std::string Pactl(const std::string& arguments, bool* ok) {
    const std::string command = "pactl " + arguments + " 2>/dev/null";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        if (ok) *ok = false;
        return output;
    }
    char chunk[512];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, got);
    const int status = pclose(pipe);
    if (ok) *ok = status == 0;
    return output;
}

int SourceVolumePercent(const std::string& source) {
    const std::string output = Pactl("get-source-volume " + source);
    std::smatch match;
    if (!std::regex_search(output, match, std::regex("(\\d+)%"))) return -1;
    return std::stoi(match[1].str());
}

std::string DefaultSourceName() {
    std::string name = Pactl("get-default-source");
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    return name;
}

bool HaveTestSources() {
    const std::string sources = Pactl("list short sources");
    return sources.find(std::string("\t") + kSineSource + "\t") != std::string::npos &&
           sources.find(std::string("\t") + kMonitorSource + "\t") != std::string::npos;
}

namespace {
// The tests want the sine as the default source; the server goes back to the default it had (scripts/test
// records from the null sink's monitor) once the program ends.
class DefaultSourceKeeper : public ::testing::Environment {
  public:
    void SetUp() override { saved_ = DefaultSourceName(); }
    void TearDown() override {
        if (!saved_.empty()) Pactl("set-default-source " + saved_);
    }

  private:
    std::string saved_;
};
// gtest owns registered environments.
[[maybe_unused]] ::testing::Environment* const kDefaultSourceKeeper =
    ::testing::AddGlobalTestEnvironment(new DefaultSourceKeeper);
}  // namespace

void RestoreServerState() {
    for (const char* source : {kSineSource, kMonitorSource}) {
        Pactl(std::string("set-source-volume ") + source + " 100%");
        Pactl(std::string("set-source-mute ") + source + " 0");
    }
    Pactl(std::string("set-default-source ") + kSineSource);
}

int ClientIndex(const std::string& clientName) {
    // The short listing shows the program's file name, so the long one is read: "Client #N" and its properties.
    std::istringstream lines(Pactl("list clients"));
    std::string line;
    int index = -1;
    const std::string property = "application.name = \"" + clientName + "\"";
    while (std::getline(lines, line)) {
        if (line.rfind("Client #", 0) == 0) index = std::stoi(line.substr(8));
        if (line.find(property) != std::string::npos) return index;
    }
    return -1;
}

PrivatePulseServer::PrivatePulseServer() {
    char pattern[] = "/tmp/tolm-pulse-private.XXXXXX";
    if (mkdtemp(pattern) == nullptr) return;
    dir_ = pattern;
    const std::string runtime = "XDG_RUNTIME_DIR=" + dir_;
    const std::string pulseRuntime = "PULSE_RUNTIME_PATH=" + dir_ + "/pulse";
    const std::string protocol = "--load=module-native-protocol-unix auth-anonymous=1 socket=" + dir_ + "/native";
    const std::string sine = "--load=module-sine-source frequency=440 source_name=private_sine";
    std::vector<std::string> arguments = {"pulseaudio", "--daemonize=no",    "--exit-idle-time=-1", "--disallow-exit",
                                          "-n",         "--use-pid-file=no", "--log-target=stderr", protocol,
                                          sine};
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("XDG_RUNTIME_DIR=", 0) != 0 && entry.rfind("PULSE_", 0) != 0) environment.push_back(entry);
    }
    environment.push_back(runtime);
    environment.push_back(pulseRuntime);
    const auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> p;
        for (auto& s : strings) p.push_back(s.data());
        p.push_back(nullptr);
        return p;
    };
    auto argv = pointers(arguments);
    auto envp = pointers(environment);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, (dir_ + "/log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, "pulseaudio", &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return;
    pid_ = pid;
    // Waiting for a process to come up has no event to wait on; the bound keeps a broken start from hanging.
    for (int i = 0; i < 100 && !started_; ++i) {
        bool ok = false;
        Pactl("-s " + Address() + " info", &ok);
        started_ = ok;
        if (!ok) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

PrivatePulseServer::~PrivatePulseServer() {
    Kill();
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
}

void PrivatePulseServer::Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

TestSine::TestSine(const std::string& sourceName, unsigned frequency) {
    bool ok = false;
    const std::string index = Pactl(
        "load-module module-sine-source source_name=" + sourceName + " frequency=" + std::to_string(frequency), &ok);
    if (ok) module_ = index.substr(0, index.find('\n'));
}

TestSine::~TestSine() {
    if (!module_.empty()) Pactl("unload-module " + module_);
}

BusyCores::BusyCores() {
    for (unsigned i = 0; i < 2 * std::max(1u, std::thread::hardware_concurrency()); ++i)
        threads_.emplace_back([this] {
            while (!stop_.load(std::memory_order_relaxed)) {
            }
        });
}

BusyCores::~BusyCores() {
    stop_ = true;
    for (std::thread& thread : threads_) thread.join();
}

WaveFormatBlock PcmFormat(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
    WAVEFORMATEX record;
    record.wFormatTag = kWaveFormatPCM;
    record.nChannels = channels;
    record.nSamplesPerSec = rate;
    record.wBitsPerSample = bits;
    record.nBlockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    record.nAvgBytesPerSec = rate * record.nBlockAlign;
    return WaveFormatBlock(record);
}

double ZeroCrossingFrequency(const std::vector<std::int16_t>& samples, unsigned rate) {
    if (samples.size() < 2) return 0;
    std::size_t rising = 0;
    for (std::size_t i = 1; i < samples.size(); ++i)
        if (samples[i - 1] < 0 && samples[i] >= 0) ++rising;
    return static_cast<double>(rising) * rate / static_cast<double>(samples.size());
}

std::size_t SineBreaks(const std::vector<std::int16_t>& samples, unsigned rate, double frequency) {
    int peak = 0;
    for (std::int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    auto i = std::find_if(samples.begin(), samples.end(), [peak](std::int16_t s) { return 2 * std::abs(s) > peak; });
    const double period = rate / frequency;
    std::size_t breaks = 0;
    double last = -1;
    for (i += i != samples.end() ? 1 : 0; i < samples.end(); ++i) {
        if (i[-1] >= 0 || i[0] < 0) continue;
        // Where the line through the two samples crosses zero.
        const double at = static_cast<double>(i - samples.begin()) - 1 + i[-1] / static_cast<double>(i[-1] - i[0]);
        if (last >= 0 && std::abs(at - last - period) > 1.0) ++breaks;
        last = at;
    }
    return breaks;
}

}  // namespace tolm::testing
