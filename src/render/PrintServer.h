#pragma once

// The print server, asked with deadlines. libcups' own connection and Qt's printer lookups over it
// wait minutes on a server that accepts connections and never answers, so every request of ours goes
// over a connection opened here, and Qt is asked only after the server has answered one.

#include "text/Errors.h"

#include <chrono>
#include <string>

namespace orva {

struct PrintServerDeadlines {
    std::chrono::milliseconds connect{10'000}; // to open the connection
    // For each answer on it; libcups first looks for an early answer for a second, so a reply is
    // given up within 30 s.
    std::chrono::milliseconds reply{29'000};
};

PrintServerDeadlines printServerDeadlines();
// Tests shorten them.
void setPrintServerDeadlines(const PrintServerDeadlines& deadlines);

// The print server cannot be reached, or did not answer in time. The message is
// "сървърът за печат не отговаря (<server>)".
class PrintServerSilent : public Error {
public:
    explicit PrintServerSilent(const std::string& server);
};

// The server as libcups names it ($CUPS_SERVER, client.conf or its default): a socket path, or
// host:port.
std::string printServerName();

// The print server's default queue, "" when it has none (one CUPS-Get-Default within the
// deadlines). Throws PrintServerSilent when the server cannot be reached or does not answer in time;
// from then on this process asks it nothing more: libcups, and with it Qt's printer lookups, which
// have no deadline, is pointed at no server, so they fail at once instead of waiting.
std::string askPrintServerDefault();

// While one lives, libcups and Qt's lookups are pointed at no server: a QPrinter made for a PDF
// page looks for a default printer first, with no deadline, and needs none.
class PrintServerAside {
public:
    PrintServerAside();
    ~PrintServerAside();
    PrintServerAside(const PrintServerAside&) = delete;
    PrintServerAside& operator=(const PrintServerAside&) = delete;
};

// Points this thread's libcups (and so Qt's printer lookups on it) at no server once the process
// has stopped asking it, wherever that was found. Every function here calls it first; call it
// before any other libcups or Qt printer call on a thread.
void followPrintServerState();

// Forgets the above and reads CUPS_SERVER again (tests change it).
void resetPrintServer();

} // namespace orva
