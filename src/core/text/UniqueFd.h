#pragma once

#include <unistd.h>

namespace orva {

// Owns a POSIX descriptor and closes it once, on every way out of its scope (an exception from a
// reader's callback included). -1 owns nothing.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }

    int release() noexcept {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1) noexcept {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }
    // Closes now and returns close()'s result: for a written file it may be the write's failure.
    int close() noexcept {
        const int fd = release();
        return fd < 0 ? 0 : ::close(fd);
    }

private:
    int fd_ = -1;
};

} // namespace orva
