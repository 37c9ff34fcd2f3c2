#pragma once

// Print servers that fail to answer, on the loopback only and for the life of the object: one that
// takes connections and never answers (the kernel completes them; nothing reads them), and a port
// nothing listens on.

#include "render/PrintServer.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace orva::fixture {

class SilentServer {
public:
    SilentServer() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (fd_ >= 0 && ::fcntl(fd_, F_SETFL, O_NONBLOCK) == 0 &&
            ::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) == 0 && ::listen(fd_, 16) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~SilentServer() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    bool listening() const { return port_ != 0; }
    // The connections made to it so far (taken off its queue, so each is counted once).
    int connectionsTaken() {
        int count = 0;
        for (int taken; (taken = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0; ++count)
            ::close(taken);
        return count;
    }
    // As CUPS_SERVER takes it.
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    int fd_ = -1;
    int port_ = 0;
};

// A loopback address nothing listens on: a port bound and released again.
inline std::string closedLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return "127.0.0.1:" + std::to_string(port);
}

// CUPS_SERVER set to `server` and short deadlines while it lives, so that a test waits a second,
// not half a minute; the process's setting and libcups' own come back after.
class PrintServerSetting {
public:
    explicit PrintServerSetting(const std::string& server) {
        const char* saved = std::getenv("CUPS_SERVER");
        had_ = saved != nullptr;
        saved_ = had_ ? saved : "";
        ::setenv("CUPS_SERVER", server.c_str(), 1);
        deadlines_ = printServerDeadlines();
        setPrintServerDeadlines({std::chrono::milliseconds(1000), std::chrono::milliseconds(300)});
        resetPrintServer();
    }
    ~PrintServerSetting() {
        if (had_)
            ::setenv("CUPS_SERVER", saved_.c_str(), 1);
        else
            ::unsetenv("CUPS_SERVER");
        setPrintServerDeadlines(deadlines_);
        resetPrintServer();
    }
    PrintServerSetting(const PrintServerSetting&) = delete;
    PrintServerSetting& operator=(const PrintServerSetting&) = delete;

private:
    bool had_ = false;
    std::string saved_;
    PrintServerDeadlines deadlines_;
};

} // namespace orva::fixture
