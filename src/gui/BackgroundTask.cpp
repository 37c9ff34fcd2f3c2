#include "gui/BackgroundTask.h"

#include "gui/MessageBoxes.h"
#include "text/Errors.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace orva {

bool StopToken::sleepFor(std::chrono::milliseconds time) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return !woken_.wait_for(lock, time, [this] { return stop_.load(); });
}

void StopToken::requestStop() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    woken_.notify_all();
}

void detail::TaskReceiver::drain() {
    task_.drain();
}

BackgroundTask::BackgroundTask(Priority priority)
    : priority_(priority), receiver_(std::make_unique<detail::TaskReceiver>(*this)) {}

BackgroundTask::~BackgroundTask() {
    stop();
}

void BackgroundTask::launch(std::function<std::function<void()>(const StopToken&)> body) {
    stop();
    auto token = std::make_shared<StopToken>();
    auto handoff = std::make_shared<Handoff>();
    token_ = token;
    handoff_ = handoff;
    QObject* receiver = receiver_.get();
    const bool low = priority_ == Priority::Low;
    thread_ = std::thread([body = std::move(body), token, handoff, receiver, low] {
        if (low) // this thread's nice value (Linux keeps one per thread)
            (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 10);
        std::function<void()> handBack = body(*token);
        {
            const std::lock_guard<std::mutex> lock(handoff->mutex);
            handoff->handBack = std::move(handBack);
            handoff->ended = true;
        }
        handoff->endedChanged.notify_all();
        // By name: nothing of ours goes through Qt's queue. Dropped with the receiver.
        QMetaObject::invokeMethod(receiver, "drain", Qt::QueuedConnection);
    });
}

void BackgroundTask::drain() {
    if (!handoff_)
        return;
    std::function<void()> handBack;
    {
        const std::lock_guard<std::mutex> lock(handoff_->mutex);
        if (!handoff_->ended)
            return; // of a task stopped since; this one's call is still to come
        handBack = std::move(handoff_->handBack);
    }
    join();
    if (handBack)
        handBack();
}

void BackgroundTask::join() {
    thread_.join();
    token_.reset();
    handoff_.reset();
}

void BackgroundTask::requestStop() {
    if (token_)
        token_->requestStop();
}

void BackgroundTask::stop() {
    if (!thread_.joinable())
        return;
    token_->requestStop();
    join();
}

bool BackgroundTask::waitFor(std::chrono::milliseconds limit) {
    if (!thread_.joinable())
        return true;
    std::unique_lock<std::mutex> lock(handoff_->mutex);
    return handoff_->endedChanged.wait_for(lock, limit, [this] { return handoff_->ended; });
}

bool BackgroundTask::isCancellation(const std::exception& error) {
    return dynamic_cast<const Cancelled*>(&error) != nullptr;
}

QString BackgroundTask::failureOf(const std::exception& error) {
    return failureText(error);
}

} // namespace orva
