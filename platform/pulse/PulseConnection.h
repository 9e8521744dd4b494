#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/pulse/PulseHandles.h"

namespace tolm::pulse {

// No call waits longer than this for the server, so a stuck server cannot hang the recorder.
inline constexpr int kServerTimeoutMs = 5000;

// Where a completion callback leaves its verdict; lives on the waiting caller's stack.
struct PulseOutcome {
    bool success = false;
};
// Completion callbacks of operations that report success; their userdata is a PulseOutcome.
void StoreContextSuccess(pa_context* context, int success, void* outcome);
void StoreStreamSuccess(pa_stream* stream, int success, void* outcome);

// A threaded main loop and a context connected to the sound server. Every libpulse call on it happens with the
// loop locked (Lock); callbacks run on the loop's thread with the lock held. Destroy it from any thread but the
// loop's own; the loop's thread ends before the destructor returns.
class PulseConnection {
    struct Key {
        explicit Key() = default;
    };

  public:
    // Connects to the server the environment names (PULSE_SERVER, client.conf or the session's socket) without
    // starting one. Null on failure, with the server library's words for it in `problem`.
    static std::shared_ptr<PulseConnection> Open(const std::string& clientName, std::string& problem);

    explicit PulseConnection(Key);
    ~PulseConnection();
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    // Holds the loop lock for a scope.
    class Lock {
      public:
        explicit Lock(PulseConnection& connection);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

      private:
        pa_threaded_mainloop* loop_;
    };

    // The calls below need the loop locked (or run on the loop's thread where callbacks run).
    pa_context* Context() const { return context_.get(); }
    // False once the connection failed or the server stopped answering in time.
    bool Ready() const;
    // Why the connection is not ready, in the server library's words ("Connection refused").
    std::string Problem() const;
    // Waits, with the lock released meanwhile, until `done` holds or the time is up; returns done().
    bool WaitUntil(const std::function<bool()>& done, int timeoutMs = kServerTimeoutMs);
    // Waits for an operation (taking ownership; null is a failed start). An operation still running at the time
    // limit is cancelled, so none of its callbacks runs after this returns. PA_OK or a PA_ERR_* number.
    int Await(pa_operation* operation, int timeoutMs = kServerTimeoutMs);
    // Await for an operation whose completion callback fills `outcome`; a reported failure gives the server's error.
    int AwaitSuccess(pa_operation* operation, const PulseOutcome& outcome, int timeoutMs = kServerTimeoutMs);
    // The error number of the last failed call on the context.
    int LastError() const;
    // Runs `fn` on the loop's thread, after everything posted before it. Whatever is still queued when the
    // connection ends runs in the destructor, so no message is lost.
    void Post(std::function<void()> fn);
    // Makes Ready() false for good: the server let a wait run out, so it is not trusted with the next call.
    void MarkStalled() { stalled_ = true; }
    // Wakes every WaitUntil to re-check its condition; for callbacks.
    void Wake();

  private:
    static void OnContextState(pa_context* context, void* self);
    static void OnOperationState(pa_operation* operation, void* self);
    static void OnPosted(pa_mainloop_api* api, pa_defer_event* event, void* self);

    PaMainloopPtr loop_;
    pa_mainloop_api* api_ = nullptr;
    PaContextPtr context_;
    PaDeferEventPtr postedEvent_;
    std::deque<std::function<void()>> posted_;
    bool started_ = false;
    bool stalled_ = false;  // the server let a call run past the time limit
};

// A service's connection: made on first use, and made anew once the old one failed (devices still holding the
// old one keep it until they end). Thread-safe.
class LazyConnection {
  public:
    explicit LazyConnection(std::string clientName) : clientName_(std::move(clientName)) {}

    // The live connection, or null with the reason in `problem`.
    std::shared_ptr<PulseConnection> Get(std::string& problem);

  private:
    const std::string clientName_;
    std::mutex mutex_;
    std::shared_ptr<PulseConnection> connection_;
};

}  // namespace tolm::pulse
