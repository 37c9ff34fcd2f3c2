#include "render/PrintServer.h"

#include "render/CupsConnection.h"

namespace orva {

namespace {

PrintServerDeadlines& deadlines() {
    static PrintServerDeadlines value;
    return value;
}

// The server this process no longer asks (found silent, or not needed), "" while it asks it. libcups' settings are the
// calling thread's; the commands and the window ask from one thread.
std::string& unaskedServer() {
    static std::string server;
    return server;
}

// A socket path that does not exist: libcups fails at once on it.
const char* const kNoServer = "/nonexistent/orva-print-server-not-asked";

void stopAskingPrintServer() {
    if (unaskedServer().empty())
        unaskedServer() = printServerName();
    cupsSetServer(kNoServer);
}

} // namespace

PrintServerDeadlines printServerDeadlines() {
    return deadlines();
}

void setPrintServerDeadlines(const PrintServerDeadlines& value) {
    deadlines() = value;
}

PrintServerSilent::PrintServerSilent(const std::string& server)
    : Error("сървърът за печат не отговаря (" + server + ")") {}

std::string printServerName() {
    if (!unaskedServer().empty())
        return unaskedServer();
    const std::string server = cupsServer();
    if (!server.empty() && server[0] == '/')
        return server;
    return server + ":" + std::to_string(ippPort());
}

CupsConnection::CupsConnection() : server_(printServerName()) {
    if (!unaskedServer().empty())
        throw PrintServerSilent(unaskedServer());
    const PrintServerDeadlines limits = deadlines();
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
    cupsSetServer(kNoServer);
}

PrintServerAside::~PrintServerAside() {
    // Nothing else here sets the server: unset, libcups reads $CUPS_SERVER and client.conf again.
    if (unaskedServer().empty())
        cupsSetServer(nullptr);
}

void resetPrintServer() {
    unaskedServer().clear();
    cupsSetServer(nullptr);
}

} // namespace orva
