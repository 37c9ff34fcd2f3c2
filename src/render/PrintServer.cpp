#include "render/PrintServer.h"

#include "render/CupsConnection.h"

#include <cstdint>
#include <mutex>

namespace orva {

namespace {

// A socket path that does not exist: libcups fails at once on it.
const char* const kNoServer = "/nonexistent/orva-print-server-not-asked";

// The server this process no longer asks (found silent, or not needed), "" while it asks it: one
// for the process, as a worker may find the server silent while the window's thread asks it. libcups
// keeps its server per thread, so each thread points its own at no server when it next asks
// (followPrintServerState), and `changes` tells it whether it must.
struct ServerState {
    std::mutex mutex;
    std::string unasked;
    std::uint64_t changes = 1;
    PrintServerDeadlines deadlines;
};

ServerState& serverState() {
    static ServerState state;
    return state;
}

// The `changes` this thread's libcups last followed.
thread_local std::uint64_t followedChanges = 0;

std::string unaskedServer() {
    ServerState& state = serverState();
    const std::lock_guard<std::mutex> lock(state.mutex);
    return state.unasked;
}

void stopAskingPrintServer() {
    const std::string name = printServerName();
    ServerState& state = serverState();
    {
        const std::lock_guard<std::mutex> lock(state.mutex);
        if (state.unasked.empty()) {
            state.unasked = name;
            ++state.changes;
        }
    }
    followPrintServerState();
}

} // namespace

PrintServerDeadlines printServerDeadlines() {
    ServerState& state = serverState();
    const std::lock_guard<std::mutex> lock(state.mutex);
    return state.deadlines;
}

void setPrintServerDeadlines(const PrintServerDeadlines& value) {
    ServerState& state = serverState();
    const std::lock_guard<std::mutex> lock(state.mutex);
    state.deadlines = value;
}

PrintServerSilent::PrintServerSilent(const std::string& server)
    : Error("сървърът за печат не отговаря (" + server + ")") {}

void followPrintServerState() {
    ServerState& state = serverState();
    const std::lock_guard<std::mutex> lock(state.mutex);
    if (followedChanges == state.changes)
        return;
    followedChanges = state.changes;
    // Unset, libcups reads $CUPS_SERVER and client.conf again.
    cupsSetServer(state.unasked.empty() ? nullptr : kNoServer);
}

std::string printServerName() {
    followPrintServerState();
    if (std::string unasked = unaskedServer(); !unasked.empty())
        return unasked;
    const std::string server = cupsServer();
    if (!server.empty() && server[0] == '/')
        return server;
    return server + ":" + std::to_string(ippPort());
}

CupsConnection::CupsConnection() : server_(printServerName()) {
    if (std::string unasked = unaskedServer(); !unasked.empty())
        throw PrintServerSilent(unasked);
    const PrintServerDeadlines limits = printServerDeadlines();
    http_ = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                         static_cast<int>(limits.connect.count()), nullptr);
    if (http_ == nullptr) {
        stopAskingPrintServer();
        throw PrintServerSilent(server_);
    }
    httpSetTimeout(http_, static_cast<double>(limits.reply.count()) / 1000.0, &CupsConnection::onTimeout, this);
}

CupsConnection::~CupsConnection() {
    if (http_ != nullptr)
        httpClose(http_);
}

int CupsConnection::onTimeout(http_t*, void* self) {
    static_cast<CupsConnection*>(self)->timedOut_ = true;
    return 0; // give up the request
}

void CupsConnection::requireAnswered(bool answered) const {
    if (timedOut_ || !answered) {
        stopAskingPrintServer();
        throw PrintServerSilent(server_);
    }
}

std::string askPrintServerDefault() {
    const CupsConnection connection;
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_DEFAULT);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "printer-name");
    ipp_t* response = cupsDoRequest(connection.http(), request, "/");
    const bool answered = response != nullptr || cupsLastError() < IPP_STATUS_ERROR_INTERNAL;
    std::string name;
    if (response != nullptr) {
        if (ipp_attribute_t* attribute = ippFindAttribute(response, "printer-name", IPP_TAG_NAME))
            if (const char* text = ippGetString(attribute, 0, nullptr))
                name = text;
        ippDelete(response);
    }
    // A server that answers with an error (no default, or not to this user) has none; no answer
    // at all, or a connection it dropped, is a silent server.
    connection.requireAnswered(answered);
    return name;
}

PrintServerAside::PrintServerAside() {
    followPrintServerState();
    cupsSetServer(kNoServer);
}

PrintServerAside::~PrintServerAside() {
    // Back to what the process follows, on this thread.
    followedChanges = 0;
    followPrintServerState();
}

void resetPrintServer() {
    ServerState& state = serverState();
    {
        const std::lock_guard<std::mutex> lock(state.mutex);
        state.unasked.clear();
        ++state.changes;
    }
    followPrintServerState();
}

} // namespace orva
