#pragma once

// orva-cli's command line, apart from the commands that run it: standard C++ only, so that the
// option parser can be fuzzed without Qt.

#include "period/DataFiles.h"

#include <cstddef>
#include <map>
#include <optional>
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
    kNoPrinter = 4,  // print: no printer, an unknown queue, or the job failed
    kMismatch = 5,   // check: an error (with --strict, a warning), or a return rule does not hold;
                     // export, print: the journals are not the period's (without --force)
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

enum class CommandId { Export, Print, Check, Printers };

enum class CheckFormat { Text, Csv, Json, Xlsx };

// The dialog's answers as options give them (Windows-1251); unset ones keep the dialog's presets.
struct AnswerOptions {
    std::optional<std::string> address;
    std::optional<std::string> signatory;
    std::optional<std::string> position;
    std::optional<std::string> date;
    bool represent = true;
    bool art92 = false;
    std::map<int, std::string> cells; // only the editable cells 33, 70, 71, 80, 81, 82
};

struct Options {
    CommandId command = CommandId::Check;
    std::optional<std::string> out;
    std::string format = "text";
    std::optional<std::string> document;
    std::optional<std::string> printer; // --printer / -P
    std::optional<int> linesPerPage;
    AnswerOptions answers;
    ReadOptions read;
    std::optional<std::string> dataFolder; // the first data folder
    std::vector<std::string> dataFolders;  // check, export: every one given, in order
    // check, export: every folder under the given ones that holds a return record
    bool recursive = false;
    std::size_t jobs = 0; // periods worked on at once; 0: the number of cores
    // export, print: go on with journals that are not the period's (another firm, a NUL, a cut record)
    bool force = false;
    // check
    CheckFormat checkFormat = CheckFormat::Text;
    bool strict = false;
    std::size_t maxFindings = 200;
    std::optional<std::string> output;  // check: the summary's file (xlsx needs one)
    std::optional<std::string> details; // check over several periods: a full report per period here

    // check and export over several periods: more than one folder, or --recursive.
    bool manyPeriods() const { return recursive || dataFolders.size() > 1; }
};

// A usage error: Failure (kUsage) with the hint to --help.
[[noreturn]] void usageError(const std::string& what);

// The options of one command line (the arguments after the program name, UTF-8). Throws
// Failure (kUsage) naming what is wrong.
Options parseOptions(const std::vector<std::string>& args);

} // namespace orva::cli
