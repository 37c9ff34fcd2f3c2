#pragma once

#include "render/PrinterChoice.h"

#include <QPrinter>

#include <functional>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace orva::cli {

// Exit statuses of orva-cli; scripts rely on them.
enum Status : int {
    kSuccess = 0,
    kUsage = 1,      // the command line is wrong (or the output could not be written)
    kUnreadable = 2, // the return record or a journal could not be read or built
    kNoReturn = 3,   // label and journals built, the return could not be
    kNoPrinter = 4,  // print: no default printer, or the job failed
    kMismatch = 5,   // check: a rule does not hold
};

// A failure that ends a command: the exit status and one line for standard error (UTF-8,
// without the "orva-cli: " prefix).
class Failure : public std::runtime_error {
public:
    Failure(int status, const std::string& message) : std::runtime_error(message), status_(status) {}
    int status() const { return status_; }

private:
    int status_;
};

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
    // Show a progress line on `err` (a terminal) while long work runs.
    bool showProgress = false;

    static Environment system();
};

// Runs one orva-cli command. `args` are the arguments after the program name, in UTF-8.
// Results go to `out`, failures (one line each) and progress to `err`; returns the exit status.
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const Environment& environment = Environment::system());

// The usage text of --help.
std::string helpText();

} // namespace orva::cli
