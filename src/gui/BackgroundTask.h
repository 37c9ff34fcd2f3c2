#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace orva {

// What a task on a worker is told: whether it is to stop, and a sleep a stop cuts short.
class StopToken {
public:
    bool stopRequested() const { return stop_.load(); }
    // For the core's functions that take a cancel flag.
    const std::atomic<bool>* flag() const { return &stop_; }
    // Sleeps `time`, or until a stop is asked: false when it was.
    bool sleepFor(std::chrono::milliseconds time) const;
    void requestStop();

private:
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable woken_;
};

class BackgroundTask;

namespace detail {
// Lives on the owner's thread: the worker's queued call to drain() is dropped with it.
class TaskReceiver : public QObject {
    Q_OBJECT
public:
    explicit TaskReceiver(BackgroundTask& task) : task_(task) {}
public slots:
    void drain();

private:
    BackgroundTask& task_;
};
} // namespace detail

// One task at a time on a worker of its own, its result handed back on the thread that made this
// (the window's). A task that throws orva::Cancelled hands nothing back; another exception is
// handed back as its failure text. Destroying it stops the task and waits for it.
// The worker is a std::thread, joined with pthread_join, and everything it hands over goes under a
// lock of ours: the thread sanitizer sees both (Qt's own threads, waits and queue it cannot see).
class BackgroundTask {
public:
    enum class Priority { Normal, Low }; // Low: yields the processor to the window's thread
    explicit BackgroundTask(Priority priority = Priority::Normal);
    ~BackgroundTask();
    BackgroundTask(const BackgroundTask&) = delete;
    BackgroundTask& operator=(const BackgroundTask&) = delete;

    // Runs `work` on the worker; `done` gets its result, `failed` its failure. A task still running
    // is stopped first (and its result dropped).
    template <typename Result>
    void start(std::function<Result(const StopToken&)> work, std::function<void(Result&)> done,
               std::function<void(const QString&)> failed);

    // From start until its result or failure has been handed back (or it was stopped).
    bool running() const { return thread_.joinable(); }
    // Asks the task to stop, without waiting for it.
    void requestStop();
    // Asks the task to stop and waits for it: nothing is handed back.
    void stop();
    // Waits up to `limit` for the task to end; true when it has (what it gives is still handed
    // back through the event loop).
    bool waitFor(std::chrono::milliseconds limit);

private:
    friend class detail::TaskReceiver;
    // What the worker leaves for the owner's thread, under its lock.
    struct Handoff {
        std::mutex mutex;
        std::condition_variable endedChanged;
        bool ended = false;
        std::function<void()> handBack;
    };

    // `body` runs on the worker and returns what is to run on the owner's thread.
    void launch(std::function<std::function<void()>(const StopToken&)> body);
    void drain();
    void join(); // after the worker has ended: its thread goes
    static bool isCancellation(const std::exception& error);
    static QString failureOf(const std::exception& error);

    Priority priority_;
    std::unique_ptr<detail::TaskReceiver> receiver_;
    std::thread thread_;
    std::shared_ptr<StopToken> token_;
    std::shared_ptr<Handoff> handoff_;
};

template <typename Result>
void BackgroundTask::start(std::function<Result(const StopToken&)> work, std::function<void(Result&)> done,
                           std::function<void(const QString&)> failed) {
    launch([work = std::move(work), done = std::move(done),
            failed = std::move(failed)](const StopToken& token) -> std::function<void()> {
        std::shared_ptr<Result> result;
        QString failure;
        try {
            result = std::make_shared<Result>(work(token));
        } catch (const std::exception& error) {
            if (token.stopRequested() || isCancellation(error))
                return {};
            failure = failureOf(error);
        }
        if (result)
            return [done, result] { done(*result); };
        return [failed, failure] { failed(failure); };
    });
}

} // namespace orva
