#pragma once

#include <gtest/gtest.h>

#include "integration/Requirements.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/WaveFormat.h"

namespace tolm::testing {

// The test server's sources (scripts/test): a 440 Hz sine, the default, and the null sink's monitor.
inline constexpr const char* kSineSource = "sine440";
inline constexpr const char* kSineDescription = "Sine source at 440 Hz";
inline constexpr const char* kMonitorSource = "nullsink.monitor";
inline constexpr const char* kMonitorDescription = "Monitor of Null Output";

// pactl's standard output for `arguments`; `ok` tells whether it exited with 0.
std::string Pactl(const std::string& arguments, bool* ok = nullptr);
// The first percentage `pactl get-source-volume` shows for `source`; -1 when there is none.
int SourceVolumePercent(const std::string& source);
// pactl's answer without the line end.
std::string DefaultSourceName();
// Whether the server has both test sources.
bool HaveTestSources();
// Back to what every test expects: the sine as default source, both sources at 100 % and not muted.
void RestoreServerState();
// The index pactl lists for the client named `clientName`, -1 when there is none.
int ClientIndex(const std::string& clientName);

// Tests on the shared server's test sources: skipped without them (failed when TOLM_REQUIRE_PULSE=1), and the
// server's state restored before and after.
class PulseServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TOLM_SKIP_WITHOUT_PULSE();
        TOLM_SKIP_UNLESS(HaveTestSources(), "TOLM_REQUIRE_PULSE", "the server lacks the test sources");
        RestoreServerState();
    }
    void TearDown() override {
        if (HavePulseServer()) RestoreServerState();
    }
};

// A sound server of the test's own, with one 440 Hz source named "private_sine", so a test can kill it.
class PrivatePulseServer {
  public:
    PrivatePulseServer();  // Started() tells whether it answers
    ~PrivatePulseServer();
    PrivatePulseServer(const PrivatePulseServer&) = delete;
    PrivatePulseServer& operator=(const PrivatePulseServer&) = delete;

    bool Started() const { return started_; }
    // The value for PULSE_SERVER.
    std::string Address() const { return "unix:" + dir_ + "/native"; }
    // Ends the server at once, the way a crash would.
    void Kill();

  private:
    std::string dir_;
    int pid_ = -1;
    bool started_ = false;
};

// A sine source of the test's own on the shared server while it lives: the server's generator, which hands out
// its sound in 2-second bursts. None where the server has no generator (PipeWire's pulse service).
class TestSine {
  public:
    TestSine(const std::string& sourceName, unsigned frequency);
    ~TestSine();
    TestSine(const TestSine&) = delete;
    TestSine& operator=(const TestSine&) = delete;

    bool Loaded() const { return !module_.empty(); }

  private:
    std::string module_;  // the index load-module gave
};

// Two spinning threads per core while it lives: every other thread of the machine waits for its turn.
class BusyCores {
  public:
    BusyCores();
    ~BusyCores();
    BusyCores(const BusyCores&) = delete;
    BusyCores& operator=(const BusyCores&) = delete;

  private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

WaveFormatBlock PcmFormat(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits);

// Frequency of a 16-bit mono signal by its rising zero crossings.
double ZeroCrossingFrequency(const std::vector<std::int16_t>& samples, unsigned rate);

// Places where a recorded sine of `frequency` Hz breaks off: rising zero crossings that do not follow the one before
// by one period. Sound lost in between shifts the phase unless it lasted a whole number of periods, which buffer
// and burst lengths rarely are at 437 Hz. The start, before the sine reaches half its peak, is passed over (a
// stream may begin with a little silence and resampler noise).
std::size_t SineBreaks(const std::vector<std::int16_t>& samples, unsigned rate, double frequency);

// Messages handed from a device's thread to the test's thread.
template <class T>
class Inbox {
  public:
    void Push(T item) {
        {
            std::lock_guard lock(mutex_);
            items_.push_back(std::move(item));
        }
        changed_.notify_all();
    }

    // The next message, or false when none came within the time.
    bool Pop(T& item, int timeoutMs = 5000) {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !items_.empty(); }))
            return false;
        item = std::move(items_.front());
        items_.pop_front();
        return true;
    }

    std::size_t Size() {
        std::lock_guard lock(mutex_);
        return items_.size();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<T> items_;
};

}  // namespace tolm::testing
