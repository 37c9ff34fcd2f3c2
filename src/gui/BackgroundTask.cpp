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

BackgroundTask::BackgroundTask(QThread::Priority priority)
    : priority_(priority), receiver_(std::make_unique<QObject>()) {}

BackgroundTask::~BackgroundTask() {
    stop();
}

void BackgroundTask::launch(std::function<std::function<void()>(const StopToken&)> body) {
    stop();
    auto token = std::make_shared<StopToken>();
    token_ = token;
    const int run = ++run_;
    QObject* receiver = receiver_.get();
    thread_ = QThread::create([this, body = std::move(body), token, run, receiver] {
        std::function<void()> handBack = body(*token);
        // Queued to the owner's thread; dropped there when the owner has gone or moved on.
        QMetaObject::invokeMethod(
            receiver, [this, run, handBack = std::move(handBack)] { finish(run, handBack); }, Qt::QueuedConnection);
    });
    thread_->start(priority_);
}

void BackgroundTask::finish(int run, const std::function<void()>& handBack) {
    if (run != run_ || thread_ == nullptr)
        return; // of a task stopped since
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    token_.reset();
    if (handBack)
        handBack();
}

void BackgroundTask::requestStop() {
    if (token_)
        token_->requestStop();
}

void BackgroundTask::stop() {
    if (thread_ == nullptr)
        return;
    token_->requestStop();
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    token_.reset();
    ++run_;
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
