#include "platform/pulse/PulseConnection.h"

#include <utility>

namespace tolm::pulse {
namespace {

// Rings when a wait's time is up.
struct Alarm {
    PulseConnection* connection = nullptr;
    bool rang = false;
};

void OnAlarm(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
    auto* alarm = static_cast<Alarm*>(userdata);
    alarm->rang = true;
    alarm->connection->Wake();
}

}  // namespace

void StoreContextSuccess(pa_context*, int success, void* outcome) {
    static_cast<PulseOutcome*>(outcome)->success = success != 0;
}

void StoreStreamSuccess(pa_stream*, int success, void* outcome) {
    static_cast<PulseOutcome*>(outcome)->success = success != 0;
}

PulseConnection::PulseConnection(Key) {}

std::shared_ptr<PulseConnection> PulseConnection::Open(const std::string& clientName, std::string& problem) {
    auto connection = std::make_shared<PulseConnection>(Key{});
    PulseConnection& c = *connection;
    c.loop_.reset(pa_threaded_mainloop_new());
    if (!c.loop_) {
        problem = "out of memory";
        return nullptr;
    }
    pa_threaded_mainloop_set_name(c.loop_.get(), "tolm-pulse");
    c.api_ = pa_threaded_mainloop_get_api(c.loop_.get());
    c.context_.reset(pa_context_new(c.api_, clientName.c_str()));
    c.postedEvent_ = PaDeferEventPtr(c.api_->defer_new(c.api_, &OnPosted, &c), PaDeferEventFree{c.api_});
    if (!c.context_ || !c.postedEvent_) {
        problem = "out of memory";
        return nullptr;
    }
    c.api_->defer_enable(c.postedEvent_.get(), 0);
    pa_context_set_state_callback(c.context_.get(), &OnContextState, &c);
    if (pa_threaded_mainloop_start(c.loop_.get()) < 0) {
        problem = "its event thread could not start";
        return nullptr;
    }
    c.started_ = true;
    bool ready = false;
    {
        Lock lock(c);
        // No autospawn: a desktop session starts its own server, and a spawned one would outlive the recorder.
        if (pa_context_connect(c.context_.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            problem = pa_strerror(pa_context_errno(c.context_.get()));
        } else {
            const bool settled = c.WaitUntil([&c] {
                const pa_context_state_t state = pa_context_get_state(c.context_.get());
                return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
            });
            ready = pa_context_get_state(c.context_.get()) == PA_CONTEXT_READY;
            if (!ready) problem = settled ? pa_strerror(c.LastError()) : pa_strerror(PA_ERR_TIMEOUT);
        }
    }
    if (!ready) return nullptr;  // the lock is released before the connection ends
    return connection;
}

PulseConnection::~PulseConnection() {
    if (started_) {
        {
            Lock lock(*this);
            pa_context_set_state_callback(context_.get(), nullptr, nullptr);
            pa_context_disconnect(context_.get());
            postedEvent_.reset();
        }
        pa_threaded_mainloop_stop(loop_.get());
    }
    postedEvent_.reset();
    context_.reset();
    // Messages posted before the end (a device's close message) still reach their receivers.
    std::deque<std::function<void()>> late = std::move(posted_);
    for (auto& fn : late) fn();
    loop_.reset();
}

PulseConnection::Lock::Lock(PulseConnection& connection) : loop_(connection.loop_.get()) {
    pa_threaded_mainloop_lock(loop_);
}

PulseConnection::Lock::~Lock() {
    pa_threaded_mainloop_unlock(loop_);
}

bool PulseConnection::Ready() const {
    return !stalled_ && context_ && pa_context_get_state(context_.get()) == PA_CONTEXT_READY;
}

std::string PulseConnection::Problem() const {
    if (stalled_) return pa_strerror(PA_ERR_TIMEOUT);
    return pa_strerror(LastError());
}

int PulseConnection::LastError() const {
    const int error = context_ ? pa_context_errno(context_.get()) : PA_ERR_CONNECTIONTERMINATED;
    if (error != PA_OK) return error;
    return Ready() ? PA_ERR_UNKNOWN : PA_ERR_CONNECTIONTERMINATED;
}

bool PulseConnection::WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done()) return true;
    Alarm alarm{this};
    const pa_usec_t deadline = pa_rtclock_now() + static_cast<pa_usec_t>(timeoutMs) * PA_USEC_PER_MSEC;
    PaTimeEventPtr timer(pa_context_rttime_new(context_.get(), deadline, &OnAlarm, &alarm), PaTimeEventFree{api_});
    if (!timer) return false;
    while (!done() && !alarm.rang) pa_threaded_mainloop_wait(loop_.get());
    return done();
}

int PulseConnection::Await(pa_operation* operation, int timeoutMs) {
    PaOperationPtr op(operation);
    if (!op) return LastError();
    pa_operation_set_state_callback(op.get(), &OnOperationState, this);
    WaitUntil([&op] { return pa_operation_get_state(op.get()) != PA_OPERATION_RUNNING; }, timeoutMs);
    if (pa_operation_get_state(op.get()) == PA_OPERATION_RUNNING) {
        pa_operation_set_state_callback(op.get(), nullptr, nullptr);
        pa_operation_cancel(op.get());
        MarkStalled();
        return PA_ERR_TIMEOUT;
    }
    pa_operation_set_state_callback(op.get(), nullptr, nullptr);
    if (pa_operation_get_state(op.get()) == PA_OPERATION_DONE) return PA_OK;
    return Ready() ? PA_ERR_UNKNOWN : LastError();
}

int PulseConnection::AwaitSuccess(pa_operation* operation, const PulseOutcome& outcome, int timeoutMs) {
    const int error = Await(operation, timeoutMs);
    if (error != PA_OK) return error;
    return outcome.success ? PA_OK : LastError();
}

void PulseConnection::Post(std::function<void()> fn) {
    posted_.push_back(std::move(fn));
    if (postedEvent_) api_->defer_enable(postedEvent_.get(), 1);
}

void PulseConnection::Wake() {
    pa_threaded_mainloop_signal(loop_.get(), 0);
}

void PulseConnection::OnContextState(pa_context*, void* self) {
    static_cast<PulseConnection*>(self)->Wake();
}

void PulseConnection::OnOperationState(pa_operation*, void* self) {
    static_cast<PulseConnection*>(self)->Wake();
}

void PulseConnection::OnPosted(pa_mainloop_api* api, pa_defer_event* event, void* self) {
    auto* c = static_cast<PulseConnection*>(self);
    api->defer_enable(event, 0);
    std::deque<std::function<void()>> now = std::move(c->posted_);
    c->posted_.clear();
    for (auto& fn : now) fn();
}

std::shared_ptr<PulseConnection> LazyConnection::Get(std::string& problem) {
    std::lock_guard lock(mutex_);
    if (connection_) {
        PulseConnection::Lock loop(*connection_);
        if (connection_->Ready()) return connection_;
    }
    connection_.reset();
    connection_ = PulseConnection::Open(clientName_, problem);
    return connection_;
}

}  // namespace tolm::pulse
