#pragma once

#include "cli/Options.h"
#include "render/PrinterChoice.h"

#include <QPrinter>

#include <functional>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace orva::cli {

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
