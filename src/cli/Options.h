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
                     // export, print: the journals are not the period's (without --force);
                     // reconcile: a document missing, not declared or different, or a report refused
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

enum class CommandId { Export, Print, Check, Printers, Diff, Reconcile };

constexpr unsigned commandBit(CommandId command) {
    return 1u << static_cast<unsigned>(command);
}

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
    // export, print: the submission filed before DATAFOLDER (the correction memo's other input) and
    // the agency's reports (the reconciliation's)
    std::optional<std::string> older;
    std::vector<std::string> reports;
    std::optional<std::string> printer; // --printer / -P
    std::optional<int> linesPerPage;
    AnswerOptions answers;
    ReadOptions read;
    std::optional<std::string> dataFolder; // the first data folder
    std::vector<std::string> dataFolders;  // check, export: every one given, in order
    // check, export: every folder under the given ones that holds a return record
    bool recursive = false;
    std::size_t jobs = 0; // periods worked on at once; 0: the number of cores
    // export, print: go on with journals that are not the period's (another firm, a NUL, a cut record);
    // diff: compare periods of two firms or months
    bool force = false;
    // check
    CheckFormat checkFormat = CheckFormat::Text; // and diff's
    bool strict = false;
    std::size_t maxFindings = 200;
    std::optional<std::string> output;  // check: the summary's file (xlsx needs one)
    std::optional<std::string> details; // check over several periods: a full report per period here

    // check and export over several periods: more than one folder, or --recursive.
    bool manyPeriods() const { return recursive || dataFolders.size() > 1; }
};

// How an option takes its value; the completion offers by it.
enum class ValueKind {
    None,   // a flag
    Text,   // free text
    Number, // a whole number
    Choice, // one of OptionSpec::choices
    Folder,
    File,
    Cell,  // NN=TEXT, NN an editable cell
    Queue, // a print queue
};

// Where an option stands in a command's help: under "Options:", under "Reading options:" (and
// as "[READING OPTIONS]" in the synopsis), or last and not in the synopsis.
enum class OptionGroup { Own, Reading, Information };

// One option of orva-cli, for the commands that take it. Parsing, each command's --help and its
// synopsis all come from the table of these (optionTable), so none can fall behind another.
struct OptionSpec {
    const char* name;      // "--format"
    const char* shortName; // lpr's "-P", or nullptr
    ValueKind kind;
    const char* valueName;            // "DIR", "N"; nullptr for a flag or a choice (shown as a|b|c)
    std::vector<const char*> choices; // a choice's words, in the order help and messages give them
    unsigned commands;                // commandBit()s of the commands that take it
    unsigned required;                // ... of those that need it
    OptionGroup group;
    const char* help;     // one paragraph, wrapped for --help
    const char* excludes; // the flag it may not be given with, or nullptr
    bool repeatable;      // "[--cell NN=TEXT]..."
    // Takes the value into the options (flags get ""); `choice` is the index into `choices`.
    // Throws Failure (kUsage) for a value it refuses.
    void (*apply)(Options& options, const std::string& value, std::size_t choice);

    bool takenBy(CommandId command) const { return (commands & commandBit(command)) != 0; }
};

// How many data folders a command takes.
enum class Folders { None, One, Many, Two }; // Two: the older and the newer period, in that order

struct CommandSpec {
    CommandId id;
    const char* name;
    Folders folders;
};

// The commands in the order of the synopsis and of "Commands:".
const std::vector<CommandSpec>& commandTable();
// Every option, in the order of the synopsis and of the help (the same name may have a row per
// command when its value differs: export's and check's --format).
const std::vector<OptionSpec>& optionTable();
// The row of `name` (long, or the short "-P") for `command`, or nullptr.
const OptionSpec* findOption(const std::string& name, CommandId command);

// The synopsis of `command` ("  orva-cli check  [--format ...] ... DATAFOLDER...", wrapped) and
// the help lines of its options, both from the tables.
std::string commandSynopsis(CommandId command);
std::string optionHelp(CommandId command);

// A usage error: Failure (kUsage) with the hint to --help.
[[noreturn]] void usageError(const std::string& what);

// The options of one command line (the arguments after the program name, UTF-8). Throws
// Failure (kUsage) naming what is wrong.
Options parseOptions(const std::vector<std::string>& args);

} // namespace orva::cli
