#pragma once

// A connection of our own to the print server, opened and answered within the deadlines of
// PrintServer.h; every libcups request of ours goes over one instead of CUPS_HTTP_DEFAULT.

#include <cups/cups.h>

#include <string>

namespace orva {

class CupsConnection {
public:
    // Throws PrintServerSilent when the server cannot be reached within the connect deadline (or
    // was found silent before).
    CupsConnection();
    ~CupsConnection();
    CupsConnection(const CupsConnection&) = delete;
    CupsConnection& operator=(const CupsConnection&) = delete;

    http_t* http() const { return http_; }
    // Whether a request on it has waited out the reply deadline; the connection is then given up.
    bool timedOut() const { return timedOut_; }
    // Throws PrintServerSilent when timedOut(), or when `answered` is false (the server dropped the
    // connection, or it broke).
    void requireAnswered(bool answered = true) const;

private:
    static int onTimeout(http_t* http, void* self);
    http_t* http_ = nullptr;
    std::string server_;
    bool timedOut_ = false;
};

} // namespace orva
