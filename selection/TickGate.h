#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace tolm {

class THighTimer;

// Guards a timer against the threads that tick it. Ticks reach the timer only through an Entry; Close,
// called by the timer's destructor, lets no new Entry in and waits for those of other threads to leave, so
// a tick never outlives the timer. The calling thread's own entries are not waited for: a handler may
// destroy its timer, after which the tick must not touch the timer again (Open() tells).
class TickGate {
  public:
    explicit TickGate(THighTimer& timer) : timer_(&timer) {}
    TickGate(const TickGate&) = delete;
    TickGate& operator=(const TickGate&) = delete;

    class Entry {
      public:
        explicit Entry(TickGate& gate);
        ~Entry() { Leave(); }
        Entry(const Entry&) = delete;
        Entry& operator=(const Entry&) = delete;

        explicit operator bool() const { return timer_ != nullptr; }
        THighTimer& Timer() const { return *timer_; }
        void Leave();

      private:
        TickGate& gate_;
        THighTimer* timer_;
    };

    bool Open() const;
    void Close();

  private:
    mutable std::mutex mutex_;
    std::condition_variable left_;
    THighTimer* timer_;
    std::vector<std::thread::id> inside_;  // one element per Entry held
};

}  // namespace tolm
