#include "gui/BackgroundTask.h"

#include "gui/MessageBoxes.h"
#include "text/Errors.h"

#include <QDeadlineTimer>

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

BackgroundTask::BackgroundTask(QThread::Priority priority)
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
    thread_ = QThread::create([body = std::move(body), token, handoff, receiver] {
        std::function<void()> handBack = body(*token);
        QObject* const to = receiver; // nothing of the task is touched after the lock is let go
        {
            const std::lock_guard<std::mutex> lock(handoff->mutex);
            handoff->handBack = std::move(handBack);
            handoff->ended = true;
        }
        // By name: nothing of ours goes through Qt's queue. Dropped with the receiver.
        QMetaObject::invokeMethod(to, "drain", Qt::QueuedConnection);
    });
    thread_->start(priority_);
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
    thread_->wait();
    {
        // The worker's last step was under this lock: everything it did comes before what follows.
        const std::lock_guard<std::mutex> lock(handoff_->mutex);
    }
    delete thread_;
    thread_ = nullptr;
    token_.reset();
    handoff_.reset();
}

void BackgroundTask::requestStop() {
    if (token_)
        token_->requestStop();
}

void BackgroundTask::stop() {
    if (thread_ == nullptr)
        return;
    token_->requestStop();
    join();
}

bool BackgroundTask::waitFor(std::chrono::milliseconds limit) {
    return thread_ == nullptr || thread_->wait(QDeadlineTimer(limit.count()));
}

bool BackgroundTask::isCancellation(const std::exception& error) {
    return dynamic_cast<const Cancelled*>(&error) != nullptr;
}

QString BackgroundTask::failureOf(const std::exception& error) {
    return failureText(error);
}

} // namespace orva
