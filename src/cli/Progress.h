#pragma once

#include <chrono>
#include <ostream>
#include <string>

namespace orva::cli {

// A status line on a terminal, shown only once the work has taken more than a moment.
class Progress {
public:
    Progress(std::ostream& err, bool enabled) : err_(err), enabled_(enabled), start_(Clock::now()) {}
    ~Progress() { clear(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void step(const std::string& what) {
        if (!enabled_ || Clock::now() - start_ < std::chrono::milliseconds(300))
            return;
        err_ << "\r\033[Korva-cli: " << what << "..." << std::flush;
        shown_ = true;
    }

    void clear() {
        if (shown_)
            err_ << "\r\033[K" << std::flush;
        shown_ = false;
    }

private:
    using Clock = std::chrono::steady_clock;
    std::ostream& err_;
    bool enabled_;
    Clock::time_point start_;
    bool shown_ = false;
};

} // namespace orva::cli
