#include "cli/Cli.h"

#include "Version.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "cli/Progress.h"
#include "period/Period.h"
#include "text/Encoding.h"

#include <algorithm>
#include <cstring>
#include <ostream>

namespace orva::cli {

namespace {

const char* const kVersion = ORVA_VERSION;

const Command& commandFor(CommandId id) {
    switch (id) {
    case CommandId::Export:
        return exportCommand();
    case CommandId::Print:
        return printCommand();
    case CommandId::Check:
        return checkCommand();
    case CommandId::Diff:
        return diffCommand();
    case CommandId::Reconcile:
        return reconcileCommand();
    case CommandId::Printers:
        break;
    }
    return printersCommand();
}

const char* const kAbout = R"(
Reads deklar.txt, pokupki.txt and prodagbi.txt of one VAT period from DATAFOLDER
and builds the label page, the purchases and sales journals and the VAT return
form exactly as the ORVA window does. Nothing is ever written to DATAFOLDER.
The file names may be in any letter case (DEKLAR.TXT, Pokupki.txt ...). Each
file's code page (MIK or Windows-1251) and the generation of the return record
are detected from the files; check names what it detected on its first line.

Commands:
)";

const char* const kExitStatus = R"(
Exit status:
  0  success (check: no error; warnings allowed unless --strict)
  1  usage error, or the output (standard output too) could not be written,
     or would be over or inside the data (refused before anything is written)
  2  the period could not be read; nothing is written
  3  the label page and journals were built but the return could not be
     (export writes label, purchases and sales, not return)
  4  print: no printer, an unknown queue, or the printer refused the job;
     printers: the queue that would be used does not exist; both: the print
     server cannot be reached or does not answer in time
  5  diff: the two periods differ, or are of different firms or months
     (without --force);
     check: an error (with --strict, a warning too), or a return rule that
     does not hold or cannot be evaluated; export, print: a journal is not
     the period's (each case on standard error), nothing written or sent;
     reconcile: a document missing, not declared or different, a damaged
     report line, or a report of another buyer or a later period
Over several periods the first that applies of 1, 2, 5, 3, else 0.
)";

} // namespace

std::string helpText() {
    std::string text = "Usage:\n";
    for (const CommandSpec& command : commandTable())
        text += commandSynopsis(command.id);
    text += "  orva-cli COMMAND --help\n"
            "  orva-cli --help | --version\n";
    text += kAbout;
    for (const CommandSpec& command : commandTable())
        text += commandFor(command.id).description();
    text += "\nThe options of a command: orva-cli COMMAND --help.\n";
    return text + kExitStatus;
}

std::string helpText(CommandId command) {
    return "Usage:\n" + commandSynopsis(command) + "\n" + commandFor(command).description() + "\n" +
           optionHelp(command) + kExitStatus;
}

namespace {

int runCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const Environment& environment) {
    if (std::find(args.begin(), args.end(), "--help") != args.end() ||
        (!args.empty() && (args[0] == "-h" || args[0] == "help"))) {
        // "orva-cli check --help" and "orva-cli help check": that command's own help.
        const std::string* named = args.empty() ? nullptr : args[0] == "help" && args.size() > 1 ? &args[1] : &args[0];
        const auto command = std::find_if(commandTable().begin(), commandTable().end(), [&](const CommandSpec& entry) {
            return named != nullptr && *named == entry.name;
        });
        out << (command != commandTable().end() ? helpText(command->id) : helpText());
        return kSuccess;
    }
    if (!args.empty() && args[0] == "--version") {
        out << "orva-cli " << kVersion << '\n';
        return kSuccess;
    }
    Progress progress(err, environment.showProgress);
    Streams streams{out, err, progress};
    try {
        const Options options = parseOptions(args);
        return commandFor(options.command).run(options, streams, environment);
    } catch (const Failure& failure) {
        progress.clear();
        err << "orva-cli: " << shownText(failure.what()) << '\n';
        return failure.status();
    } catch (const PeriodError& failure) {
        progress.clear();
        err << "orva-cli: " << shownText(failure.what()) << '\n';
        return failure.stage() == PeriodError::Stage::Load ? kUnreadable : kNoReturn;
    } catch (const std::exception& failure) {
        progress.clear();
        err << "orva-cli: " << shownText(failure.what()) << '\n';
        return kUnreadable;
    }
}

// Nothing written may be lost silently: output that did not reach standard output fails the run
// with a line on standard error; when standard error fails too, only the status tells.
int checkedStatus(int status, std::ostream& out, std::ostream& err) {
    out.flush();
    if (!out) {
        const auto* buffer = dynamic_cast<const DescriptorBuffer*>(out.rdbuf());
        const int error = buffer != nullptr ? buffer->error() : 0;
        err << "orva-cli: не може да се запише стандартният изход"
            << (error != 0 ? std::string(": ") + std::strerror(error) : std::string()) << '\n';
        status = kUsage;
    }
    err.flush();
    return err ? status : kUsage;
}

} // namespace

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Environment& environment) {
    return checkedStatus(runCommand(args, out, err, environment), out, err);
}

} // namespace orva::cli
