#pragma once

// One orva-cli command: its paragraph of --help, and what it does. Each command is a file of
// its own (ExportCommand.cpp, PrintCommand.cpp, CheckCommand.cpp, PrintersCommand.cpp); runCli
// (Cli.cpp) only picks one. No Qt header here: check needs none.

#include "cli/Options.h"
#include "render/PrinterChoice.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

class QPrinter;

namespace orva {
class PrintService;
}

namespace orva::cli {

class Progress;

// What the commands take from the system, so that tests can stand in for it.
struct Environment {
    // The printer of the queue lp would choose (PrinterChoice.h), prepared for the documents
    // (portrait, full page), or nullptr when nothing names one. Throws Failure (kNoPrinter)
    // naming the queue when the print server has no such queue.
    std::function<std::unique_ptr<QPrinter>()> defaultPrinter;
    // The printer of the named queue, prepared as above, or nullptr when there is no such queue.
    std::function<std::unique_ptr<QPrinter>(const std::string& queue)> namedPrinter;
    // The print server's queues, and the one lp would choose with what named it (printers).
    std::function<std::vector<std::string>()> queueNames;
    std::function<QueueChoice()> queueChoice;
    // Each of the four above throws PrintServerSilent (PrintServer.h) when the print server cannot
    // be reached or does not answer within the deadlines.
    // Where print jobs go; the print server when not set.
    PrintService* printService = nullptr;
    // Called as export begins each of its files, with the file's path (tests fail an export there).
    std::function<void(const std::string& path)> exportFileBegun;
    // Show a progress line on `err` (a terminal) while long work runs.
    bool showProgress = false;

    static Environment system();
};

// Where a command writes: results to `out`, the progress line to `err`. Failures are thrown
// (Failure, PeriodError) and reported by runCli, one line on `err`.
struct Streams {
    std::ostream& out;
    std::ostream& err;
    Progress& progress;
};

class Command {
public:
    virtual ~Command() = default;

    // Its paragraph of --help, under "Commands:"; its synopsis and options come from the option
    // table (Options.h).
    virtual std::string description() const = 0;

    // Runs the command; returns the exit status (Status).
    virtual int run(const Options& options, Streams& streams, const Environment& environment) const = 0;
};

const Command& exportCommand();
const Command& printCommand();
const Command& checkCommand();
const Command& printersCommand();
const Command& diffCommand();
const Command& reconcileCommand();

} // namespace orva::cli
