// tolm-avsync-client: at irregular instants about a second apart, turns its window white for 100 ms and plays a
// 50 ms 1 kHz beep, timed so that the flash reaches the screen when the beep reaches the sink. Prints "ready",
// then one line per event: "event N beep_ms flash_ms latency_ms" (milliseconds since its start).
// Usage: tolm-avsync-client [--sink NAME] [--seconds S] [--buffer-ms N] [--size WxH]
#include "BeepPlayer.h"
#include "FlashWindow.h"

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <random>
#include <thread>

namespace {

using tolm::avsync::BeepPlayer;
using tolm::avsync::FlashWindow;
using Clock = std::chrono::steady_clock;

std::atomic<bool> g_stop{false};
void OnSignal(int) {
    g_stop = true;
}

struct Event {
    int index;
    Clock::time_point onset;
    double latencyMs;
};

// Hands beep onsets from the sound loop to the thread that owns the window.
class EventQueue {
  public:
    void Push(const Event& e) {
        {
            std::lock_guard lock(mutex_);
            events_.push_back(e);
        }
        changed_.notify_one();
    }
    void Close() {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        changed_.notify_one();
    }
    bool Pop(Event& e) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return closed_ || !events_.empty(); });
        if (events_.empty()) return false;
        e = events_.front();
        events_.pop_front();
        return true;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Event> events_;
    bool closed_ = false;
};

double MsSince(Clock::time_point start, Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(t - start).count();
}

void FlashLoop(FlashWindow& window, EventQueue& queue, Clock::time_point start) {
    Event e{};
    while (queue.Pop(e)) {
        std::this_thread::sleep_until(e.onset);
        const Clock::time_point shown = window.Paint(true);
        std::this_thread::sleep_until(shown + std::chrono::milliseconds(100));
        window.Paint(false);
        std::printf("event %d %.1f %.1f %.1f\n", e.index, MsSince(start, e.onset), MsSince(start, shown), e.latencyMs);
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string sink;
    double seconds = 3600;
    int bufferMs = 20;
    int width = 1280;
    int height = 720;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--sink") == 0 && hasValue) {
            sink = argv[++i];
        } else if (std::strcmp(argv[i], "--seconds") == 0 && hasValue) {
            seconds = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--buffer-ms") == 0 && hasValue) {
            bufferMs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--size") == 0 && hasValue &&
                   std::sscanf(argv[i + 1], "%dx%d", &width, &height) == 2) {
            ++i;
        } else {
            std::fprintf(stderr,
                         "Usage: tolm-avsync-client [--sink NAME] [--seconds S] [--buffer-ms N] [--size WxH]\n");
            return 2;
        }
    }
    if (bufferMs < 5 || bufferMs > 1000 || width < 16 || height < 16 || width > 8192 || height > 8192) {
        std::fprintf(stderr, "tolm-avsync-client: --buffer-ms is 5..1000 and --size at least 16x16\n");
        return 2;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    FlashWindow window(width, height);
    if (!window.Error().empty()) {
        std::fprintf(stderr, "tolm-avsync-client: %s\n", window.Error().c_str());
        return 1;
    }
    BeepPlayer player(sink, bufferMs);
    if (!player.Error().empty()) {
        std::fprintf(stderr, "tolm-avsync-client: %s\n", player.Error().c_str());
        return 1;
    }
    // A second of sound first so the stream runs steadily before the first beep.
    const Clock::time_point start = Clock::now();
    while (Clock::now() < start + std::chrono::seconds(1))
        if (!player.Feed()) break;
    std::printf("ready\n");
    std::fflush(stdout);

    EventQueue queue;
    std::thread flasher(FlashLoop, std::ref(window), std::ref(queue), start);
    // Gaps of 0.9..1.5 s, so no period lines up with the frame rate and neighbouring events are never confused.
    std::mt19937 random(8);
    std::uniform_int_distribution<int> gapMs(900, 1500);
    const Clock::time_point end = start + std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
    Clock::time_point next = Clock::now() + std::chrono::milliseconds(gapMs(random));
    int index = 0;
    bool ok = true;
    while (!g_stop && Clock::now() < end) {
        if (Clock::now() >= next) {
            Event e{index++, {}, 0};
            if (!(ok = player.StartBeep(e.onset, e.latencyMs))) break;
            queue.Push(e);
            next += std::chrono::milliseconds(gapMs(random));
        } else if (!(ok = player.Feed())) {
            break;
        }
    }
    queue.Close();
    flasher.join();
    if (!ok) {
        std::fprintf(stderr, "tolm-avsync-client: %s\n", player.Error().c_str());
        return 1;
    }
    return 0;
}
