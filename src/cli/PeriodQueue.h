#pragma once

// Many periods worked on at once, their results handed on in path order: what a run over many periods
// prints never depends on how many threads worked on it.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace orva::cli {

// `jobs`, or the number of processors when 0.
inline std::size_t jobsOrCores(std::size_t jobs) {
    if (jobs != 0)
        return jobs;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : cores;
}

// Runs work(i) for every i below `count` on up to `jobs` threads (0: one per processor) and calls
// emit(i, result) on the calling thread, in order of i, as soon as result i and all before it are
// there; done(n) on the calling thread whenever the count of finished periods changes. A worker runs
// at most a few periods ahead of the next one to emit, so the results held stay few however many
// periods there are. `work` must not throw.
template <class Result>
void runPeriods(std::size_t count, std::size_t jobs, const std::function<Result(std::size_t)>& work,
                const std::function<void(std::size_t, Result&)>& emit, const std::function<void(std::size_t)>& done) {
    const std::size_t threads = std::min(jobsOrCores(jobs), count);
    if (threads <= 1) {
        for (std::size_t index = 0; index < count; ++index) {
            Result result = work(index);
            done(index + 1);
            emit(index, result);
        }
        return;
    }
    const std::size_t ahead = threads * 4;
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::size_t, Result> ready;
    std::size_t next = 0;     // the next period a worker takes
    std::size_t emitted = 0;  // periods handed to emit
    std::size_t finished = 0; // periods worked on
    bool stopping = false;

    auto worker = [&] {
        for (;;) {
            std::size_t index;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return stopping || next >= count || next < emitted + ahead; });
                if (stopping || next >= count)
                    return;
                index = next++;
            }
            Result result = work(index);
            {
                std::lock_guard<std::mutex> lock(mutex);
                ready.emplace(index, std::move(result));
                ++finished;
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> pool;
    for (std::size_t i = 0; i < threads; ++i)
        pool.emplace_back(worker);

    std::size_t shownDone = 0;
    try {
        while (emitted < count) {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait_for(lock, std::chrono::milliseconds(250), [&] { return ready.count(emitted) != 0; });
            const std::size_t finishedNow = finished;
            auto found = ready.find(emitted);
            std::optional<Result> result;
            if (found != ready.end()) {
                result.emplace(std::move(found->second));
                ready.erase(found);
            }
            lock.unlock();
            if (finishedNow != shownDone) {
                shownDone = finishedNow;
                done(shownDone);
            }
            if (result) {
                emit(emitted, *result);
                {
                    std::lock_guard<std::mutex> relock(mutex);
                    ++emitted;
                }
                changed.notify_all();
            }
        }
    } catch (...) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        for (std::thread& thread : pool)
            thread.join();
        throw;
    }
    for (std::thread& thread : pool)
        thread.join();
}

} // namespace orva::cli
