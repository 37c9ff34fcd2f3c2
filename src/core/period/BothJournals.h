#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <thread>

namespace orva {

// Works on the two journals at once: `sales` on a thread of its own, `purchases` on this one. A failure
// of the purchases is the one reported, as when the two were worked on one after the other; `stop`,
// when given, is set once the purchases fail, for the sales to end early. The sales' failure follows.
inline void forBothJournals(const std::function<void()>& purchases, const std::function<void()>& sales,
                            std::atomic<bool>* stop = nullptr) {
    std::exception_ptr salesFailure;
    std::thread salesThread([&] {
        try {
            sales();
        } catch (...) {
            salesFailure = std::current_exception();
        }
    });
    try {
        purchases();
    } catch (...) {
        if (stop != nullptr)
            stop->store(true);
        salesThread.join();
        throw;
    }
    salesThread.join();
    if (salesFailure)
        std::rethrow_exception(salesFailure);
}

} // namespace orva
