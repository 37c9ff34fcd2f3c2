#pragma once

#include <optional>
#include <string>

class QPrinterInfo;

namespace orva {

// What lp(1) looks at to choose a queue when it is given none.
struct QueueSources {
    std::optional<std::string> lpdest;        // $LPDEST
    std::optional<std::string> printer;       // $PRINTER
    std::optional<std::string> userOptions;   // ~/.cups/lpoptions, as read
    std::optional<std::string> systemOptions; // /etc/cups/lpoptions, as read
    std::string serverDefault;                // the print server's default queue, "" when none
};

// The chosen queue and what named it ("LPDEST", "PRINTER", the lpoptions file, "the print
// server's default"); an empty queue when nothing names one.
struct QueueChoice {
    std::string queue;
    std::string source;
};

// lp's order: $LPDEST, then $PRINTER (except "lp", the old System V name, which lp ignores),
// then the Default line of the user's lpoptions, then the system's, then the server's default.
// An empty value counts as unset; an instance ("office/duplex") chooses its queue ("office").
QueueChoice chooseQueue(const QueueSources& sources);

// The queue of the "Default NAME[/INSTANCE] [options]" line of an lpoptions file, or "".
std::string lpoptionsDefault(const std::string& fileText);

// chooseQueue on this process's environment, the lpoptions files and the print server. Throws
// PrintServerSilent when it comes to the server's default and the server does not answer in time.
QueueChoice systemQueueChoice();

// The printer of a queue. Throws orva::Error naming the queue (and where it came from) when the
// print server has no such queue, and when `choice` names no queue at all; PrintServerSilent when
// the server does not answer in time.
QPrinterInfo printerForQueue(const QueueChoice& choice);

} // namespace orva
